#pragma once

#include <QString>
#include <QStringList>

// The desktop tool's command line: its own options --home DIR, --port DEVICE
// (a device path, or a network port rfc2217://HOST:PORT, tcp://HOST:PORT,
// refused here when it does not parse) and --simulate (also as --home=DIR, --port=DEVICE), --help (-h) and
// --version, and the rest, which is the command line whose "/LOG" and
// "/DEBUG" start-up looks for. Any other argument starting with "--" is an
// error; arguments with one dash are Qt's own (-platform, -style) and stay in
// the rest.
struct StartArguments
{
    QString home;        // empty: the default home folder
    QString port;        // empty: the system's port numbering; a device or a network address
    bool simulate = false;
    bool help = false;    // print helpText() and stop
    bool version = false; // print the version and stop
    QString commandLine; // every other argument, joined by blanks
    QString error;       // empty when the arguments were understood; one line

    // arguments[0] is the program.
    static StartArguments parse(const QStringList &arguments);

    // The text --help prints.
    static QString helpText();
};
