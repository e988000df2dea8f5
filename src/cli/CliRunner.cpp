#include "CliRunner.h"

#include "Console.h"
#include "FileChecks.h"
#include "ItemArguments.h"
#include "UnitFinder.h"
#include "model/TestTimeScale.h"

#include "binding/ModUnitUpdate.h"
#include "binding/Startup.h"
#include "files/HomeFolder.h"
#include "files/LeesIniFile.h"
#include "files/TextFile.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "protocol/LineCheck.h"
#include "protocol/Session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

QList<int> bulkItems()
{
    return QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end());
}

// A settings file that write-all may send: readable to its end, a line for each
// bulk item (a missing one would go out as 0), and every bulk value one the unit
// can take. Only the bulk items are sent, so only theirs are checked. Empty when
// it is fine, else what is wrong, naming the line.
QString writeAllFileProblem(const QString &path)
{
    if (const QString problem = FileChecks::settingsFileProblem(path); !problem.isEmpty())
        return problem;
    const QString name = TextFile::displayName(path);
    QMap<int, LeesIniFile::ValueLine> lines;
    if (const FileResult read = LeesIniFile::readValueLines(path, &lines); !read)
        return read.error;
    for (int n : Items::kBulkItems) {
        if (!lines.contains(n))
            return QStringLiteral("%1 has no line for item %2; is it a settings file?").arg(name).arg(n);
    }
    const QList<LeesIniFile::UnsendableValue> unsendable = LeesIniFile::unsendableValues(lines, bulkItems());
    if (unsendable.isEmpty())
        return QString();
    const LeesIniFile::UnsendableValue &first = unsendable.first();
    QString problem = QStringLiteral("%1 line %2: item %3: %4").arg(name).arg(first.line).arg(first.item).arg(first.problem);
    if (const qsizetype more = unsendable.size() - 1; more > 0)
        problem += more == 1 ? QStringLiteral("; one more value cannot be sent")
                             : QStringLiteral("; %1 more values cannot be sent").arg(more);
    return problem;
}

QString readableFileProblem(const QString &path)
{
    if (const QString problem = FileChecks::settingsFileProblem(path); !problem.isEmpty())
        return problem;
    HeadlessItemControls controls;
    Stores stores;
    const FileResult read = LeesIniFile::ReadSettingsFile(stores, controls, path);
    return read ? QString() : read.error;
}

bool unitValueKnown(const Value &v)
{
    return Values::isText(v) || (Values::isNumber(v) && Values::numberOf(v) >= 0);
}

} // namespace

CliRunner::CliRunner(const CliRequest &request)
    : m_request(request)
    , m_view(stderr)
{
}

CliRunner::~CliRunner() = default;

