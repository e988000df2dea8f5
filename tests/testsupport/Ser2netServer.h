#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's ser2net, a serial device server, in front of a device on a free
// loopback port: the far end of the tool's network ports in tests and the
// benchmark. One accepter, RFC 2217 (telnet) or raw TCP. It can be stopped
// and started again on the same port, as a device server that reboots.
class Ser2netServer
{
public:
    enum class Kind { Rfc2217, RawTcp };

    Ser2netServer(Kind kind, const QString &device);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer &) = delete;
    Ser2netServer &operator=(const Ser2netServer &) = delete;

    // Starts ser2net and waits (a few seconds at most) until its port takes a
    // connection. False with the reason and ser2net's output in *why when it
    // is missing or does not come up. The port is chosen at the first start
    // and kept after.
    bool start(QString *why = nullptr);
    // SIGTERM, a bounded wait, then SIGKILL. False when it would not end.
    bool stop();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT": the tool's --port.
    QString address() const;
    quint16 port() const { return m_port; }
    // What ser2net printed so far.
    QString output();

    static QString program();

private:
    bool writeConfig(QString *why);
    bool waitUntilListening(int timeoutMs);
    bool fail(QString *why, const QString &reason);

    Kind m_kind;
    QString m_device;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_output;
};
