// tessaro-unit: a simulated Dubrion unit on a pseudo-terminal, for trying the
// tool without the hardware and for tests that need a unit on a real line.

#include "SimulatedUnit.h"
#include "UnitFaults.h"
#include "UnitItems.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <sys/signalfd.h>
#endif

namespace {

// Ends the event loop on SIGINT, SIGTERM and SIGHUP, so the link is removed on
// the way out. The signals are blocked and read from a descriptor, which the
// event loop watches like any other. Elsewhere they end the program at once and
// the next unit replaces the link left behind.
class SignalWatch
{
public:
    // Before any thread starts, so every thread inherits the blocked signals.
    static void blockSignals()
    {
#ifdef Q_OS_LINUX
        sigset_t set;
        signalSet(&set);
        ::sigprocmask(SIG_BLOCK, &set, nullptr);
#endif
    }

    explicit SignalWatch(QObject *owner)
    {
#ifdef Q_OS_LINUX
        sigset_t set;
        signalSet(&set);
        m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        if (m_fd < 0)
            return;
        auto *notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, owner);
        QObject::connect(notifier, &QSocketNotifier::activated, owner, [] { QCoreApplication::exit(0); });
#else
        Q_UNUSED(owner);
#endif
    }

    ~SignalWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    SignalWatch(const SignalWatch &) = delete;
    SignalWatch &operator=(const SignalWatch &) = delete;

private:
#ifdef Q_OS_LINUX
    static void signalSet(sigset_t *set)
    {
        sigemptyset(set);
        sigaddset(set, SIGINT);
        sigaddset(set, SIGTERM);
        sigaddset(set, SIGHUP);
    }
#endif

    int m_fd = -1;
};

void printError(const QString &text)
{
    std::fprintf(stderr, "tessaro-unit: %s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    SignalWatch::blockSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaro-unit"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2").arg(TESSARO_VERSION_MAJOR).arg(TESSARO_VERSION_MINOR));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Dubrion unit on a pseudo-terminal. Prints the terminal's device on the first line "
        "of standard output; point the tool at it with --port DEVICE."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Also make a symbolic link to the device at <path>, so a "
                                                       "restarted unit appears at the same path."),
                                        QStringLiteral("path"));
    const QCommandLineOption fastOption(QStringLiteral("fast"),
                                        QStringLiteral("Answer at once, without the pace of a 9600 baud line."));
    const QCommandLineOption thinkOption(QStringLiteral("think"),
                                         QStringLiteral("Milliseconds between a request and its answer "
                                                        "(default 20, with --fast 0)."),
                                         QStringLiteral("ms"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("Make a fault on every Nth request, or on every request without :N. May be repeated. "
                       "Kinds: %1.")
            .arg(UnitFaultPlan::names().join(QStringLiteral(", "))),
        QStringLiteral("kind[:N]"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         QStringLiteral("Print every frame in and out, in hex, on standard error."));
    const QCommandLineOption stateOption(QStringLiteral("state"),
                                         QStringLiteral("Load the unit's settings from <file> (a settings file as "
                                                        "the tool writes it) and save every change there."),
                                         QStringLiteral("file"));
    const QCommandLineOption homeOption(QStringLiteral("home"), QStringLiteral("Accepted and not used."),
                                        QStringLiteral("dir"));
    parser.addOptions({linkOption, fastOption, thinkOption, faultOption, traceOption, stateOption, homeOption});
    parser.process(app);

    UnitSession::Options options;
    options.paced = !parser.isSet(fastOption);
    options.thinkMs = parser.isSet(fastOption) ? 0 : 20;
    if (parser.isSet(thinkOption)) {
        bool ok = false;
        options.thinkMs = parser.value(thinkOption).toInt(&ok);
        if (!ok || options.thinkMs < 0) {
            printError(QStringLiteral("--think needs a number of milliseconds"));
            return 2;
        }
    }
    for (const QString &text : parser.values(faultOption)) {
        QString why;
        const auto rule = UnitFaultPlan::parse(text, &why);
        if (!rule) {
            printError(why);
            return 2;
        }
        options.faults.add(*rule);
    }

    UnitItems items;
    const QString statePath = parser.value(stateOption);
    if (!statePath.isEmpty()) {
        if (QFileInfo::exists(statePath)) {
            QStringList problems;
            if (!items.load(statePath, &problems)) {
                printError(QStringLiteral("cannot read ") + statePath);
                return 1;
            }
            for (const QString &problem : problems)
                printError(statePath + QStringLiteral(": ") + problem);
        } else {
            QString why;
            if (!items.save(statePath, &why))
                printError(QStringLiteral("cannot write ") + statePath + QStringLiteral(": ") + why);
        }
    }

    SimulatedUnit unit(items);
    unit.session().setOptions(options);
    if (parser.isSet(traceOption)) {
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

    QString why;
    if (!unit.start(parser.value(linkOption), &why)) {
        printError(why);
        return 1;
    }
    std::printf("%s\n", qPrintable(unit.devicePath()));
    std::fflush(stdout);

    SignalWatch signalWatch(&app);
    const int result = app.exec();
    unit.stop();
    return result;
}