// The last line of a run that did not end well. Whatever it quotes from a file
// or the unit shows its control bytes by name.
ExitStatus CliRunner::fail(ExitStatus status, const QString &message)
{
    m_view.finish();
    (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ") + message);
    return status;
}

// A line of the tool's own on standard error, between the progress lines.
void CliRunner::note(const QString &message)
{
    m_view.note(QStringLiteral("tessaro-cli: ") + message);
}

ExitStatus CliRunner::run()
{
    switch (m_request.command) {
    case CliRequest::Command::Show: return show();
    case CliRequest::Command::Find: return UnitFinder::run(m_request);
    case CliRequest::Command::Diff:
        if (!m_request.needsSession())
            return diffFiles();
        break;
    case CliRequest::Command::Report:
        if (!m_request.needsSession())
            return reportFromFile();
        break;
    default: break;
    }
    if (const ExitStatus checked = checkFiles(); checked != ExitStatus::Done)
        return checked;
    // As the desktop tool, the run goes on without a log; but the user is told.
    m_home = HomeFolder::resolve(m_request.home);
    if (const QString problem = FileChecks::folderProblem(m_home); !problem.isEmpty())
        note(QStringLiteral("no log will be kept: %1: %2").arg(TextFile::displayName(m_home), problem));

    m_limitSeconds = m_request.timeoutSeconds > 0 ? m_request.timeoutSeconds
                                                  : kStartSeconds + kSecondsPerTransfer * m_request.transferCount();
    m_deadline = QDeadlineTimer(qint64(m_limitSeconds) * 1000 / TestTimeScale::factor(), Qt::CoarseTimer);
    m_view.setTransferTotal(m_request.command == CliRequest::Command::Call
                                    || m_request.command == CliRequest::Command::Restart
                                ? 0
                                : m_request.transferCount());
    m_signals = std::make_unique<SignalWatch>([this](int signal) { interruptBy(signal); });

    ExitStatus status = start();
    if (status == ExitStatus::Done) {
        switch (m_request.command) {
        case CliRequest::Command::ReadAll: status = readAll(); break;
        case CliRequest::Command::WriteAll: status = writeAll(); break;
        case CliRequest::Command::Read: status = readItems(); break;
        case CliRequest::Command::Write: status = writeItems(); break;
        case CliRequest::Command::Call: status = serviceCall(true); break;
        case CliRequest::Command::Restart: status = serviceCall(false); break;
        case CliRequest::Command::Diff: status = diffUnit(); break;
        case CliRequest::Command::Report: status = reportFromUnit(); break;
        case CliRequest::Command::Check: status = checkLine(); break;
        case CliRequest::Command::Show:
        case CliRequest::Command::Find: break;
        }
        // As the desktop tool closes it when it ends.
        m_session->datacom.CloseComPort();
    }
    m_view.finish();
    // Progress that could not be shown is lost output as well.
    if (status == ExitStatus::Done && m_view.outputLost()) {
        if (changesUnit())
            return unreported(QStringLiteral("the progress could not be written to standard error"));
        status = ExitStatus::Usage;
    }
    return status;
}

// The commands that change what the unit holds or does.
bool CliRunner::changesUnit() const
{
    switch (m_request.command) {
    case CliRequest::Command::WriteAll:
    case CliRequest::Command::Write:
    case CliRequest::Command::Call:
    case CliRequest::Command::Restart: return true;
    default: return false;
    }
}

// The items the unit took in this run, in the order it took them.
QList<int> CliRunner::takenItems() const
{
    QList<int> items;
    for (const Outcome &outcome : m_outcomes) {
        if (outcome.command != Outcome::Command::WriteAll && outcome.command != Outcome::Command::WriteItem)
            continue;
        QList<int> taken = outcome.items;
        if (taken.isEmpty() && outcome.command == Outcome::Command::WriteItem
            && outcome.result == Outcome::Result::Succeeded && outcome.item >= 0)
            taken << outcome.item;
        for (int n : std::as_const(taken)) {
            if (!items.contains(n))
                items << n;
        }
    }
    for (int n : m_takenInHand) {
        if (!items.contains(n))
            items << n;
    }
    return items;
}

// What the unit took, for a last line when the result could not be told:
// "6 of 14 settings written (items 0 5 7 10 11 12)".
QString CliRunner::takenText() const
{
    switch (m_request.command) {
    case CliRequest::Command::Call:
    case CliRequest::Command::Restart: {
        const Outcome::Command command =
            m_request.command == CliRequest::Command::Call ? Outcome::Command::PagerCall : Outcome::Command::Restart;
        const bool done = std::any_of(m_outcomes.cbegin(), m_outcomes.cend(), [command](const Outcome &o) {
            return o.command == command && o.result == Outcome::Result::Succeeded;
        });
        const QString what = command == Outcome::Command::PagerCall ? QStringLiteral("the test call was ")
                                                                     : QStringLiteral("the restart was ");
        return what + (done ? QStringLiteral("sent") : QStringLiteral("not sent"));
    }
    default: break;
    }
    const QList<int> items = takenItems();
    const int total = m_request.command == CliRequest::Command::WriteAll ? int(Items::kBulkItems.size())
                                                                         : int(m_request.writes.size());
    if (items.isEmpty())
        return QStringLiteral("none of %1 settings written").arg(total);
    QStringList numbers;
    for (int n : items)
        numbers << QString::number(n);
    return QStringLiteral("%1 of %2 settings written (item%3 %4)")
        .arg(items.size())
        .arg(total)
        .arg(items.size() == 1 ? QString() : QStringLiteral("s"), numbers.join(u' '));
}

// A command that changed the unit and could not tell it: the last line says
// what the unit took, on standard error, else where the result would have gone.
ExitStatus CliRunner::unreported(const QString &why)
{
    m_view.finish();
    const QString line = QStringLiteral("tessaro-cli: ") + why + QStringLiteral("; ") + takenText();
    if (!Console::writeLine(stderr, line) && !m_resultWritten)
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

// Everything that can be wrong with the files is found before the port opens.
ExitStatus CliRunner::checkFiles()
{
    QString problem;
    if (m_request.command == CliRequest::Command::WriteAll)
        problem = writeAllFileProblem(m_request.file);
    if (m_request.command == CliRequest::Command::Diff)
        problem = readableFileProblem(m_request.file);
    if (m_request.command == CliRequest::Command::ReadAll) {
        if (!m_request.base.isEmpty())
            problem = readableFileProblem(m_request.base);
        if (problem.isEmpty() && m_request.file != QLatin1String("-"))
            problem = FileChecks::outputProblem(m_request.file);
    }
    if (m_request.command == CliRequest::Command::Report) {
        for (const QString &input : {m_request.from, m_request.reference}) {
            if (problem.isEmpty() && !input.isEmpty())
                problem = readableFileProblem(input);
        }
        if (problem.isEmpty())
            problem = FileChecks::outputProblem(m_request.file);
    }
    return problem.isEmpty() ? ExitStatus::Done : fail(ExitStatus::Usage, problem);
}

ExitStatus CliRunner::start()
{
    if (!m_request.device.isEmpty())
        m_port.setDeviceOverride(m_request.device);
    m_session = std::make_unique<Session>(m_home, [] { return QDateTime::currentDateTime(); },
                                          m_port, m_controls, m_view);
    m_session->runPortNumber = m_request.portNumber;
    m_session->engine.addOutcomeListener([this](const Outcome &outcome) { m_outcomes << outcome; });
    // The safeguards of a write are the engine's; the options only switch them off.
    m_session->engine.setBackup(m_request.backup);
    m_session->engine.setReadBack(m_request.verify);
    m_session->InitProgram(QString());
    // Nothing reached the unit: trouble of the run's own, for diff as for every command.
    if (m_session->datacom.ComPortIsOpen() != 1) {
        // The reason names the device; a port number only where one was used.
        if (!m_request.device.isEmpty()) {
            // The port's "cannot open (...)" says less than the path's own trouble (a link loop).
            const QString reach = FileChecks::reachProblem(m_request.device);
            const bool other = m_session->datacom.linkState().problem() == Port::Problem::Other;
            return fail(ExitStatus::Usage, QStringLiteral("cannot open ") + (other && !reach.isEmpty() ? reach : linkReason()));
        }
        return fail(ExitStatus::Usage, QStringLiteral("cannot open serial port %1: %2")
                                           .arg(Datacom::portNumberFor(m_session->setup.Compoort))
                                           .arg(linkReason()));
    }
    return ExitStatus::Done;
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
// time limit runs out, or when the port is lost under a command: the engine
// drops what was pending once it can reopen the port, so waiting gains nothing.
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
            loop.quit();
        }
    });
    timer.start();
    loop.exec();
    // The write in hand when a signal came: taken if the unit acknowledged it.
    if (m_inHandItem >= 0 && unitValueKnown(m_session->stores.unitValues[m_inHandItem])
        && !m_takenInHand.contains(m_inHandItem))
        m_takenInHand << m_inHandItem;
    return m_ending;
}

