#include "CommandLine.h"

#include "CliRunner.h"
#include "Console.h"
#include "ItemArguments.h"

#include "model/Items.h"
#include "model/ValueCheck.h"
#include "protocol/LineCheck.h"
#include "report/SettingsReport.h"
#include "report/SiteReport.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>

namespace {

// A single read takes about six engine ticks at 9600 baud: the idle tick that
// takes the request, the send, two ticks collecting the answer (a 12-byte
// request, up to 27 bytes back: some 40 ms on the line) and the filing.
constexpr int kTicksPerItemRead = 6;

// report --events: the seconds its item reads add.
QString eventSeconds()
{
    const qsizetype ticks = SiteReport::eventItems().size() * kTicksPerItemRead;
    return QString::number(qRound(double(ticks * CliRunner::kTickMs) / 1000.0));
}

// The test-call fields take at most this many characters on the screen.
constexpr int kMaxPagerAddress = 10;
constexpr int kMaxPagerText = 40;
constexpr int kBleepEntries = 16;
constexpr int kMaxPortNumber = 32767;

const QString kCommandsHelp = QStringLiteral(R"(
Commands:
  read-all [FILE]       Read the fourteen settings that "Read all settings from
                        unit" reads and save a settings file as "Save to file"
                        does: to FILE, or to standard output when FILE is "-",
                        names standard output (/dev/stdout) or is left out. The
                        other items come from --base FILE, else
                        from default.set in the home folder.
  write-all FILE        Load FILE as "Read from file" does, keep the unit's
                        fourteen settings in a backup file, write the fourteen
                        settings of FILE as "Write all settings to unit" does,
                        and read them back to compare. FILE must have a line
                        for each of them, with a value the unit can take. The
                        backup is a settings file in the home folder's Backups
                        folder, YYYY-MM-DD_HHMMSS_DEVICE.cfg; its path is
                        printed. --no-backup leaves it out, --no-verify the
                        read-back.
  commission FILE       Commission the unit from the settings file FILE in one
                        pass: read the fourteen settings (kept as write-all
                        keeps its backup), write only those whose value in
                        FILE differs, in the order write-all writes them, and
                        read those back (--no-verify: not). FILE is checked as
                        write-all's. The last line says what was done,
                        "commissioned: 6 of 14 settings changed (items 7 10 13
                        14 30 33), 6 read back equal; backup ..." or "already
                        as FILE: nothing written". --report OUT (.pdf or
                        .html) writes the report from what was read and
                        written, with no further read, when it ended as asked:
                        the values before, the values written and read back,
                        the outcome and the backup. --json prints one JSON
                        document instead: "changed" (item, legend, before,
                        after), "result", "outcome", "backup".
  read ITEM...          Read single items (0-249) and print "ITEM    ->VALUE".
  write ITEM=VALUE...   Write single items and print "ITEM    ->VALUE". VALUE is
                        the list position (0 first) for an item with a choice
                        list, a number 0-255 for other one-byte items, a whole
                        number 0-32767 for items 100-149, and the text itself
                        for items 150-249, without control characters. Each
                        item is read back and compared, except items the tool
                        cannot read (e.g. 3 and 99); --no-verify reads none.
  call ADDRESS          Send a test call to a pager (address at most 10
                        characters), with --bleep and --text; neither may hold
                        a control character.
  restart               Restart the converter.
  show FILE             Print the settings file FILE as the window shows it,
                        one line for each setting with a control: item number,
                        legend and value, for a choice list the chosen entry
                        ("5  ESPA out max address length: Address length: 4
                        digits"), texts in double quotes. The items without a
                        control follow under a heading, by number.
  diff FILE1 FILE2      Print the settings that differ between two settings
                        files: "N  LEGEND", then "< " with the value in FILE1
                        and "> " with the value in FILE2.
  diff FILE             The same between FILE and the unit: reads the fourteen
                        settings read-all reads, saves nothing, and compares
                        those fourteen.
  find                  Look for the unit on every serial port the system
                        reports, and on each --port DEVICE (find takes several):
                        a wake-up and a read of item 0 at 9600,N,8,1, about a
                        second a port. Prints "PORT  DEVICE  ANSWER" for each
                        port where a unit answers (PORT is the number for
                        --com, "-" for a --port device), e.g. "1  /dev/ttyUSB0
                        Diagnostic level: None". Nothing else is sent.
  report OUT            Write the settings as installed, for the site's
                        records, to OUT: a PDF (OUT.pdf, "Page N of M" on every
                        page) or one self-contained HTML file (OUT.html). It
                        holds the date and time, --site, --technician, the
                        unit's device and port (or the file), the tool's
                        version; the fourteen settings read-all reads, with
                        legend and value as the window shows them; and the 39
                        event entries (event, pager address, bleep code,
                        fixed leading text). The fourteen are read from the
                        unit as read-all reads them, or taken with every other
                        value from --from FILE (no port is opened then).
                        --reference FILE adds that file's value beside each
                        and marks "* differs" where they differ. The event
                        entries come from --from FILE, or from the unit with
                        --events: 156 more items read one by one, about 6
                        engine ticks of 25 ms each at 9600 baud, so some
                        %1 s more; else the report says they were not read.
                        OUT is replaced as read-all replaces FILE.
  check                 Check the line to the unit as ping does: --count reads
                        of item 0 (default 20, at most 1000), each sent once,
                        never tried again. Prints a line for each, "read 1: 23
                        ms" (from the request's last byte written to the
                        answer's last byte arrived) or "read 2: checksum
                        error", then a summary, e.g. "20 reads: 19 answered,
                        1 checksum error (5 %); answer time min/avg/max
                        21/23/31 ms". Only the unit's value is kept; nothing
                        is written. --json prints one JSON document instead:
                        "exchanges" (each read, answered or its failure, its
                        time in ms) and "summary". Exit status 0 when every
                        read was answered, 1 otherwise.

Progress goes to standard error, line by line as the desktop tool's progress box
shows it (with a progress bar when standard error is a terminal); results go to
standard output. Text for a person (standard error, and standard output of
read, write, call, show, diff and find) is in the encoding of the terminal's
locale (the C locale counts as UTF-8), and arguments are read in it; a character
the unit cannot carry is named. read-all writes a settings file, Windows-1252,
also to standard output; --json writes UTF-8. Every exchange is also logged in
the home folder's Log folder. A failed transfer is tried again, as in the desktop
tool, until the third failure in a row aborts it.

A read-back that finds other values lists each such setting on standard error
(what was written, what the unit holds), then ends with "N of M settings read
back different". A backup that cannot be read from the unit or saved stops the
write-all before anything is written.

Exit status:
  0  done
  1  the unit refused or did not answer (three failures in a row, or ten
     answers for one item that the tool cannot use), the backup could not be
     read or saved (nothing was written then), a setting
     read back different, or the time limit ran out
  2  trouble before anything reached the unit: a usage error, an argument
     that does not decode, a file that cannot be read, holds no settings or
     cannot be made, a value the unit cannot take (in the settings file of
     write-all, named with its line and item; in ITEM=VALUE; in the address
     or text of call), a port that cannot be opened or is in use; also output
     that could not be written by a command that changes nothing on the unit
  3  the unit was changed (write, write-all, commission, call, restart) but the
     result or the progress could not be written; the last line, on standard
     error or else on standard output, says what the unit took
  129, 130, 143  ended by SIGHUP, SIGINT (Ctrl+C) or SIGTERM (below)
diff: 0 no difference, 1 differences, 2 trouble (a usage error, a file that
  cannot be read or holds no settings, a port that cannot be opened or is in
  use, a unit that does not answer); never 1 for anything but differences.
find: 0 a unit answered on one port or more, 1 none did, 2 a usage error or
  output that could not be written.
check: 0 every read answered, 1 one or more failed (or the time limit ran
  out), 2 as for every command.

Arguments are decoded in the locale's encoding (LC_ALL, LC_CTYPE, LANG); one
that does not decode (an invalid byte, a sequence cut short) is refused with
exit status 2, its bytes shown as \xNN. File names (FILE, --base, --home,
--port) are taken as the bytes given and must be UTF-8, whatever the locale:
the tool opens files by UTF-8 names; another is refused with exit status 2.

Signals (not on Windows): on SIGINT (Ctrl+C), SIGTERM or SIGHUP the item under
way ends, nothing further is sent, the progress bar is removed, and the last
line says what the unit took, e.g. "interrupted: 6 of 14 settings written
(items 0 5 7 10 11 12); the unit holds a mix of old and new values"; the exit
status is 128 and the signal's number (130, 143, 129). A second signal ends
the run at once. A closed pipe (SIGPIPE is ignored) loses only the output that
went to it: the run goes on and ends with 2 or 3.

Examples:
  tessaro-cli --com 3 read-all unit-0417.cfg
  tessaro-cli --port /dev/ttyUSB0 write-all standard.cfg
  tessaro-cli --no-backup --no-verify write-all standard.cfg
  tessaro-cli read 5 10 155 && tessaro-cli write 14=30 155=2001
  tessaro-cli find && tessaro-cli --com 2 diff standard.cfg
  tessaro-cli --json show unit-0417.cfg
)");

