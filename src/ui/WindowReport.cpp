#include "WindowReport.h"

#include "QtItemControls.h"
#include "UnitDifferences.h"

#include "binding/ModUnitUpdate.h"
#include "binding/ModuleToUnit.h"
#include "files/LeesIniFile.h"
#include "link/Datacom.h"
#include "model/Items.h"
#include "protocol/Session.h"

#include <QFileInfo>

namespace {

// The settings of these items for the report, from values by item.
QMap<int, SettingsReport::Setting> settingsOf(const Stores::ValueStore &values, const QList<int> &items)
{
    QMap<int, SettingsReport::Setting> settings;
    const QList<SettingsReport::Setting> all = SettingsReport::fromValues(values, items);
    for (int n : items)
        settings.insert(n, all.at(n));
    return settings;
}

// The bulk values a backup file holds, as its lines give them.
QMap<int, SettingsReport::Setting> backupValues(const QString &path)
{
    QMap<int, LeesIniFile::ValueLine> lines;
    if (path.isEmpty() || !LeesIniFile::readValueLines(path, &lines))
        return {};
    Stores::ValueStore values;
    QList<int> items;
    for (int n : Items::kBulkItems) {
        if (!lines.contains(n))
            continue;
        bool number = false;
        const int v = lines.value(n).text.trimmed().toInt(&number);
        values[n] = number ? Values::integer(v) : Value(lines.value(n).text);
        items << n;
    }
    return settingsOf(values, items);
}

} // namespace

WindowReport::WindowReport(Session &session, const QtItemControls &controls, const UnitMemory &unit, QObject *parent)
    : QObject(parent), m_session(session), m_controls(controls), m_unit(unit)
{
    // After the status report's listener, so the unit's values read back are known.
    m_session.engine.addOutcomeListener([this](const Outcome &o) { outcome(o); });
}

void WindowReport::outcome(const Outcome &outcome)
{
    const bool write = outcome.command == Outcome::Command::WriteAll || outcome.command == Outcome::Command::Commission;
    if (!write || outcome.result == Outcome::Result::NotStarted)
        return;
    SiteReport::Contents::WriteRecord record;
    record.before = backupValues(outcome.backupPath);
    // A write-all sends the working values; a commission the target it was given.
    const bool commission = outcome.command == Outcome::Command::Commission;
    record.written = settingsOf(commission ? m_target : m_session.stores.workingValues, outcome.items);
    if (outcome.readBackEqual >= 0) {
        QList<int> readBack;
        Stores::ValueStore values;
        // The read at the end: for a commission every setting as the unit holds it then.
        for (int n : outcome.readBackItems) {
            if (m_unit.known(n) && !outcome.notReadBack.contains(n)) {
                readBack << n;
                values[n] = m_unit.value(n);
            }
        }
        record.readBack = settingsOf(values, readBack);
    }
    record.outcome = outcomeLogText(outcome, m_controls);
    record.backupName = QFileInfo(outcome.backupPath).fileName();
    m_write = record;
}

QString WindowReport::eventsSource() const
{
    bool fromUnit = true;
    for (int n : SiteReport::eventItems())
        fromUnit = fromUnit && m_unit.known(n)
            && ModuleToUnit::matchesUnit(n, ModUnitUpdate::screenValue(m_controls, n), m_unit.value(n));
    if (fromUnit)
        return QStringLiteral("Read from the unit");
    if (!m_eventsFile.isEmpty())
        return QStringLiteral("From the file ") + QFileInfo(m_eventsFile).fileName();
    return QStringLiteral("As shown on the screen, not read from the unit");
}

SiteReport::Contents WindowReport::contents(const QString &site, const QString &technician) const
{
    Session &s = m_session;
    SiteReport::Contents contents;
    contents.when = s.now();
    contents.site = site;
    contents.technician = technician.isEmpty() ? SiteReport::defaultTechnician() : technician;
    contents.sourceLabel = QStringLiteral("Unit");
    const LinkState &link = s.datacom.linkState();
    contents.source = link.device().isEmpty()
        ? QStringLiteral("serial port %1, not open").arg(Datacom::portNumberFor(s.setup.Compoort))
        : link.deviceText();
    contents.settings = SettingsReport::allSettings(s.stores, m_controls);
    // Beside the screen's values, the unit's where they are known.
    QList<int> known;
    Stores::ValueStore values;
    for (int n : Items::kBulkItems) {
        if (m_unit.known(n)) {
            known << n;
            values[n] = m_unit.value(n);
        }
    }
    if (!known.isEmpty()) {
        contents.comparedHeading = QStringLiteral("In the unit");
        contents.compared = settingsOf(values, known);
    }
    contents.eventsSource = eventsSource();
    contents.write = m_write;
    return contents;
}
