#include "LinkPort.h"

#include "NetworkAddress.h"

LinkPort::LinkPort()
    : m_active(&m_serial)
{
    // Both ports tell their events as this one's.
    for (Port *port : {static_cast<Port *>(&m_serial), static_cast<Port *>(&m_network)}) {
        port->setClosedListener([this, port](Problem problem) {
            if (port == m_active)
                reportClosed(problem, port->problemText());
        });
        port->setConnectEndedListener([this, port](bool opened) {
            if (port == m_active)
                reportConnectEnded(opened, port->problem(), port->problemText());
        });
        port->setTrafficListener([this](Traffic traffic) { reportTraffic(traffic); });
    }
}

LinkPort::~LinkPort()
{
    // The listeners name this object: none may be told while it goes.
    m_serial.setClosedListener(nullptr);
    m_network.setClosedListener(nullptr);
    m_serial.setConnectEndedListener(nullptr);
    m_network.setConnectEndedListener(nullptr);
    m_serial.setTrafficListener(nullptr);
    m_network.setTrafficListener(nullptr);
}

bool LinkPort::setDeviceOverride(const QString &device, QString *error)
{
    Port *wanted = &m_serial;
    if (NetworkAddress::isNetworkText(device)) {
        const auto address = NetworkAddress::parse(device, error);
        if (!address)
            return false;
        m_network.setAddress(*address);
        m_serial.setDeviceOverride(QString());
        wanted = &m_network;
    } else {
        m_serial.setDeviceOverride(device);
    }
    // The port of the former choice closes: the caller opens the new one.
    if (wanted != m_active) {
        m_active->close();
        m_active = wanted;
    }
    return true;
}

QString LinkPort::deviceOverride() const
{
    return m_active == &m_network ? m_network.address().text() : m_serial.deviceOverride();
}

bool LinkPort::open(int portNumber, const LineSettings &settings)
{
    return m_active->open(portNumber, settings);
}

bool LinkPort::close()
{
    return m_active->close();
}
