#include "UnitFaults.h"

#include "UnitResponder.h"

#include "model/Items.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<UnitFault, const char *>, 10> kNames = {{
    {UnitFault::NoAnswer, "no-answer"},
    {UnitFault::Nack, "nack"},
    {UnitFault::BadChecksum, "checksum"},
    {UnitFault::Noise, "noise"},
    {UnitFault::CutShort, "short"},
    {UnitFault::TooLong, "long"},
    {UnitFault::Slow, "slow"},
    {UnitFault::OtherItem, "other-item"},
    {UnitFault::Text, "text"},
    {UnitFault::WrongValue, "wrong-value"},
}};

} // namespace

QString UnitFaultPlan::nameOf(UnitFault fault)
{
    for (const auto &[f, name] : kNames) {
        if (f == fault)
            return QString::fromLatin1(name);
    }
    return QString();
}

QStringList UnitFaultPlan::names()
{
    QStringList all;
    for (const auto &entry : kNames)
        all << QString::fromLatin1(entry.second);
    return all;
}

std::optional<UnitFaultRule> UnitFaultPlan::parse(const QString &text, QString *error)
{
    const qsizetype colon = text.indexOf(u':');
    const QString name = colon < 0 ? text : text.left(colon);
    UnitFaultRule rule;
    bool known = false;
    for (const auto &[f, n] : kNames) {
        if (name == QLatin1String(n)) {
            rule.fault = f;
            known = true;
        }
    }
    if (!known) {
        if (error)
            *error = QStringLiteral("unknown fault \"%1\"; known: %2").arg(name, names().join(QStringLiteral(", ")));
        return std::nullopt;
    }
    if (colon >= 0) {
        bool ok = false;
        rule.every = text.mid(colon + 1).toInt(&ok);
        if (!ok || rule.every < 1) {
            if (error)
                *error = QStringLiteral("\"%1\": N in %2:N must be a whole number from 1").arg(text, name);
            return std::nullopt;
        }
    }
    return rule;
}

QList<UnitFault> UnitFaultPlan::faultsFor(int requestNumber) const
{
    QList<UnitFault> faults;
    for (const UnitFaultRule &rule : m_rules) {
        if (requestNumber % rule.every == 0 && !faults.contains(rule.fault))
            faults.append(rule.fault);
    }
    return faults;
}

QByteArray UnitFaults::otherValue(int n, QByteArray value)
{
    if (value.isEmpty())
        return QByteArrayLiteral("X");
    if (Items::isHexDigitItem(n)) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        const int at = QByteArrayView(kDigits).indexOf(value.at(0));
        value[0] = kDigits[(at + 1) % 16];
        return value;
    }
    value[0] = char(quint8(value.at(0)) ^ 1);
    return value;
}

QByteArray UnitFaults::applyToFrame(QByteArray answer, const QList<UnitFault> &faults)
{
    if (faults.contains(UnitFault::NoAnswer))
        return QByteArray();
    if (faults.contains(UnitFault::Nack))
        answer = UnitResponder::nakFrame();
    if (faults.contains(UnitFault::TooLong) && answer.size() >= 3) {
        // The payload padded with blanks before its last byte: checksum and LEN stay right.
        QByteArray payload = answer.mid(2, answer.size() - 3);
        payload.insert(payload.size() - 1, QByteArray(qMax(0, kTooLongSize - 3 - int(payload.size())), ' '));
        answer = UnitResponder::frame(payload);
    }
    if (faults.contains(UnitFault::BadChecksum) && !answer.isEmpty())
        answer.back() = char(quint8(answer.back()) + 1);
    if (faults.contains(UnitFault::CutShort))
        answer.truncate(qMax(2, int(answer.size()) - 3));
    if (faults.contains(UnitFault::Noise))
        answer.prepend(noiseBytes());
    return answer;
}
