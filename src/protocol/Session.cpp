#include "Session.h"

#include "OperatorView.h"

#include "binding/Startup.h"
#include "files/LeesIniFile.h"
#include "model/Branding.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

Session::Session(const QString &homeFolder, Logfile::Clock clock, Port &port, ItemControls &controls,
                 OperatorView &view)
    : homeFolder(homeFolder),
      logfile(setup, logLines, homeFolder, clock),
      datacom(port, logfile),
      controls(controls),
      view(view),
      engine(stores, datacom, controls, view, logfile, setup),
      m_clock(clock)
{
    datacom.linkState().setClock(clock);
    // An open that reached another device, or may have reached another unit
    // (another port, a device server's connection made anew): nothing read before is its.
    datacom.linkState().addAnotherDeviceListener([this] { stores.ResetUnitValues(); });
    // A network port connects in the background: the engine takes it when it opens.
    datacom.setOpenedLaterListener([this] { engine.takeReopenedPort(); });
    // The unit's values before a write-all, named by the time and the device.
    engine.setBackupSaver([this](const Stores::ValueStore &values) {
        return Backups::save(this->homeFolder, values, now(), datacom.linkState().device());
    });
}

void Session::InitProgram(const QString &commandLine, const std::function<void()> &updateMessageWindow,
                          const std::function<void()> &setupScreens)
{
    if (commandLine.contains(QLatin1String("/LOG")))
        engine.setDebugMode(1);
    if (commandLine.contains(QLatin1String("/DEBUG")))
        engine.setDebugMode(2);
    logLines.ClearLogLines();
    stores.ResetWorkingValues();
    if (updateMessageWindow)
        updateMessageWindow();
    LeesIniFile::ReadSetupFile(setup, homeFolder);
    setup.UnitType = 3;
    if (runPortNumber > 0)
        setup.Compoort = qint16(runPortNumber - 1);
    Startup::FillChoiceLists(controls);
    LeesIniFile::ReadDefaultSettings(stores, controls, homeFolder);
    // The engine starts whether the port opened or not: a port that is not
    // there yet (an adapter still to be plugged in) is tried again on the
    // engine's schedule for a lost port, as if it had been lost.
    datacom.openDefault(setup.Compoort);
    engine.InterfaceTick(Interface::kStartCommand);
    stores.ResetUnitValues();
    stores.ClearRequestFlags();
    if (setupScreens)
        setupScreens();
    setup.Logfile = 2;
    // The log was off at the first try: a port still missing is logged at the next.
    datacom.forgetFailedOpens();
}

QDateTime Session::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

int Session::reopenComPort()
{
    // Another port may lead to another unit: what was read is not its.
    stores.unitValueRead.fill(false);
    datacom.CloseComPort();
    const int result = datacom.openDefault(setup.Compoort);
    if (result == 0)
        engine.takeReopenedPort();
    return result;
}

bool Session::refuseWhileBusy()
{
    if (!engine.isBusy())
        return false;
    view.messageBox(QStringLiteral("A transfer with the unit is in progress.\r\n"
                                   "Wait until it has ended, or press Cancel, and try again."),
                    Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
    return true;
}

void Session::reloadDefaultSettings()
{
    const QString path = LeesIniFile::defaultSettingsPath(homeFolder);
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        // Without a default file the screen stays as it is: reading "nothing"
        // would set every setting to its first choice, ready to be written.
        logfile.WriteLogLine(QStringLiteral("No default settings file found (%1): the settings shown are kept.")
                                 .arg(QDir::toNativeSeparators(path)));
        return;
    }
    file.close();
    Startup::FillChoiceLists(controls);
    LeesIniFile::ReadDefaultSettings(stores, controls, homeFolder);
}
