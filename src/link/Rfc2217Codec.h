#pragma once

#include "Port.h"

#include <QByteArray>
#include <QString>

#include <utility>

// The telnet layer of a serial port on a device server (RFC 854, 856, 2217),
// as a value: bytes from the server go in, the unit's data bytes and the
// answers owed to the server come out. No sockets, no clock.
//
// The client asks for BINARY both ways (so CR, NUL and every other byte of a
// frame pass unchanged) and for COM-PORT-OPTION; once the server agrees to
// the latter, it sets the line as a serial port opens (baud, data bits,
// parity, stop bits, no flow control, RTS and DTR) and asks to be told of DSR.
// Every 0xFF of the data goes out doubled and comes in undoubled; telnet
// commands never reach the data.
class Rfc2217Codec
{
public:
    static constexpr quint8 kIac = 255;
    static constexpr quint8 kDont = 254;
    static constexpr quint8 kDo = 253;
    static constexpr quint8 kWont = 252;
    static constexpr quint8 kWill = 251;
    static constexpr quint8 kSb = 250;
    static constexpr quint8 kSe = 240;
    static constexpr quint8 kBinary = 0;
    static constexpr quint8 kSuppressGoAhead = 3;
    static constexpr quint8 kComPort = 44;

    explicit Rfc2217Codec(const Port::LineSettings &settings = Port::LineSettings());

    // What the client says first, right after connecting.
    QByteArray opening();
    // Bytes from the server: the data among them. Answers owed go to replies().
    QByteArray takeIncoming(const QByteArray &bytes);
    // The bytes owed to the server since the last call.
    QByteArray takeReplies() { return std::exchange(m_replies, QByteArray()); }

    // Data for the server: every 0xFF doubled.
    static QByteArray escaped(const QByteArray &data);
    // Asks the server to drop what the serial line delivered and it holds.
    QByteArray purgeReceived() const;

    // The server has answered every option the client asked for.
    bool settled() const;
    // The server has answered the telnet options in some way.
    bool heardFromServer() const
    {
        return m_serverBinary != Answer::Waiting || m_clientBinary != Answer::Waiting || m_comPort != Answer::Waiting;
    }
    // Why the server cannot serve the unit (refused binary or the serial
    // port's control); empty while all is well.
    QString refusal() const { return m_refusal; }
    // DSR as the server reports it. Until the server has once reported it
    // on, DSR counts as on: a server that reports no modem lines, or a line
    // without them, is like a device without modem lines.
    bool dsr() const { return !m_dsrSeen || m_dsr; }

private:
    enum class Phase { Data, Iac, Option, Sub, SubIac };
    enum class Answer { Waiting, Yes, No };

    void command(quint8 verb, quint8 option);
    void subnegotiation(const QByteArray &body);
    void sendLineSettings();
    void refuse(const QString &why);

    Port::LineSettings m_settings;
    Phase m_phase = Phase::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    QByteArray m_replies;
    // The server's answers to what the client asked: it will send binary
    // (WILL), it will take binary (DO), it does the serial port's control (DO).
    Answer m_serverBinary = Answer::Waiting;
    Answer m_clientBinary = Answer::Waiting;
    Answer m_comPort = Answer::Waiting;
    bool m_clientSga = false;
    bool m_serverSga = false;
    bool m_dsr = true;
    bool m_dsrSeen = false;
    QString m_refusal;
};
