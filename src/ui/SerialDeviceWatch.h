#pragma once

#include "link/LinkState.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;

// Notices a serial device plugged in while the tool's own port is absent
// (closed with no such device), so it can be offered to the operator. It
// lists the system's serial ports (Qt's own listing) once when the port goes
// absent, then at most once every kIntervalMs; never while the port is open
// or closed for another reason. A device in a listing that was not in the
// first one is new; one that goes away again is no longer.
class SerialDeviceWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 2000;
    using Lister = std::function<QStringList()>;

    // lister empty: the system's serial ports. Follows link from here on.
    SerialDeviceWatch(LinkState &link, Lister lister, QObject *parent = nullptr);

    // New devices, the newest last; empty while the port is not absent.
    const QStringList &newDevices() const { return m_new; }
    bool isWatching() const;

public slots:
    // One listing, as the timer does.
    void check();

signals:
    // The new devices changed.
    void newDevicesChanged(const QStringList &devices);

private:
    void follow(const LinkState &link);

    Lister m_lister;
    QTimer *m_timer;
    QStringList m_before; // the listing when the port went absent
    QStringList m_new;
};
