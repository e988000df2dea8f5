// tessaro-cli commission SITE.cfg: one read of the unit's bulk settings (the
// backup and the values before), writes of only those that differ from the
// file, their read-back, and the report from what is then known.

#include "CliRunner.h"

#include "Console.h"

#include "binding/ModUnitUpdate.h"
#include "files/LeesIniFile.h"
#include "files/TextFile.h"
#include "model/Items.h"
#include "protocol/Session.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {

QList<int> bulkList()
{
    return QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end());
}

const Outcome *commissionOutcome(const QList<Outcome> &outcomes)
{
    for (const Outcome &outcome : outcomes) {
        if (outcome.command == Outcome::Command::Commission)
            return &outcome;
    }
    return nullptr;
}

// The bulk settings before (the commission's read), as asked (the file's) and
// as the unit holds them now.
struct ChangedValues
{
    QList<SettingsReport::Setting> before;
    QList<SettingsReport::Setting> after;
    QList<SettingsReport::Setting> now;
};

ChangedValues changedValues(const Session &s)
{
    Stores::ValueStore before = s.stores.unitValues;
    Stores::ValueStore after = s.stores.unitValues;
    for (const Interface::Change &change : s.engine.changes()) {
        before[change.item] = change.before;
        after[change.item] = change.after;
    }
    return {SettingsReport::fromValues(before, bulkList()), SettingsReport::fromValues(after, bulkList()),
            SettingsReport::fromValues(s.stores.unitValues, bulkList())};
}

} // namespace

ExitStatus CliRunner::commission()
{
    Session &s = *m_session;
    // As "Read from file": every item from the file, shown on the controls.
    if (const FileResult read = LeesIniFile::ReadSettingsFile(s.stores, m_controls, m_request.file); !read)
        return fail(ExitStatus::Usage, read.error);
    ModUnitUpdate::TakeAllValues(s.stores, m_controls);
    s.engine.requestCommission(s.stores.workingValues, false);
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    const Outcome *outcome = commissionOutcome(m_outcomes);
    if (const ExitStatus status = writeOutcome(bulkList()); status != ExitStatus::Done || !outcome)
        return status;
    return commissionRecord(*outcome);
}

// The last line and the report, from what the run holds; with --json the
// line goes in the document the run ends with.
ExitStatus CliRunner::commissionRecord(const Outcome &outcome)
{
    Session &s = *m_session;
    QString line = commissionedText(outcome, m_controls, QFileInfo(m_request.file).fileName());
    // The settings as now in the unit, on the controls the report reads.
    for (int n : Items::kBulkItems) {
        s.stores.workingValues[n] = s.stores.unitValues[n];
        ModUnitUpdate::ShowValue(s.stores, m_controls, n);
    }
    if (outcome.result == Outcome::Result::Succeeded && !m_request.reportFile.isEmpty()) {
        if (!saveCommissionReport(outcome, line))
            return unreported(QStringLiteral("the report could not be written"));
        line += QStringLiteral("; report ") + TextFile::displayName(m_request.reportFile);
    }
    if (m_request.json) {
        m_lastLine = line;
        return ExitStatus::Done;
    }
    m_view.finish();
    m_resultWritten = Console::writeLine(stdout, line);
    return m_resultWritten ? ExitStatus::Done : outputFailed();
}

// The site record: the settings as now in the unit, the values before (the
// read the commission began with), those written and what they read back as.
bool CliRunner::saveCommissionReport(const Outcome &outcome, const QString &line)
{
    Session &s = *m_session;
    const QString fileName = QFileInfo(m_request.file).fileName();
    SiteReport::Contents contents;
    unitSource(contents);
    contents.eventsSource = QStringLiteral("From the file %1").arg(fileName);
    const ChangedValues values = changedValues(s);
    SiteReport::Contents::WriteRecord record;
    for (int n : Items::kBulkItems)
        record.before.insert(n, values.before.at(n));
    for (int n : outcome.items)
        record.written.insert(n, values.after.at(n));
    // The read at the end: every setting as the unit holds it then.
    for (int n : outcome.readBackItems) {
        if (!outcome.notReadBack.contains(n))
            record.readBack.insert(n, values.now.at(n));
    }
    record.outcome = line;
    record.backupName = QFileInfo(outcome.backupPath).fileName();
    contents.write = record;
    return saveReport(contents, m_request.reportFile) == ExitStatus::Done;
}

// The items the unit took, each as {"item", "legend", "before", "after"}:
// the value the commission read before writing, and the file's.
QJsonArray CliRunner::commissionChanged(const QList<int> &taken) const
{
    const ChangedValues values = changedValues(*m_session);
    QJsonArray changed;
    for (const Interface::Change &change : m_session->engine.changes()) {
        if (!taken.contains(change.item))
            continue;
        QJsonObject entry;
        entry.insert(QStringLiteral("item"), change.item);
        entry.insert(QStringLiteral("legend"), values.before.at(change.item).legend);
        entry.insert(QStringLiteral("before"), SettingsReport::toJson(values.before.at(change.item)));
        entry.insert(QStringLiteral("after"), SettingsReport::toJson(values.after.at(change.item)));
        changed.append(entry);
    }
    return changed;
}