QString commandName(CliRequest::Command command)
{
    switch (command) {
    case CliRequest::Command::ReadAll: return QStringLiteral("read-all");
    case CliRequest::Command::WriteAll: return QStringLiteral("write-all");
    case CliRequest::Command::Read: return QStringLiteral("read");
    case CliRequest::Command::Write: return QStringLiteral("write");
    case CliRequest::Command::Call: return QStringLiteral("call");
    case CliRequest::Command::Restart: return QStringLiteral("restart");
    case CliRequest::Command::Show: return QStringLiteral("show");
    case CliRequest::Command::Diff: return QStringLiteral("diff");
    case CliRequest::Command::Find: return QStringLiteral("find");
    case CliRequest::Command::Report: return QStringLiteral("report");
    case CliRequest::Command::Check: return QStringLiteral("check");
    case CliRequest::Command::Commission: return QStringLiteral("commission");
    }
    return QString();
}

std::optional<CliRequest::Command> commandNamed(const QString &name)
{
    for (auto c : {CliRequest::Command::ReadAll, CliRequest::Command::WriteAll, CliRequest::Command::Read,
                   CliRequest::Command::Write, CliRequest::Command::Call, CliRequest::Command::Restart,
                   CliRequest::Command::Show, CliRequest::Command::Diff, CliRequest::Command::Find,
                   CliRequest::Command::Report, CliRequest::Command::Check, CliRequest::Command::Commission}) {
        if (commandName(c) == name)
            return c;
    }
    return std::nullopt;
}

