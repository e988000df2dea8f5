#pragma once

#include "Outcome.h"
#include "link/Port.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A line check: a number of reads of item 0, each answered (and how fast) or
// failed (and how). It reads no clock: the caller hands it the times of the
// port's traffic, in milliseconds of a clock of its own, and each read's
// outcome; the answer time is from the request's last byte written to the
// answer's last byte arrived.
class LineCheck
{
public:
    static constexpr int kDefaultCount = 20;
    static constexpr int kMaxCount = 1000;

    struct Exchange
    {
        Outcome::Failure failure = Outcome::Failure::None; // None: answered
        std::optional<qint64> answerMs;                    // when the traffic was timed
        bool answered() const { return failure == Outcome::Failure::None; }
    };

    explicit LineCheck(int count = kDefaultCount) : m_count(count) {}

    int count() const { return m_count; }
    bool done() const { return m_exchanges.size() >= m_count; }
    const QList<Exchange> &exchanges() const { return m_exchanges; }
    int answered() const;
    int failed() const { return int(m_exchanges.size()) - answered(); }

    void noteTraffic(Port::Traffic traffic, qint64 ms);
    // The outcome of one check read; the traffic noted since the last one times it.
    const Exchange &add(const Outcome &outcome);

    // "read 3: 23 ms", "read 4: checksum error"; number counts from 1.
    static QString exchangeText(int number, const Exchange &exchange);
    // "20 reads: 19 answered, 1 checksum error (5 %); answer time min/avg/max
    // 21/23/31 ms", of the reads made so far; "..., 0 failed (0 %); ..." when
    // every read was answered.
    QString summary() const;
    QJsonObject toJson() const;

private:
    struct Times
    {
        qint64 min = 0;
        qint64 max = 0;
        double average = 0;
        int timed = 0;
    };
    Times times() const;
    QList<std::pair<Outcome::Failure, int>> failuresByKind() const;
    int failedPercent() const;

    int m_count;
    QList<Exchange> m_exchanges;
    std::optional<qint64> m_lastWritten;
    std::optional<qint64> m_lastArrived;
};
