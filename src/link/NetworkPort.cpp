#include "NetworkPort.h"

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// Why a connection could not be made, or ended.
Port::Problem problemOf(QAbstractSocket::SocketError error, bool wasOpen)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return Port::Problem::ConnectionRefused;
    case QAbstractSocket::HostNotFoundError: return Port::Problem::HostNotFound;
    case QAbstractSocket::SocketTimeoutError: return Port::Problem::ConnectTimeout;
    case QAbstractSocket::RemoteHostClosedError: return Port::Problem::ConnectionClosed;
    default: return wasOpen ? Port::Problem::ConnectionLost : Port::Problem::Other;
    }
}

} // namespace

NetworkPort::NetworkPort(QObject *parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
{
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &NetworkPort::onConnectTimeout);
    connect(m_socket, &QTcpSocket::connected, this, &NetworkPort::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetworkPort::takeArrived);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetworkPort::onError);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetworkPort::onDisconnected);
}

NetworkPort::~NetworkPort()
{
    m_socket->disconnect(this);
    shutSocket();
}

QString NetworkPort::deviceName(int) const
{
    return m_address.host.isEmpty() ? QString() : m_address.text();
}

bool NetworkPort::open(int, const LineSettings &settings)
{
    close();
    m_codec = Rfc2217Codec(settings);
    m_input.clear();
    m_inputHead = 0;
    if (m_address.host.isEmpty()) {
        setProblem(Problem::NoSuchDevice);
        return false;
    }
    setProblem(Problem::None);
    m_connecting = true;
    m_connectTimer.start(m_connectTimeoutMs);
    m_socket->connectToHost(m_address.host, m_address.port);
    // The lookup and the connection go on in the event loop.
    return false;
}

bool NetworkPort::close()
{
    m_connecting = false;
    m_open = false;
    m_connectTimer.stop();
    shutSocket();
    return true;
}

void NetworkPort::shutSocket()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    // What was handed over goes out first where it can without waiting.
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->flush();
    m_socket->abort();
}

bool NetworkPort::isOpen() const
{
    return m_open && m_socket->state() == QAbstractSocket::ConnectedState;
}

void NetworkPort::onConnected()
{
    if (!m_connecting)
        return;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    keepAlive();
    if (!telnet()) {
        connectSucceeded();
        return;
    }
    m_socket->write(m_codec.opening());
}

// A raw connection has no modem line to tell that the far end has gone:
// the system probes an idle connection and gives up on one that takes no
// data, so a server that vanished is found within half a minute.
void NetworkPort::keepAlive()
{
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(m_socket->socketDescriptor());
    if (fd < 0)
        return;
    const int idle = 10;
    const int interval = 5;
    const int probes = 3;
    const unsigned unacknowledgedMs = 20000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledgedMs, sizeof unacknowledgedMs);
#endif
}

// Everything the socket holds: telnet commands answered, data kept for the
// reader once the port is open (before, it is not for us).
void NetworkPort::takeArrived()
{
    QByteArray data = m_socket->readAll();
    if (telnet()) {
        data = m_codec.takeIncoming(data);
        if (const QByteArray replies = m_codec.takeReplies(); !replies.isEmpty())
            m_socket->write(replies);
        if (m_connecting && m_codec.settled()) {
            if (!m_codec.refusal().isEmpty())
                connectFailed(Problem::NotSerialServer, m_codec.refusal());
            else
                connectSucceeded();
            return;
        }
    }
    if (!m_open || data.isEmpty())
        return;
    reportTraffic(Traffic::Arrived);
    if (m_inputHead > 0 && m_inputHead >= m_input.size() / 2) {
        m_input.remove(0, m_inputHead);
        m_inputHead = 0;
    }
    m_input.append(data);
    // Beyond the bound the oldest go and the newest half stays.
    const qsizetype waiting = m_input.size() - m_inputHead;
    if (waiting > kReadBufferSize)
        m_inputHead += waiting - kReadBufferSize / 2;
}

void NetworkPort::connectSucceeded()
{
    m_connecting = false;
    m_connectTimer.stop();
    m_open = true;
    m_input.clear();
    m_inputHead = 0;
    reportConnectEnded(true);
}

void NetworkPort::connectFailed(Problem problem, const QString &text)
{
    m_connecting = false;
    m_connectTimer.stop();
    shutSocket();
    reportConnectEnded(false, problem, text);
}

void NetworkPort::onConnectTimeout()
{
    if (!m_connecting)
        return;
    // Connected, the server has not settled the telnet options: say which part it left out.
    QString text;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        text = m_codec.heardFromServer() ? QStringLiteral("the server does not answer for serial settings (RFC 2217)")
                                         : QStringLiteral("no telnet answer from the server");
    }
    connectFailed(Problem::ConnectTimeout, text);
}

void NetworkPort::onError(QAbstractSocket::SocketError error)
{
    if (m_connecting) {
        connectFailed(problemOf(error, false), m_socket->errorString());
        return;
    }
    if (m_open)
        lose(problemOf(error, true), m_socket->errorString());
}

void NetworkPort::onDisconnected()
{
    if (m_connecting)
        connectFailed(Problem::ConnectionClosed, QString());
    else if (m_open)
        lose(Problem::ConnectionClosed, QString());
}

// The open connection ended by itself: the port is closed and says why, once.
void NetworkPort::lose(Problem problem, const QString &text)
{
    m_open = false;
    shutSocket();
    reportClosed(problem, text);
}

int NetworkPort::bytesAvailable()
{
    if (!isOpen())
        return -1;
    return int(m_input.size() - m_inputHead);
}

int NetworkPort::readByte()
{
    if (!isOpen() || m_inputHead >= m_input.size())
        return -1;
    return quint8(m_input.at(m_inputHead++));
}

bool NetworkPort::writeByte(quint8 byte)
{
    if (!isOpen() || m_socket->bytesToWrite() >= kWriteBufferSize)
        return false;
    const QByteArray bytes = telnet() ? Rfc2217Codec::escaped(QByteArray(1, char(byte))) : QByteArray(1, char(byte));
    if (m_socket->write(bytes) != bytes.size())
        return false;
    reportTraffic(Traffic::Written);
    return true;
}

void NetworkPort::discardInput()
{
    if (!isOpen())
        return;
    // What the socket holds already is taken first, so its telnet commands
    // still count; then the data goes, here and in the server's buffer.
    takeArrived();
    m_input.clear();
    m_inputHead = 0;
    if (telnet())
        m_socket->write(m_codec.purgeReceived());
}

bool NetworkPort::dsr()
{
    if (!isOpen())
        return false;
    return telnet() ? m_codec.dsr() : true;
}
