// The options of tessaro-cli: declared once, read back into a CliRequest.
#include "CommandOptions.h"

#include "Console.h"
#include "ItemArguments.h"

#include "model/Items.h"
#include "model/ValueCheck.h"
#include "protocol/LineCheck.h"
#include "link/NetworkAddress.h"
#include "report/SiteReport.h"

namespace {

// The test-call text takes at most this many characters on the screen.
constexpr int kMaxPagerText = 40;
constexpr int kBleepEntries = 16;
constexpr int kMaxPortNumber = 32767;

} // namespace

namespace CommandLine {

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
                                const QString &argument)
{
    QString text = QStringLiteral("report: ") + QLatin1String(description);
    if (!argument.isEmpty())
        text = text.arg(argument);
    return valueName ? QCommandLineOption(QLatin1String(name), text, QLatin1String(valueName))
                     : QCommandLineOption(QLatin1String(name), text);
}

// A --port that names a network port: well formed, and not for find,
// which tries serial devices.
bool takeNetworkPort(const CliRequest &r, QString *error)
{
    if (!NetworkAddress::isNetworkText(r.device))
        return true;
    if (const QString why = NetworkAddress::portOptionError(r.device); !why.isEmpty()) {
        *error = why;
        return false;
    }
    if (r.command == CliRequest::Command::Find) {
        *error = QStringLiteral("find tries serial devices, not network ports: give --port %1 to the other commands")
                     .arg(r.device);
        return false;
    }
    return true;
}

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
    if (!takeNetworkPort(r, error))
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
bool optionsBelong(const QCommandLineParser &parser, const Options &o, const CliRequest &r, QString *error)
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
                  CliRequest::Command::Diff, CliRequest::Command::Check, CliRequest::Command::Commission,
                  CliRequest::Command::WriteAll, CliRequest::Command::Write},
         "read, read-all, show, diff, check, commission, write-all and write"},
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
    return true;
}

// The test call's bleep code and text.
bool takeCallOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error)
{
    if (parser.isSet(o.bleep)) {
        const auto b = optionNumber(parser.value(o.bleep), 0, kBleepEntries - 1);
        if (!b) {
            *error = QStringLiteral("--bleep has no list position \"%1\" (0-%2)").arg(parser.value(o.bleep)).arg(kBleepEntries - 1);
            return false;
        }
        r.bleepIndex = *b;
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
    return true;
}

bool takeCommandOptions(const QCommandLineParser &parser, const Options &o, CliRequest &r, QString *error)
{
    if (!optionsBelong(parser, o, r, error) || !takeCallOptions(parser, o, r, error))
        return false;
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

} // namespace CommandLine
