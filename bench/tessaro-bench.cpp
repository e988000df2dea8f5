// Measures how closely the tool keeps to its tick schedule: read-all and
// write-all against the simulated unit (paced as a 9600 baud line), each
// timed on the wall clock and counted in engine ticks. A ratio of wall time to
// ticks x 25 ms near 1 means the tool loses no time beyond the schedule.
// Then the same two as whole tessaro-cli processes, with the CPU time and the
// peak memory each process took, beside the ticks it reports itself, and
// report beside read-all in ticks, and commission beside write-all.
// Then read-all and write-all through a serial device server (ser2net, RFC
// 2217 and raw TCP) on the loopback address beside the terminal itself, and
// through a relay that adds network delay until read-all fails.

#include "DelayRelay.h"
#include "link/LinkPort.h"
#include "testsupport/HeadlessSession.h"
#include "testsupport/Ser2netServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <QRegularExpression>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kTickMs = 25;

struct Figures
{
    double wallMs = 0;
    quint64 ticks = 0;
    bool ok = false;
};

class Bench
{
public:
    Bench(const QString &device, const QString &home)
        : m_world(home, [] { return QDateTime::currentDateTime(); }, m_port)
    {
        m_port.setDeviceOverride(device);
        m_world.session.InitProgram(QString());
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_world.session.engine.InterfaceTick(0);
            if (++m_watch % 4 == 0)
                m_world.session.datacom.CheckComLink();
        });
        m_timer.start();
    }

    Session &session() { return m_world.session; }

    // A network port connects first: bounded.
    bool waitForPort(int timeoutMs)
    {
        return waitUntil([this] { return m_port.isOpen(); }, timeoutMs);
    }

    Figures measure(const std::function<void(Interface &)> &command)
    {
        Interface &engine = m_world.session.engine;
        waitUntil([&] { return m_world.session.engine.isQuiet(); }, 5000);
        const quint64 ticksBefore = engine.tickCount();
        QElapsedTimer wall;
        wall.start();
        command(engine);
        Figures f;
        f.ok = waitUntil([&] { return m_world.session.engine.isQuiet(); }, 120000);
        f.wallMs = double(wall.nsecsElapsed()) / 1e6;
        f.ticks = engine.tickCount() - ticksBefore;
        f.ok = f.ok && m_world.view.messages().isEmpty();
        return f;
    }

private:
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    LinkPort m_port;
    HeadlessSession m_world;
    QTimer m_timer;
    int m_watch = 0;
};

void print(const char *what, const Figures &f)
{
    const double floorMs = double(f.ticks) * kTickMs;
    std::printf("%-18s %s  wall %8.1f ms  ticks %5llu  ticks x 25 ms %8.1f ms  ratio %.3f\n", what,
                f.ok ? "ok    " : "FAILED", f.wallMs, static_cast<unsigned long long>(f.ticks), floorMs,
                floorMs > 0 ? f.wallMs / floorMs : 0.0);
}

// One whole process: its own account of the ticks it took (--stats), the wall
// time from start to reaping, and from wait4 the CPU time and peak memory.
struct ProcessFigures
{
    bool ok = false;
    double wallMs = 0;
    double userMs = 0;
    double systemMs = 0;
    long peakKb = 0;
    quint64 ticks = 0;
};

double milliseconds(const timeval &t)
{
    return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0;
}

// Runs the program to its end with standard output discarded and standard
// error into errorPath.
ProcessFigures runProcess(const QString &program, const QStringList &arguments, const QString &errorPath)
{
    QList<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &a : arguments)
        bytes << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray errorFile = QFile::encodeName(errorPath);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    ProcessFigures f;
    QElapsedTimer wall;
    wall.start();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return f;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return f;
    f.wallMs = double(wall.nsecsElapsed()) / 1e6;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    f.userMs = milliseconds(usage.ru_utime);
    f.systemMs = milliseconds(usage.ru_stime);
    f.peakKb = usage.ru_maxrss; // kilobytes on Linux

    QFile errors(errorPath);
    if (errors.open(QIODevice::ReadOnly)) {
        static const QRegularExpression ticks(QStringLiteral("tessaro-cli: ticks (\\d+) "));
        const QRegularExpressionMatch m = ticks.match(QString::fromLocal8Bit(errors.readAll()));
        f.ticks = m.hasMatch() ? m.captured(1).toULongLong() : 0;
    }
    return f;
}

