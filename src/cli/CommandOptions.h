#pragma once

#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>

// The parts of tessaro-cli's command line shared between its files: the help
// text, the option table and the reading of the options.
namespace CommandLine {

// report --events: the seconds its item reads add.
QString eventSeconds();
// The commands, exit statuses and examples, after Qt's list of options.
QString commandsHelp();

// A whole number within limits, for the numeric options.
std::optional<int> optionNumber(const QString &text, int lowest, int highest);
// An argument that names a file, as the file system takes it.
bool takeFileName(const QString &argument, QString *name, QString *error);

// An option of report: "report: " and the description; a value named
// valueName, or none; %1 in the description becomes argument.
QCommandLineOption reportOption(const char *name, const char *description, const char *valueName,
                                const QString &argument = QString());

// The options, declared once for the parser and read back from it.
struct Options
{
    QCommandLineOption home{QStringLiteral("home"),
                            QStringLiteral("Home folder with Tessaro.set, default.set and Log (default: the "
                                           "program's folder when writable, else the user's data folder)."),
                            QStringLiteral("dir")};
    QCommandLineOption com{QStringLiteral("com"),
                           QStringLiteral("Serial port number <n> for this run instead of the setup file's: "
                                          "COMn on Windows, elsewhere the n-th serial device."),
                           QStringLiteral("n")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Open <device> whatever the port number (/dev/serial/by-id/..., "
                                           "a pseudo-terminal), or a serial device server's port: "
                                           "rfc2217://HOST:PORT (RFC 2217) or tcp://HOST:PORT (raw TCP), "
                                           "IPv6 in brackets. find: one more serial device to try; may be "
                                           "given more than once."),
                            QStringLiteral("device")};
    QCommandLineOption base{QStringLiteral("base"),
                            QStringLiteral("read-all: take the items it does not read from this settings file."),
                            QStringLiteral("file")};
    QCommandLineOption verify{QStringLiteral("verify"),
                              QStringLiteral("write-all, write: read every written item back; another value "
                                             "is an error (the default).")};
    QCommandLineOption noVerify{QStringLiteral("no-verify"),
                                QStringLiteral("write-all, write: do not read the written items back.")};
    QCommandLineOption noBackup{QStringLiteral("no-backup"),
                                QStringLiteral("write-all: write without keeping the unit's settings in a backup "
                                               "file first.")};
    QCommandLineOption bleep{QStringLiteral("bleep"), QStringLiteral("call: bleep code 0-15 (default 1)."),
                             QStringLiteral("n")};
    QCommandLineOption text{QStringLiteral("text"),
                            QStringLiteral("call: display text, at most 40 characters (default none)."),
                            QStringLiteral("text")};
    QCommandLineOption timeout{QStringLiteral("timeout"),
                               QStringLiteral("Give up after <seconds> (default: 10 s and 30 s for each item "
                                              "transfer, the backup read and the read-back included)."),
                               QStringLiteral("seconds")};
    QCommandLineOption stats{QStringLiteral("stats"),
                             QStringLiteral("At the end, print the engine ticks taken, their schedule at 25 ms "
                                            "a tick and the time on the clock (on standard error).")};
    QCommandLineOption checkCount{QStringLiteral("count"),
                                  QStringLiteral("check: the number of reads, 1-1000 (default 20)."),
                                  QStringLiteral("n")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("read, read-all, show, diff, check, commission, write-all, write: "
                                           "one JSON document (UTF-8) on standard output instead of lines; its "
                                           "shape is below. read-all FILE still saves FILE.")};
    // report's: the values' source, the comparison and the header fields.
    QCommandLineOption from = reportOption("from", "take the values from this settings file instead of the unit; "
                                                   "no port is opened.", "file");
    QCommandLineOption reference = reportOption("reference", "show this settings file's value beside each "
                                                             "setting and mark those that differ.", "file");
    QCommandLineOption events = reportOption("events", "read the 39 event entries from the unit as well (156 "
                                                       "items, some %1 s more).", nullptr, eventSeconds());
    QCommandLineOption site = reportOption("site", "the site, as the report names it.", "text");
    QCommandLineOption technician = reportOption("technician", "who did the work (default: the user's full "
                                                               "name, else the login name).", "name");
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("commission: write the report (.pdf or .html) of what was done."),
                              QStringLiteral("out")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QStringLiteral(
            "Reads and writes the settings of a Dubrion unit, sends a test call and restarts it, over the serial\n"
            "line and with the home folder, setup file, settings files and log of the desktop tool Tessaro;\n"
            "shows and compares settings files, and finds the port the unit is on."));
        parser.addOptions({home, com, port, base, verify, noVerify, noBackup, bleep, text, timeout, stats, checkCount, json});
        parser.addOptions({from, reference, events, site, technician, report});
        parser.addPositionalArgument(QStringLiteral("command"),
                                     QStringLiteral("read-all, write-all, read, write, call, restart, show, diff, "
                                                    "find, report, check or commission (below)."));
        parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's arguments."),
                                     QStringLiteral("[arguments...]"));
    }
};

// Where the run goes: home folder, port, time limit.
bool takeRunOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error);
// report's files and header fields.
bool takeReportOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error);
// The options of one command or a few; given to another command they are a
// mistake, not something to ignore.
bool takeCommandOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error);
// Qt's words for a command line it cannot parse, in the tool's own style.
QString parseError(const QCommandLineParser &parser, const QStringList &arguments);

} // namespace CommandLine
