#include "LineCheckDriver.h"

#include "Interface.h"

LineCheckDriver::LineCheckDriver(Interface &engine, Port &port, int count, Clock clock)
    : m_engine(engine), m_port(port), m_clock(std::move(clock)), m_check(count)
{
}

LineCheckDriver::~LineCheckDriver()
{
    if (running())
        stop();
    detach();
}

void LineCheckDriver::start()
{
    if (m_started)
        return;
    m_started = true;
    m_port.setTrafficListener([this](Port::Traffic traffic) { m_check.noteTraffic(traffic, m_clock()); });
    m_outcomeListener = m_engine.addOutcomeListener([this](const Outcome &outcome) { take(outcome); });
    m_engine.requestLineCheck();
}

void LineCheckDriver::stop()
{
    if (!running())
        return;
    m_ending = Ending::Stopped;
    m_engine.dropLineCheck();
    detach();
}

void LineCheckDriver::take(const Outcome &outcome)
{
    if (!running() || outcome.command != Outcome::Command::LineCheck)
        return;
    // A check read stopped before it was sent is no exchange.
    if (outcome.result == Outcome::Result::Cancelled) {
        end(Ending::Cancelled);
        return;
    }
    if (outcome.result == Outcome::Result::NotStarted) {
        end(Ending::Refused);
        return;
    }
    const LineCheck::Exchange &exchange = m_check.add(outcome);
    if (m_exchangeListener)
        m_exchangeListener(int(m_check.exchanges().size()), exchange);
    // The listener may have stopped the check.
    if (!running())
        return;
    if (m_check.done())
        end(Ending::Done);
    else
        m_engine.requestLineCheck();
}

void LineCheckDriver::end(Ending ending)
{
    m_ending = ending;
    m_engine.dropLineCheck();
    detach();
    if (m_endListener)
        m_endListener(ending);
}

void LineCheckDriver::detach()
{
    if (m_outcomeListener != 0) {
        m_engine.removeOutcomeListener(m_outcomeListener);
        m_outcomeListener = 0;
        m_port.setTrafficListener({});
    }
}