// A whole number within limits, for the numeric options.
std::optional<int> optionNumber(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < lowest || v > highest)
        return std::nullopt;
    return v;
}

// An argument that names a file, as the file system takes it.
bool takeFileName(const QString &argument, QString *name, QString *error)
{
    const std::optional<QString> taken = Console::fileName(argument, error);
    if (taken)
        *name = *taken;
    return taken.has_value();
}

// The items of read: each readable, each once.
bool takeItems(CliRequest &r, const QStringList &args, QString *error)
{
    for (const QString &arg : args) {
        const auto n = ItemArguments::parseItem(arg, error);
        if (!n)
            return false;
        if (!ItemArguments::isReadable(*n)) {
            *error = QStringLiteral("item %1 cannot be read: the tool has no conversion for its answer").arg(*n);
            return false;
        }
        if (!r.items.contains(*n))
            r.items << *n;
    }
    return true;
}

// The ITEM=VALUE pairs of write: each item once, each value one it can take.
bool takeWrites(CliRequest &r, const QStringList &args, QString *error)
{
    for (const QString &arg : args) {
        const qsizetype eq = arg.indexOf(u'=');
        if (eq < 0) {
            *error = QStringLiteral("\"%1\" is not ITEM=VALUE").arg(arg);
            return false;
        }
        const auto n = ItemArguments::parseItem(arg.left(eq), error);
        if (!n)
            return false;
        for (const auto &w : std::as_const(r.writes)) {
            if (w.first == *n) {
                *error = QStringLiteral("item %1 is given twice").arg(*n);
                return false;
            }
        }
        const auto value = ItemArguments::parseValue(*n, arg.mid(eq + 1), error);
        if (!value)
            return false;
        r.writes.append({*n, *value});
    }
    return true;
}

