#pragma once

#include "Interface.h"
#include "files/Logfile.h"
#include "files/Setup.h"
#include "link/Datacom.h"
#include "model/Diverse.h"
#include "model/Stores.h"

#include <QString>

class ItemControls;
class OperatorView;
class Port;

// The whole world of one run: the setup values, the log, the value stores, the
// serial link and the engine, built from a home folder, a clock and a port.
// The desktop tool and the command-line tool each hold one; a test builds a
// fresh one in a line.
class Session
{
public:
    Session(const QString &homeFolder, Logfile::Clock clock, Port &port, ItemControls &controls,
            OperatorView &view);

    // Start-up without the window's own steps: switches, log lines, setup file,
    // choice lists, default settings, port and engine start. The two callbacks
    // let the window refresh its log lines and set up its tabs at their turn.
    void InitProgram(const QString &commandLine, const std::function<void()> &updateMessageWindow = {},
                     const std::function<void()> &setupScreens = {});

    // "Open ComPort": close and open the port again; an engine that was never
    // started (the port failed at start-up) starts now. 0 when open.
    int reopenComPort();

    // The port must not change under a transfer: while the engine is not
    // quiet, a message box says to wait or cancel, and the answer is true.
    bool refuseWhileBusy();
    // The port dialog's refill of the choice lists and reload of default.set
    // after Save. A missing or unreadable file leaves the screen and the
    // working values as they are, and is logged.
    void reloadDefaultSettings();

    // The date and time of the session's clock (the system's when it has none).
    QDateTime now() const;

    // A port number for this run only (the command-line tool's --com N), taken
    // in place of the setup file's Compoort + 1; 0 keeps the setup file's.
    int runPortNumber = 0;

    const QString homeFolder;
    Setup setup;
    Diverse::LogLines logLines;
    Logfile logfile;
    Stores stores;
    Datacom datacom;
    ItemControls &controls;
    OperatorView &view;
    Interface engine;

private:
    Logfile::Clock m_clock;
};
