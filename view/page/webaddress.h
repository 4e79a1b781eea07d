#pragma once

#include <QString>
#include <QUrl>

// Which addresses that a poster names the spot page may use.

// An http or https address: the only links that the page makes of a spot's website.
bool isWebAddress(const QString &url);

// A host that is neither this machine nor one of its local networks: not "localhost" nor a
// name under "localhost", "local", "lan", "home.arpa" or "internal", not a name without a
// dot (the resolver's search list makes a local one of it), not a numeric form, and not a
// loopback, private, shared, link-local, multicast or unspecified address (IPv4-mapped ones
// as their IPv4 address). A public name that resolves to such an address is not caught.
bool isPublicHost(const QString &host);

// The addresses the page may load a spot image from: http or https on a public host.
bool isPublicImageAddress(const QUrl &url);
