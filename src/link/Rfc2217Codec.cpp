#include "Rfc2217Codec.h"

#include <utility>

namespace {

// COM-PORT-OPTION commands, client to server; the server answers with 100 added.
constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;
constexpr quint8 kSetControl = 5;
constexpr quint8 kSetModemStateMask = 11;
constexpr quint8 kPurgeData = 12;
constexpr quint8 kNotifyModemState = 7 + 100;

constexpr quint8 kControlNoFlow = 1;
constexpr quint8 kControlHardwareFlow = 3;
constexpr quint8 kControlDtrOn = 8;
constexpr quint8 kControlDtrOff = 9;
constexpr quint8 kControlRtsOn = 11;
constexpr quint8 kControlRtsOff = 12;
constexpr quint8 kPurgeReceived = 1; // the server's buffer of what the serial line delivered

constexpr quint8 kModemDsr = 0x20;
constexpr quint8 kModemDsrChanged = 0x02;

QByteArray comPortCommand(quint8 command, const QByteArray &value)
{
    QByteArray bytes;
    bytes.append(char(Rfc2217Codec::kIac)).append(char(Rfc2217Codec::kSb)).append(char(Rfc2217Codec::kComPort));
    bytes.append(char(command));
    bytes.append(Rfc2217Codec::escaped(value));
    bytes.append(char(Rfc2217Codec::kIac)).append(char(Rfc2217Codec::kSe));
    return bytes;
}

QByteArray oneByte(quint8 value)
{
    return QByteArray(1, char(value));
}

QByteArray verb(quint8 what, quint8 option)
{
    QByteArray bytes;
    bytes.append(char(Rfc2217Codec::kIac)).append(char(what)).append(char(option));
    return bytes;
}

} // namespace

Rfc2217Codec::Rfc2217Codec(const Port::LineSettings &settings)
    : m_settings(settings)
{
}

QByteArray Rfc2217Codec::opening()
{
    return verb(kWill, kBinary) + verb(kDo, kBinary) + verb(kWill, kComPort);
}

QByteArray Rfc2217Codec::escaped(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

QByteArray Rfc2217Codec::purgeReceived() const
{
    return comPortCommand(kPurgeData, oneByte(kPurgeReceived));
}

bool Rfc2217Codec::settled() const
{
    return !m_refusal.isEmpty()
        || (m_serverBinary != Answer::Waiting && m_clientBinary != Answer::Waiting && m_comPort != Answer::Waiting);
}

QByteArray Rfc2217Codec::takeIncoming(const QByteArray &bytes)
{
    QByteArray data;
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        switch (m_phase) {
        case Phase::Data:
            if (b == kIac)
                m_phase = Phase::Iac;
            else
                data.append(c);
            break;
        case Phase::Iac:
            if (b == kIac) {
                data.append(c); // a doubled 0xFF is one data byte
                m_phase = Phase::Data;
            } else if (b == kSb) {
                m_sub.clear();
                m_phase = Phase::Sub;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_phase = Phase::Option;
            } else {
                m_phase = Phase::Data; // a two-byte command (NOP, GA, ...): nothing to do
            }
            break;
        case Phase::Option:
            command(m_verb, b);
            m_phase = Phase::Data;
            break;
        case Phase::Sub:
            if (b == kIac)
                m_phase = Phase::SubIac;
            else if (m_sub.size() < 64)
                m_sub.append(c);
            break;
        case Phase::SubIac:
            if (b == kSe) {
                subnegotiation(m_sub);
                m_phase = Phase::Data;
            } else {
                if (b == kIac && m_sub.size() < 64)
                    m_sub.append(c);
                m_phase = Phase::Sub;
            }
            break;
        }
    }
    return data;
}

// The server's WILL, WONT, DO or DONT for an option. The options the client
// asked for are answers; any other is refused, except suppress-go-ahead,
// which every serial server may have. An option already in the asked state
// gets no answer, so no two ends ever loop.
void Rfc2217Codec::command(quint8 what, quint8 option)
{
    const bool yes = what == kWill || what == kDo;
    const bool aboutClient = what == kDo || what == kDont;
    if (option == kBinary) {
        Answer &answer = aboutClient ? m_clientBinary : m_serverBinary;
        answer = yes ? Answer::Yes : Answer::No;
        if (!yes)
            refuse(QStringLiteral("the server refuses binary transfer"));
        return;
    }
    if (option == kComPort && aboutClient) {
        const bool first = m_comPort != Answer::Yes;
        m_comPort = yes ? Answer::Yes : Answer::No;
        if (!yes)
            refuse(QStringLiteral("the server does not take serial settings (RFC 2217)"));
        else if (first)
            sendLineSettings();
        return;
    }
    if (option == kSuppressGoAhead && yes) {
        bool &agreed = aboutClient ? m_clientSga : m_serverSga;
        if (!agreed)
            m_replies += verb(aboutClient ? kWill : kDo, option);
        agreed = true;
        return;
    }
    if (yes)
        m_replies += verb(aboutClient ? kWont : kDont, option);
}

void Rfc2217Codec::subnegotiation(const QByteArray &body)
{
    if (body.size() < 3 || quint8(body.at(0)) != kComPort)
        return;
    if (quint8(body.at(1)) == kNotifyModemState) {
        m_dsr = (quint8(body.at(2)) & kModemDsr) != 0;
        m_dsrSeen = m_dsrSeen || m_dsr;
    }
}

void Rfc2217Codec::sendLineSettings()
{
    const quint32 baud = quint32(m_settings.baud);
    QByteArray baudBytes;
    for (int shift : {24, 16, 8, 0})
        baudBytes.append(char((baud >> shift) & 0xFF));
    const quint8 parity = m_settings.parity == 'O' ? 2 : m_settings.parity == 'E' ? 3 : 1;
    const bool hardwareFlow = m_settings.handshake == Port::Handshake::RtsCts;
    m_replies += comPortCommand(kSetBaudRate, baudBytes);
    m_replies += comPortCommand(kSetDataSize, oneByte(quint8(m_settings.dataBits)));
    m_replies += comPortCommand(kSetParity, oneByte(parity));
    m_replies += comPortCommand(kSetStopSize, oneByte(quint8(m_settings.stopBits)));
    m_replies += comPortCommand(kSetControl, oneByte(hardwareFlow ? kControlHardwareFlow : kControlNoFlow));
    m_replies += comPortCommand(kSetControl, oneByte(m_settings.dtr ? kControlDtrOn : kControlDtrOff));
    // With RTS/CTS handshaking the server drives RTS.
    if (!hardwareFlow)
        m_replies += comPortCommand(kSetControl, oneByte(m_settings.rts ? kControlRtsOn : kControlRtsOff));
    m_replies += comPortCommand(kSetModemStateMask, oneByte(kModemDsr | kModemDsrChanged));
}

void Rfc2217Codec::refuse(const QString &why)
{
    if (m_refusal.isEmpty())
        m_refusal = why;
}
