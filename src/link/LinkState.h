#pragma once

#include "NetworkAddress.h"
#include "Port.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

// What is known of the link to the unit, for the window's status line and the
// command-line tool's verdict. It changes only on events (the port opened or
// closed, the device lost, an exchange with the unit ended) and then tells
// its listeners; nothing here runs per tick.
class LinkState
{
public:
    enum class State {
        Closed,       // not open; reason() says why when it was not the program's choice
        Connecting,   // a network port connecting: not open yet
        Open,         // open, no exchange with the unit yet
        Answering,    // the last exchange got a good answer
        NotAnswering, // the last exchange failed; lastFailure() says how
    };
    // How an exchange with the unit failed.
    enum class Failure {
        None,
        NoAnswer,        // nothing came back in time
        CutShort,        // an answer began but stopped short
        Nack,            // the unit refused
        Checksum,        // an answer with a bad checksum
        UnusableAnswer,  // too long, or holding no value
        OtherItem,       // answers naming another item than the one asked for
        Refused,         // not sent: the value cannot be sent
        PortLost,        // the port closed under the exchange
        PortWriteFailed, // the port did not take the request whole
        PortClosed,      // not sent: the port is closed
        TooLong,         // an answer longer than any frame
    };
    using Listener = std::function<void(const LinkState &)>;

    State state() const { return m_state; }
    int portNumber() const { return m_portNumber; }
    QString device() const { return m_device; }
    // The device with its port number, as a report names the unit's source:
    // "/dev/ttyUSB0 (serial port 3)"; a network port by its address alone,
    // since no port number reaches it.
    QString deviceText() const
    {
        if (NetworkAddress::isNetworkText(m_device))
            return m_device;
        return QStringLiteral("%1 (serial port %2)").arg(m_device).arg(m_portNumber);
    }
    Port::Problem problem() const { return m_problem; }
    // Plain words for why the port is closed ("no such device"), empty when
    // the program closed it or it was never opened.
    QString reason() const { return m_reason; }
    Failure lastFailure() const { return m_failure; }
    QDateTime lastAnswer() const { return m_lastAnswer; }
    // The last open reached another device file than the open before it: what
    // was read before is not this unit's.
    bool anotherDevice() const { return m_anotherDevice; }
    // An open that may have reached another unit forgot the values read
    // before, and the unit has not answered since.
    bool valuesToReadAgain() const { return m_valuesToReadAgain; }

    // What an open reached, compared with the good open before it.
    enum class Reach {
        SameDevice,       // the same device, or one the port cannot tell apart
        AnotherDevice,    // another device file behind the same name
        MaybeAnotherUnit, // another port, or a connection to a device server made anew
    };
    void setOpened(int portNumber, const QString &device, Reach reach = Reach::SameDevice);
    void setClosed(int portNumber, const QString &device, Port::Problem problem, const QString &reason);
    void setConnecting(int portNumber, const QString &device);
    void setAnswered();
    void setNotAnswering(Failure failure);

    void addListener(Listener listener) { m_listeners.push_back(std::move(listener)); }
    // Told once for each open that reaches another device, or may reach
    // another unit, than the open before, after the listeners above: whoever
    // keeps the unit's values forgets them.
    void addAnotherDeviceListener(std::function<void()> listener)
    {
        m_anotherDeviceListeners.push_back(std::move(listener));
    }
    // The clock that stamps a good answer.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The plain words for a port problem on a device, e.g. "/dev/ttyUSB0:
    // permission denied"; systemText (the system's own words) is added where
    // the kind alone says too little.
    static QString describe(Port::Problem problem, const QString &device, const QString &systemText = QString());
    static QString failureText(Failure failure);

private:
    void changed();

    State m_state = State::Closed;
    int m_portNumber = 0;
    QString m_device;
    Port::Problem m_problem = Port::Problem::None;
    QString m_reason;
    Failure m_failure = Failure::None;
    QDateTime m_lastAnswer;
    bool m_wasAnswering = false;
    bool m_anotherDevice = false;
    bool m_unitHeard = false; // a good answer since the values were last forgotten
    bool m_valuesToReadAgain = false;
    std::vector<Listener> m_listeners;
    std::vector<std::function<void()>> m_anotherDeviceListeners;
    std::function<QDateTime()> m_clock;
};
