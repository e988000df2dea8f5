// Measures how closely the tool keeps to its tick schedule: read-all and
// write-all against the simulated unit (paced as a 9600 baud line), each
// timed on the wall clock and counted in engine ticks. A ratio of wall time to
// ticks x 25 ms near 1 means the tool loses no time beyond the schedule.
// Then the same two as whole tessaro-cli processes, with the CPU time and the
// peak memory each process took, beside the ticks it reports itself, and
// report beside read-all in ticks, and commission beside write-all.

#include "link/SerialPort.h"
#include "testsupport/HeadlessSession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <QRegularExpression>

#include <cstdio>
#include <fcntl.h>
#include <functional>
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

    SerialPort m_port;
    HeadlessSession m_world;
    QTimer m_timer;
    int m_watch = 0;
};

void print(const char *what, const Figures &f)
{
    const double floorMs = double(f.ticks) * kTickMs;
    std::printf("%-10s %s  wall %8.1f ms  ticks %5llu  ticks x 25 ms %8.1f ms  ratio %.3f\n", what,
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
// settings differing (goal at most 175 ticks) and with none (at most 100).
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
    const bool within = none.ok && changed.ok && none.ticks <= 100 && changed.ticks <= 175;
    std::printf("ticks: write-all %llu, commission with 6 differing %llu (goal at most 175), with none %llu (goal at "
                "most 100): %s\n",
                static_cast<unsigned long long>(writeAll.ticks), static_cast<unsigned long long>(changed.ticks),
                static_cast<unsigned long long>(none.ticks), within ? "within" : "NOT within");
    return within ? 0 : 1;
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
    parser.addOption(runs);
    parser.addOption(unitPath);
    parser.addOption(cliPath);
    parser.process(app);

    QProcess unit;
    unit.start(parser.value(unitPath), {});
    if (!unit.waitForStarted() || !unit.waitForReadyRead(5000)) {
        std::fprintf(stderr, "tessaro-bench: cannot start %s\n", qPrintable(parser.value(unitPath)));
        return 2;
    }
    const QString device = QString::fromLocal8Bit(unit.readLine()).trimmed();
    QTemporaryDir home;

    int failures = 0;
    {
        Bench bench(device, home.path());
        std::printf("unit on %s, paced at 9600 baud; tick %d ms\n", qPrintable(device), kTickMs);
        for (int i = 0; i < parser.value(runs).toInt(); ++i) {
            const Figures read = bench.measure([](Interface &e) { e.requestReadAll(); });
            print("read-all", read);
            const Figures write = bench.measure([](Interface &e) { e.requestWriteAll(); });
            print("write-all", write);
            failures += read.ok ? 0 : 1;
            failures += write.ok ? 0 : 1;
        }
        failures += measureSafeguards(bench, parser.value(runs).toInt());
    }

    // The same as whole processes, once the port above is closed again: start-up,
    // the settings files and the log included. write-all sends what read-all saved.
    std::printf("tessaro-cli as a process; ticks as it counts them (--stats)\n");
    const QString cfg = home.filePath(QStringLiteral("unit.cfg"));
    const QString errors = home.filePath(QStringLiteral("cli-stderr.txt"));
    const QStringList common{QStringLiteral("--port"), device, QStringLiteral("--home"), home.path(),
                             QStringLiteral("--stats")};
    for (int i = 0; i < parser.value(runs).toInt(); ++i) {
        const ProcessFigures read =
            runProcess(parser.value(cliPath), common + QStringList{QStringLiteral("read-all"), cfg}, errors);
        printProcess("cli read-all", read);
        // The report reads what read-all reads, then makes its PDF: no tick more.
        const ProcessFigures report = runProcess(
            parser.value(cliPath), common + QStringList{QStringLiteral("report"), home.filePath(QStringLiteral("r.pdf"))},
            errors);
        printProcess("cli report", report);
        std::printf("report in ticks of read-all %.2f (goal at most 1.1)\n",
                    read.ticks > 0 ? double(report.ticks) / double(read.ticks) : 0.0);
        failures += report.ok && report.ticks * 10 <= read.ticks * 11 ? 0 : 1;
        const ProcessFigures write =
            runProcess(parser.value(cliPath), common + QStringList{QStringLiteral("write-all"), cfg}, errors);
        printProcess("cli write-all", write);
        failures += read.ok ? 0 : 1;
        failures += write.ok ? 0 : 1;
        failures += measureCommission(parser.value(cliPath), common, cfg, errors, write);
    }

    // The line check waits for nothing of its own: 20 check reads take at most
    // 1.1 x 20 x the ticks of one read of item 0, its wake-up included.
    std::printf("line check: check --count 20 against 20 reads of item 0, each as the engine schedules it\n");
    const ProcessFigures one =
        runProcess(parser.value(cliPath), common + QStringList{QStringLiteral("read"), QStringLiteral("0")}, errors);
    printProcess("cli read 0", one);
    const ProcessFigures check = runProcess(
        parser.value(cliPath), common + QStringList{QStringLiteral("check"), QStringLiteral("--count"), QStringLiteral("20")},
        errors);
    printProcess("cli check", check);
    const double bound = 1.1 * 20 * double(one.ticks);
    std::printf("check ticks %llu, bound 1.1 x 20 x %llu = %.0f: %s\n", static_cast<unsigned long long>(check.ticks),
                static_cast<unsigned long long>(one.ticks), bound,
                check.ok && one.ok && double(check.ticks) <= bound ? "within" : "NOT within");
    failures += check.ok && one.ok && double(check.ticks) <= bound ? 0 : 1;

    unit.terminate();
    unit.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
