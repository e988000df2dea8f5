#include "CliRunner.h"

#include "Console.h"
#include "FileChecks.h"
#include "ItemArguments.h"
#include "UnitFinder.h"

#include "binding/ModUnitUpdate.h"
#include "binding/Startup.h"
#include "files/HomeFolder.h"
#include "files/LeesIniFile.h"
#include "files/TextFile.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "protocol/LineCheck.h"
#include "protocol/LineCheckDriver.h"
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

} // namespace

CliRunner::CliRunner(const CliRequest &request)
    : m_request(request)
    , m_view(stderr)
{
}

CliRunner::~CliRunner() = default;

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
    m_deadline = QDeadlineTimer(qint64(m_limitSeconds) * 1000, Qt::CoarseTimer);
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
    if (m_outputGone)
        return ExitStatus::Usage;
    m_view.finish();
    // Progress that could not be shown is lost output as well.
    if (status == ExitStatus::Done && m_view.outputLost()) {
        if (changesUnit())
            return unreported(QStringLiteral("the progress could not be written to standard error"));
        status = ExitStatus::Usage;
    }
    return status;
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
        // Standard output by another name: written as "-" is, never replaced by a new file.
        if (FileChecks::isStandardOutput(m_request.file))
            m_request.file = QStringLiteral("-");
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

// What a settings file would hold for item n now: what its control shows, for
// an item with a visible one, else its working value.
QString CliRunner::heldValueText(int n)
{
    Stores &stores = m_session->stores;
    if (hasVisibleControl(n))
        ModUnitUpdate::TakeValue(stores, m_controls, n);
    return ItemArguments::valueText(n, stores.workingValues[n]);
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
    QElapsedTimer clock;
    clock.start();
    LineCheckDriver driver(m_session->engine, m_port, m_request.checkCount, [&clock] { return clock.elapsed(); });
    const LineCheck &check = driver.check();
    bool printed = true;
    driver.setExchangeListener([&](int number, const LineCheck::Exchange &exchange) {
        if (!m_request.json) {
            m_view.finish();
            printed = Console::writeLine(stdout, LineCheck::exchangeText(number, exchange)) && printed;
        }
        if (m_signal != 0)
            driver.stop();
    });
    driver.start();
    runUntilQuiet();
    const bool refused = driver.ending() == LineCheckDriver::Ending::Refused;
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
