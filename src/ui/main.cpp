// tessaro: the desktop tool that configures a Dubrion unit over a serial line.

#include "FrmHoofdscherm.h"
#include "QtDialogs.h"
#include "StartArguments.h"

#include "files/HomeFolder.h"
#include "link/LinkPort.h"
#include "link/StopSignals.h"

#ifdef TESSARO_HAS_SIMULATOR
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"
#endif

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int refuse(const QString &text)
{
    QMessageBox::critical(nullptr, QStringLiteral("Tessaro by Kestrum"), text);
    return 2;
}

// Text on standard output; false, with a word on standard error, when it did
// not get there whole (a full disk, a closed pipe).
bool printed(const QByteArray &text)
{
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    if (written && std::fflush(stdout) == 0)
        return true;
    std::fprintf(stderr, "tessaro: cannot write to standard output: %s\n", std::strerror(errno));
    return false;
}

// --help, --version and a command line that is not understood are answered
// on the terminal before Qt starts: no window, and no display needed.
// Returns the exit status, or -1 to go on.
int answerBeforeWindow(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const StartArguments early = StartArguments::parse(raw);
    if (!early.error.isEmpty()) {
        std::fprintf(stderr, "tessaro: %s (see tessaro --help)\n", qPrintable(early.error));
        return 2;
    }
    if (early.help)
        return printed(StartArguments::helpText().toLocal8Bit()) ? 0 : 1;
    if (early.version)
        return printed(QByteArrayLiteral("tessaro ") + QByteArray::number(TESSARO_VERSION_MAJOR) + '.'
                       + QByteArray::number(TESSARO_VERSION_MINOR) + '\n')
            ? 0
            : 1;
    return -1;
}

// The window's options from the arguments. A home folder of its own
// (--home) keeps Qt's settings too, so a run for one customer leaves no file
// dialog history in the user's folder. The device the port holds now is this
// run's (--port, or the simulated unit's): the port dialog leaves it in place.
FrmHoofdscherm::Options windowOptions(const StartArguments &arguments, LinkPort &port)
{
    FrmHoofdscherm::Options options;
    options.homeFolder = HomeFolder::resolve(arguments.home);
    if (!arguments.home.isEmpty())
        QtDialogs::keepQtSettingsIn(QDir(options.homeFolder).filePath(QStringLiteral("QtSettings")));
    options.commandLine = arguments.commandLine;
    if (arguments.simulate)
        options.portOption = QStringLiteral("--simulate");
    options.runDevice = port.deviceOverride();
    options.setPortDevice = [&port](const QString &device, QString *error) {
        return port.setDeviceOverride(device, error);
    };
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const int status = answerBeforeWindow(argc, argv); status >= 0)
        return status;

    // SIGINT, SIGTERM and SIGHUP end the event loop: the port is closed on the
    // way out, and QSerialPort's lock file in /var/lock goes with it.
    StopSignals::block();
    QApplication app(argc, argv);
    StopSignals stopSignals(&app);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tessaro.svg")));
    // Ties the window to the desktop menu's entry (icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("nl.kestrum.Tessaro"));

    // Qt has taken its own options (-platform, -style) out of the arguments.
    const StartArguments arguments = StartArguments::parse(QApplication::arguments());
    if (!arguments.error.isEmpty())
        return refuse(arguments.error);

    // The serial port, or a serial device server's port when --port names a
    // network address (checked with the arguments above).
    LinkPort port;
    if (!arguments.port.isEmpty())
        port.setDeviceOverride(arguments.port);

#ifdef TESSARO_HAS_SIMULATOR
    // A simulated unit on a pseudo-terminal, reached through the real serial
    // path as --port reaches any other device.
    UnitItems unitItems;
    std::unique_ptr<SimulatedUnit> unit;
    if (arguments.simulate) {
        unit = std::make_unique<SimulatedUnit>(unitItems);
        QString why;
        if (!unit->start(QString(), &why))
            return refuse(QStringLiteral("The simulated unit could not start: ") + why);
        port.setDeviceOverride(unit->devicePath());
    }
#else
    if (arguments.simulate)
        return refuse(QStringLiteral("The simulated unit needs a Unix system."));
#endif

    FrmHoofdscherm window(windowOptions(arguments, port), port);
    QObject::connect(&window, &FrmHoofdscherm::programEnded, &app, &QCoreApplication::quit);
    window.show();
    return QApplication::exec();
}
