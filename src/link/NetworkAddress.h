#pragma once

#include <QString>

#include <optional>

// A port on a serial device server, as the operator names it:
// "rfc2217://HOST:PORT" (the serial port over telnet, with its line settings
// and modem lines) or "tcp://HOST:PORT" (the bytes as they are). HOST is a
// name, an IPv4 address or an IPv6 address in brackets.
struct NetworkAddress
{
    enum class Kind { Rfc2217, RawTcp };

    Kind kind = Kind::Rfc2217;
    QString host; // without brackets
    quint16 port = 0;

    // Whether the text is meant as a network address ("scheme://..."), so a
    // wrong one is refused with its reason instead of taken for a file name.
    static bool isNetworkText(const QString &text);
    // The address, or nothing with the reason in *error (the argument is not
    // repeated there: the caller names it).
    static std::optional<NetworkAddress> parse(const QString &text, QString *error = nullptr);
    // Why a --port value meant as a network address is refused, as the
    // programs say it ("--port \"tcp://:80\": no host: ..."); empty when the
    // value is no network address or a good one.
    static QString portOptionError(const QString &text);

    // "rfc2217://10.0.4.7:4001", "tcp://[::1]:4001": as the log and the screens show it.
    QString text() const;
    // "10.0.4.7:4001", "[::1]:4001": the reasons name the server this way.
    QString hostPort() const;
};
