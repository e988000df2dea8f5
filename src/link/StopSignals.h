#pragma once

class QObject;

// Ends a program's event loop on SIGINT, SIGTERM and SIGHUP instead of letting
// the signal end the program at once, so its objects are destroyed on the way
// out: a serial port's lock file (made by QSerialPort in /var/lock) and a
// simulated unit's link are removed. On Linux the signals are blocked and read
// from a descriptor, which the event loop watches like any other; on other
// Unix systems a handler notes the signal and a timer of the event loop looks
// at the note. Elsewhere nothing changes.
class StopSignals
{
public:
    // Before any thread starts, so every thread inherits the blocked signals.
    static void block();

    // With the application made; the watch lives as long as the owner.
    explicit StopSignals(QObject *owner);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    int m_fd = -1;
};
