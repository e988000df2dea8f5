// tessaro-cli: the desktop tool's read-all, write-all, single reads and writes,
// test call and restart from a command line, for scripts and for setting up
// many units in a row.

#include "CliRunner.h"
#include "CommandLine.h"
#include "Console.h"


#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>

#include <memory>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("tessaro-cli"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(TESSARO_VERSION_MAJOR).arg(TESSARO_VERSION_MINOR));
}

// The platform's notes while the offscreen application starts (such as
// "XDG_RUNTIME_DIR not set" under ssh or cron) would break the rule of one
// line on standard error per trouble; criticals and fatals still show.
void quietStart(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        (void)Console::writeLine(stderr, qFormatLogMessage(type, context, message));
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything opens a file that would get the closed descriptor.
    const bool outputClosed = Console::holdClosedOutput();
    QElapsedTimer clock;
    clock.start();
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    nameApplication();
    Console::prepare();

    QString argumentError;
    const std::optional<QStringList> arguments = Console::arguments(argc, argv, &argumentError);
    const CommandLine::Outcome parsed = arguments ? CommandLine::parse(*arguments) : CommandLine::Outcome{{}, {}, argumentError};
    if (!parsed.error.isEmpty()) {
        // One line: writeLine shows any control bytes the arguments hold by name.
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ") + parsed.error
                                             + QStringLiteral(" (see --help)"));
        return int(ExitStatus::Usage);
    }
    if (!parsed.request) {
        if (Console::writeText(stdout, parsed.output))
            return int(ExitStatus::Done);
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: cannot write to standard output: ")
                                             + Console::lastError());
        return int(ExitStatus::Usage);
    }
    // A command that only reads is for its output: with nobody to take it,
    // it ends at once, without a word.
    if (parsed.request->readsOnly() && (outputClosed || Console::standardOutputGone()))
        return int(ExitStatus::Usage);
    // A PDF needs fonts, which need a QGuiApplication: for a report only
    // (report, commission --report), and on the offscreen platform unless the
    // user chose one (no display, ssh).
    if (parsed.request->command == CliRequest::Command::Report || !parsed.request->reportFile.isEmpty()) {
        app.reset();
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const QtMessageHandler previous = qInstallMessageHandler(quietStart);
        app = std::make_unique<QGuiApplication>(argc, argv);
        (void)QFontDatabase::families(); // the fonts are found now, quietly as well
        qInstallMessageHandler(previous);
        nameApplication();
    }
    CliRunner runner(*parsed.request);
    const ExitStatus status = runner.run();
    if (parsed.request->stats) {
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: ticks %1 (%2 ms at %3 ms a tick), wall %4 ms")
                                       .arg(runner.ticks())
                                       .arg(runner.ticks() * CliRunner::kTickMs)
                                       .arg(CliRunner::kTickMs)
                                       .arg(clock.elapsed()));
    }
    return int(status);
}
