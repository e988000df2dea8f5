#pragma once

#include "model/Stores.h"
#include "protocol/Outcome.h"
#include "report/SiteReport.h"

#include <QObject>
#include <QString>

#include <optional>

class QtItemControls;
class Session;
class UnitMemory;

// The report as the window makes it: the screen's settings beside the unit's
// last read values, and, after a write or a "Write changes" in this run, the
// site record of it (the values before from the backup, those written, those
// read back, how it ended, the backup's name).
class WindowReport : public QObject
{
    Q_OBJECT

public:
    WindowReport(Session &session, const QtItemControls &controls, const UnitMemory &unit, QObject *parent = nullptr);

    // A settings file was loaded onto the screen: the event entries come from it.
    void fileLoaded(const QString &path) { m_eventsFile = path; }
    // A "Write changes" asked for these values: what it writes comes from them.
    void commissionAsked(const Stores::ValueStore &target) { m_target = target; }
    SiteReport::Contents contents(const QString &site, const QString &technician) const;

private:
    void outcome(const Outcome &outcome);
    QString eventsSource() const;

    Session &m_session;
    const QtItemControls &m_controls;
    const UnitMemory &m_unit;
    QString m_eventsFile;
    Stores::ValueStore m_target;
    std::optional<SiteReport::Contents::WriteRecord> m_write;
};
