// tessaro-unit: a simulated Dubrion unit on a pseudo-terminal, for trying the
// tool without the hardware and for tests that need a unit on a real line.

#include "SimulatedUnit.h"
#include "UnitFaults.h"
#include "UnitItems.h"

#include "link/StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>
#include <cstdio>

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "tessaro-unit: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Text on standard output; false, with a word on standard error, when it did
// not get there whole (a full disk, a closed pipe).
bool printed(const QByteArray &text)
{
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    if (written && std::fflush(stdout) == 0)
        return true;
    printError(QStringLiteral("cannot write to standard output: ") + QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// The program's options, declared once for the parser and read back from it.
struct Options
{
    QCommandLineOption link{QStringLiteral("link"),
                            QStringLiteral("Also make a symbolic link to the device at <path>, so a "
                                           "restarted unit appears at the same path."),
                            QStringLiteral("path")};
    QCommandLineOption fast{QStringLiteral("fast"), QStringLiteral("Answer at once, without the pace of a 9600 baud line.")};
    QCommandLineOption think{QStringLiteral("think"),
                             QStringLiteral("Milliseconds between a request and its answer (default 20, with --fast 0)."),
                             QStringLiteral("ms")};
    QCommandLineOption fault{QStringLiteral("fault"),
                             QStringLiteral("Make a fault on every Nth request, or on every request without :N. May be "
                                            "repeated. Kinds: %1.")
                                 .arg(UnitFaultPlan::names().join(QStringLiteral(", "))),
                             QStringLiteral("kind[:N]")};
    QCommandLineOption trace{QStringLiteral("trace"), QStringLiteral("Print every frame in and out, in hex, on standard error.")};
    QCommandLineOption state{QStringLiteral("state"),
                             QStringLiteral("Load the unit's settings from <file> (a settings file as the tool writes "
                                            "it) and save every change there."),
                             QStringLiteral("file")};
    QCommandLineOption home{QStringLiteral("home"), QStringLiteral("Accepted and not used."), QStringLiteral("dir")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.setApplicationDescription(QStringLiteral(
            "A simulated Dubrion unit on a pseudo-terminal. Prints the terminal's device on the first line "
            "of standard output; point the tool at it with --port DEVICE."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({link, fast, think, fault, trace, state, home});
    }
};

// How the unit answers, from the options; nothing and a message when they are wrong.
std::optional<UnitSession::Options> answerOptions(const QCommandLineParser &parser, const Options &o)
{
    UnitSession::Options options;
    options.paced = !parser.isSet(o.fast);
    options.thinkMs = parser.isSet(o.fast) ? 0 : 20;
    if (parser.isSet(o.think)) {
        bool ok = false;
        options.thinkMs = parser.value(o.think).toInt(&ok);
        if (!ok || options.thinkMs < 0) {
            printError(QStringLiteral("--think needs a number of milliseconds"));
            return std::nullopt;
        }
    }
    for (const QString &text : parser.values(o.fault)) {
        QString why;
        const auto rule = UnitFaultPlan::parse(text, &why);
        if (!rule) {
            printError(why);
            return std::nullopt;
        }
        options.faults.add(*rule);
    }
    return options;
}

// The unit's settings from its state file, which is made when it does not exist yet.
bool loadState(UnitItems &items, const QString &statePath)
{
    if (statePath.isEmpty())
        return true;
    if (!QFileInfo::exists(statePath)) {
        QString why;
        if (!items.save(statePath, &why))
            printError(QStringLiteral("cannot write ") + statePath + QStringLiteral(": ") + why);
        return true;
    }
    QStringList problems;
    if (!items.load(statePath, &problems)) {
        printError(QStringLiteral("cannot read ") + statePath);
        return false;
    }
    for (const QString &problem : problems)
        printError(statePath + QStringLiteral(": ") + problem);
    return true;
}

// Reports on standard error what the unit does, and keeps its state file up to date.
void reportEvents(SimulatedUnit &unit, UnitItems &items, const QString &statePath, bool trace)
{
    if (trace) {
        unit.session().setTraceHook([](const QString &line) {
            std::fprintf(stderr, "%s\n", qPrintable(line));
            std::fflush(stderr);
        });
    }
    unit.session().setEventHook([&items, statePath](const UnitEvent &event) {
        if (event.kind == UnitEvent::Kind::Read)
            return; // reads are many and change nothing; --trace shows them
        std::fprintf(stderr, "unit: %s\n", qPrintable(event.text));
        std::fflush(stderr);
        if (event.kind == UnitEvent::Kind::Write && !statePath.isEmpty()) {
            QString why;
            if (!items.save(statePath, &why))
                printError(QStringLiteral("cannot write ") + statePath + QStringLiteral(": ") + why);
        }
    });
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGINT, SIGTERM and SIGHUP end the event loop, so the link is removed
    // on the way out.
    StopSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaro-unit"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2").arg(TESSARO_VERSION_MAJOR).arg(TESSARO_VERSION_MINOR));

    QCommandLineParser parser;
    const Options o;
    o.addTo(parser);
    // Help and version answered here: Qt's own answer reports no failure to write them.
    if (!parser.parse(QCoreApplication::arguments())) {
        printError(parser.errorText() + QStringLiteral(" (see tessaro-unit --help)"));
        return 1;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return printed(parser.helpText().toLocal8Bit()) ? 0 : 1;
    if (parser.isSet(QStringLiteral("version")))
        return printed(QStringLiteral("tessaro-unit %1\n").arg(QCoreApplication::applicationVersion()).toLocal8Bit()) ? 0 : 1;

    const std::optional<UnitSession::Options> options = answerOptions(parser, o);
    if (!options)
        return 2;
    UnitItems items;
    const QString statePath = parser.value(o.state);
    if (!loadState(items, statePath))
        return 1;

    SimulatedUnit unit(items);
    unit.session().setOptions(*options);
    reportEvents(unit, items, statePath, parser.isSet(o.trace));
    QString why;
    if (!unit.start(parser.value(o.link), &why)) {
        printError(why);
        return 1;
    }
    std::printf("%s\n", qPrintable(unit.devicePath()));
    std::fflush(stdout);

    StopSignals stopSignals(&app);
    const int result = app.exec();
    unit.stop();
    return result;
}
