#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Faults the simulated unit can be told to make, each on every Nth request
// (counting from 1) or, with N = 1, always.
enum class UnitFault {
    NoAnswer,   // the request goes unanswered
    Nack,       // a NAK frame instead of the answer
    BadChecksum,// the answer's checksum byte is off by one
    Noise,      // a few stray bytes before the SOH
    CutShort,   // the answer stops before its last bytes
    TooLong,    // a well-formed answer of more than 98 bytes
    Slow,       // the answer's bytes trickle out, many ticks apart
    OtherItem,  // a read is answered with the value of the next item
    Text,       // a text line follows the answer, as the unit's own messages do
    WrongValue, // a write is acknowledged, but the unit keeps another value
};

struct UnitFaultRule
{
    UnitFault fault = UnitFault::NoAnswer;
    int every = 1;
};

class UnitFaultPlan
{
public:
    // "nack" (always) or "nack:3" (every 3rd request); nothing and a reason on a bad text.
    static std::optional<UnitFaultRule> parse(const QString &text, QString *error = nullptr);
    static QString nameOf(UnitFault fault);
    static QStringList names();

    void add(const UnitFaultRule &rule) { m_rules.append(rule); }
    bool isEmpty() const { return m_rules.isEmpty(); }
    // The faults of request number k (1 for the first).
    QList<UnitFault> faultsFor(int requestNumber) const;

private:
    QList<UnitFaultRule> m_rules;
};

namespace UnitFaults {

constexpr int kTooLongSize = 110;
// The stray bytes of the noise fault: none of them an SOH.
inline QByteArray noiseBytes() { return QByteArray("\x00\xFF\x55\x13", 4); }
inline QByteArray textLine() { return QByteArrayLiteral("ESPA in: line idle\r\n"); }

// The value the wrong-value fault keeps instead of a written one: the next
// digit of a bleep code, else the first byte with its lowest bit flipped (an
// empty text becomes "X"). Always a value the unit can hold.
QByteArray otherValue(int n, QByteArray value);

// The faults that change the bytes of an answer frame, applied to it.
QByteArray applyToFrame(QByteArray answer, const QList<UnitFault> &faults);

} // namespace UnitFaults
