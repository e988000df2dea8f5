#pragma once

#include "link/SerialPort.h"
#include "testsupport/HeadlessSession.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// The tool's whole path to a unit: the engine on its 25 ms timer, Datacom, the
// real serial port on a pseudo-terminal, and the simulated unit on its far end.
struct LiveWorld
{
    QTemporaryDir home;
    UnitItems unitItems;
    SimulatedUnit unit{unitItems};
    SerialPort port;
    std::unique_ptr<HeadlessSession> world;
    QTimer engineTimer;
    QTimer watchTimer;

    // tickMs other than 25 runs the same tick schedule faster, for tests that
    // wait out many time-outs; the unit then must not pace its answers.
    explicit LiveWorld(const UnitSession::Options &options = fastOptions(), int tickMs = 25)
    {
        unit.session().setOptions(options);
        QString error;
        if (!unit.start(QString(), &error))
            qFatal("simulated unit: %s", qPrintable(error));
        port.setDeviceOverride(unit.devicePath());
        world = std::make_unique<HeadlessSession>(
            home.path(), [] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0)); }, port);
        session().InitProgram(QString());
        // The transactions as they are; the safeguards around writes have their own tests.
        engine().setBackup(false);
        engine().setReadBack(false);
        engineTimer.setTimerType(Qt::PreciseTimer);
        engineTimer.setInterval(tickMs);
        QObject::connect(&engineTimer, &QTimer::timeout, [this] { engine().InterfaceTick(0); });
        watchTimer.setInterval(4 * tickMs);
        QObject::connect(&watchTimer, &QTimer::timeout, [this] { session().datacom.CheckComLink(); });
        engineTimer.start();
        watchTimer.start();
    }

    static UnitSession::Options fastOptions()
    {
        UnitSession::Options o;
        o.paced = false;
        o.thinkMs = 0;
        return o;
    }

    Session &session() { return world->session; }
    Interface &engine() { return world->session.engine; }
    Stores &stores() { return world->session.stores; }
    RecordingView &view() { return world->view; }
    TestItemControls &controls() { return world->controls; }

    // Runs the event loop (timers, port, unit) until the condition holds.
    bool runUntil(const std::function<bool()> &done, int timeoutMs = 20000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    bool quiet()
    {
        return engine().isQuiet();
    }

    bool runUntilQuiet(int timeoutMs = 20000)
    {
        return runUntil([this] { return quiet(); }, timeoutMs);
    }

    QStringList logLines() const
    {
        QStringList lines;
        const auto &l = world->session.logLines;
        for (int i = 0; i < l.count(); ++i)
            lines << l.line(i).mid(9);
        return lines;
    }
};