// A --verify asked for by name: every item written must be one the tool can read back.
bool allVerifiable(const CliRequest &r, QString *error)
{
    for (const auto &w : r.writes) {
        if (!ItemArguments::isReadable(w.first)) {
            *error = QStringLiteral("item %1 cannot be verified: the tool cannot read it back").arg(w.first);
            return false;
        }
    }
    return true;
}

// The address of call, as the window's test-call field takes it.
bool takePagerAddress(CliRequest &r, const QString &address, QString *error)
{
    r.pagerAddress = address;
    if (address.isEmpty()) {
        *error = QStringLiteral("Please enter address of pager");
        return false;
    }
    if (address.size() > kMaxPagerAddress) {
        *error = QStringLiteral("the pager address \"%1\" is longer than %2 characters")
                     .arg(address)
                     .arg(kMaxPagerAddress);
        return false;
    }
    // A control byte would end a field of the call or add one (RS, US).
    if (const QString why = ValueCheck::textProblem(address); !why.isEmpty()) {
        *error = QStringLiteral("the pager address \"%1\": %2").arg(address, why);
        return false;
    }
    return true;
}

// The arguments after the command, by command. False and an error when they do not fit.
bool takeArguments(CliRequest &r, const QStringList &args, QString *error)
{
    const QString name = commandName(r.command);
    auto count = [&](qsizetype lowest, qsizetype highest, const char *what) {
        if (args.size() >= lowest && args.size() <= highest)
            return true;
        *error = name + QStringLiteral(" takes ") + QLatin1String(what);
        return false;
    };
    switch (r.command) {
    case CliRequest::Command::ReadAll:
        r.file = args.value(0, QStringLiteral("-"));
        return count(0, 1, "at most one FILE") && (r.file == QLatin1String("-") || takeFileName(r.file, &r.file, error));
    case CliRequest::Command::WriteAll:
    case CliRequest::Command::Commission:
    case CliRequest::Command::Show:
        return count(1, 1, "one FILE") && takeFileName(args.value(0), &r.file, error);
    case CliRequest::Command::Read:
        return count(1, Items::kItemCount, "from 1 to 250 ITEMs") && takeItems(r, args, error);
    case CliRequest::Command::Write:
        return count(1, Items::kItemCount, "from 1 to 250 ITEM=VALUE pairs") && takeWrites(r, args, error);
    case CliRequest::Command::Call:
        return count(1, 1, "one ADDRESS") && takePagerAddress(r, args.first(), error);
    case CliRequest::Command::Restart:
    case CliRequest::Command::Find:
    case CliRequest::Command::Check:
        return count(0, 0, "no arguments");
    case CliRequest::Command::Report:
        if (!count(1, 1, "one OUT (.pdf or .html)") || !takeFileName(args.value(0), &r.file, error))
            return false;
        if (SiteReport::formatOf(r.file) == SiteReport::Format::Unknown) {
            *error = QStringLiteral("report writes OUT.pdf or OUT.html, not \"%1\"").arg(r.file);
            return false;
        }
        return true;
    case CliRequest::Command::Diff:
        return count(1, 2, "one FILE (against the unit) or two") && takeFileName(args.value(0), &r.file, error)
            && (args.size() < 2 || takeFileName(args.value(1), &r.secondFile, error));
    }
    return false;
}

// A report's file: .pdf or .html.
bool takeReportFile(const QString &arg, QString *file, QString *error)
{
    if (!takeFileName(arg, file, error))
        return false;
    if (SiteReport::formatOf(*file) != SiteReport::Format::Unknown)
        return true;
    *error = QStringLiteral("a report is written to OUT.pdf or OUT.html, not \"%1\"").arg(*file);
    return false;
}

