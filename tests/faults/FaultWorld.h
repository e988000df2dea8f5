#pragma once

#include "link/LinkPort.h"
#include "testsupport/EngineProbe.h"
#include "testsupport/HeadlessSession.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// The tool's whole path to a unit, driven tick by tick: the engine, Datacom,
// the real serial port on a pseudo-terminal (or a network port to a serial
// device server in front of one), and at its far end whatever the
// test puts there (the simulated unit in this process, the tessaro-unit
// program, or a line the test writes to itself).
//
// A tick is the 25 ms timer's step, with the 100 ms link watch every fourth
// tick as the window's timers have it; between ticks the events of the port
// and of the unit are processed for about a millisecond. The unit answers at
// once (no 9600 baud pacing), so every time-out still counts its 120 ticks,
// only faster than on a real line.
class FaultWorld
{
public:
    static constexpr int kTickGapMs = 1;

    explicit FaultWorld(const QString &device, const QString &home = QString())
    {
        m_port.setDeviceOverride(device);
        m_home = home.isEmpty() ? m_ownHome.path() : home;
        m_world = std::make_unique<HeadlessSession>(
            m_home, [] { return QDateTime(QDate(2026, 12, 7), QTime(11, 30)); }, m_port);
        session().InitProgram(QString());
    }

    Session &session() { return m_world->session; }
    Interface &engine() { return m_world->session.engine; }
    Stores &stores() { return m_world->session.stores; }
    RecordingView &view() { return m_world->view; }
    TestItemControls &controls() { return m_world->controls; }
    LinkPort &port() { return m_port; }
    QString home() const { return m_home; }
    int ticks() const { return m_ticks; }

    void tick()
    {
        engine().InterfaceTick(0);
        if (++m_ticks % 4 == 0)
            session().datacom.CheckComLink();
        QTest::qWait(kTickGapMs);
    }

    // Ticks until done() holds; false after maxTicks.
    bool runUntil(const std::function<bool()> &done, int maxTicks)
    {
        for (int i = 0; i < maxTicks; ++i) {
            if (done())
                return true;
            tick();
        }
        return done();
    }

    bool quiet()
    {
        return engine().isQuiet();
    }

    bool runUntilQuiet(int maxTicks) { return runUntil([this] { return quiet(); }, maxTicks); }

    bool progressHasCancel() const
    {
        return m_world->view.progress().contains(QStringLiteral("Current programming / reading action cancelled!"));
    }

    // The log window's lines without their time stamps.
    QStringList logLines() const
    {
        QStringList lines;
        const auto &l = m_world->session.logLines;
        for (int i = 0; i < l.count(); ++i)
            lines << l.line(i).mid(9);
        return lines;
    }

private:
    QTemporaryDir m_ownHome;
    QString m_home;
    LinkPort m_port;
    std::unique_ptr<HeadlessSession> m_world;
    int m_ticks = 0;
};

// The simulated unit in this process, answering at once.
struct UnitInProcess
{
    UnitItems items;
    SimulatedUnit unit{items};

    explicit UnitInProcess(const QString &fault = QString())
    {
        UnitSession::Options o;
        o.paced = false;
        o.thinkMs = 0;
        if (!fault.isEmpty())
            o.faults.add(*UnitFaultPlan::parse(fault));
        unit.session().setOptions(o);
        QString error;
        if (!unit.start(QString(), &error))
            qFatal("simulated unit: %s", qPrintable(error));
    }
};

// A line of the test's own: a pseudo-terminal with the simulated unit's
// answering logic on its far end, into which the test can also put any bytes
// of its own, as a unit sends them unasked.
class FaultLine : public QObject
{
public:
    FaultLine() : m_session(m_items)
    {
        struct termios raw;
        std::memset(&raw, 0, sizeof raw);
        cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
            qFatal("openpty: %s", std::strerror(errno));
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        m_device = QString::fromLocal8Bit(name);
        UnitSession::Options o;
        o.paced = false;
        o.thinkMs = 0;
        m_session.setOptions(o);
        m_session.setSink([this](const QByteArray &bytes) { inject(bytes); });
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char buffer[512];
            for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
                m_session.feed(QByteArrayView(buffer, n));
        });
    }
    ~FaultLine() override
    {
        delete m_notifier;
        ::close(m_master);
        ::close(m_slave);
    }

    QString device() const { return m_device; }
    const UnitItems &items() const { return m_items; }

    void inject(const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                qFatal("writing to the line failed");
            done += n;
        }
    }

private:
    UnitItems m_items;
    UnitSession m_session;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QString m_device;
};
