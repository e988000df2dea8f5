#include "LineCheck.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

int LineCheck::answered() const
{
    return int(std::count_if(m_exchanges.cbegin(), m_exchanges.cend(), [](const Exchange &e) { return e.answered(); }));
}

// A write starts the exchange anew: what arrived before it belongs to an earlier one.
void LineCheck::noteTraffic(Port::Traffic traffic, qint64 ms)
{
    if (traffic == Port::Traffic::Written) {
        m_lastWritten = ms;
        m_lastArrived.reset();
    } else {
        m_lastArrived = ms;
    }
}

const LineCheck::Exchange &LineCheck::add(const Outcome &outcome)
{
    Exchange exchange;
    exchange.failure = outcome.result == Outcome::Result::Succeeded ? Outcome::Failure::None : outcome.failure;
    // A refused or failed read without a failure kind still failed.
    if (outcome.result != Outcome::Result::Succeeded && exchange.failure == Outcome::Failure::None)
        exchange.failure = Outcome::Failure::UnusableAnswer;
    if (exchange.answered() && m_lastWritten && m_lastArrived)
        exchange.answerMs = std::max<qint64>(0, *m_lastArrived - *m_lastWritten);
    m_lastWritten.reset();
    m_lastArrived.reset();
    m_exchanges << exchange;
    return m_exchanges.constLast();
}

QString LineCheck::exchangeText(int number, const Exchange &exchange)
{
    const QString head = QStringLiteral("read %1: ").arg(number);
    if (!exchange.answered())
        return head + LinkState::failureText(exchange.failure);
    return head + (exchange.answerMs ? QStringLiteral("%1 ms").arg(*exchange.answerMs) : QStringLiteral("answered"));
}

LineCheck::Times LineCheck::times() const
{
    Times t;
    qint64 sum = 0;
    for (const Exchange &e : m_exchanges) {
        if (!e.answerMs)
            continue;
        t.min = t.timed == 0 ? *e.answerMs : std::min(t.min, *e.answerMs);
        t.max = t.timed == 0 ? *e.answerMs : std::max(t.max, *e.answerMs);
        sum += *e.answerMs;
        ++t.timed;
    }
    if (t.timed > 0)
        t.average = double(sum) / t.timed;
    return t;
}

// The kinds of failure in the order of their enumeration, each with its count.
QList<std::pair<Outcome::Failure, int>> LineCheck::failuresByKind() const
{
    QList<std::pair<Outcome::Failure, int>> kinds;
    for (const Exchange &e : m_exchanges) {
        if (e.answered())
            continue;
        auto it = std::find_if(kinds.begin(), kinds.end(), [&e](const auto &k) { return k.first == e.failure; });
        if (it == kinds.end())
            kinds << std::pair{e.failure, 1};
        else
            ++it->second;
    }
    std::sort(kinds.begin(), kinds.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    return kinds;
}

int LineCheck::failedPercent() const
{
    return m_exchanges.isEmpty() ? 0 : int(std::lround(100.0 * failed() / double(m_exchanges.size())));
}

QString LineCheck::summary() const
{
    const qsizetype reads = m_exchanges.size();
    QString text = QStringLiteral("%1 %2: %3 answered")
                       .arg(reads)
                       .arg(reads == 1 ? QStringLiteral("read") : QStringLiteral("reads"))
                       .arg(answered());
    // Each kind of failure with its count, "3 checksum errors", then the share failed.
    QStringList kinds;
    for (const auto &[failure, n] : failuresByKind()) {
        const QString kind = LinkState::failureText(failure);
        kinds << QStringLiteral("%1 %2%3").arg(n).arg(kind, n > 1 && kind.endsWith(QLatin1String("error")) ? QStringLiteral("s") : QString());
    }
    if (kinds.isEmpty())
        kinds << QStringLiteral("0 failed");
    text += QStringLiteral(", %1 (%2 %)").arg(kinds.join(QStringLiteral(", "))).arg(failedPercent());
    const Times t = times();
    if (t.timed > 0)
        text += QStringLiteral("; answer time min/avg/max %1/%2/%3 ms").arg(t.min).arg(std::lround(t.average)).arg(t.max);
    return text;
}

// {"exchanges": [{"read": 1, "answered": true, "ms": 23}, {"read": 2,
// "answered": false, "failure": "checksum error"}], "summary": {...}}
QJsonObject LineCheck::toJson() const
{
    QJsonArray list;
    for (qsizetype i = 0; i < m_exchanges.size(); ++i) {
        const Exchange &e = m_exchanges.at(i);
        QJsonObject o{{QStringLiteral("read"), int(i + 1)}, {QStringLiteral("answered"), e.answered()}};
        if (!e.answered())
            o.insert(QStringLiteral("failure"), LinkState::failureText(e.failure));
        if (e.answerMs)
            o.insert(QStringLiteral("ms"), double(*e.answerMs));
        list.append(o);
    }
    QJsonObject failures;
    for (const auto &[failure, n] : failuresByKind())
        failures.insert(LinkState::failureText(failure), n);
    QJsonObject totals{{QStringLiteral("reads"), int(m_exchanges.size())},
                        {QStringLiteral("answered"), answered()},
                        {QStringLiteral("failed"), failed()},
                        {QStringLiteral("failedPercent"), failedPercent()},
                        {QStringLiteral("failures"), failures},
                        {QStringLiteral("text"), summary()}};
    if (const Times t = times(); t.timed > 0) {
        totals.insert(QStringLiteral("answerMs"), QJsonObject{{QStringLiteral("min"), double(t.min)},
                                                             {QStringLiteral("avg"), std::round(t.average * 10) / 10},
                                                             {QStringLiteral("max"), double(t.max)}});
    }
    return QJsonObject{{QStringLiteral("exchanges"), list}, {QStringLiteral("summary"), totals}};
}
