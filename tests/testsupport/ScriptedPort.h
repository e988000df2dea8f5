#pragma once

#include "link/Port.h"

#include <QByteArray>

#include <functional>
#include <utility>

// A port for tests: bytes queued by the test are the input, written bytes are
// recorded, DSR, failing opens and failing closes are switches. Like a real
// port it forgets waiting input when it opens.
class ScriptedPort : public Port
{
public:
    bool open(int portNumber, const LineSettings &settings) override;
    bool close() override;
    bool isOpen() const override { return m_open; }
    int bytesAvailable() override;
    int readByte() override;
    bool writeByte(quint8 byte) override;
    void discardInput() override { m_input.clear(); }
    bool dsr() override { return m_open && m_dsr; }
    QString deviceName(int portNumber) const override;
    bool opensAnyNumber() const override { return !m_anyNumberDevice.isEmpty(); }
    QString deviceIdentity() const override { return m_open ? m_identity : QString(); }
    bool connecting() const override { return m_connecting; }
    bool keepsConnectionOpen() const override { return m_connects; }
    bool opensMayReachAnotherUnit() const override { return m_connects; }

    // Script.
    void queueInput(const QByteArray &bytes) { m_input += bytes; }
    void setDsr(bool on) { m_dsr = on; }
    // Opens fail, giving problem as the reason.
    void setFailOpens(bool fail, Problem problem = Problem::NoSuchDevice)
    {
        m_failOpens = fail;
        m_openProblem = problem;
    }
    // Every number reaches device, as under --port; empty restores "scriptedN".
    void setDeviceForEveryNumber(const QString &device) { m_anyNumberDevice = device; }
    void setFailCloses(bool fail) { m_failCloses = fail; }
    // What the next opens report as the device file reached; empty: not known.
    void setDeviceIdentity(const QString &identity) { m_identity = identity; }
    void setFailWrites(bool fail) { m_failWrites = fail; }
    // Opens connect, as a network port's do: not open until connectEnds();
    // a command's reopen keeps the connection, and each connection may lead
    // to another unit.
    void setConnects(bool on) { m_connects = on; }
    void connectEnds(bool opened, Problem problem = Problem::None)
    {
        m_connecting = false;
        m_open = opened;
        if (opened) {
            ++m_openCount;
            m_input.clear();
        }
        reportConnectEnded(opened, problem);
    }
    // The device goes away: the port closes without a close call and says so.
    void dropConnection()
    {
        m_open = false;
        reportClosed(Problem::DeviceLost);
    }
    // Called after each byte written, e.g. to queue an answer once a request is whole.
    void setWriteHook(std::function<void(quint8)> hook) { m_writeHook = std::move(hook); }

    // Record.
    const QByteArray &written() const { return m_written; }
    QByteArray takeWritten() { return std::exchange(m_written, QByteArray()); }
    const QByteArray &pendingInput() const { return m_input; }
    int openCount() const { return m_openCount; }
    int dialCount() const { return m_dialCount; } // opens that began connecting
    int closeCount() const { return m_closeCount; }
    int lastPortNumber() const { return m_lastPortNumber; }
    const LineSettings &lastSettings() const { return m_lastSettings; }

private:
    QByteArray m_input;
    QByteArray m_written;
    std::function<void(quint8)> m_writeHook;
    LineSettings m_lastSettings;
    int m_lastPortNumber = 0;
    int m_openCount = 0;
    int m_dialCount = 0;
    int m_closeCount = 0;
    bool m_open = false;
    bool m_dsr = false;
    bool m_failOpens = false;
    Problem m_openProblem = Problem::NoSuchDevice;
    bool m_failCloses = false;
    bool m_failWrites = false;
    bool m_connects = false;
    bool m_connecting = false;
    QString m_anyNumberDevice;
    QString m_identity;
};