// The first of SIGINT, SIGTERM and SIGHUP: as the operator's Cancel, every
// request goes and the transaction in hand ends. Its write, if one, reports
// no outcome after the cancel; its unit value is cleared here so that an
// acknowledgement shows.
void CliRunner::interruptBy(int signal)
{
    if (m_signal != 0 || !m_session)
        return;
    m_signal = signal;
    Interface &engine = m_session->engine;
    if (const auto &transaction = engine.transaction(); transaction && transaction->writesItem()) {
        m_inHandItem = transaction->item;
        m_session->stores.unitValues[m_inHandItem] = Value();
    }
    engine.cancelByOperator();
}

// The last line of a run a signal ended: what the unit took; exit status 128
// and the signal's number, as a shell reports a program the signal ended.
ExitStatus CliRunner::interrupted()
{
    m_view.finish();
    QString what = takenText();
    if (m_request.command == CliRequest::Command::WriteAll || m_request.command == CliRequest::Command::Write) {
        const qsizetype taken = takenItems().size();
        const qsizetype total =
            m_request.command == CliRequest::Command::WriteAll ? Items::kBulkItems.size() : m_request.writes.size();
        if (taken == 0)
            what += QStringLiteral("; the unit holds its old values");
        else if (taken < total)
            what += QStringLiteral("; the unit holds a mix of old and new values");
    } else if (!changesUnit()) {
        what = QStringLiteral("nothing was written to the unit");
    }
    (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: interrupted: ") + what);
    return static_cast<ExitStatus>(128 + m_signal);
}

// The outcome in words, with the link's reason where the port failed.
QString CliRunner::outcomeMessage(const Outcome &outcome) const
{
    QString text = outcomeText(outcome, m_controls);
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
        if (outcome.result != Outcome::Result::Succeeded && outcome.mismatches.isEmpty())
            return fail(ExitStatus::UnitFailed, outcomeMessage(outcome));
    }
    if (m_ending == Ending::TimeLimit) {
        const QString why = m_session->datacom.linkState().state() == LinkState::State::Closed
            ? QStringLiteral("the serial port was lost (%1) and could not be opened again").arg(linkReason())
            : QStringLiteral("the unit did not finish");
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("%1 within the time limit of %2 s").arg(why).arg(m_limitSeconds));
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

// What a settings file would hold for item n now: what its control shows, for
// an item with a visible one, else its working value.
QString CliRunner::heldValueText(int n)
{
    Stores &stores = m_session->stores;
    if (hasVisibleControl(n))
        ModUnitUpdate::TakeValue(stores, m_controls, n);
    return ItemArguments::valueText(n, stores.workingValues[n]);
}

// After a write, with the engine's backup and read-back: where the unit's
// settings were kept, each item that reads back other than written, then the
// verdict. A transfer that broke is told last, else the count of differences.
ExitStatus CliRunner::writeOutcome(const QList<int> &items)
{
    int readBack = 0;
    QList<Outcome::Mismatch> mismatches;
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        if (!outcome.backupPath.isEmpty())
            note(QStringLiteral("backup kept in ")
                 + TextFile::displayName(QFileInfo(outcome.backupPath).absoluteFilePath()));
        if (outcome.readBackEqual >= 0)
            readBack += outcome.readBackEqual + int(outcome.mismatches.size());
        mismatches += outcome.mismatches;
    }
    for (const Outcome::Mismatch &m : std::as_const(mismatches))
        note(QStringLiteral("%1: written %2, the unit holds %3")
                 .arg(itemName(m.item), valueWords(m.item, m.written), valueWords(m.item, m.held)));
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

ExitStatus CliRunner::readAll()
{
    Session &s = *m_session;
    if (!m_request.base.isEmpty()) {
        if (const FileResult read = LeesIniFile::ReadSettingsFile(s.stores, m_controls, m_request.base); !read)
            return fail(ExitStatus::Usage, read.error);
    }
    s.engine.requestReadAll();
    if (const ExitStatus status = readRequested(bulkItems()); status != ExitStatus::Done)
        return status;

    // The desktop tool's own writer, from what the controls show.
    if (m_request.file != QLatin1String("-")) {
        const FileResult saved = LeesIniFile::WriteSettingsFile(s.stores, m_controls, m_request.file);
        if (!saved)
            return fail(ExitStatus::Usage, saved.error);
        if (!m_request.json)
            return ExitStatus::Done;
    }
    if (m_request.json) {
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(SettingsReport::allSettings(s.stores, m_controls)));
        return printJson(document);
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("read-all.cfg"));
    const FileResult saved = folder.isValid() ? LeesIniFile::WriteSettingsFile(s.stores, m_controls, path)
                                              : FileResult::failure(QStringLiteral("no temporary folder"));
    QFile file(path);
    if (!saved || !file.open(QIODevice::ReadOnly))
        return fail(ExitStatus::Usage, saved ? file.errorString() : saved.error);
    m_view.finish();
    return Console::write(stdout, file.readAll()) ? ExitStatus::Done : outputFailed();
}

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

