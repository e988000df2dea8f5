#pragma once

#include <QString>

#include <functional>
#include <utility>

// The byte-level serial port Datacom drives: the real one on QSerialPort, a
// port on a serial device server over the network, a scripted one in tests.
// Every call returns at once: a network port that cannot answer an open at
// once is connecting, and tells the end of it later.
class Port
{
public:
    enum class Handshake { None, RtsCts };

    // Most input kept waiting for the reader (beyond it the oldest goes), and
    // most output queued for the line, so a flooding or stalled line costs no memory.
    static constexpr int kReadBufferSize = 4096;
    static constexpr int kWriteBufferSize = 4096;

    struct LineSettings
    {
        int baud = 9600;
        char parity = 'N'; // 'N', 'E' or 'O'
        int dataBits = 8;
        int stopBits = 1;
        Handshake handshake = Handshake::None;
        bool rts = false;
        bool dtr = false;
    };

    // Why the port is not usable: the last open failed, or the open port
    // closed by itself.
    enum class Problem {
        None,
        NoSuchDevice,     // nothing at that name, or no device for the number
        PermissionDenied, // on Linux: not a member of the device's group (dialout)
        InUse,            // another program holds the device
        NotADevice,       // a folder or a plain file, or not a serial device
        TerminalSession,  // some session's controlling terminal (a login, a shell window)
        DeviceLost,       // went away while open (unplugged, far end gone)
        WriteFailed,      // the device refused output and was closed
        // A network port's:
        ConnectionRefused, // nothing listens at that address and port
        HostNotFound,      // the name does not resolve
        ConnectTimeout,    // no connection (or no telnet answer) in time
        ConnectionClosed,  // the server ended the connection
        ConnectionLost,    // the network failed under the connection
        NotSerialServer,   // the server refuses the serial port's control (telnet options)
        Other,
    };

    virtual ~Port() = default;

    // portNumber counts from 1 (COM1 on Windows). A port that is open already
    // is closed first. Input that waited before the opening is discarded.
    virtual bool open(int portNumber, const LineSettings &settings) = 0;
    virtual bool close() = 0;            // false when closing failed
    virtual bool isOpen() const = 0;
    virtual int bytesAvailable() = 0;    // -1 when the query failed
    virtual int readByte() = 0;          // 0-255, or -1 when nothing is waiting or the read failed
    virtual bool writeByte(quint8 byte) = 0;
    virtual void discardInput() = 0;
    virtual bool dsr() = 0;              // a device without modem lines counts as DSR on while open
    // An open under way: not open yet, and the end is told to the
    // connect-ended listener. Only a network port connects.
    virtual bool connecting() const { return false; }
    // A port whose open costs a connection the far end may refuse for a while
    // (a network port): the reopen at the start of a command keeps it open and
    // only discards its input.
    virtual bool keepsConnectionOpen() const { return false; }
    // The device a port number reaches on this system, for the screens ("COM3", "/dev/ttyUSB0").
    virtual QString deviceName(int portNumber) const = 0;

    // Which device file the last good open reached, so that a reopen which
    // reaches another device behind the same name (a link re-pointed, a
    // terminal number given anew) is known; empty when the system cannot say.
    virtual QString deviceIdentity() const { return QString(); }

    // Every open may reach another unit than the open before, and the port
    // cannot tell (a device server: the unit behind the same address may have
    // been exchanged while the connection was down).
    virtual bool opensMayReachAnotherUnit() const { return false; }

    // True when every port number opens the same device (a device chosen for
    // this run), so a number that names no port still opens it.
    virtual bool opensAnyNumber() const { return false; }

    // Why the last open failed or the port closed by itself; None after a
    // good open. problemText is the system's own words, may be empty.
    virtual Problem problem() const { return m_problem; }
    virtual QString problemText() const { return m_problemText; }

    // Called when the open port closes by itself (device lost, write error),
    // at once, not on a later query.
    void setClosedListener(std::function<void(Problem)> listener) { m_closedListener = std::move(listener); }
    // Called when an open that was connecting has ended: opened, or failed
    // with problem() and problemText() saying why.
    void setConnectEndedListener(std::function<void(bool opened)> listener)
    {
        m_connectEndedListener = std::move(listener);
    }

    // A byte was handed to the line, or bytes came from it: told as they
    // happen, for timing the answers. Unset costs nothing.
    enum class Traffic { Written, Arrived };
    void setTrafficListener(std::function<void(Traffic)> listener) { m_trafficListener = std::move(listener); }

protected:
    void setProblem(Problem problem, const QString &text = QString())
    {
        m_problem = problem;
        m_problemText = text;
    }
    void reportClosed(Problem problem, const QString &text = QString())
    {
        setProblem(problem, text);
        if (m_closedListener)
            m_closedListener(problem);
    }
    void reportConnectEnded(bool opened, Problem problem = Problem::None, const QString &text = QString())
    {
        setProblem(opened ? Problem::None : problem, text);
        if (m_connectEndedListener)
            m_connectEndedListener(opened);
    }
    void reportTraffic(Traffic traffic)
    {
        if (m_trafficListener)
            m_trafficListener(traffic);
    }

private:
    Problem m_problem = Problem::None;
    QString m_problemText;
    std::function<void(Problem)> m_closedListener;
    std::function<void(bool)> m_connectEndedListener;
    std::function<void(Traffic)> m_trafficListener;
};
