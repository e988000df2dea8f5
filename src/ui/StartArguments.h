#pragma once

#include <QString>
#include <QStringList>

// The desktop tool's command line: its own options --home DIR, --port DEVICE
// and --simulate (also as --home=DIR, --port=DEVICE), and the rest, which is
// the command line whose "/LOG" and "/DEBUG" start-up looks for.
struct StartArguments
{
    QString home;        // empty: the default home folder
    QString port;        // empty: the system's port numbering
    bool simulate = false;
    QString commandLine; // every other argument, joined by blanks
    QString error;       // empty when the arguments were understood

    // arguments[0] is the program.
    static StartArguments parse(const QStringList &arguments);
};
