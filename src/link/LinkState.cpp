#include "LinkState.h"

void LinkState::setOpened(int portNumber, const QString &device, Reach reach)
{
    // The program closes and reopens the port before each command: a unit
    // that answered before that still counts as answering, on the same device.
    const bool forget = reach != Reach::SameDevice;
    const bool resumes = m_state == State::Closed && m_wasAnswering && device == m_device && !forget;
    m_anotherDevice = reach == Reach::AnotherDevice;
    // Only values once heard are to be read again; another device says more.
    if (forget) {
        m_valuesToReadAgain = reach == Reach::MaybeAnotherUnit && (m_unitHeard || m_valuesToReadAgain);
        m_unitHeard = false;
    }
    m_state = resumes ? State::Answering : State::Open;
    m_wasAnswering = false;
    m_portNumber = portNumber;
    m_device = device;
    m_problem = Port::Problem::None;
    m_reason.clear();
    m_failure = Failure::None;
    changed();
    if (forget) {
        for (const auto &listener : m_anotherDeviceListeners)
            listener();
    }
}

void LinkState::setClosed(int portNumber, const QString &device, Port::Problem problem, const QString &reason)
{
    m_wasAnswering = m_state == State::Answering && problem == Port::Problem::None;
    m_state = State::Closed;
    m_portNumber = portNumber;
    m_device = device;
    m_problem = problem;
    m_reason = reason;
    changed();
}

void LinkState::setConnecting(int portNumber, const QString &device)
{
    m_wasAnswering = false;
    m_state = State::Connecting;
    m_portNumber = portNumber;
    m_device = device;
    m_problem = Port::Problem::None;
    m_reason.clear();
    changed();
}

void LinkState::setAnswered()
{
    if (m_state == State::Closed || m_state == State::Connecting)
        return;
    m_lastAnswer = m_clock ? m_clock() : QDateTime();
    m_unitHeard = true;
    m_valuesToReadAgain = false;
    m_failure = Failure::None;
    m_state = State::Answering;
    changed();
}

void LinkState::setNotAnswering(Failure failure)
{
    if (m_state == State::Closed || m_state == State::Connecting)
        return;
    m_failure = failure;
    m_state = State::NotAnswering;
    changed();
}

void LinkState::changed()
{
    for (const Listener &listener : m_listeners)
        listener(*this);
}

QString LinkState::describe(Port::Problem problem, const QString &device, const QString &systemText)
{
    QString name = device.isEmpty() ? QStringLiteral("the serial port") : device;
    // A server is named by its address and port, as its own messages do.
    if (const auto address = NetworkAddress::parse(name))
        name = address->hostPort();
    QString text;
    switch (problem) {
    case Port::Problem::None: return QString();
    case Port::Problem::NoSuchDevice: text = QStringLiteral("%1: no such device").arg(name); break;
    case Port::Problem::PermissionDenied: text = QStringLiteral("%1: permission denied").arg(name); break;
    case Port::Problem::InUse: text = QStringLiteral("%1: in use by another program").arg(name); break;
    case Port::Problem::NotADevice: text = QStringLiteral("%1: not a serial device").arg(name); break;
    case Port::Problem::TerminalSession:
        text = QStringLiteral("%1 is a terminal session, not a serial device").arg(name);
        break;
    case Port::Problem::DeviceLost: text = QStringLiteral("the serial device %1 disappeared").arg(name); break;
    case Port::Problem::WriteFailed: text = QStringLiteral("%1: output refused, port closed").arg(name); break;
    case Port::Problem::ConnectionRefused: text = QStringLiteral("%1: connection refused").arg(name); break;
    case Port::Problem::HostNotFound: text = QStringLiteral("%1: host not found").arg(name); break;
    case Port::Problem::ConnectTimeout:
        text = systemText.isEmpty() ? QStringLiteral("%1: connection timed out").arg(name)
                                    : QStringLiteral("%1: %2").arg(name, systemText);
        return text;
    case Port::Problem::ConnectionClosed: text = QStringLiteral("%1: connection closed by the server").arg(name); break;
    case Port::Problem::ConnectionLost:
        text = QStringLiteral("%1: connection lost").arg(name);
        if (!systemText.isEmpty())
            text += QStringLiteral(" (%1)").arg(systemText);
        break;
    case Port::Problem::NotSerialServer: text = QStringLiteral("%1: %2").arg(name, systemText); break;
    case Port::Problem::Other:
        text = QStringLiteral("%1: cannot open").arg(name);
        if (!systemText.isEmpty())
            text += QStringLiteral(" (%1)").arg(systemText);
        break;
    }
    return text;
}

QString LinkState::failureText(Failure failure)
{
    switch (failure) {
    case Failure::None: return QString();
    case Failure::NoAnswer: return QStringLiteral("no answer");
    case Failure::CutShort: return QStringLiteral("answer cut short");
    case Failure::OtherItem: return QStringLiteral("answered for another item");
    case Failure::Nack: return QStringLiteral("refused by the unit");
    case Failure::Checksum: return QStringLiteral("checksum error");
    case Failure::UnusableAnswer: return QStringLiteral("unusable answer");
    case Failure::Refused: return QStringLiteral("not sent: value cannot be sent");
    case Failure::PortLost: return QStringLiteral("port lost");
    case Failure::PortWriteFailed: return QStringLiteral("port write failed");
    case Failure::PortClosed: return QStringLiteral("port closed");
    case Failure::TooLong: return QStringLiteral("answer too long");
    }
    return QString();
}
