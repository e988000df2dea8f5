#include "SerialPort.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <limits>

namespace {

// Compares names with their digit runs as numbers: ttyS2 before ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare without leading zeros: a longer run is the larger number.
            QStringView na = QStringView(a).mid(i, ei - i);
            QStringView nb = QStringView(b).mid(j, ej - j);
            while (na.size() > 1 && na.front() == u'0')
                na = na.mid(1);
            while (nb.size() > 1 && nb.front() == u'0')
                nb = nb.mid(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // equal as numbers ("ttyS01", "ttyS1"): keep a stable order
}

QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    default: return QSerialPort::NoParity;
    }
}

} // namespace

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , m_serial(new QSerialPort(this))
{
    connect(m_serial, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

SerialPort::~SerialPort()
{
    m_closing = true;
    if (m_serial->isOpen())
        m_serial->close();
}

QStringList SerialPort::inPortOrder(QStringList devices)
{
    std::sort(devices.begin(), devices.end(), naturalLess);
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    return devices;
}

QStringList SerialPort::systemDevices()
{
    QStringList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices << info.systemLocation();
    return inPortOrder(devices);
}

QString SerialPort::deviceName(int portNumber) const
{
    if (!m_override.isEmpty())
        return m_override;
    if (portNumber < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(portNumber);
#else
    return systemDevices().value(portNumber - 1);
#endif
}

bool SerialPort::open(int portNumber, const LineSettings &settings)
{
    if (m_serial->isOpen())
        close();
    const QString device = deviceName(portNumber);
    if (device.isEmpty())
        return false;

    // The steps in the order the link has always used: port, handshaking, RTS,
    // line settings, DTR, open. Qt drives the modem lines only on an open port,
    // so RTS and DTR follow the opening.
    m_serial->setPortName(device);
    const bool hardwareHandshake = settings.handshake == Handshake::RtsCts;
    if (!m_serial->setFlowControl(hardwareHandshake ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl)
        || !m_serial->setBaudRate(settings.baud)
        || !m_serial->setParity(parityOf(settings.parity))
        || !m_serial->setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8)
        || !m_serial->setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop))
        return false;
    if (!m_serial->open(QIODevice::ReadWrite))
        return false;

    // Asked once: a device without modem lines (a pseudo-terminal) fails
    // every query, and each failure raises an error signal.
    m_serial->clearError();
    m_serial->pinoutSignals();
    m_hasModemLines = m_serial->error() != QSerialPort::UnsupportedOperationError;
    m_serial->clearError();

    if (m_hasModemLines) {
        // With RTS/CTS handshaking the driver owns RTS.
        const bool rtsOk = hardwareHandshake || m_serial->setRequestToSend(settings.rts);
        if (!rtsOk || !m_serial->setDataTerminalReady(settings.dtr)) {
            close();
            return false;
        }
    }
    // Whatever the line delivered before the opening is not for us.
    m_serial->clear(QSerialPort::Input);
    return m_serial->isOpen();
}

bool SerialPort::close()
{
    if (!m_serial->isOpen())
        return true;
    m_closing = true;
    m_serial->close();
    m_closing = false;
    return !m_serial->isOpen();
}

bool SerialPort::isOpen() const
{
    return m_serial->isOpen();
}

int SerialPort::bytesAvailable()
{
    if (!m_serial->isOpen())
        return -1;
    return int(qMin<qint64>(m_serial->bytesAvailable(), std::numeric_limits<int>::max()));
}

int SerialPort::readByte()
{
    char c = 0;
    if (!m_serial->isOpen() || m_serial->read(&c, 1) != 1)
        return -1;
    return quint8(c);
}

bool SerialPort::writeByte(quint8 byte)
{
    const char c = char(byte);
    // Queued here and sent as soon as the event loop runs.
    return m_serial->isOpen() && m_serial->write(&c, 1) == 1;
}

void SerialPort::discardInput()
{
    if (m_serial->isOpen())
        m_serial->clear(QSerialPort::Input);
}

bool SerialPort::dsr()
{
    if (!m_serial->isOpen())
        return false;
    if (!m_hasModemLines)
        return true;
    m_serial->clearError();
    const QSerialPort::PinoutSignals lines = m_serial->pinoutSignals();
    if (m_serial->error() != QSerialPort::NoError) {
        // A failed query says nothing about the line: report DSR off and let
        // the link watch decide, but keep the port.
        m_serial->clearError();
        return false;
    }
    return lines.testFlag(QSerialPort::DataSetReadySignal);
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    // A vanished device makes every read fail at once, again and again; close
    // on the first failure so the port stays quiet until it is opened anew.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (m_closing || !m_serial->isOpen())
        return;
    close();
    emit deviceLost();
}
