#pragma once

#include "FuzzSupport.h"

#include "testsupport/EngineProbe.h"
#include "testsupport/ScriptedPort.h"
#include "model/Items.h"
#include "protocol/Frames.h"
#include "testsupport/HeadlessSession.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cstring>
#include <memory>

// Code of the harness itself, run on every tick: neither traced for coverage
// nor checked by AddressSanitizer (clang; g++ knows no coverage tracing).
#if defined(__clang__)
#define TESSARO_FUZZ_PLAIN __attribute__((no_sanitize("address", "coverage")))
#else
#define TESSARO_FUZZ_PLAIN __attribute__((no_sanitize_address))
#endif

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

// One session for the whole process, built and started once as the program
// starts it; what start-up left is kept aside. Building it costs more than
// most inputs, so each input gets it reset instead: a fresh port, a fresh
// link layer and engine (cheap objects), and the values, controls, view,
// setup and log lines as start-up left them; then the port is opened and
// the engine started as start-up does.
class EngineWorld
{
public:
    static EngineWorld &instance()
    {
        static EngineWorld *world = new EngineWorld; // lives to the end of the process
        return *world;
    }

    void reset()
    {
        Session &s = m_world.session;
        m_port = RecordingPort();
        m_port.setDsr(true);
        std::destroy_at(&s.engine);
        std::destroy_at(&s.datacom);
        std::construct_at(&s.datacom, m_port, s.logfile);
        std::construct_at(&s.engine, s.stores, s.datacom, s.controls, s.view, s.logfile, s.setup);
        s.stores = m_started.stores;
        s.setup = m_started.setup;
        m_world.controls = m_started.controls;
        m_world.view = m_started.view;
        s.engine.setDebugMode(m_started.debugMode);
        if (s.datacom.openDefault(s.setup.Compoort) == 0)
            s.engine.InterfaceTick(Interface::kStartCommand);
        s.stores.ResetUnitValues();
        s.stores.ClearRequestFlags();
        s.logLines = m_started.logLines;
        s.logfile.closeFile();
        // Each input starts the day's log file afresh, so it never holds more
        // than one input's lines.
        QFile::resize(m_logFile, 0);
    }

    HeadlessSession &world() { return m_world; }
    RecordingPort &port() { return m_port; }

private:
    EngineWorld()
        : m_world(homeFolder(), [] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); }, m_port)
    {
        m_port.setDsr(true);
        m_world.session.InitProgram(QStringLiteral("/DEBUG"));
        m_started = {m_world.session.stores, m_world.controls, m_world.view, m_world.session.setup,
                     m_world.session.logLines, m_world.session.engine.DebugMode()};
        m_logFile = m_world.session.logfile.fileNameFor(QDate(2026, 12, 7));
    }

    // The log is written as in use: with the clock standing still the day's
    // file stays open, and a line costs one write. (A log that cannot be
    // opened costs a path check and a refused open on every line, which was
    // most of this target's time.)
    static QString homeFolder()
    {
        const QString path = Fuzz::scratchPath(QStringLiteral("home"));
        const QString log = QDir(path).filePath(QStringLiteral("Log"));
        if (QFileInfo(log).isFile())
            QFile::remove(log);
        QDir().mkpath(log);
        return path;
    }

    struct Started
    {
        Stores stores;
        TestItemControls controls;
        RecordingView view;
        Setup setup;
        Diverse::LogLines logLines;
        int debugMode = 0;
    };

    RecordingPort m_port; // before the session, which holds it
    HeadlessSession m_world;
    Started m_started;
    QString m_logFile;
};

