#pragma once

#include "UnitSession.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

// The simulated unit on a pseudo-terminal: the tool opens the terminal's
// device (or a symbolic link to it) as its serial port, the unit answers on
// the other side. Unix only.
class SimulatedUnit : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedUnit(UnitItems &items, QObject *parent = nullptr);
    ~SimulatedUnit() override;

    // Creates the pseudo-terminal and, when linkPath is given, a symbolic link
    // to it there (replacing a link left by an earlier unit). False and a
    // reason when that fails.
    bool start(const QString &linkPath = QString(), QString *error = nullptr);
    // The terminal goes away, as a unit that is switched off; the link is removed.
    void stop();

    bool isRunning() const { return m_master >= 0; }
    // The terminal's device, e.g. /dev/pts/3.
    QString devicePath() const { return m_device; }
    QString linkPath() const { return m_link; }
    UnitSession &session() { return m_session; }

private:
    void onReadable();
    void writeToLine(const QByteArray &bytes);

    UnitSession m_session;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QString m_device;
    QString m_link;
};
