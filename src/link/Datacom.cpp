#include "Datacom.h"

#include "files/Logfile.h"
#include "model/Diverse.h"

namespace {

constexpr qint16 kLinkWatchOnOpen = 50;
constexpr qint16 kLinkWatchWithDsr = 20;
constexpr int kTriesPerLogLine = 12;

int baudFor(int choice)
{
    switch (choice) {
    case 0: return 300;
    case 1: return 1200;
    case 2: return 2400;
    case 3: return 4800;
    case 5: return 19200;
    default: return 9600;
    }
}

char parityFor(int choice)
{
    switch (choice) {
    case 1: return 'E';
    case 2: return 'O';
    default: return 'N';
    }
}

int dataBitsFor(int choice) { return choice == 0 ? 7 : 8; }
int stopBitsFor(int choice) { return choice == 1 ? 2 : 1; }

} // namespace

Datacom::Datacom(Port &port, Logfile &log)
    : m_port(port)
    , m_log(log)
{
    // A port that closes by itself ends the link watch at once: the engine's
    // link guard then closes and reopens it on its next tick.
    m_port.setClosedListener([this](Port::Problem problem) {
        LinkWatch = 0;
        const QString reason = LinkState::describe(problem, m_device, m_port.problemText());
        m_log.WriteLogLine(QStringLiteral("Comport lost: ") + reason);
        m_linkState.setClosed(m_portNumber, m_device, problem, reason);
    });
    m_port.setConnectEndedListener([this](bool open) { connectEnded(open); });
}

qint16 Datacom::portNumberFor(int portIndex)
{
    // The port number lives in 16 bits like the index it comes from.
    return qint16(portIndex + 1);
}

QString Datacom::settingsText(int baudChoice, int parityChoice, int dataBitsChoice, int stopBitsChoice)
{
    return QString::number(baudFor(baudChoice)) + u',' + QChar::fromLatin1(parityFor(parityChoice)) + u','
        + QString::number(dataBitsFor(dataBitsChoice)) + u',' + QString::number(stopBitsFor(stopBitsChoice));
}

int Datacom::OpenComPort(int portIndex, int baudChoice, int parityChoice, int dataBitsChoice, int stopBitsChoice,
                         int handshakeChoice)
{
    const qint16 portNumber = portNumberFor(portIndex);
    const QString text = settingsText(baudChoice, parityChoice, dataBitsChoice, stopBitsChoice);

    Port::LineSettings settings;
    settings.baud = baudFor(baudChoice);
    settings.parity = parityFor(parityChoice);
    settings.dataBits = dataBitsFor(dataBitsChoice);
    settings.stopBits = stopBitsFor(stopBitsChoice);
    // 0: no handshaking, RTS off; 1: no handshaking, RTS on; anything else: RTS/CTS.
    settings.handshake = (handshakeChoice == 0 || handshakeChoice == 1) ? Port::Handshake::None
                                                                        : Port::Handshake::RtsCts;
    settings.rts = handshakeChoice != 0;
    settings.dtr = false;

    m_portNumber = portNumber;
    m_device = m_port.deviceName(portNumber);
    m_openSettingsText = text;
    const bool numberNamesPort = portNumber >= 1 || m_port.opensAnyNumber();
    if (numberNamesPort && m_port.open(portNumber, settings)) {
        opened();
        return 0;
    }
    // A network port connects on: it is not open yet, nor has it failed.
    if (numberNamesPort && m_port.connecting()) {
        m_linkState.setConnecting(portNumber, m_device);
        return -1;
    }
    if (numberNamesPort) {
        openFailed();
    } else {
        const QString reason = QStringLiteral("port number %1 names no serial port").arg(portNumber);
        logFailedOpen(portNumber, Port::Problem::NoSuchDevice, reason);
        m_linkState.setClosed(portNumber, m_device, Port::Problem::NoSuchDevice, reason);
    }
    return -1;
}

void Datacom::openFailed()
{
    Port::Problem problem = m_port.problem();
    if (problem == Port::Problem::None)
        problem = Port::Problem::Other;
    const QString reason = LinkState::describe(problem, m_device, m_port.problemText());
    logFailedOpen(m_portNumber, problem, reason);
    m_linkState.setClosed(m_portNumber, m_device, problem, reason);
}

