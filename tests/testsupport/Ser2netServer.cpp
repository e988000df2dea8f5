#include "Ser2netServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int kStartMs = 5000;
constexpr int kStopMs = 3000;

// A loopback port nobody listens on now: bound, read and let go.
quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

Ser2netServer::Ser2netServer(Kind kind, const QString &device)
    : m_kind(kind)
    // ser2net opens the device by this name; a link is followed once here.
    , m_device(QFileInfo(device).canonicalFilePath().isEmpty() ? device : QFileInfo(device).canonicalFilePath())
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2netServer::~Ser2netServer()
{
    stop();
}

QString Ser2netServer::program()
{
    // Installed in sbin, which an ordinary user's PATH may leave out.
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found;
}

QString Ser2netServer::address() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_kind == Kind::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(m_port);
}

QString Ser2netServer::output()
{
    m_output += m_process.readAll();
    return QString::fromLocal8Bit(m_output);
}

bool Ser2netServer::fail(QString *why, const QString &reason)
{
    if (isRunning())
        m_process.waitForReadyRead(200);
    if (why)
        *why = QStringLiteral("ser2net: %1; its output: \"%2\"").arg(reason, output().trimmed());
    stop();
    return false;
}

bool Ser2netServer::writeConfig(QString *why)
{
    // One connection: the telnet layer with the serial port's control, or the
    // bytes as they are. kickolduser: the readiness probe's connection never
    // stands in the way of the client's.
    const QString accepter = m_kind == Kind::Rfc2217 ? QStringLiteral("telnet(rfc2217),tcp") : QStringLiteral("tcp");
    const QString config = QStringLiteral("%YAML 1.1\n---\n"
                                          "connection: &unit\n"
                                          "  accepter: %1,127.0.0.1,%2\n"
                                          "  connector: serialdev,%3,9600n81,local\n"
                                          "  options:\n"
                                          "    kickolduser: true\n")
                               .arg(accepter)
                               .arg(m_port)
                               .arg(m_device);
    QFile file(m_folder.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toLocal8Bit()) < 0) {
        if (why)
            *why = QStringLiteral("ser2net: cannot write its configuration in %1").arg(m_folder.path());
        return false;
    }
    return true;
}

bool Ser2netServer::waitUntilListening(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && isRunning()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(250)) {
            probe.disconnectFromHost();
            return true;
        }
        probe.abort();
        QThread::msleep(20);
    }
    return false;
}

bool Ser2netServer::start(QString *why)
{
    if (isRunning())
        return true;
    const QString ser2net = program();
    if (ser2net.isEmpty())
        return fail(why, QStringLiteral("not installed (scripts/deps.sh tests installs it)"));
    if (!m_folder.isValid())
        return fail(why, QStringLiteral("no temporary folder for its configuration"));
    if (m_port == 0 && (m_port = freeLoopbackPort()) == 0)
        return fail(why, QStringLiteral("no free loopback port"));
    if (!writeConfig(why))
        return false;
    // -n: in the foreground, so it ends with this object; -u: no UUCP lock files.
    m_process.start(ser2net, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                              m_folder.filePath(QStringLiteral("ser2net.yaml")), QStringLiteral("-P"),
                              m_folder.filePath(QStringLiteral("ser2net.pid"))});
    if (!m_process.waitForStarted(kStartMs))
        return fail(why, QStringLiteral("%1 did not start: %2").arg(ser2net, m_process.errorString()));
    if (!waitUntilListening(kStartMs))
        return fail(why, QStringLiteral("nothing took a connection on 127.0.0.1:%1 within %2 ms").arg(m_port).arg(kStartMs));
    return true;
}

bool Ser2netServer::stop()
{
    if (!isRunning())
        return true;
    m_process.terminate();
    if (!m_process.waitForFinished(kStopMs)) {
        m_process.kill();
        if (!m_process.waitForFinished(kStopMs))
            return false;
    }
    m_output += m_process.readAll();
    return true;
}
