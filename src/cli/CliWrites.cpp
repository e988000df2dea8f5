// The commands that change the unit: write-all, write, call and restart.
#include "CliRunner.h"

#include "Console.h"
#include "ItemArguments.h"

#include "files/LeesIniFile.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"

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
    if (const ExitStatus status = writeOutcome(items); status != ExitStatus::Done)
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
