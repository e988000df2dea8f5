#include "Session.h"

#include "binding/Startup.h"
#include "files/LeesIniFile.h"

Session::Session(const QString &homeFolder, Logfile::Clock clock, Port &port, ItemControls &controls,
                 OperatorView &view)
    : homeFolder(homeFolder),
      logfile(setup, logLines, homeFolder, std::move(clock)),
      datacom(port, logfile),
      controls(controls),
      view(view),
      engine(stores, datacom, controls, view, logfile, setup)
{
}

void Session::InitProgram(const QString &commandLine, const std::function<void()> &updateMessageWindow,
                          const std::function<void()> &setupScreens)
{
    if (commandLine.contains(QLatin1String("/LOG")))
        engine.DebugMode = 1;
    if (commandLine.contains(QLatin1String("/DEBUG")))
        engine.DebugMode = 2;
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
    if (datacom.openDefault(setup.Compoort) == 0)
        engine.InterfaceTick(Interface::kIdle);
    stores.ResetUnitValues();
    stores.ClearRequestFlags();
    if (setupScreens)
        setupScreens();
    setup.Logfile = 2;
}

int Session::reopenComPort()
{
    datacom.CloseComPort();
    const int result = datacom.openDefault(setup.Compoort);
    if (result == 0)
        engine.startIfNeverStarted();
    return result;
}
