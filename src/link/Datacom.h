#pragma once

#include "LinkState.h"
#include "Port.h"

#include <QString>

#include <functional>
#include <optional>
#include <utility>

class Logfile;

// The one serial link to the unit: opening with the line-setting choices,
// single bytes in and out, the link watch and the activity flags.
class Datacom
{
public:
    Datacom(Port &port, Logfile &log);

    // 0 when open, -1 on any failure. Choices as the setup dialog stores them.
    int OpenComPort(int portIndex, int baudChoice, int parityChoice, int dataBitsChoice,
                    int stopBitsChoice, int handshakeChoice);
    // With the fixed choices every caller uses: 9600,N,8,1, no handshaking.
    int openDefault(int portIndex) { return OpenComPort(portIndex, 4, 0, 1, 0, 0); }
    void CloseComPort();
    int ReadComByte();
    int WriteComByte(int value);
    void FlushComInput();
    int ComPortIsOpen() const;
    // A network port's connection under way: not open, and not to be opened
    // again until it ends.
    bool isConnecting() const { return m_port.connecting(); }
    // An open port that a command's reopen keeps (a network connection).
    bool keepsConnectionOpen() const { return m_port.keepsConnectionOpen(); }
    // Called when a connection under way has opened the port, after the log
    // and the link state say so: whoever waits for the port takes it.
    void setOpenedLaterListener(std::function<void()> listener) { m_openedLaterListener = std::move(listener); }
    void CheckComLink();
    // The next failure to open is logged as a first one (e.g. once the log is on).
    void forgetFailedOpens()
    {
        m_failedOpens = 0;
        m_failedOpenReason.clear();
    }

    // The port number of a port index, as every message shows it: 16 bits, so
    // index 32767 is port -32768.
    static qint16 portNumberFor(int portIndex);
    // The line-settings text for the choices, e.g. "9600,N,8,1".
    static QString settingsText(int baudChoice, int parityChoice, int dataBitsChoice, int stopBitsChoice);

    qint16 LinkWatch = 0;
    bool txActivity = false; // set by WriteComByte, cleared by the indicator logic
    bool rxActivity = false; // set by ReadComByte
    QString caption = QStringLiteral("Serial port: XXXX "); // of FrmCommunicatie

    // Called with the new caption each time a successful open sets it, so the
    // window can show it on its frame.
    void setCaptionListener(std::function<void(const QString &)> listener) { m_captionListener = std::move(listener); }

    Port &port() { return m_port; }
    LinkState &linkState() { return m_linkState; }
    const LinkState &linkState() const { return m_linkState; }

    // Every byte that goes out or comes in, for a frame trace; unset costs nothing.
    enum class Direction { Out, In };
    using ByteListener = std::function<void(Direction, quint8)>;
    void setByteListener(ByteListener listener) { m_byteListener = std::move(listener); }

private:
    void logFailedOpen(int portNumber, Port::Problem problem, const QString &reason);
    void opened();
    void openFailed();
    void connectEnded(bool open);
    LinkState::Reach reached();

    Port &m_port;
    Logfile &m_log;
    std::function<void(const QString &)> m_captionListener;
    std::function<void()> m_openedLaterListener;
    ByteListener m_byteListener;
    LinkState m_linkState;
    qint16 m_portNumber = 0; // of the last open
    QString m_device;
    QString m_openSettingsText; // of the open under way or done
    QString m_deviceIdentity; // of the device file the last good open reached
    std::optional<QString> m_openedDevice; // the device the last good open reached by its name
    int m_failedOpens = 0; // failed opens in a row for the same reason
    QString m_failedOpenReason;
};
