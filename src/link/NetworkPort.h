#pragma once

#include "NetworkAddress.h"
#include "Port.h"
#include "Rfc2217Codec.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

// A serial port on a device server, over TCP: RFC 2217 (the line set as a
// serial port opens, DSR from the server's modem-state reports) or raw TCP
// (the bytes as they are, no modem lines: DSR counts as on). Opening starts
// the connection and returns at once; the port is connecting until the
// connection (and for RFC 2217 the telnet options) is settled, and tells the
// end to the connect-ended listener. It only connects out.
//
// Input waiting to be read is bounded as a serial port's: beyond
// kReadBufferSize bytes the oldest are dropped.
class NetworkPort : public QObject, public Port
{
    Q_OBJECT

public:
    // How long a connection with its telnet answers may take.
    static constexpr int kConnectTimeoutMs = 10000;

    explicit NetworkPort(QObject *parent = nullptr);
    ~NetworkPort() override;

    void setAddress(const NetworkAddress &address) { m_address = address; }
    // Shorter for tests of a server that does not answer.
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    const NetworkAddress &address() const { return m_address; }

    bool open(int portNumber, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override;
    int bytesAvailable() override;
    int readByte() override;
    bool writeByte(quint8 byte) override;
    void discardInput() override;
    bool dsr() override;
    QString deviceName(int portNumber) const override;
    bool opensAnyNumber() const override { return true; }
    bool connecting() const override { return m_connecting; }
    bool keepsConnectionOpen() const override { return true; }
    bool opensMayReachAnotherUnit() const override { return true; }

private:
    bool telnet() const { return m_address.kind == NetworkAddress::Kind::Rfc2217; }
    void onConnected();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onConnectTimeout();
    void takeArrived();
    void connectFailed(Problem problem, const QString &text);
    void connectSucceeded();
    void lose(Problem problem, const QString &text);
    void shutSocket();
    void keepAlive();

    NetworkAddress m_address;
    QTcpSocket *m_socket;
    QTimer m_connectTimer;
    Rfc2217Codec m_codec;
    QByteArray m_input;
    qsizetype m_inputHead = 0; // bytes of m_input already read
    int m_connectTimeoutMs = kConnectTimeoutMs;
    bool m_connecting = false;
    bool m_open = false;
};
