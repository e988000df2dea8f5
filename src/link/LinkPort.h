#pragma once

#include "NetworkPort.h"
#include "Port.h"
#include "SerialPort.h"

#include <QString>

// The port the programs drive: the serial port, or a port on a serial device
// server when the device set for the run is a network address
// (rfc2217://HOST:PORT, tcp://HOST:PORT). Which one is chosen when the device
// is set; the choice takes effect at the next open.
class LinkPort : public Port
{
public:
    LinkPort();
    ~LinkPort() override;

    // A device path, a network address, or empty for the system's numbering.
    // A network address that does not parse is refused (false, the reason in
    // *error) and nothing changes.
    bool setDeviceOverride(const QString &device, QString *error = nullptr);
    QString deviceOverride() const;

    bool open(int portNumber, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override { return m_active->isOpen(); }
    int bytesAvailable() override { return m_active->bytesAvailable(); }
    int readByte() override { return m_active->readByte(); }
    bool writeByte(quint8 byte) override { return m_active->writeByte(byte); }
    void discardInput() override { m_active->discardInput(); }
    bool dsr() override { return m_active->dsr(); }
    QString deviceName(int portNumber) const override { return m_active->deviceName(portNumber); }
    QString deviceIdentity() const override { return m_active->deviceIdentity(); }
    bool opensAnyNumber() const override { return m_active->opensAnyNumber(); }
    bool connecting() const override { return m_active->connecting(); }
    bool keepsConnectionOpen() const override { return m_active->keepsConnectionOpen(); }
    bool opensMayReachAnotherUnit() const override { return m_active->opensMayReachAnotherUnit(); }
    Problem problem() const override { return m_active->problem(); }
    QString problemText() const override { return m_active->problemText(); }

private:
    Port *m_active;
    SerialPort m_serial;
    NetworkPort m_network;
};
