#pragma once

#include "FuzzSupport.h"

#include "testsupport/ScriptedPort.h"
#include "model/Items.h"
#include "protocol/Frames.h"
#include "protocol/Session.h"

#include <QDateTime>
#include <QDir>

#include <memory>

// A port that also records every byte the engine takes from it.
class RecordingPort : public ScriptedPort
{
public:
    int readByte() override
    {
        const int b = ScriptedPort::readByte();
        if (b >= 0)
            m_taken.append(char(b));
        return b;
    }
    QByteArray takeTaken() { return std::exchange(m_taken, QByteArray()); }
    const QByteArray &taken() const { return m_taken; }

private:
    QByteArray m_taken;
};

// A whole session on a recording port, started as the program starts it, with
// the checks that hold after every tick of the engine.
class EngineHarness
{
public:
    // The receive states, in which the engine waits for the unit and nothing else.
    static bool isReceiveState(int s)
    {
        return (s >= 151 && s <= 153) || (s >= 162 && s <= 164) || (s >= 181 && s <= 183) || (s >= 311 && s <= 313)
            || (s >= 351 && s <= 353);
    }
    static bool isKnownState(int s)
    {
        return s == 0 || s == 5 || s == 10 || (s >= 150 && s <= 153) || (s >= 161 && s <= 164) || (s >= 180 && s <= 183)
            || (s >= 310 && s <= 314) || (s >= 350 && s <= 354);
    }

    EngineHarness()
    {
        m_port.setDsr(true);
        m_world = std::make_unique<HeadlessSession>(homeFolder(), [] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); },
                                                    m_port);
        session().InitProgram(QStringLiteral("/DEBUG"));
        FUZZ_CHECK(int(engine().EngineState()) == int(Interface::State::Idle), QStringLiteral("the engine did not start"));
        m_spareWorking = stores().workingValues[250];
        m_spareUnit = stores().unitValues[250];
        m_spareFile = stores().fileValues[250];
        m_spareRx = engine().rxBuffer()[100];
        m_port.takeWritten();
    }

    Session &session() { return m_world->session; }
    Interface &engine() { return m_world->session.engine; }
    Stores &stores() { return m_world->session.stores; }
    HeadlessView &view() { return m_world->view; }
    HeadlessItemControls &controls() { return m_world->controls; }
    RecordingPort &port() { return m_port; }
    quint64 ticks() const { return m_ticks; }

    // One tick of the 25 ms timer; the 100 ms timer's link watch every fourth.
    void tick()
    {
        const qint16 before = int(engine().EngineState());
        const int takenBefore = int(m_port.taken().size());
        engine().InterfaceTick(0);
        if (++m_ticks % 4 == 0)
            session().datacom.CheckComLink();
        const qint16 state = int(engine().EngineState());

        FUZZ_CHECK(isKnownState(state), QStringLiteral("unknown state %1 after %2").arg(state).arg(before));
        FUZZ_CHECK(engine().RxCount() >= 0 && engine().RxCount() <= Frames::kMaxAnswerBytes + 1,
                   QStringLiteral("RxCount %1 outside the receive buffer").arg(engine().RxCount()));
        FUZZ_CHECK(engine().rxBuffer()[100] == m_spareRx, QStringLiteral("a byte was stored at offset 100"));
        FUZZ_CHECK(stores().workingValues[250] == m_spareWorking && stores().unitValues[250] == m_spareUnit
                       && stores().fileValues[250] == m_spareFile && stores().itemRequest[250] == 0,
                   QStringLiteral("the spare entry 250 changed"));
        for (qint16 r : stores().itemRequest)
            FUZZ_CHECK(r == Items::kNoRequest || r == Items::kReadRequest || r == Items::kWriteRequest,
                       QStringLiteral("request flag %1").arg(r));

        // Waiting for the unit ends within the time-outs: 120 ticks without a
        // byte that moves the answer on. A byte of noise before the SOH does not.
        const bool progressed = state != before
            || (int(m_port.taken().size()) > takenBefore && (state == 153 || state == 164 || state == 183
                                                             || state == 313 || state == 353));
        if (!isReceiveState(state) || progressed)
            m_quietTicks = 0;
        else
            ++m_quietTicks;
        FUZZ_CHECK(m_quietTicks <= Interface::kReplyTimeout,
                   QStringLiteral("state %1 waited %2 ticks").arg(state).arg(m_quietTicks));
    }

    bool isQuiet()
    {
        return engine().isQuiet();
    }

    // With the line silent the engine settles: every request either answered
    // or given up after its time-outs and error count. Returns the ticks taken.
    int settle(int maxTicks)
    {
        for (int i = 0; i < maxTicks; ++i) {
            if (isQuiet())
                return i;
            tick();
        }
        FUZZ_CHECK(false, QStringLiteral("not idle %1 ticks after the line fell silent: state %2, %3 requests, AllMode %4")
                              .arg(maxTicks).arg(int(engine().EngineState())).arg(stores().pendingRequestCount())
                              .arg(engine().AllMode()));
        return maxTicks;
    }

private:
    // Log lines stay in the window: a file named Log stands where the log
    // folder would be, so the run never fills the disk with log files.
    static QString homeFolder()
    {
        static const QString home = [] {
            const QString path = Fuzz::scratchPath(QStringLiteral("home"));
            QDir().mkpath(path);
            Fuzz::writeFile(QDir(path).filePath(QStringLiteral("Log")), QByteArray());
            return path;
        }();
        return home;
    }

    RecordingPort m_port;
    std::unique_ptr<HeadlessSession> m_world;
    Value m_spareWorking;
    Value m_spareUnit;
    Value m_spareFile;
    qint16 m_spareRx = 0;
    quint64 m_ticks = 0;
    int m_quietTicks = 0;
};
