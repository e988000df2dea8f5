#include "ScriptedPort.h"

bool ScriptedPort::open(int portNumber, const LineSettings &settings)
{
    m_lastPortNumber = portNumber;
    m_lastSettings = settings;
    if (m_failOpens) {
        setProblem(m_openProblem);
        return false;
    }
    setProblem(Problem::None);
    m_input.clear();
    if (m_connects) {
        ++m_dialCount;
        m_connecting = true;
        return false;
    }
    m_open = true;
    ++m_openCount;
    return true;
}

bool ScriptedPort::close()
{
    ++m_closeCount;
    m_connecting = false;
    if (m_failCloses)
        return false;
    m_open = false;
    return true;
}

int ScriptedPort::bytesAvailable()
{
    return m_open ? int(m_input.size()) : -1;
}

int ScriptedPort::readByte()
{
    if (!m_open || m_input.isEmpty())
        return -1;
    const quint8 byte = quint8(m_input.at(0));
    m_input.remove(0, 1);
    return byte;
}

bool ScriptedPort::writeByte(quint8 byte)
{
    if (!m_open || m_failWrites)
        return false;
    m_written.append(char(byte));
    if (m_writeHook)
        m_writeHook(byte);
    return true;
}

QString ScriptedPort::deviceName(int portNumber) const
{
    if (!m_anyNumberDevice.isEmpty())
        return m_anyNumberDevice;
    return QStringLiteral("scripted%1").arg(portNumber);
}
