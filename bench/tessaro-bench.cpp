// Measures how closely the tool keeps to its tick schedule: read-all and
// write-all against the simulated unit (paced as a 9600 baud line), each
// timed on the wall clock and counted in engine ticks. A ratio of wall time to
// ticks x 25 ms near 1 means the tool loses no time beyond the schedule.

#include "link/SerialPort.h"
#include "protocol/Session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

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

    Figures measure(const std::function<void(Interface &)> &command)
    {
        Interface &engine = m_world.session.engine;
        waitUntil([&] { return idle(); }, 5000);
        const quint64 ticksBefore = engine.tickCount();
        QElapsedTimer wall;
        wall.start();
        command(engine);
        Figures f;
        f.ok = waitUntil([&] { return idle(); }, 120000);
        f.wallMs = double(wall.nsecsElapsed()) / 1e6;
        f.ticks = engine.tickCount() - ticksBefore;
        f.ok = f.ok && m_world.view.messages().isEmpty();
        return f;
    }

private:
    bool idle()
    {
        const Interface &e = m_world.session.engine;
        return e.EngineState == Interface::kIdle && m_world.session.stores.pendingRequestCount() == 0
            && e.AllMode == 0 && !e.ReadAllRequested && !e.WriteAllRequested;
    }

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times read-all and write-all against tessaro-unit."));
    parser.addHelpOption();
    QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Rounds of each (default 3)."), QStringLiteral("N"),
                            QStringLiteral("3"));
    QCommandLineOption unitPath(QStringLiteral("unit"), QStringLiteral("The tessaro-unit program."),
                                QStringLiteral("PATH"), QStringLiteral(TESSARO_UNIT_PATH));
    parser.addOption(runs);
    parser.addOption(unitPath);
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
    }
    unit.terminate();
    unit.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
