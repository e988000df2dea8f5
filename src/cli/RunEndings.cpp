// How a run of the command-line tool ends: the engine's ticks until it is
// quiet, a signal or the time limit stopping it, and the last line, which
// tells what the unit took in the engine's own words (the log's outcome line).

#include "CliRunner.h"

#include "Console.h"

#include "files/TextFile.h"
#include "model/Items.h"
#include "model/TestTimeScale.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

bool unitValueKnown(const Value &v)
{
    return Values::isText(v) || (Values::isNumber(v) && Values::numberOf(v) >= 0);
}

bool isWrite(const Outcome &outcome)
{
    return outcome.command == Outcome::Command::WriteAll || outcome.command == Outcome::Command::WriteItem
        || outcome.command == Outcome::Command::Commission;
}

} // namespace

// A command that only reads is for its output: once standard output is gone
// (a pipe whose reader ended), it ends at once, without a further line.
bool CliRunner::outputGone()
{
    if (!m_outputGone && m_request.readsOnly() && Console::standardOutputGone()) {
        m_outputGone = true;
        if (m_session)
            m_session->engine.cancelByOperator();
    }
    return m_outputGone;
}

// The last line of a run that did not end well. Whatever it quotes from a file
// or the unit shows its control bytes by name.
ExitStatus CliRunner::fail(ExitStatus status, const QString &message)
{
    if (outputGone())
        return ExitStatus::Usage;
    m_view.finish();
    m_lastLine = message;
    (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ") + message);
    return status;
}

// A line of the tool's own on standard error, between the progress lines.
void CliRunner::note(const QString &message)
{
    m_view.note(QStringLiteral("tessaro-cli: ") + message);
}

// The commands that change what the unit holds or does.
bool CliRunner::changesUnit() const
{
    switch (m_request.command) {
    case CliRequest::Command::WriteAll:
    case CliRequest::Command::Commission:
    case CliRequest::Command::Write:
    case CliRequest::Command::Call:
    case CliRequest::Command::Restart: return true;
    default: return false;
    }
}

// What the unit took in this run, from the engine's outcomes: for a call or
// a restart whether it went out, for writes the groups of the log's line
// ("14 of 14 written (items 0 5 7 ...)").
QString CliRunner::takenInRun() const
{
    if (m_request.command == CliRequest::Command::Call || m_request.command == CliRequest::Command::Restart) {
        const Outcome::Command command =
            m_request.command == CliRequest::Command::Call ? Outcome::Command::PagerCall : Outcome::Command::Restart;
        const bool done = std::any_of(m_outcomes.cbegin(), m_outcomes.cend(), [command](const Outcome &o) {
            return o.command == command && o.result == Outcome::Result::Succeeded;
        });
        const QString what = command == Outcome::Command::PagerCall ? QStringLiteral("the test call was ")
                                                                     : QStringLiteral("the restart was ");
        return what + (done ? QStringLiteral("sent") : QStringLiteral("not sent"));
    }
    Outcome taken{Outcome::Command::WriteAll, Outcome::Result::Succeeded};
    for (const Outcome &outcome : m_outcomes) {
        if (!isWrite(outcome))
            continue;
        for (int n : outcome.items) {
            if (!taken.items.contains(n))
                taken.items << n;
        }
        taken.unanswered += outcome.unanswered;
        taken.refused += outcome.refused;
        taken.notSent += outcome.notSent;
    }
    return ::takenText(taken);
}

// A command that changed the unit and could not tell it: the last line says
// what the unit took, on standard error, else where the result would have gone.
ExitStatus CliRunner::unreported(const QString &why)
{
    m_view.finish();
    m_lastLine = why + QStringLiteral("; ") + takenInRun();
    const QString line = QStringLiteral("tessaro-cli: ") + m_lastLine;
    // With --json the document on standard output carries it.
    if (!Console::writeLine(stderr, line) && !m_resultWritten && !m_request.json)
        (void)Console::writeLine(stdout, line);
    return ExitStatus::Unreported;
}

// A result that could not be written is not a result; of a command that
// changed the unit it is still a change.
ExitStatus CliRunner::outputFailed()
{
    const QString why = QStringLiteral("cannot write the result to standard output: ") + Console::lastError();
    return changesUnit() ? unreported(why) : fail(ExitStatus::Usage, why);
}

// Why the link is down, in plain words; for a device the user may not open,
// how to mend that.
QString CliRunner::linkReason() const
{
    const LinkState &link = m_session->datacom.linkState();
    QString reason = link.reason();
    if (reason.isEmpty())
        reason = QStringLiteral("the serial port is closed");
#ifdef Q_OS_UNIX
    // Only a group that may read and write the device, and not root's, is
    // one to join (a terminal's group tty may only write to it).
    const QFileInfo device(link.device());
    if (link.problem() == Port::Problem::PermissionDenied && !device.group().isEmpty() && device.groupId() != 0
        && device.permission(QFileDevice::ReadGroup | QFileDevice::WriteGroup)) {
        reason += QStringLiteral("; the device belongs to the group %1: add yourself to it "
                                 "(sudo adduser $USER %1) and log in again")
                      .arg(device.group());
    }
#endif
    return reason;
}

bool CliRunner::quiet() const
{
    return m_session->engine.isQuiet();
}

// The desktop tool's two timers in one: a tick every 25 ms, the link watch
// every fourth. Ends when the engine is idle with nothing pending, when the
// time limit runs out (the engine stops its command first, so its outcome
// tells what the unit took), or when the port is lost under a command: the
// engine drops what was pending once it can reopen the port, so waiting
// gains nothing.
CliRunner::Ending CliRunner::runUntilQuiet()
{
    Interface &engine = m_session->engine;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(TestTimeScale::scaledMs(kTickMs));
    m_ending = Ending::TimeLimit;
    const qsizetype before = m_outcomes.size();
    // A signal that came before the loop ran is taken first.
    if (SignalWatch::caught() != 0)
        interruptBy(SignalWatch::caught());
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (outputGone()) {
            loop.quit();
            return;
        }
        engine.InterfaceTick(0);
        if (++m_ticks % kWatchEveryTicks == 0)
            m_session->datacom.CheckComLink();
        const auto &transaction = engine.transaction();
        const bool moving = transaction && transaction->movesItem();
        m_view.trackTransfer(moving, moving && transaction->writesItem(), engine.CurrentItem());
        const bool portLost = std::any_of(m_outcomes.cbegin() + before, m_outcomes.cend(), [](const Outcome &o) {
            return o.failure == Outcome::Failure::PortLost;
        });
        if (quiet() || portLost) {
            m_ending = Ending::Quiet;
            loop.quit();
        } else if (m_deadline.hasExpired()) {
            engine.stop(Outcome::Stop::TimeLimit);
            loop.quit();
        }
    });
    timer.start();
    loop.exec();
    return m_ending;
}

