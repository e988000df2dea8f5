// The text of tessaro-cli --help after Qt's list of options.
#include "CommandOptions.h"

#include "CliRunner.h"

#include "report/SiteReport.h"

namespace {

// A single read takes about six engine ticks at 9600 baud: the idle tick that
// takes the request, the send, two ticks collecting the answer (a 12-byte
// request, up to 27 bytes back: some 40 ms on the line) and the filing.
constexpr int kTicksPerItemRead = 6;

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
                        read-back. --json prints one JSON document at the
                        end, whatever the ending: "changed" (each setting the
                        unit took: item, legend, after), "result", "outcome"
                        (the last line's words), "backup".
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
                        document instead, whatever the ending: "changed"
                        (each setting the unit took: item, legend, before,
                        after), "result", "outcome" (the last line's words),
                        "backup".
  read ITEM...          Read single items (0-249) and print "ITEM    ->VALUE".
  write ITEM=VALUE...   Write single items and print "ITEM    ->VALUE". VALUE is
                        the list position (0 first) for an item with a choice
                        list, a number 0-255 for other one-byte items, a whole
                        number 0-32767 for items 100-149, and the text itself
                        for items 150-249, without control characters. Each
                        item is read back and compared, except items the tool
                        cannot read (e.g. 3 and 99); --no-verify reads none.
                        --json prints write-all's JSON document instead.
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

} // namespace

namespace CommandLine {

// report --events: the seconds its item reads add.
QString eventSeconds()
{
    const qsizetype ticks = SiteReport::eventItems().size() * kTicksPerItemRead;
    return QString::number(qRound(double(ticks * CliRunner::kTickMs) / 1000.0));
}

QString commandsHelp()
{
    return kCommandsHelp.arg(eventSeconds());
}

} // namespace CommandLine
