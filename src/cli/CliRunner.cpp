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
#include "protocol/Session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

namespace {

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
    const QList<LeesIniFile::UnsendableValue> unsendable = LeesIniFile::unsendableValues(lines, CliRunner::bulkItems());
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

QList<int> CliRunner::bulkItems()
{
    return QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end());
}

// The command proper, on the session just started.
ExitStatus CliRunner::runCommand()
{
    switch (m_request.command) {
    case CliRequest::Command::ReadAll: return readAll();
    case CliRequest::Command::WriteAll: return writeAll();
    case CliRequest::Command::Read: return readItems();
    case CliRequest::Command::Write: return writeItems();
    case CliRequest::Command::Call: return serviceCall(true);
    case CliRequest::Command::Restart: return serviceCall(false);
    case CliRequest::Command::Diff: return diffUnit();
    case CliRequest::Command::Report: return reportFromUnit();
    case CliRequest::Command::Check: return checkLine();
    case CliRequest::Command::Commission: return commission();
    case CliRequest::Command::Show:
    case CliRequest::Command::Find: break;
    }
    return ExitStatus::Done;
}

// With --json a command that writes settings ends with its document,
// whatever the ending.
ExitStatus CliRunner::run()
{
    const ExitStatus status = runRequest();
    return writesSettings() && m_request.json ? writeJson(status) : status;
}

ExitStatus CliRunner::runRequest()
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
        status = runCommand();
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
    if (m_request.command == CliRequest::Command::WriteAll || m_request.command == CliRequest::Command::Commission)
        problem = writeAllFileProblem(m_request.file);
    if (problem.isEmpty() && !m_request.reportFile.isEmpty())
        problem = FileChecks::outputProblem(m_request.reportFile);
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

// A network port connects in the background; the run waits for the end of
// it, which the port itself bounds.
void CliRunner::waitForConnection()
{
    if (!m_session->datacom.isConnecting())
        return;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!m_session->datacom.isConnecting() || waited.hasExpired(NetworkPort::kConnectTimeoutMs + 2000))
            loop.quit();
    });
    poll.start(10);
    loop.exec();
}

ExitStatus CliRunner::start()
{
    if (!m_request.device.isEmpty())
        m_port.setDeviceOverride(m_request.device);
    m_session = std::make_unique<Session>(m_home, [] { return QDateTime::currentDateTime(); },
                                          m_port, m_controls, m_view);
    m_session->runPortNumber = m_request.portNumber;
    m_session->engine.addOutcomeListener([this](const Outcome &outcome) { m_outcomes << outcome; });
    m_session->engine.setFrontEnd(FrontEnd::CommandLine);
    // The safeguards of a write are the engine's; the options only switch them off.
    m_session->engine.setBackup(m_request.backup);
    m_session->engine.setReadBack(m_request.verify);
    m_session->InitProgram(QString());
    waitForConnection();
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

ExitStatus CliRunner::printJson(const QJsonObject &document)
{
    m_view.finish();
    return Console::write(stdout, SettingsReport::document(document)) ? ExitStatus::Done : outputFailed();
}