// The shared session reset for one input, with the checks that hold after
// every tick of the engine.
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
        : m_shared(EngineWorld::instance())
        , m_port(m_shared.port())
    {
        m_shared.reset();
        m_world = &m_shared.world();
        FUZZ_CHECK(EngineProbe(engine()).EngineState() == Interface::State::Idle, QStringLiteral("the engine did not start"));
        m_spareWorking = stores().workingValues[250];
        m_spareUnit = stores().unitValues[250];
        m_spareFile = stores().fileValues[250];
        m_spareRx = EngineProbe(engine()).rxBuffer()[100];
        m_port.takeWritten();
    }

    Session &session() { return m_world->session; }
    Interface &engine() { return m_world->session.engine; }
    Stores &stores() { return m_world->session.stores; }
    RecordingView &view() { return m_world->view; }
    TestItemControls &controls() { return m_world->controls; }
    RecordingPort &port() { return m_port; }
    quint64 ticks() const { return m_ticks; }

    // One tick of the 25 ms timer; the 100 ms timer's link watch every fourth.
    void tick()
    {
        const qint16 before = int(EngineProbe(engine()).EngineState());
        const int takenBefore = int(m_port.taken().size());
        engine().InterfaceTick(0);
        if (++m_ticks % 4 == 0)
            session().datacom.CheckComLink();
        const qint16 state = int(EngineProbe(engine()).EngineState());

        FUZZ_CHECK(isKnownState(state), QStringLiteral("unknown state %1 after %2").arg(state).arg(before));
        FUZZ_CHECK(EngineProbe(engine()).RxCount() >= 0 && EngineProbe(engine()).RxCount() <= Frames::kMaxAnswerBytes + 1,
                   QStringLiteral("RxCount %1 outside the receive buffer").arg(EngineProbe(engine()).RxCount()));
        FUZZ_CHECK(EngineProbe(engine()).rxBuffer()[100] == m_spareRx, QStringLiteral("a byte was stored at offset 100"));
        // The flags are checked when they changed since the last check.
        const bool requestsChanged = !sameRequests(stores().itemRequest, m_checkedRequests);
        if (requestsChanged) {
            for (qint16 r : stores().itemRequest)
                FUZZ_CHECK(r == Items::kNoRequest || r == Items::kReadRequest || r == Items::kWriteRequest,
                           QStringLiteral("request flag %1").arg(r));
            m_checkedRequests = stores().itemRequest;
        }
        // The engine writes the value stores only on the tick a transaction
        // ends or a command is taken, which changes the state or the requests.
        if (state != before || requestsChanged)
            checkSpareEntry();

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

    // Compared on every tick, so a plain loop: neither traced for coverage
    // (the harness's own comparisons would only add noise to the fuzzer's
    // guidance) nor checked by the sanitizer (two arrays of its own, read in
    // bounds), nor through the sanitizer's memcmp, which cost a tenth of the
    // run.
    using Requests = std::array<qint16, Items::kStoreSize>;
    TESSARO_FUZZ_PLAIN static bool sameRequests(const Requests &a, const Requests &b)
    {
        // Four flags at a time.
        const auto *x = reinterpret_cast<const unsigned char *>(a.data());
        const auto *y = reinterpret_cast<const unsigned char *>(b.data());
        constexpr std::size_t kBytes = sizeof(Requests);
        std::size_t i = 0;
        for (; i + 8 <= kBytes; i += 8) {
            quint64 u;
            quint64 v;
            __builtin_memcpy(&u, x + i, 8);
            __builtin_memcpy(&v, y + i, 8);
            if (u != v)
                return false;
        }
        for (; i < kBytes; ++i) {
            if (x[i] != y[i])
                return false;
        }
        return true;
    }

    void checkSpareEntry()
    {
        FUZZ_CHECK(stores().workingValues[250] == m_spareWorking && stores().unitValues[250] == m_spareUnit
                       && stores().fileValues[250] == m_spareFile && stores().itemRequest[250] == 0,
                   QStringLiteral("the spare entry 250 changed"));
    }

    bool isQuiet()
    {
        return engine().isQuiet();
    }

    // Nothing is left that a tick could change: the engine is quiet, every
    // countdown has run out, no byte waits, the port is open with DSR (the
    // link watch stands still). Further ticks repeat the last one exactly,
    // so a pause may end here without losing a case.
    bool isAtRest()
    {
        return EngineProbe(engine()).WaitTicks() == 0 && EngineProbe(engine()).ReplyTicks() == 0 && EngineProbe(engine()).ProgModeTicks() == 0
            && m_port.pendingInput().isEmpty() && m_port.isOpen() && m_port.dsr() && EngineProbe(engine()).UnitTextLine().isEmpty()
            && isQuiet();
    }

    // Up to count ticks of silence, ended early once nothing can change.
    void pause(int count)
    {
        for (int i = 0; i < count && !isAtRest(); ++i)
            tick();
    }

    // With the line silent the engine settles: every request either answered
    // or given up after its time-outs and error count. Returns the ticks taken.
    int settle(int maxTicks)
    {
        for (int i = 0; i < maxTicks; ++i) {
            if (isQuiet()) {
                checkSpareEntry();
                return i;
            }
            tick();
        }
        FUZZ_CHECK(false, QStringLiteral("not idle %1 ticks after the line fell silent: state %2, %3 requests, AllMode %4")
                              .arg(maxTicks).arg(int(EngineProbe(engine()).EngineState())).arg(stores().pendingRequestCount())
                              .arg(int(engine().AllMode())));
        return maxTicks;
    }

private:
    EngineWorld &m_shared;
    RecordingPort &m_port;
    HeadlessSession *m_world = nullptr;
    Value m_spareWorking;
    Value m_spareUnit;
    Value m_spareFile;
    qint16 m_spareRx = 0;
    quint64 m_ticks = 0;
    int m_quietTicks = 0;
    Requests m_checkedRequests{};
};
