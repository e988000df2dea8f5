#include "NetworkAddress.h"

#include <QHostAddress>

namespace {

constexpr QLatin1StringView kRfc2217Scheme("rfc2217");
constexpr QLatin1StringView kTcpScheme("tcp");

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// A host name as DNS allows it (letters, digits, '-', '.', '_'), or an IPv4 address.
bool isHostName(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (const QChar c : host) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'-' && c != u'.' && c != u'_')
            return false;
    }
    return true;
}

// HOST:PORT, HOST in brackets for IPv6; the port 1-65535.
bool takeHostPort(const QString &rest, NetworkAddress *address, QString *error)
{
    const QString usage = QStringLiteral("a network port is written scheme://HOST:PORT");
    QString host;
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return fail(error, QStringLiteral("an IPv6 address in brackets needs its closing ]"));
        host = rest.mid(1, close - 1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return fail(error, QStringLiteral("\"%1\" is not an IPv6 address").arg(host));
        if (rest.mid(close + 1, 1) != QLatin1String(":"))
            return fail(error, QStringLiteral("no port after the address: ") + usage);
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return fail(error, QStringLiteral("no port: ") + usage);
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (host.isEmpty())
            return fail(error, QStringLiteral("no host: ") + usage);
        if (host.contains(u':'))
            return fail(error, QStringLiteral("an IPv6 address is written in brackets: [%1]").arg(host));
        if (!isHostName(host))
            return fail(error, QStringLiteral("\"%1\" is not a host name or address").arg(host));
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (portText.isEmpty())
        return fail(error, QStringLiteral("no port: ") + usage);
    if (!ok || port < 1 || port > 65535 || portText.startsWith(u'+'))
        return fail(error, QStringLiteral("the port is a number 1-65535, not \"%1\"").arg(portText));
    address->host = host;
    address->port = quint16(port);
    return true;
}

} // namespace

bool NetworkAddress::isNetworkText(const QString &text)
{
    return text.contains(QLatin1String("://"));
}

std::optional<NetworkAddress> NetworkAddress::parse(const QString &text, QString *error)
{
    const qsizetype split = text.indexOf(QLatin1String("://"));
    if (split < 0) {
        fail(error, QStringLiteral("a network port is written rfc2217://HOST:PORT or tcp://HOST:PORT"));
        return std::nullopt;
    }
    const QString scheme = text.left(split);
    NetworkAddress address;
    if (scheme.compare(kRfc2217Scheme, Qt::CaseInsensitive) == 0) {
        address.kind = Kind::Rfc2217;
    } else if (scheme.compare(kTcpScheme, Qt::CaseInsensitive) == 0) {
        address.kind = Kind::RawTcp;
    } else {
        fail(error, QStringLiteral("\"%1\" is not a kind of network port: rfc2217:// or tcp://").arg(scheme));
        return std::nullopt;
    }
    QString rest = text.mid(split + 3);
    if (rest.endsWith(u'/'))
        rest.chop(1);
    if (rest.contains(u'/') || rest.contains(u'?') || rest.contains(u'#') || rest.contains(u'@')) {
        fail(error, QStringLiteral("a network port is HOST:PORT only, without a path, user or options"));
        return std::nullopt;
    }
    if (!takeHostPort(rest, &address, error))
        return std::nullopt;
    return address;
}

QString NetworkAddress::portOptionError(const QString &text)
{
    QString why;
    if (!isNetworkText(text) || parse(text, &why))
        return QString();
    return QStringLiteral("--port \"%1\": %2").arg(text, why);
}

QString NetworkAddress::hostPort() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

QString NetworkAddress::text() const
{
    return (kind == Kind::Rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://")) + hostPort();
}
