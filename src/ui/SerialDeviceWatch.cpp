#include "SerialDeviceWatch.h"

#include "model/TestTimeScale.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

SerialDeviceWatch::SerialDeviceWatch(LinkState &link, Lister lister, QObject *parent)
    : QObject(parent), m_lister(std::move(lister)), m_timer(new QTimer(this))
{
    if (!m_lister) {
        // Qt's listing walks the system's whole tty tree (about 15 ms); where
        // device nodes live in a folder, a device plugged in changes that
        // folder's time, so the last listing holds while the time is the same.
        m_lister = [stamp = QDateTime(), devices = QStringList()]() mutable {
            const QFileInfo folder(QStringLiteral("/dev"));
            const QDateTime now = folder.exists() ? folder.lastModified() : QDateTime();
            if (now.isValid() && now == stamp)
                return devices;
            stamp = now;
            devices.clear();
            for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
                devices << info.systemLocation();
            return devices;
        };
    }
    m_timer->setObjectName(QStringLiteral("SerialDeviceWatch"));
    m_timer->setInterval(TestTimeScale::scaledMs(kIntervalMs));
    // A listing walks the system's device tree: no precision wanted.
    m_timer->setTimerType(Qt::VeryCoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &SerialDeviceWatch::check);
    follow(link);
    link.addListener([this](const LinkState &state) { follow(state); });
}

bool SerialDeviceWatch::isWatching() const
{
    return m_timer->isActive();
}

void SerialDeviceWatch::follow(const LinkState &link)
{
    const bool absent = link.state() == LinkState::State::Closed && link.problem() == Port::Problem::NoSuchDevice;
    if (absent == isWatching())
        return;
    if (!absent) {
        m_timer->stop();
        m_before.clear();
        if (!m_new.isEmpty()) {
            m_new.clear();
            emit newDevicesChanged(m_new);
        }
        return;
    }
    m_before = m_lister();
    m_timer->start();
}

void SerialDeviceWatch::check()
{
    if (!isWatching())
        return;
    const QStringList now = m_lister();
    QStringList fresh;
    for (const QString &device : now)
        if (!m_before.contains(device))
            fresh << device;
    // Kept in the order they came; gone ones leave.
    QStringList kept;
    for (const QString &device : std::as_const(m_new))
        if (fresh.contains(device))
            kept << device;
    for (const QString &device : std::as_const(fresh))
        if (!kept.contains(device))
            kept << device;
    if (kept == m_new)
        return;
    m_new = kept;
    emit newDevicesChanged(m_new);
}