ExitStatus CliRunner::readItems()
{
    for (int n : std::as_const(m_request.items))
        m_session->engine.requestRead(n);
    if (const ExitStatus status = readRequested(m_request.items); status != ExitStatus::Done)
        return status;
    if (m_request.json) {
        QList<SettingsReport::Setting> settings;
        for (int n : std::as_const(m_request.items))
            settings << SettingsReport::setting(m_session->stores, m_controls, n);
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(settings));
        return printJson(document);
    }
    m_view.finish();
    bool written = true;
    for (int n : std::as_const(m_request.items))
        written = written && Console::writeLine(stdout, ItemArguments::record(n, heldValueText(n)));
    return written ? ExitStatus::Done : outputFailed();
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

ExitStatus CliRunner::printJson(const QJsonObject &document)
{
    m_view.finish();
    return Console::write(stdout, SettingsReport::document(document)) ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::show()
{
    QList<SettingsReport::Setting> settings;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &settings, &error))
        return fail(ExitStatus::Usage, error);
    if (m_request.json) {
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(settings));
        return printJson(document);
    }
    bool written = true;
    for (const QString &line : SettingsReport::showLines(settings))
        written = written && Console::writeLine(stdout, line);
    return written ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::diffFiles()
{
    QList<SettingsReport::Setting> first;
    QList<SettingsReport::Setting> second;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &first, &error) || !FileChecks::loadSettings(m_request.secondFile, &second, &error))
        return fail(ExitStatus::Trouble, error);
    QList<int> items;
    for (int n = 0; n < Items::kItemCount; ++n)
        items << n;
    return printDifferences(first, second, items, m_request.secondFile);
}

