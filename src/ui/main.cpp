// tessaro: the desktop tool that configures a Dubrion unit over a serial line.

#include "FrmHoofdscherm.h"
#include "StartArguments.h"

#include "files/HomeFolder.h"
#include "link/SerialPort.h"

#ifdef TESSARO_HAS_SIMULATOR
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"
#endif

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace {

int refuse(const QString &text)
{
    QMessageBox::critical(nullptr, QStringLiteral("Tessaro by Kestrum"), text);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));

    const StartArguments arguments = StartArguments::parse(QApplication::arguments());
    if (!arguments.error.isEmpty())
        return refuse(arguments.error);

    SerialPort port;
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

    FrmHoofdscherm::Options options;
    options.homeFolder = HomeFolder::resolve(arguments.home);
    options.commandLine = arguments.commandLine;
    FrmHoofdscherm window(options, port);
    QObject::connect(&window, &FrmHoofdscherm::programEnded, &app, &QCoreApplication::quit);
    window.show();
    return QApplication::exec();
}
