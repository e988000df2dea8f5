#include "CommandLine.h"

#include "CommandOptions.h"
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

using namespace CommandLine;

// The test-call address takes at most this many characters on the screen.
constexpr int kMaxPagerAddress = 10;

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
        outcome.output = parser.helpText() + commandsHelp() + QString::fromLatin1(SettingsReport::kJsonHelp);
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