// The file against the fourteen settings read-all reads, as the window would
// show them after "Read all settings from unit"; nothing is saved.
ExitStatus CliRunner::diffUnit()
{
    QList<SettingsReport::Setting> file;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &file, &error))
        return fail(ExitStatus::Trouble, error);
    Session &s = *m_session;
    s.engine.requestReadAll();
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    if (transferOutcome(bulkItems(), false) != ExitStatus::Done)
        return ExitStatus::Trouble;
    return printDifferences(file, SettingsReport::fromValues(s.stores.unitValues, bulkItems()), bulkItems(),
                            QStringLiteral("unit"));
}

// As ping: one check read at a time, each asked for when the last has ended,
// a line for each as it ends, then the summary. The answer times come from
// the port's own traffic, timed here; the engine knows ticks only.
ExitStatus CliRunner::checkLine()
{
    Interface &engine = m_session->engine;
    LineCheck check(m_request.checkCount);
    QElapsedTimer clock;
    clock.start();
    m_port.setTrafficListener([&check, &clock](Port::Traffic traffic) { check.noteTraffic(traffic, clock.elapsed()); });
    bool printed = true;
    bool refused = false;
    const int listener = engine.addOutcomeListener([&](const Outcome &outcome) {
        if (outcome.command != Outcome::Command::LineCheck || check.done() || refused)
            return;
        if (outcome.result == Outcome::Result::NotStarted) {
            refused = true;
            return;
        }
        const LineCheck::Exchange &exchange = check.add(outcome);
        if (!m_request.json) {
            m_view.finish();
            printed = Console::writeLine(stdout, LineCheck::exchangeText(int(check.exchanges().size()), exchange)) && printed;
        }
        if (!check.done() && m_signal == 0)
            engine.requestLineCheck();
    });
    engine.requestLineCheck();
    runUntilQuiet();
    engine.removeOutcomeListener(listener);
    m_port.setTrafficListener({});
    if (refused)
        return fail(ExitStatus::Usage, QStringLiteral("cannot check the line: the serial port is closed"));
    if (m_request.json) {
        if (printJson(check.toJson()) != ExitStatus::Done)
            return ExitStatus::Usage;
    } else {
        m_view.finish();
        printed = Console::writeLine(stdout, check.summary()) && printed;
        if (!printed)
            return outputFailed();
    }
    if (m_signal != 0)
        return interrupted();
    if (m_ending == Ending::TimeLimit)
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("the line check did not finish within the time limit of %1 s").arg(m_limitSeconds));
    if (check.failed() > 0)
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("%1 of %2 reads failed").arg(check.failed()).arg(check.exchanges().size()));
    return ExitStatus::Done;
}