// The first of SIGINT, SIGTERM and SIGHUP: the engine stops its command as
// the operator's Cancel does, and its outcome tells what the unit took.
void CliRunner::interruptBy(int signal)
{
    if (m_signal != 0 || !m_session)
        return;
    m_signal = signal;
    m_session->engine.stop(Outcome::Stop::Signal);
}

// The outcome the engine told when it was stopped for the cause, if any.
const Outcome *CliRunner::stoppedOutcome(Outcome::Stop cause) const
{
    for (const Outcome &outcome : m_outcomes) {
        if (outcome.result == Outcome::Result::Cancelled && outcome.stop == cause)
            return &outcome;
    }
    return nullptr;
}

// The last line of a run a signal ended: what the unit took, in the words of
// the log's outcome line; exit status 128 and the signal's number, as a shell
// reports a program the signal ended.
ExitStatus CliRunner::interrupted()
{
    m_view.finish();
    QString what;
    const Outcome *stopped = stoppedOutcome(Outcome::Stop::Signal);
    if (stopped && isWrite(*stopped))
        what = outcomeLogText(*stopped, m_controls, FrontEnd::CommandLine);
    else if (changesUnit())
        what = takenInRun();
    else
        what = QStringLiteral("nothing was written to the unit");
    m_lastLine = QStringLiteral("interrupted: ") + what;
    (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ") + m_lastLine);
    return static_cast<ExitStatus>(128 + m_signal);
}

// The outcome in the words of the log's outcome line, with the link's reason
// where the port failed.
QString CliRunner::outcomeMessage(const Outcome &outcome) const
{
    QString text = outcomeLogText(outcome, m_controls, FrontEnd::CommandLine);
    if (outcome.failure == Outcome::Failure::PortLost || outcome.failure == Outcome::Failure::PortWriteFailed) {
        if (const QString reason = m_session->datacom.linkState().reason(); !reason.isEmpty())
            text += QStringLiteral(" (%1)").arg(reason);
    }
    return text;
}

// After a transfer: the first command that did not succeed, a time limit that
// ran out, or items the unit never gave or took. Items that read back
// different are left to writeOutcome.
ExitStatus CliRunner::transferOutcome(const QList<int> &items, bool write)
{
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        const bool timeLimit = outcome.result == Outcome::Result::Cancelled && outcome.stop == Outcome::Stop::TimeLimit;
        if (!timeLimit && outcome.result != Outcome::Result::Succeeded && outcome.mismatches.isEmpty())
            return fail(ExitStatus::UnitFailed, outcomeMessage(outcome));
    }
    if (m_ending == Ending::TimeLimit) {
        const QString why = m_session->datacom.linkState().state() == LinkState::State::Closed
            ? QStringLiteral("the serial port was lost (%1) and could not be opened again").arg(linkReason())
            : QStringLiteral("the unit did not finish");
        QString line = QStringLiteral("%1 within the time limit of %2 s").arg(why).arg(m_limitSeconds);
        if (const Outcome *stopped = stoppedOutcome(Outcome::Stop::TimeLimit); stopped && isWrite(*stopped))
            line += QStringLiteral(": ") + outcomeLogText(*stopped, m_controls, FrontEnd::CommandLine);
        return fail(ExitStatus::UnitFailed, line);
    }
    for (int n : items) {
        if (!unitValueKnown(m_session->stores.unitValues[n]))
            return fail(ExitStatus::UnitFailed, QStringLiteral("item %1 was not %2: the unit did not %3 it")
                                                    .arg(n)
                                                    .arg(write ? QStringLiteral("written") : QStringLiteral("read"),
                                                         write ? QStringLiteral("take") : QStringLiteral("give")));
    }
    return ExitStatus::Done;
}

