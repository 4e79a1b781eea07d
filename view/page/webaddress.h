#pragma once

#include <QByteArray>
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

// The scheme of the program's own addresses, the only ones a spot page loads: the page
// itself and its image, which the program fetches.
inline constexpr char pageScheme[] = "tarnwick-page";

// The address of our scheme that the page writes for a spot image: "tarnwick-page:image?"
// and the image's address percent-encoded, so that only letters, digits, "%-._~" follow.
QByteArray pageImageAddress(const QUrl &image);
// The image address that a pageImageAddress() names; an invalid QUrl for any other address.
QUrl imageOfPageImageAddress(const QUrl &address);