ExitStatus CliRunner::printDifferences(const QList<SettingsReport::Setting> &first,
                                       const QList<SettingsReport::Setting> &second, const QList<int> &items,
                                       const QString &secondName)
{
    const QList<SettingsReport::Difference> found = SettingsReport::differences(first, second, items);
    const ExitStatus verdict = found.isEmpty() ? ExitStatus::Done : ExitStatus::Differences;
    if (m_request.json) {
        QJsonArray list;
        for (const SettingsReport::Difference &d : found)
            list.append(SettingsReport::toJson(d));
        QJsonObject document;
        document.insert(QStringLiteral("first"), m_request.file);
        document.insert(QStringLiteral("second"), secondName);
        document.insert(QStringLiteral("differences"), list);
        return printJson(document) == ExitStatus::Done ? verdict : ExitStatus::Trouble;
    }
    m_view.finish();
    bool written = true;
    for (const QString &line : SettingsReport::diffLines(found))
        written = written && Console::writeLine(stdout, line);
    return written ? verdict : outputFailed();
}

// Runs the reads left for the engine: how they ended.
ExitStatus CliRunner::readRequested(const QList<int> &items)
{
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    return transferOutcome(items, false);
}

// The report from a settings file: no port, the system's clock.
ExitStatus CliRunner::reportFromFile()
{
    if (const ExitStatus checked = checkFiles(); checked != ExitStatus::Done)
        return checked;
    SiteReport::Contents contents;
    QString error;
    if (!FileChecks::loadSettings(m_request.from, &contents.settings, &error))
        return fail(ExitStatus::Usage, error);
    contents.when = QDateTime::currentDateTime();
    contents.sourceLabel = QStringLiteral("Settings file");
    contents.source = TextFile::displayName(QFileInfo(m_request.from).absoluteFilePath());
    return saveReport(contents);
}

// The report of the fourteen settings as read-all reads them, and with
// --events the event entries one item at a time.
ExitStatus CliRunner::reportFromUnit()
{
    Session &s = *m_session;
    s.engine.requestReadAll();
    if (const ExitStatus status = readRequested(bulkItems()); status != ExitStatus::Done)
        return status;
    SiteReport::Contents contents;
    if (m_request.events) {
        for (int n : SiteReport::eventItems())
            s.engine.requestRead(n);
        if (const ExitStatus status = readRequested(SiteReport::eventItems()); status != ExitStatus::Done)
            return status;
    } else {
        contents.eventsNotRead = QStringLiteral("The event entries were not read from the unit "
                                                "(tessaro-cli report --events reads them).");
    }
    contents.settings = SettingsReport::allSettings(s.stores, m_controls);
    contents.when = s.now();
    const LinkState &link = s.datacom.linkState();
    contents.sourceLabel = QStringLiteral("Unit");
    contents.source = m_request.device.isEmpty()
        ? QStringLiteral("%1 (serial port %2)").arg(link.device()).arg(link.portNumber())
        : link.device();
    return saveReport(contents);
}

// The header fields of the command line, the reference, and the file.
ExitStatus CliRunner::saveReport(SiteReport::Contents &contents)
{
    contents.site = m_request.site;
    contents.technician = m_request.technician.value_or(SiteReport::defaultTechnician());
    if (!m_request.reference.isEmpty()) {
        QList<SettingsReport::Setting> reference;
        QString error;
        if (!FileChecks::loadSettings(m_request.reference, &reference, &error))
            return fail(ExitStatus::Usage, error);
        contents.comparedHeading = QStringLiteral("Reference: ") + QFileInfo(m_request.reference).fileName();
        for (int n : Items::kBulkItems)
            contents.compared.insert(n, reference.at(n));
    }
    m_view.finish();
    const FileResult saved = SiteReport::save(m_request.file, contents);
    return saved ? ExitStatus::Done : fail(ExitStatus::Usage, saved.error);
}
