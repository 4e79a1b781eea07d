#include "webaddress.h"

#include <QHostAddress>
#include <QStringList>

namespace {

bool isPublicIPv4(quint32 address)
{
    // Address and prefix length of the ranges that stay inside the machine or the network.
    static const struct
    {
        quint32 network;
        int prefix;
    } local[] = {
        {0x00000000, 8}, // "this" network
        {0x0a000000, 8}, // private
        {0x64400000, 10}, // shared (carrier NAT)
        {0x7f000000, 8}, // loopback
        {0xa9fe0000, 16}, // link-local
        {0xac100000, 12}, // private
        {0xc0000000, 24}, // protocol assignments
        {0xc0a80000, 16}, // private
        {0xc6120000, 15}, // benchmarking
        {0xe0000000, 3}, // multicast, reserved, broadcast
    };
    for (const auto &range : local) {
        if ((address >> (32 - range.prefix)) == (range.network >> (32 - range.prefix)))
            return false;
    }
    return true;
}

bool isPublicAddress(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4); // also an IPv4-mapped IPv6 address
    if (isIPv4)
        return isPublicIPv4(ipv4);
    return address.isGlobal() && !address.isUniqueLocalUnicast() && !address.isSiteLocal()
        && !address.isInSubnet(QHostAddress(QStringLiteral("::")), 96); // unspecified, IPv4-compatible
}

bool isNumericLabel(const QString &label)
{
    if (label.startsWith(QLatin1StringView("0x")))
        return true;
    for (const QChar c : label) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

} // namespace

bool isWebAddress(const QString &url)
{
    return url.startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive);
}

bool isPublicHost(const QString &host)
{
    QString name = host.toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty())
        return false;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    QHostAddress address;
    if (address.setAddress(name))
        return isPublicAddress(address);
    if (!name.contains(QLatin1Char('.')) || isNumericLabel(name.section(QLatin1Char('.'), -1)))
        return false;
    for (const char *suffix : {"localhost", "local", "lan", "home.arpa", "internal"}) {
        const QLatin1StringView domain(suffix);
        if (name == domain || (name.endsWith(domain) && name.at(name.size() - domain.size() - 1) == QLatin1Char('.')))
            return false;
    }
    return true;
}

bool isPublicImageAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1StringView("http") || scheme == QLatin1StringView("https"))
        && isPublicHost(url.host());
}

QByteArray pageImageAddress(const QUrl &image)
{
    return QByteArray(pageScheme) + ":image?" + QUrl::toPercentEncoding(QString::fromLatin1(image.toEncoded()));
}

QUrl imageOfPageImageAddress(const QUrl &address)
{
    if (address.scheme() != QLatin1StringView(pageScheme) || address.path() != QLatin1StringView("image"))
        return {};
    return QUrl::fromEncoded(QByteArray::fromPercentEncoding(address.query(QUrl::FullyEncoded).toLatin1()),
                             QUrl::StrictMode);
}