void printProcess(const char *what, const ProcessFigures &f)
{
    const double floorMs = double(f.ticks) * kTickMs;
    std::printf("%-14s %s  wall %8.1f ms  cpu %6.1f ms (user %.1f + sys %.1f)  peak %6.1f MB  ticks %5llu  "
                "ticks x 25 ms %8.1f ms  ratio %.3f\n",
                what, f.ok ? "ok    " : "FAILED", f.wallMs, f.userMs + f.systemMs, f.userMs, f.systemMs,
                double(f.peakKb) / 1024.0, static_cast<unsigned long long>(f.ticks), floorMs,
                floorMs > 0 ? f.wallMs / floorMs : 0.0);
}

// The safeguards of a write-all side by side with a bare one: the backup,
// read from the unit on the write-all's own open of the port whatever was
// read before, and the read-back, in engine ticks.
int measureSafeguards(Bench &bench, int rounds)
{
    Interface &engine = bench.session().engine;
    int failures = 0;
    std::printf("write-all with backup and read-back, in ticks of a bare write-all (--no-backup --no-verify)\n");
    for (int i = 0; i < rounds; ++i) {
        engine.setBackup(false);
        engine.setReadBack(false);
        const Figures bare = bench.measure([](Interface &e) { e.requestWriteAll(); });
        engine.setBackup(true);
        engine.setReadBack(true);
        const Figures safe = bench.measure([](Interface &e) { e.requestWriteAll(); });
        print("bare", bare);
        print("safe", safe);
        const double ratio = bare.ticks > 0 ? double(safe.ticks) / double(bare.ticks) : 0.0;
        std::printf("ratio backup read + write + read-back %.2f (goal at most 3.1)\n", ratio);
        for (const Figures &f : {bare, safe})
            failures += f.ok ? 0 : 1;
    }
    return failures;
}

// A settings file as `from`, with the value of each of `items` changed (0
// becomes 1, anything else 0): that many settings differ from it.
bool writeChanged(const QString &from, const QString &to, const QList<int> &items)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    static const QRegularExpression line(QStringLiteral("^(\\d+)(\\s*->)(.*)$"));
    for (const QByteArray &bytes : in.readAll().split('\n')) {
        if (bytes.isEmpty())
            continue;
        const QString text = QString::fromLatin1(bytes).chopped(bytes.endsWith('\r') ? 1 : 0);
        const QRegularExpressionMatch m = line.match(text);
        QString written = text;
        if (m.hasMatch() && items.contains(m.captured(1).toInt()))
            written = m.captured(1) + m.captured(2) + (m.captured(3) == QLatin1String("0") ? QStringLiteral("1") : QStringLiteral("0"));
        out.write(written.toLatin1() + "\r\n");
    }
    return true;
}

// commission beside write-all, ticks as tessaro-cli counts them: with six
// settings differing (goal at most 225 ticks: the final read covers all 14) and with none (at most 100).
// The unit holds what `cfg` holds when called.
int measureCommission(const QString &cli, const QStringList &common, const QString &cfg, const QString &errors,
                      const ProcessFigures &writeAll)
{
    const ProcessFigures none = runProcess(cli, common + QStringList{QStringLiteral("commission"), cfg}, errors);
    printProcess("cli commission", none);
    const QString six = cfg + QStringLiteral(".six.cfg");
    if (!writeChanged(cfg, six, {7, 10, 13, 14, 30, 33}))
        return 1;
    const ProcessFigures changed = runProcess(cli, common + QStringList{QStringLiteral("commission"), six}, errors);
    printProcess("cli commission", changed);
    const bool within = none.ok && changed.ok && none.ticks <= 100 && changed.ticks <= 225;
    std::printf("ticks: write-all %llu, commission with 6 differing %llu (goal at most 225), with none %llu (goal at "
                "most 100): %s\n",
                static_cast<unsigned long long>(writeAll.ticks), static_cast<unsigned long long>(changed.ticks),
                static_cast<unsigned long long>(none.ticks), within ? "within" : "NOT within");
    return within ? 0 : 1;
}

const auto kReadAll = [](Interface &e) { e.requestReadAll(); };
const auto kWriteAll = [](Interface &e) { e.requestWriteAll(); };

