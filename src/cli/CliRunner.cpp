#include "CliRunner.h"

#include "Console.h"
#include "ItemArguments.h"
#include "UnitFinder.h"

#include "binding/ModUnitUpdate.h"
#include "binding/Startup.h"
#include "files/HomeFolder.h"
#include "files/LeesIniFile.h"
#include "files/TextFile.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"

#include <QDir>
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
    HeadlessItemControls controls;
    Stores stores;
    const FileResult read = LeesIniFile::ReadSettingsFile(stores, controls, path);
    return read ? QString() : read.error;
}

// Whether a settings file can be made at path: not a folder, in a folder that exists.
QString writableFileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder").arg(TextFile::displayName(path));
    if (!info.absoluteDir().exists())
        return QStringLiteral("the folder of %1 does not exist").arg(TextFile::displayName(path));
    if (!HomeFolder::isWritableFolder(info.absolutePath()))
        return QStringLiteral("cannot make files in the folder of %1").arg(TextFile::displayName(path));
    return QString();
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
    (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ") + Diverse::visibleText(message));
    return status;
}

// A line of the tool's own on standard error, between the progress lines.
void CliRunner::note(const QString &message)
{
    m_view.note(QStringLiteral("tessaro-cli: ") + Diverse::visibleText(message));
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
    default: break;
    }
    if (const ExitStatus checked = checkFiles(); checked != ExitStatus::Done)
        return checked;

    m_limitSeconds = m_request.timeoutSeconds > 0 ? m_request.timeoutSeconds
                                                  : kStartSeconds + kSecondsPerTransfer * m_request.transferCount();
    m_deadline = QDeadlineTimer(qint64(m_limitSeconds) * 1000, Qt::CoarseTimer);

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
        case CliRequest::Command::Show:
        case CliRequest::Command::Find: break;
        }
        // As the desktop tool closes it when it ends.
        m_session->datacom.CloseComPort();
    }
    m_view.finish();
    // Progress that could not be shown is lost output as well.
    if (status == ExitStatus::Done && m_view.outputLost())
        status = ExitStatus::Usage;
    return status;
}

// A result that could not be written is not a result.
ExitStatus CliRunner::outputFailed()
{
    return fail(ExitStatus::Usage, QStringLiteral("cannot write the result to standard output: ") + Console::lastError());
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
            problem = writableFileProblem(m_request.file);
    }
    return problem.isEmpty() ? ExitStatus::Done : fail(ExitStatus::Usage, problem);
}

ExitStatus CliRunner::start()
{
    if (!m_request.device.isEmpty())
        m_port.setDeviceOverride(m_request.device);
    m_session = std::make_unique<Session>(HomeFolder::resolve(m_request.home), [] { return QDateTime::currentDateTime(); },
                                          m_port, m_controls, m_view);
    m_session->runPortNumber = m_request.portNumber;
    m_session->engine.addOutcomeListener([this](const Outcome &outcome) { m_outcomes << outcome; });
    // The safeguards of a write are the engine's; the options only switch them off.
    m_session->engine.setBackup(m_request.backup);
    m_session->engine.setReadBack(m_request.verify);
    m_session->InitProgram(QString());
    if (m_session->engine.EngineState() == Interface::State::NotStarted)
        return fail(ExitStatus::UnitFailed, QStringLiteral("cannot open serial port %1: %2")
                                                .arg(Datacom::portNumberFor(m_session->setup.Compoort))
                                                .arg(linkReason()));
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
    if (link.problem() == Port::Problem::PermissionDenied) {
        QString group = QFileInfo(link.device()).group();
        if (group.isEmpty() || group == QLatin1String("root"))
            group = QStringLiteral("dialout");
        reason += QStringLiteral("; the device belongs to the group %1: add yourself to it "
                                 "(sudo adduser $USER %1) and log in again")
                      .arg(group);
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
    timer.setInterval(kTickMs);
    m_ending = Ending::TimeLimit;
    const qsizetype before = m_outcomes.size();
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        engine.InterfaceTick(0);
        if (++m_ticks % kWatchEveryTicks == 0)
            m_session->datacom.CheckComLink();
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
    return m_ending;
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
    runUntilQuiet();
    if (const ExitStatus status = transferOutcome(bulkItems(), false); status != ExitStatus::Done)
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
    return writeOutcome(bulkItems());
}

ExitStatus CliRunner::readItems()
{
    for (int n : std::as_const(m_request.items))
        m_session->engine.requestRead(n);
    runUntilQuiet();
    if (const ExitStatus status = transferOutcome(m_request.items, false); status != ExitStatus::Done)
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
    if (const ExitStatus status = writeOutcome(items); status != ExitStatus::Done)
        return status;
    // What the unit took (and, read back, holds).
    m_view.finish();
    bool printed = true;
    for (int n : items)
        printed = printed
            && Console::writeLine(stdout, ItemArguments::record(n, ItemArguments::valueText(n, s.stores.unitValues[n])));
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
    const Outcome::Command command = pagerCall ? Outcome::Command::PagerCall : Outcome::Command::Restart;
    for (const Outcome &outcome : std::as_const(m_outcomes)) {
        if (outcome.command != command)
            continue;
        if (outcome.result != Outcome::Result::Succeeded)
            return fail(ExitStatus::UnitFailed, outcomeMessage(outcome));
        m_view.finish();
        return Console::writeLine(stdout, outcomeText(outcome, m_controls)) ? ExitStatus::Done : outputFailed();
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
    if (!SettingsReport::load(m_request.file, &settings, &error))
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
    if (!SettingsReport::load(m_request.file, &first, &error) || !SettingsReport::load(m_request.secondFile, &second, &error))
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
    if (!SettingsReport::load(m_request.file, &file, &error))
        return fail(ExitStatus::Trouble, error);
    Session &s = *m_session;
    s.engine.requestReadAll();
    runUntilQuiet();
    if (transferOutcome(bulkItems(), false) != ExitStatus::Done)
        return ExitStatus::Trouble;
    HeadlessItemControls controls;
    Startup::FillChoiceLists(controls);
    Stores stores;
    for (int n : Items::kBulkItems) {
        stores.workingValues[n] = s.stores.unitValues[n];
        ModUnitUpdate::ShowValue(stores, controls, n);
    }
    return printDifferences(file, SettingsReport::allSettings(stores, controls), bulkItems(), QStringLiteral("unit"));
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