// An option of report: "report: " and the description; a value named
// valueName, or none; %1 in the description becomes argument.
QCommandLineOption reportOption(const char *name, const char *description, const char *valueName,
                                const QString &argument = QString())
{
    QString text = QStringLiteral("report: ") + QLatin1String(description);
    if (!argument.isEmpty())
        text = text.arg(argument);
    return valueName ? QCommandLineOption(QLatin1String(name), text, QLatin1String(valueName))
                     : QCommandLineOption(QLatin1String(name), text);
}

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
                                           "a pseudo-terminal). find: one more port to try; may be given "
                                           "more than once."),
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
                            QStringLiteral("read, read-all, show, diff: one JSON document (UTF-8) on standard "
                                           "output instead of lines; its shape is below. read-all FILE still "
                                           "saves FILE.")};
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
bool takeRunOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error)
{
    r.home = parser.value(o.home);
    r.device = parser.value(o.port);
    if (parser.isSet(o.home) && r.home.isEmpty()) {
        *error = QStringLiteral("--home needs a folder");
        return false;
    }
    if (parser.isSet(o.port) && (r.device.isEmpty() || parser.values(o.port).contains(QString()))) {
        *error = QStringLiteral("--port needs a device");
        return false;
    }
    if ((!r.home.isEmpty() && !takeFileName(r.home, &r.home, error))
        || (!r.device.isEmpty() && !takeFileName(r.device, &r.device, error)))
        return false;
    // find tries every device given; any other command opens the last.
    if (r.command == CliRequest::Command::Find) {
        for (const QString &device : parser.values(o.port)) {
            QString name;
            if (!takeFileName(device, &name, error))
                return false;
            r.findDevices << name;
        }
    }
    if (parser.isSet(o.com)) {
        const auto n = optionNumber(parser.value(o.com), 1, kMaxPortNumber);
        if (!n) {
            *error = QStringLiteral("--com takes a port number 1-%1, not \"%2\"").arg(kMaxPortNumber).arg(parser.value(o.com));
            return false;
        }
        r.portNumber = *n;
    }
    if (parser.isSet(o.timeout)) {
        const auto s = optionNumber(parser.value(o.timeout), 1, 24 * 3600);
        if (!s) {
            *error = QStringLiteral("--timeout takes a number of seconds 1-86400, not \"%1\"").arg(parser.value(o.timeout));
            return false;
        }
        r.timeoutSeconds = *s;
    }
    return true;
}

// report's files and header fields.
bool takeReportOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error)
{
    for (const auto &[option, name] : {std::pair{&o.from, &r.from}, std::pair{&o.reference, &r.reference}}) {
        *name = parser.value(*option);
        if (parser.isSet(*option) && name->isEmpty()) {
            *error = QStringLiteral("--%1 needs a file").arg(option->names().first());
            return false;
        }
        if (!name->isEmpty() && !takeFileName(*name, name, error))
            return false;
    }
    r.events = parser.isSet(o.events);
    if (r.events && !r.from.isEmpty()) {
        *error = QStringLiteral("--events and --from exclude each other: --events reads the unit");
        return false;
    }
    r.site = parser.value(o.site);
    r.reportFile = parser.value(o.report);
    if (parser.isSet(o.report) && !takeReportFile(r.reportFile, &r.reportFile, error))
        return false;
    if (parser.isSet(o.technician))
        r.technician = parser.value(o.technician);
    return true;
}

