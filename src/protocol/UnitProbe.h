#pragma once

#include "link/Port.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A serial port that may have the unit on it: its port number (0 for a
// device named for this run only) and its device.
struct PortCandidate
{
    int portNumber = 0;
    QString device;
};

// Whether a unit answers on one port: opens it at 9600,N,8,1, sends the
// wake-up, after the engine's wake-up wait asks for item 0, and takes the
// first good answer. Driven by tick() every 25 ms like the engine; it never
// waits itself, and gives up after kTicks. Nothing but the wake-up and the
// read of item 0 is sent, so a device of another kind on the port is not
// disturbed beyond those bytes.
class UnitProbe
{
public:
    static constexpr int kWakeUpTicks = 10; // as the engine waits after a wake-up
    static constexpr int kTicks = 40;       // about a second in all

    enum class Result { Pending, Answered, NoAnswer, NotOpened };

    // Opens port number portNumber of port and sends the wake-up.
    UnitProbe(Port &port, int portNumber);
    // Closes the port.
    ~UnitProbe();
    UnitProbe(const UnitProbe &) = delete;
    UnitProbe &operator=(const UnitProbe &) = delete;

    // One step; the result so far.
    Result tick();
    Result result() const { return m_result; }

    // When Answered: item 0 as the unit gave it, and in words ("Diagnostic
    // level: Debug info").
    int value() const { return m_value; }
    QString answerText() const;
    // When NotOpened or NoAnswer: why, in plain words.
    QString problem() const { return m_problem; }

private:
    void take();
    void finish(Result result);

    Port &m_port;
    int m_ticks = 0;
    bool m_asked = false;
    QByteArray m_received;
    Result m_result = Result::Pending;
    int m_value = -1;
    QString m_problem;
};

// Where serial ports are looked for: the system's listing in port-number
// order, and the folder of stable names that link to devices.
struct PortSources
{
    std::function<QStringList()> systemDevices; // empty: SerialPort::systemDevices
    QString byIdFolder = QStringLiteral("/dev/serial/by-id");
};

// Tries a list of ports one after another with a UnitProbe each, one tick at
// a time, and keeps those where a unit answered.
class UnitSearch
{
public:
    using PortFactory = std::function<std::unique_ptr<Port>(const PortCandidate &)>;

    struct Found
    {
        PortCandidate port;
        int value = -1;
        QString answer;
    };
    // Called when a port has been tried: its result, and why for one without a unit.
    using Listener = std::function<void(const PortCandidate &, UnitProbe::Result, const QString &)>;

    // The real serial ports by default, each opened on its device.
    explicit UnitSearch(QList<PortCandidate> candidates, PortFactory factory = {});
    ~UnitSearch();

    void setListener(Listener listener) { m_listener = std::move(listener); }

    // One tick; false once every port has been tried (or there were none).
    bool tick();
    bool done() const { return m_next >= m_candidates.size() && !m_probe; }
    const QList<Found> &found() const { return m_found; }

    // firstDevices, then every serial port the system reports, by port
    // number, then each of extraDevices, then each stable link to a device
    // not reached otherwise. A port the system reports that a stable link
    // reaches goes by the link's name (it says which adapter it is); a
    // device reached by several names is tried once.
    static QList<PortCandidate> systemCandidates(const QStringList &extraDevices = {},
                                                 const QStringList &firstDevices = {},
                                                 const PortSources &sources = {});

private:
    void startNext();

    QList<PortCandidate> m_candidates;
    PortFactory m_factory;
    Listener m_listener;
    qsizetype m_next = 0;
    std::unique_ptr<Port> m_port;
    std::unique_ptr<UnitProbe> m_probe;
    QList<Found> m_found;
};