// The port is open: the link watch starts, and the log and the caption say so.
void Datacom::opened()
{
    forgetFailedOpens();
    const qint16 portNumber = m_portNumber;
    LinkWatch = kLinkWatchOnOpen;
    const LinkState::Reach reach = reached();
    m_linkState.setOpened(portNumber, m_device, reach);
    m_log.WriteLogLine(QStringLiteral("Com:") + Diverse::SignedText(portNumber) + QStringLiteral(" opened with: ")
                       + m_openSettingsText);
    // Which device the number reached: units run side by side are told apart in one log.
    m_log.WriteLogLine(QStringLiteral("Com %1 = %2").arg(portNumber).arg(Diverse::visibleText(m_device)));
    if (reach == LinkState::Reach::AnotherDevice) {
        m_log.WriteLogLine(QStringLiteral("Com %1 = %2: another device than before")
                               .arg(portNumber)
                               .arg(Diverse::visibleText(m_device)));
    }
    caption = QStringLiteral("Serial Port: ") + Diverse::NumberText(portNumber) + u' ' + m_openSettingsText;
    if (m_captionListener)
        m_captionListener(caption);
}

// A connection that was under way has ended: opened, or failed as an open does.
void Datacom::connectEnded(bool open)
{
    if (!open) {
        openFailed();
        return;
    }
    opened();
    if (m_openedLaterListener)
        m_openedLaterListener();
}

// What this open reached, compared with the good open before it. Another
// device file behind the same name (a link re-pointed, a terminal number
// given anew) is another device; a serial open whose device the port cannot
// tell compares none. Another port, or a port whose every open may lead to
// another unit (a device server restarted with another unit behind it), may
// reach another unit. The first open compares nothing.
LinkState::Reach Datacom::reached()
{
    const QString identity = m_port.deviceIdentity();
    const bool anotherDevice = !identity.isEmpty() && !m_deviceIdentity.isEmpty() && identity != m_deviceIdentity;
    if (!identity.isEmpty())
        m_deviceIdentity = identity;
    const bool first = !m_openedDevice.has_value();
    const bool anotherPort = !first && *m_openedDevice != m_device;
    m_openedDevice = m_device;
    if (anotherDevice)
        return LinkState::Reach::AnotherDevice;
    if (!first && (anotherPort || m_port.opensMayReachAnotherUnit()))
        return LinkState::Reach::MaybeAnotherUnit;
    return LinkState::Reach::SameDevice;
}

// While the port stays closed for the same reason (an adapter not plugged
// in), the engine tries again every 5 s: the first failure is logged, then
// one line for every twelfth try (a minute), so the log window keeps what
// else happens. A new reason is logged at once.
void Datacom::logFailedOpen(int portNumber, Port::Problem problem, const QString &reason)
{
    if (m_failedOpens > 0 && reason == m_failedOpenReason) {
        if (++m_failedOpens % kTriesPerLogLine == 0) {
            const QString what = problem == Port::Problem::NoSuchDevice
                ? QStringLiteral("no device %1").arg(m_device)
                : reason;
            m_log.WriteLogLine(QStringLiteral("still %1: %2 tries").arg(Diverse::visibleText(what)).arg(m_failedOpens));
        }
        return;
    }
    m_failedOpens = 1;
    m_failedOpenReason = reason;
    m_log.WriteLogLine(QStringLiteral("Error opening ComPort: ") + Diverse::SignedText(portNumber));
}

void Datacom::CloseComPort()
{
    // A connection given up before it was made: nothing was open.
    if (m_port.connecting()) {
        m_port.close();
        m_linkState.setClosed(m_portNumber, m_device, Port::Problem::None, QString());
        return;
    }
    const bool wasOpen = m_port.isOpen();
    // Closing a port that is not open is news only right after the first
    // failure to open it: the tries that follow close it quietly.
    if (!wasOpen && m_failedOpens != 1) {
        m_port.close();
        return;
    }
    if (m_port.close())
        m_log.WriteLogLine(QStringLiteral("Comport closed by software."));
    else
        m_log.WriteLogLine(QStringLiteral("Error closing comport."));
    // A port lost by itself keeps its reason until it opens again.
    if (wasOpen)
        m_linkState.setClosed(m_portNumber, m_device, Port::Problem::None, QString());
}

int Datacom::ReadComByte()
{
    if (m_port.bytesAvailable() < 1)
        return -1;
    rxActivity = true;
    // A byte counted as waiting that cannot be read is a failed read, not a NUL.
    const int b = m_port.readByte();
    if (b >= 0 && m_byteListener)
        m_byteListener(Direction::In, quint8(b));
    return b;
}

int Datacom::WriteComByte(int value)
{
    if (value < 0 || value > 255)
        return -1;
    txActivity = true;
    if (!m_port.writeByte(quint8(value)))
        return -1;
    if (m_byteListener)
        m_byteListener(Direction::Out, quint8(value));
    return 0;
}

void Datacom::FlushComInput()
{
    m_port.discardInput();
}

int Datacom::ComPortIsOpen() const
{
    return m_port.isOpen() ? 1 : -1;
}

void Datacom::CheckComLink()
{
    if (m_port.isOpen() && m_port.dsr()) {
        LinkWatch = kLinkWatchWithDsr;
        return;
    }
    if (LinkWatch > 0)
        --LinkWatch;
}
