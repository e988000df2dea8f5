#pragma once

#include "model/Value.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// One run of the command-line tool, as its arguments ask for it.
struct CliRequest
{
    enum class Command { ReadAll, WriteAll, Read, Write, Call, Restart, Show, Diff, Find, Report, Check, Commission };

    Command command = Command::Read;
    QString home;       // empty: the default home folder
    QString device;     // --port: empty for the system's numbering
    QStringList findDevices; // find: every --port, tried after the system's ports
    int portNumber = 0; // --com: 0 for the setup file's

    QString file;       // read-all: where to ("-" standard output); write-all, commission: from where
    QString base;       // read-all: the other items; empty for the default settings file
    QString secondFile; // diff: the file FILE is compared with; empty for the unit
    bool json = false;  // read, read-all, show, diff, check: one JSON document on standard output
    bool verify = true; // write-all, write: the engine reads the written items back (--no-verify: not)
    bool backup = true; // write-all: the engine keeps the unit's settings in a backup file first (--no-backup: not)
    QList<int> items;                      // read, in the order given
    QList<std::pair<int, Value>> writes;   // write, in the order given
    QString pagerAddress;
    QString pagerText;
    int bleepIndex = 1;                    // the test call's list position
    int timeoutSeconds = 0;                // 0: from the work to do
    bool stats = false;                    // the ticks taken and the time, at the end
    QString reportFile; // commission: --report OUT, empty for none
    // report: FILE is the report (.pdf or .html)
    QString from;                          // --from: the values from this settings file, not the unit
    QString reference;                     // --reference: compared with this settings file
    bool events = false;                   // --events: the event entries read from the unit too
    QString site;
    std::optional<QString> technician;     // nothing: the user's full name
    int checkCount = 20;                   // check: reads of item 0

    // Item transfers the command makes at most (the backup read and the
    // read-back count their reads).
    int transferCount() const;
    // Whether the command talks to the unit through a session.
    bool needsSession() const;
    // The commands whose only work is their output: check, show, read, diff.
    bool readsOnly() const;
};

namespace CommandLine {

struct Outcome
{
    std::optional<CliRequest> request;
    QString output; // help or version text: print it and end
    QString error;  // one line: what was wrong
};

// arguments[0] is the program.
Outcome parse(const QStringList &arguments);

} // namespace CommandLine
