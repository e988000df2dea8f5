#pragma once

#include "LineCheck.h"

#include <functional>

class Interface;

// Runs a line check on the engine: one check read at a time, each asked for
// when the last has ended, until the count is reached or it is stopped. The
// port's own traffic times each answer on the clock handed in (milliseconds of
// a steady clock of the caller's); the engine itself knows ticks only.
class LineCheckDriver
{
public:
    using Clock = std::function<qint64()>;
    enum class Ending {
        Running,   // started, not ended yet (or not started)
        Done,      // every read made
        Refused,   // the engine would not start a read: the port is closed
        Cancelled, // a read was cancelled before it was sent (signal, time limit, Cancel)
        Stopped    // stopped by the caller
    };
    using ExchangeListener = std::function<void(int number, const LineCheck::Exchange &exchange)>;
    using EndListener = std::function<void(Ending ending)>;

    LineCheckDriver(Interface &engine, Port &port, int count, Clock clock);
    ~LineCheckDriver();
    LineCheckDriver(const LineCheckDriver &) = delete;
    LineCheckDriver &operator=(const LineCheckDriver &) = delete;

    // Told of each read as it ends, before the next is asked for.
    void setExchangeListener(ExchangeListener listener) { m_exchangeListener = std::move(listener); }
    // Told once, when the check ends other than by stop().
    void setEndListener(EndListener listener) { m_endListener = std::move(listener); }

    void start();
    // The next read, asked for and not sent yet, goes; a read in hand runs to
    // its end in the engine, its outcome no longer taken.
    void stop();

    bool running() const { return m_started && m_ending == Ending::Running; }
    Ending ending() const { return m_ending; }
    const LineCheck &check() const { return m_check; }

private:
    void take(const Outcome &outcome);
    void end(Ending ending);
    void detach();

    Interface &m_engine;
    Port &m_port;
    Clock m_clock;
    LineCheck m_check;
    ExchangeListener m_exchangeListener;
    EndListener m_endListener;
    int m_outcomeListener = 0;
    bool m_started = false;
    Ending m_ending = Ending::Running;
};