bool CliRunner::hasVisibleControl(int n) const
{
    return ScreenDefinition::hasCombo(n) ? m_controls.comboVisible(n) : m_controls.textVisible(n);
}

// After a write, with the engine's backup and read-back: where the unit's
// settings were kept, each item that reads back other than written or could
// not be read back, then the verdict. A transfer that broke is told last,
// else the count of differences.
ExitStatus CliRunner::writeOutcome(const QList<int> &items)
{
    int readBack = 0;
    QList<Outcome::Mismatch> mismatches;
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        // A commission's last line names its backup.
        if (!outcome.backupPath.isEmpty() && outcome.command != Outcome::Command::Commission)
            note(QStringLiteral("backup kept in ")
                 + TextFile::displayName(QFileInfo(outcome.backupPath).absoluteFilePath()));
        if (outcome.readBackEqual >= 0)
            readBack += outcome.readBackEqual + int(outcome.mismatches.size());
        mismatches += outcome.mismatches;
        if (outcome.result == Outcome::Result::Succeeded) {
            for (int n : outcome.notReadBack)
                note(QStringLiteral("item %1: written, not read back: longer than an answer carries").arg(n));
        }
    }
    for (const Outcome::Mismatch &m : std::as_const(mismatches)) {
        const QString format = m.notWritten ? QStringLiteral("%1: the file says %2, the unit holds %3, not written by this command")
                                            : QStringLiteral("%1: written %2, the unit holds %3");
        note(format.arg(itemName(m.item), valueWords(m.item, m.written), valueWords(m.item, m.held)));
    }
    if (const ExitStatus status = transferOutcome(items, true); status != ExitStatus::Done)
        return status;
    if (!mismatches.isEmpty())
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("%1 of %2 settings read back different").arg(mismatches.size()).arg(readBack));
    return ExitStatus::Done;
}

// "item 33 (ESPA out serial parity)", the legend where the item has one.
QString CliRunner::itemName(int n) const
{
    const QString legend = m_controls.legendVisible(n) ? m_controls.legendName(n) : QString();
    return legend.isEmpty() ? QStringLiteral("item %1").arg(n) : QStringLiteral("item %1 (%2)").arg(n).arg(legend);
}
