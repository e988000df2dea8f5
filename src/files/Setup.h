#pragma once

#include <QString>

// The tool's own setup values, kept in Tessaro.set in the home folder.
struct Setup
{
    qint16 Compoort = 0; // zero-based port index: the port number is Compoort + 1
    qint16 Logfile = 0;  // 0: logging off
    QString SetPath;     // start folder of the settings-file dialogs; empty: the default
    qint16 UnitType = 0;
};