// read-all and write-all through ser2net on the loopback address, over RFC
// 2217 and raw TCP, beside the same through the terminal itself; one server
// at a time in front of the unit's terminal.
int measureNetwork(const QString &device, const QString &home, int runs)
{
    std::printf("through a serial device server (ser2net) on 127.0.0.1, beside the terminal itself\n");
    int failures = 0;
    for (const char *route : {"terminal", "rfc2217", "tcp"}) {
        std::unique_ptr<Ser2netServer> server;
        QString address = device;
        if (qstrcmp(route, "terminal") != 0) {
            server = std::make_unique<Ser2netServer>(
                qstrcmp(route, "tcp") == 0 ? Ser2netServer::Kind::RawTcp : Ser2netServer::Kind::Rfc2217, device);
            QString why;
            if (!server->start(&why)) {
                std::printf("%-18s FAILED: %s\n", route, qPrintable(why));
                ++failures;
                continue;
            }
            address = server->address();
        }
        Bench bench(address, home);
        const bool open = bench.waitForPort(5000);
        for (int i = 0; i < runs; ++i) {
            const Figures read = open ? bench.measure(kReadAll) : Figures();
            print(QByteArray(QByteArray("read-all ") + route).constData(), read);
            const Figures write = open ? bench.measure(kWriteAll) : Figures();
            print(QByteArray(QByteArray("write-all ") + route).constData(), write);
            failures += (read.ok ? 0 : 1) + (write.ok ? 0 : 1);
        }
    }
    return failures;
}

// read-all (then write-all) over RFC 2217 through a relay that holds each
// direction back by half the added round trip, the delay growing until
// read-all fails: how slow a network the engine's time-outs bear.
int measureDelay(const QString &device, const QString &home)
{
    std::printf("through ser2net (rfc2217) behind a relay adding a round-trip delay, until read-all fails\n");
    Ser2netServer server(Ser2netServer::Kind::Rfc2217, device);
    QString why;
    if (!server.start(&why)) {
        std::printf("FAILED: %s\n", qPrintable(why));
        return 1;
    }
    int lastGood = -1;
    for (int roundTripMs : {0, 25, 50, 100, 200, 400, 800, 1200, 1600, 2000, 2400, 2800, 3200, 4000}) {
        DelayRelay relay(server.port(), roundTripMs / 2);
        Bench bench(QStringLiteral("rfc2217://127.0.0.1:%1").arg(relay.port()), home);
        const bool open = bench.waitForPort(5000 + 4 * roundTripMs);
        const Figures read = open ? bench.measure(kReadAll) : Figures();
        const QByteArray label = "+" + QByteArray::number(roundTripMs) + " ms";
        print(QByteArray("read-all " + label).constData(), read);
        if (!read.ok)
            break;
        // write-all meets the same time-outs three times over: shown while short.
        if (roundTripMs <= 400)
            print(QByteArray("write-all " + label).constData(), bench.measure(kWriteAll));
        lastGood = roundTripMs;
    }
    std::printf("read-all works up to about %d ms of added round trip\n", lastGood);
    return lastGood >= 0 ? 0 : 1;
}

// read-all and write-all in this process against the unit's terminal, then
// the safeguards of a write-all.
int measureInProcess(const QString &device, const QString &home, int runs)
{
    int failures = 0;
    Bench bench(device, home);
    std::printf("unit on %s, paced at 9600 baud; tick %d ms\n", qPrintable(device), kTickMs);
    for (int i = 0; i < runs; ++i) {
        const Figures read = bench.measure(kReadAll);
        print("read-all", read);
        const Figures write = bench.measure(kWriteAll);
        print("write-all", write);
        failures += read.ok ? 0 : 1;
        failures += write.ok ? 0 : 1;
    }
    return failures + measureSafeguards(bench, runs);
}