// The options of one command or a few; given to another command they are a
// mistake, not something to ignore.
bool takeCommandOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error)
{
    struct Belongs
    {
        const QCommandLineOption &option;
        QList<CliRequest::Command> commands;
        const char *where;
    };
    const Belongs belongs[] = {
        {o.base, {CliRequest::Command::ReadAll}, "read-all"},
        {o.verify, {CliRequest::Command::WriteAll, CliRequest::Command::Write, CliRequest::Command::Commission},
         "write-all, write and commission"},
        {o.noVerify, {CliRequest::Command::WriteAll, CliRequest::Command::Write, CliRequest::Command::Commission},
         "write-all, write and commission"},
        {o.noBackup, {CliRequest::Command::WriteAll}, "write-all"},
        {o.bleep, {CliRequest::Command::Call}, "call"},
        {o.text, {CliRequest::Command::Call}, "call"},
        {o.json, {CliRequest::Command::Read, CliRequest::Command::ReadAll, CliRequest::Command::Show,
                  CliRequest::Command::Diff, CliRequest::Command::Check, CliRequest::Command::Commission},
         "read, read-all, show, diff, check and commission"},
        {o.from, {CliRequest::Command::Report}, "report"},
        {o.reference, {CliRequest::Command::Report}, "report"},
        {o.events, {CliRequest::Command::Report}, "report"},
        {o.site, {CliRequest::Command::Report, CliRequest::Command::Commission}, "report and commission"},
        {o.technician, {CliRequest::Command::Report, CliRequest::Command::Commission}, "report and commission"},
        {o.report, {CliRequest::Command::Commission}, "commission"},
        {o.checkCount, {CliRequest::Command::Check}, "check"},
    };
    for (const Belongs &b : belongs) {
        if (parser.isSet(b.option) && !b.commands.contains(r.command)) {
            *error = QStringLiteral("--%1 applies to %2 only").arg(b.option.names().first(), QLatin1String(b.where));
            return false;
        }
    }
    r.base = parser.value(o.base);
    if (parser.isSet(o.base) && r.base.isEmpty()) {
        *error = QStringLiteral("--base needs a file");
        return false;
    }
    if (!r.base.isEmpty() && !takeFileName(r.base, &r.base, error))
        return false;
    if (parser.isSet(o.verify) && parser.isSet(o.noVerify)) {
        *error = QStringLiteral("--verify and --no-verify exclude each other");
        return false;
    }
    r.verify = !parser.isSet(o.noVerify);
    r.backup = !parser.isSet(o.noBackup);
    r.json = parser.isSet(o.json);
    r.stats = parser.isSet(o.stats);
    if (parser.isSet(o.bleep)) {
        const auto b = optionNumber(parser.value(o.bleep), 0, kBleepEntries - 1);
        if (!b) {
            *error = QStringLiteral("--bleep has no list position \"%1\" (0-%2)").arg(parser.value(o.bleep)).arg(kBleepEntries - 1);
            return false;
        }
        r.bleepIndex = *b;
    }
    if (parser.isSet(o.checkCount)) {
        const auto n = optionNumber(parser.value(o.checkCount), 1, LineCheck::kMaxCount);
        if (!n) {
            *error = QStringLiteral("--count takes a number of reads 1-%1, not \"%2\"")
                         .arg(LineCheck::kMaxCount)
                         .arg(parser.value(o.checkCount));
            return false;
        }
        r.checkCount = *n;
    }
    r.pagerText = parser.value(o.text);
    if (r.pagerText.size() > kMaxPagerText) {
        *error = QStringLiteral("--text is longer than %1 characters").arg(kMaxPagerText);
        return false;
    }
    if (const QString why = ValueCheck::textProblem(r.pagerText); !why.isEmpty()) {
        *error = QStringLiteral("--text \"%1\": %2").arg(r.pagerText, why);
        return false;
    }
    if (!takeReportOptions(parser, o, r, error))
        return false;
    // find tries every port: a port number has no meaning for it.
    if (r.command == CliRequest::Command::Find && parser.isSet(o.com)) {
        *error = QStringLiteral("--com does not apply to find: it tries every port (name others with --port)");
        return false;
    }
    return true;
}

