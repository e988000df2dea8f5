#pragma once

#include "Port.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

// The real serial port. Port number n is COMn on Windows; elsewhere it is the
// n-th serial device the system reports, in natural name order (ttyS0, ttyS1,
// ..., ttyS10, ttyUSB0), so a machine with one USB adapter reaches it as port 1.
// A device set for this run (--port DEVICE) takes the place of every number.
//
// One program at a time holds a device, whatever name reaches it (a link or
// its target). Input waiting to be read is bounded: beyond kReadBufferSize
// bytes the oldest are dropped and counted, so a flooding line costs no
// memory while the program is busy elsewhere.
class SerialPort : public QObject, public Port
{
    Q_OBJECT

public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    bool open(int portNumber, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override;
    int bytesAvailable() override;
    int readByte() override;
    bool writeByte(quint8 byte) override;
    void discardInput() override;
    bool dsr() override;
    QString deviceName(int portNumber) const override;
    bool opensAnyNumber() const override { return !m_override.isEmpty(); }
    QString deviceIdentity() const override { return m_identity; }

    // Bytes that arrived while kReadBufferSize were already waiting and were
    // dropped unread, since the last open.
    quint64 discardedBytes() const { return m_discarded; }

    // Any port number opens this device (a pseudo-terminal, /dev/serial/by-id/...);
    // empty restores the system's numbering.
    void setDeviceOverride(const QString &device) { m_override = device; }
    QString deviceOverride() const { return m_override; }

    // The system's serial devices in port-number order (first = port 1).
    static QStringList systemDevices();
    // Device names in port-number order: by name, digit runs compared as numbers.
    static QStringList inPortOrder(QStringList devices);

private:
    bool failOpen(Problem problem, const QString &text = QString());
    Problem claimDevice(const QString &device, QString *text);
    void releaseDevice();
    QString shortNameFor(const QString &device);
    void removeShortName();
    void onError(QSerialPort::SerialPortError error);
    void onReadyRead();

    QSerialPort *m_serial;
    QString m_override;
    QString m_device; // as opened
    QString m_identity; // of the device file the last good open reached
    QString m_shortName; // a link of our own that stands for a long device path while open
    bool m_hasModemLines = false;
    bool m_closing = false;
    quint64 m_discarded = 0;
    int m_lockFd = -1; // Unix: a second descriptor holding the device's lock while open
};
