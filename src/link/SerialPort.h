#pragma once

#include "Port.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

// The real serial port. Port number n is COMn on Windows; elsewhere it is the
// n-th serial device the system reports, in natural name order (ttyS0, ttyS1,
// ..., ttyS10, ttyUSB0), so a machine with one USB adapter reaches it as port 1.
// A device set for this run (--port DEVICE) takes the place of every number.
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

    // Any port number opens this device (a pseudo-terminal, /dev/serial/by-id/...);
    // empty restores the system's numbering.
    void setDeviceOverride(const QString &device) { m_override = device; }
    QString deviceOverride() const { return m_override; }

    // The system's serial devices in port-number order (first = port 1).
    static QStringList systemDevices();
    // Device names in port-number order: by name, digit runs compared as numbers.
    static QStringList inPortOrder(QStringList devices);

signals:
    // The device went away while open (unplugged, far end gone); the port is closed.
    void deviceLost();

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort *m_serial;
    QString m_override;
    bool m_hasModemLines = false;
    bool m_closing = false;
};
