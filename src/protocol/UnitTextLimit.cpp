#include "UnitTextLimit.h"

#include <QtGlobal>

bool UnitTextLimit::allow(quint64 tick)
{
    const quint64 refill = (tick - m_refillTick) / kTicksPerSecond;
    if (refill > 0) {
        m_allowance = int(qMin<quint64>(kBurst, m_allowance + refill));
        m_refillTick += refill * kTicksPerSecond;
    }
    if (m_allowance > 0) {
        --m_allowance;
        return true;
    }
    ++m_leftOut;
    return false;
}

QString UnitTextLimit::leftOutReport(quint64 tick)
{
    if (m_leftOut == 0 || tick - m_reportTick < kTicksPerMinute)
        return QString();
    const QString report = QStringLiteral("%1 lines of unit text not logged").arg(m_leftOut);
    m_leftOut = 0;
    m_reportTick = tick;
    return report;
}
