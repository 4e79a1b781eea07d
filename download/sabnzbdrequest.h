#pragma once

#include "settings.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <initializer_list>
#include <utility>

// What every call to SABnzbd's API shares: the address <url>/api with mode, output=json and
// the API key (in the address, as SABnzbd wants it; never written to a log) and the items
// given, every value fully percent-encoded (QUrlQuery would leave "+", which SABnzbd reads as a
// blank); and the reading of its refusals.
namespace SabnzbdRequest {

using Items = std::initializer_list<std::pair<const char *, QString>>;

// Empty when the settings' address is no http or https address with a host. Items with an
// empty value are left out.
QUrl make(const Settings::NzbHandOff &handOff, const QString &mode, Items items = {});
QString invalidAddressText(const Settings::NzbHandOff &handOff);

// Why SABnzbd said no: the "error" of its JSON answer or, from an older or a proxied one, the
// first line of a plain answer ("error: API Key Incorrect"); control characters become
// blanks, and at most 200 characters are kept. Empty when it gives none.
QString reasonOf(const QByteArray &body);

} // namespace SabnzbdRequest