// The same as whole tessaro-cli processes (start-up, the settings files and
// the log included), commission beside write-all; then the line check.
int measureProcesses(const QString &cli, const QString &device, const QString &home, int runs)
{
    int failures = 0;
    // Once the port of the figures above is closed again. write-all sends what read-all saved.
    std::printf("tessaro-cli as a process; ticks as it counts them (--stats)\n");
    const QString cfg = QDir(home).filePath(QStringLiteral("unit.cfg"));
    const QString errors = QDir(home).filePath(QStringLiteral("cli-stderr.txt"));
    const QStringList common{QStringLiteral("--port"), device, QStringLiteral("--home"), home,
                             QStringLiteral("--stats")};
    for (int i = 0; i < runs; ++i) {
        const ProcessFigures read =
            runProcess(cli, common + QStringList{QStringLiteral("read-all"), cfg}, errors);
        printProcess("cli read-all", read);
        // The report reads what read-all reads, then makes its PDF: no tick more.
        const ProcessFigures report = runProcess(
            cli, common + QStringList{QStringLiteral("report"), QDir(home).filePath(QStringLiteral("r.pdf"))},
            errors);
        printProcess("cli report", report);
        std::printf("report in ticks of read-all %.2f (goal at most 1.1)\n",
                    read.ticks > 0 ? double(report.ticks) / double(read.ticks) : 0.0);
        failures += report.ok && report.ticks * 10 <= read.ticks * 11 ? 0 : 1;
        const ProcessFigures write =
            runProcess(cli, common + QStringList{QStringLiteral("write-all"), cfg}, errors);
        printProcess("cli write-all", write);
        failures += read.ok ? 0 : 1;
        failures += write.ok ? 0 : 1;
        failures += measureCommission(cli, common, cfg, errors, write);
    }

    // The line check waits for nothing of its own: 20 check reads take at most
    // 1.1 x 20 x the ticks of one read of item 0, its wake-up included.
    std::printf("line check: check --count 20 against 20 reads of item 0, each as the engine schedules it\n");
    const ProcessFigures one =
        runProcess(cli, common + QStringList{QStringLiteral("read"), QStringLiteral("0")}, errors);
    printProcess("cli read 0", one);
    const ProcessFigures check = runProcess(
        cli, common + QStringList{QStringLiteral("check"), QStringLiteral("--count"), QStringLiteral("20")},
        errors);
    printProcess("cli check", check);
    const double bound = 1.1 * 20 * double(one.ticks);
    std::printf("check ticks %llu, bound 1.1 x 20 x %llu = %.0f: %s\n", static_cast<unsigned long long>(check.ticks),
                static_cast<unsigned long long>(one.ticks), bound,
                check.ok && one.ok && double(check.ticks) <= bound ? "within" : "NOT within");
    failures += check.ok && one.ok && double(check.ticks) <= bound ? 0 : 1;
    return failures;
}

} // namespace

int main(int argc, char *argv[])
{
    // The programs it starts run at their own pace, whatever a test asked for.
    qunsetenv("TESSARO_TEST_TIME_SCALE");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times read-all and write-all against tessaro-unit."));
    parser.addHelpOption();
    QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Rounds of each (default 3)."), QStringLiteral("N"),
                            QStringLiteral("3"));
    QCommandLineOption unitPath(QStringLiteral("unit"), QStringLiteral("The tessaro-unit program."),
                                QStringLiteral("PATH"), QStringLiteral(TESSARO_UNIT_PATH));
    QCommandLineOption cliPath(QStringLiteral("cli"), QStringLiteral("The tessaro-cli program."),
                               QStringLiteral("PATH"), QStringLiteral(TESSARO_CLI_PATH));
    QCommandLineOption networkOnly(QStringLiteral("network"),
                                   QStringLiteral("Only the figures through a serial device server (ser2net)."));
    parser.addOptions({runs, unitPath, cliPath, networkOnly});
    parser.process(app);

    QProcess unit;
    unit.start(parser.value(unitPath), {});
    if (!unit.waitForStarted() || !unit.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tessaro-bench: cannot start %s\n", qPrintable(parser.value(unitPath)));
        return 2;
    }
    const QString device = QString::fromLocal8Bit(unit.readLine()).trimmed();
    QTemporaryDir home;
    const int rounds = parser.value(runs).toInt();

    int failures = 0;
    if (!parser.isSet(networkOnly)) {
        failures += measureInProcess(device, home.path(), rounds);
        failures += measureProcesses(parser.value(cliPath), device, home.path(), rounds);
    }
    failures += measureNetwork(device, home.path(), rounds);
    failures += measureDelay(device, home.path());

    unit.terminate();
    unit.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
