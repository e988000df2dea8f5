#pragma once

#include <QString>

// The rate limit of the unit's own text lines in the log: a burst, then one
// line a second, so that a babbling unit cannot fill the disk. Once a minute a
// line counts what was left out. Time is the engine's tick count.
class UnitTextLimit
{
public:
    // Whether a line ending at this tick goes to the log; one that does not is counted.
    bool allow(quint64 tick);
    // The line counting what was left out, at most once a minute; empty otherwise.
    QString leftOutReport(quint64 tick);

private:
    static constexpr int kBurst = 20;
    static constexpr quint64 kTicksPerSecond = 40;
    static constexpr quint64 kTicksPerMinute = 60 * kTicksPerSecond;

    int m_allowance = kBurst;
    quint64 m_refillTick = 0;
    quint64 m_reportTick = 0;
    int m_leftOut = 0;
};
