// The commands that change the unit: write-all, write, call and restart.
#include "CliRunner.h"

#include "Console.h"
#include "ItemArguments.h"

#include "files/LeesIniFile.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"

#include <QJsonObject>

namespace {

QString resultName(Outcome::Result result)
{
    switch (result) {
    case Outcome::Result::Succeeded: return QStringLiteral("succeeded");
    case Outcome::Result::Failed: return QStringLiteral("failed");
    case Outcome::Result::Cancelled: return QStringLiteral("cancelled");
    case Outcome::Result::NotStarted: return QStringLiteral("not started");
    }
    return QString();
}

// The engine's command that a command of the tool gives.
Outcome::Command engineCommand(CliRequest::Command command)
{
    switch (command) {
    case CliRequest::Command::Commission: return Outcome::Command::Commission;
    case CliRequest::Command::WriteAll: return Outcome::Command::WriteAll;
    default: return Outcome::Command::WriteItem;
    }
}

} // namespace

ExitStatus CliRunner::writeAll()
{
    Session &s = *m_session;
    // As "Read from file": every item from the file, shown on the controls.
    if (const FileResult read = LeesIniFile::ReadSettingsFile(s.stores, m_controls, m_request.file); !read)
        return fail(ExitStatus::Usage, read.error);
    s.engine.requestWriteAll();
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    return writeOutcome(bulkItems());
}

ExitStatus CliRunner::writeItems()
{
    Session &s = *m_session;
    QList<int> items;
    for (const auto &[n, value] : std::as_const(m_request.writes)) {
        items << n;
        // Through the item's control, as its write button takes it; an item
        // without a visible control sends its working value.
        if (!hasVisibleControl(n)) {
            s.stores.workingValues[n] = value;
            s.engine.requestStoredWrite(n);
        } else {
            if (ScreenDefinition::hasCombo(n))
                m_controls.setComboIndex(n, int(Values::numberOf(value)));
            else
                m_controls.setText(n, ItemArguments::valueText(n, value));
            s.engine.requestWrite(n);
        }
    }
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    if (const ExitStatus status = writeOutcome(items); status != ExitStatus::Done || m_request.json)
        return status;
    // What the unit took (and, read back, holds).
    m_view.finish();
    bool printed = true;
    for (int n : items)
        printed = printed
            && Console::writeLine(stdout, ItemArguments::record(n, ItemArguments::valueText(n, s.stores.unitValues[n])));
    m_resultWritten = printed;
    return printed ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::serviceCall(bool pagerCall)
{
    Session &s = *m_session;
    if (pagerCall) {
        m_view.setTestPagerAddress(m_request.pagerAddress);
        m_view.setTestPagerDisplayInfo(m_request.pagerText);
        m_controls.setTestBleepIndex(m_request.bleepIndex);
    }
    m_outcomes.clear();
    if (pagerCall)
        s.engine.requestPagerCall();
    else
        s.engine.requestRestart();
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    const Outcome::Command command = pagerCall ? Outcome::Command::PagerCall : Outcome::Command::Restart;
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        if (outcome.command != command)
            continue;
        if (outcome.result != Outcome::Result::Succeeded)
            return fail(ExitStatus::UnitFailed, outcomeMessage(outcome));
        m_view.finish();
        m_resultWritten = Console::writeLine(stdout, outcomeText(outcome, m_controls));
        return m_resultWritten ? ExitStatus::Done : outputFailed();
    }
    return transferOutcome({}, false);
}

bool CliRunner::writesSettings() const
{
    return m_request.command == CliRequest::Command::Commission || m_request.command == CliRequest::Command::WriteAll
        || m_request.command == CliRequest::Command::Write;
}

// With --json, a command that writes settings ends, whatever the ending, with
// one document: "changed", the items the unit took (acknowledged writes);
// "result"; "outcome", the words of the last line the run told, or of the
// log's outcome lines when it told none; "backup". The exit status stays.
ExitStatus CliRunner::writeJson(ExitStatus status)
{
    if (m_outputGone)
        return status;
    QList<int> taken;
    QStringList told;
    QString result;
    QString backup;
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        if (outcome.command != engineCommand(m_request.command))
            continue;
        for (int n : outcome.items) {
            if (!taken.contains(n))
                taken << n;
        }
        if (result.isEmpty() && outcome.result != Outcome::Result::Succeeded)
            result = resultName(outcome.result);
        if (!outcome.backupPath.isEmpty())
            backup = outcome.backupPath;
        told << outcomeLogText(outcome, m_controls, FrontEnd::CommandLine);
    }
    // No outcome that failed: the run's own ending says it.
    if (result.isEmpty() && m_signal != 0)
        result = resultName(Outcome::Result::Cancelled);
    else if (result.isEmpty() && status == ExitStatus::UnitFailed)
        result = resultName(Outcome::Result::Failed);
    else if (result.isEmpty())
        result = resultName(told.isEmpty() ? Outcome::Result::NotStarted : Outcome::Result::Succeeded);
    QJsonObject document;
    const bool commission = m_request.command == CliRequest::Command::Commission;
    document.insert(QStringLiteral("changed"), taken.isEmpty() ? QJsonArray()
                                               : commission    ? commissionChanged(taken)
                                                               : changedJson(taken));
    document.insert(QStringLiteral("result"), result);
    document.insert(QStringLiteral("outcome"), m_lastLine.isEmpty() ? told.join(QStringLiteral("; ")) : m_lastLine);
    document.insert(QStringLiteral("backup"), backup);
    m_view.finish();
    m_resultWritten = Console::write(stdout, SettingsReport::document(document));
    if (m_resultWritten || status != ExitStatus::Done)
        return status;
    return outputFailed();
}

// The items the unit took, each as {"item", "legend", "after"}: the value written.
QJsonArray CliRunner::changedJson(const QList<int> &taken) const
{
    const QList<SettingsReport::Setting> written = SettingsReport::fromValues(m_session->stores.workingValues, taken);
    QJsonArray changed;
    for (int n : taken) {
        QJsonObject entry;
        entry.insert(QStringLiteral("item"), n);
        entry.insert(QStringLiteral("legend"), written.at(n).legend);
        entry.insert(QStringLiteral("after"), SettingsReport::toJson(written.at(n)));
        changed.append(entry);
    }
    return changed;
}
