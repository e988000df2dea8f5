#pragma once

#include "testsupport/EngineProbe.h"
#include "testsupport/ScriptedPort.h"
#include "protocol/Frames.h"
#include "testsupport/HeadlessSession.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A fresh engine on a scripted port, started as the program starts it.
struct EngineWorld
{
    QTemporaryDir home;
    ScriptedPort port;
    std::unique_ptr<HeadlessSession> world;

    // The safeguards of writes (backup, read-back) only where a test asks for them.
    explicit EngineWorld(const QString &commandLine = QString(), bool safeguards = false)
    {
        world = std::make_unique<HeadlessSession>(
            home.path(), [] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)); }, port);
        session().InitProgram(commandLine);
        engine().setBackup(safeguards);
        engine().setReadBack(safeguards);
        port.takeWritten();
    }

    Session &session() { return world->session; }
    Interface &engine() { return world->session.engine; }
    Stores &stores() { return world->session.stores; }
    RecordingView &view() { return world->view; }
    TestItemControls &controls() { return world->controls; }

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            engine().InterfaceTick(0);
    }

    // Ticks until the condition holds; the number of ticks taken, or -1 after max.
    int tickUntil(const std::function<bool()> &done, int max = 2000)
    {
        for (int i = 1; i <= max; ++i) {
            tick();
            if (done())
                return i;
        }
        return -1;
    }

    int tickUntilState(Interface::State state, int max = 2000)
    {
        return tickUntil([&] { return EngineProbe(engine()).EngineState() == state; }, max);
    }

    QStringList logLines() const
    {
        QStringList lines;
        const auto &l = world->session.logLines;
        for (int i = 0; i < l.count(); ++i)
            lines << l.line(i);
        return lines;
    }
};

// An answer frame: SOH, LEN, the bytes from offset 2 on, CHK.
inline QByteArray answerFrame(const QByteArray &fromOffset2)
{
    QByteArray body;
    body.append(char(Frames::kSoh));
    body.append(char(fromOffset2.size() + 2));
    body.append(fromOffset2);
    return Frames::complete(body);
}

// The answer to a read: item number at offset 7, value from offset 11, filler at LEN-1.
inline QByteArray readAnswer(int item, const QByteArray &value)
{
    QByteArray p("\x01\x00\x06\x57\x1F", 5);
    p.append(char(item));
    p.append("\x1E\x77\x1F", 3);
    p.append(value);
    p.append(char(Frames::kRs));
    return answerFrame(p);
}

inline QByteArray ackAnswer(quint8 ack = Frames::kAck)
{
    return answerFrame(QByteArray("\x01\x00", 2) + char(ack));
}
