#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A relay on the loopback address that stands for a slow network: each
// connection to it is carried on to a server, and the bytes of each direction
// are held back by a fixed delay, in their order.
class DelayRelay : public QObject
{
public:
    DelayRelay(quint16 serverPort, int oneWayMs)
        : m_serverPort(serverPort)
        , m_delayMs(oneWayMs)
    {
        m_listener.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_listener, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    quint16 port() const { return m_listener.serverPort(); }

private:
    void accept()
    {
        while (QTcpSocket *client = m_listener.nextPendingConnection()) {
            auto *server = new QTcpSocket(client);
            server->connectToHost(QHostAddress::LocalHost, m_serverPort);
            carry(client, server);
            carry(server, client);
            // Either end gone takes the other with it.
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(server, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
        }
    }

    // Bytes from `from` reach `to` m_delayMs later. Written before `to` is
    // connected, they wait in its buffer.
    void carry(QTcpSocket *from, QTcpSocket *to)
    {
        QPointer<QTcpSocket> target(to);
        QObject::connect(from, &QTcpSocket::readyRead, from, [this, from, target] {
            const QByteArray bytes = from->readAll();
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, this, [target, bytes] {
                if (target)
                    target->write(bytes);
            });
        });
    }

    QTcpServer m_listener;
    quint16 m_serverPort;
    int m_delayMs;
};