// Qt's words for a command line it cannot parse, in the tool's own style:
// "WHAT: WHY". A negative number is read by Qt as one option per digit;
// it is named as what it is.
QString parseError(const QCommandLineParser &parser, const QStringList &arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        auto negativeNumber = [](const QString &arg) {
            return arg.size() > 1 && arg.startsWith(u'-')
                && std::all_of(arg.cbegin() + 1, arg.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        };
        for (const QString &arg : arguments.mid(1)) {
            if (arg == QLatin1String("--"))
                break;
            if (negativeNumber(arg) && unknown.contains(arg.mid(1, 1)))
                return QStringLiteral("%1: a negative number, and not an option; no item, value or address is "
                                      "negative")
                    .arg(arg);
        }
        const QString &name = unknown.first();
        return QStringLiteral("%1%2: unknown option").arg(name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-"), name);
    }
    // "Missing value after '--home'.", "Unexpected value after '--verify'."
    QString text = parser.errorText();
    const qsizetype open = text.indexOf(u'\'');
    const qsizetype close = text.lastIndexOf(u'\'');
    if (open >= 0 && close > open) {
        const QString what = text.mid(open + 1, close - open - 1);
        if (text.startsWith(QLatin1String("Missing value")))
            return what + QStringLiteral(": a value is missing");
        if (text.startsWith(QLatin1String("Unexpected value")))
            return what.section(u'=', 0, 0) + QStringLiteral(": takes no value");
    }
    if (text.endsWith(u'.'))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

} // namespace

int CliRequest::transferCount() const
{
    const int readBack = verify ? 1 : 0;
    switch (command) {
    case Command::ReadAll: return int(Items::kBulkItems.size());
    case Command::WriteAll: return int(Items::kBulkItems.size()) * (1 + (backup ? 1 : 0) + readBack);
    case Command::Read: return int(items.size());
    case Command::Write: {
        // Items the tool cannot read are written only.
        int count = int(writes.size());
        for (const auto &w : writes)
            count += readBack && ItemArguments::isReadable(w.first) ? 1 : 0;
        return count;
    }
    case Command::Call: return 2;
    case Command::Restart: return 1;
    case Command::Diff: return needsSession() ? int(Items::kBulkItems.size()) : 0;
    case Command::Report:
        return needsSession() ? int(Items::kBulkItems.size()) + (events ? int(SiteReport::eventItems().size()) : 0) : 0;
    case Command::Check: return checkCount;
    case Command::Commission: return int(Items::kBulkItems.size()) * (2 + readBack);
    case Command::Show:
    case Command::Find: return 0;
    }
    return 1;
}

bool CliRequest::needsSession() const
{
    switch (command) {
    case Command::Show:
    case Command::Find: return false;
    case Command::Diff: return secondFile.isEmpty();
    case Command::Report: return from.isEmpty();
    default: return true;
    }
}

bool CliRequest::readsOnly() const
{
    switch (command) {
    case Command::Check:
    case Command::Show:
    case Command::Read:
    case Command::Diff: return true;
    default: return false;
    }
}

namespace CommandLine {

Outcome parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const Options o;
    o.addTo(parser);

    Outcome outcome;
    if (!parser.parse(arguments)) {
        outcome.error = parseError(parser, arguments);
        return outcome;
    }
    // --help-all, which Qt adds beside --help, prints the same: the tool has
    // no options of Qt's to add.
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        outcome.output = parser.helpText() + kCommandsHelp.arg(eventSeconds()) + QString::fromLatin1(SettingsReport::kJsonHelp);
        return outcome;
    }
    if (parser.isSet(versionOption)) {
        outcome.output = QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n';
        return outcome;
    }

    const QStringList positional = parser.positionalArguments();
    const QString commands =
        QStringLiteral("(read-all, write-all, read, write, call, restart, show, diff, find, report, check, commission)");
    if (positional.isEmpty()) {
        outcome.error = QStringLiteral("no command given ") + commands;
        return outcome;
    }
    const auto command = commandNamed(positional.first());
    if (!command) {
        outcome.error = QStringLiteral("unknown command \"%1\" ").arg(positional.first()) + commands;
        return outcome;
    }
    CliRequest r;
    r.command = *command;
    if (takeRunOptions(parser, o, r, &outcome.error) && takeCommandOptions(parser, o, r, &outcome.error)
        && takeArguments(r, positional.mid(1), &outcome.error)
        && (!parser.isSet(o.verify) || allVerifiable(r, &outcome.error)))
        outcome.request = r;
    return outcome;
}

} // namespace CommandLine
