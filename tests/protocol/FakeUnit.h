#pragma once

#include "EngineWorld.h"

#include <QMap>

#include <optional>

// Answers the engine's requests on the scripted port, one frame per request,
// and records what it was asked.
struct FakeUnit
{
    explicit FakeUnit(EngineWorld &world) : w(world) {}

    EngineWorld &w;
    QList<QByteArray> requests; // frames in the order they arrived
    int wakeUps = 0;
    QMap<int, QByteArray> values; // value bytes of read answers by item
    char bufferDigit = '0';
    // A unit that keeps what it is written, and gives it back when read;
    // heldInstead: one that acknowledges a write but keeps this byte.
    bool keepsWrites = false;
    std::optional<char> heldInstead;
    // When set, answers instead of the defaults; an empty answer sends nothing.
    std::function<QByteArray(const QByteArray &frame)> answer;

    static char kind(const QByteArray &frame) { return frame.size() > 5 ? frame[5] : 0; }
    static int itemOf(const QByteArray &frame) { return quint8(frame[7]); }

    QByteArray defaultAnswer(const QByteArray &frame) const
    {
        switch (kind(frame)) {
        case 'w': {
            const int item = itemOf(frame);
            return readAnswer(item, values.value(item, QByteArray(1, '\x01')));
        }
        case '2': return answerFrame(QByteArray("\x01\x00\x06\x00\x00", 5) + bufferDigit);
        default: return ackAnswer();
        }
    }

    void poll()
    {
        m_pending += w.port.takeWritten();
        const QByteArray wake = Frames::wakeUp();
        while (!m_pending.isEmpty()) {
            if (m_pending.startsWith(wake)) {
                ++wakeUps;
                m_pending.remove(0, wake.size());
                continue;
            }
            if (m_pending.size() < 2 || m_pending.size() < quint8(m_pending[1]) + 1)
                return;
            const QByteArray frame = m_pending.left(quint8(m_pending[1]) + 1);
            m_pending.remove(0, frame.size());
            requests << frame;
            if (keepsWrites && kind(frame) == 'W')
                values[itemOf(frame)] = heldInstead ? QByteArray(1, *heldInstead) : frame.mid(11, frame.size() - 13);
            w.port.queueInput(answer ? answer(frame) : defaultAnswer(frame));
        }
    }

    // Ticks the engine, answering as it goes, until the condition holds.
    int runUntil(const std::function<bool()> &done, int max = 5000)
    {
        for (int i = 1; i <= max; ++i) {
            w.tick();
            poll();
            if (done())
                return i;
        }
        return -1;
    }

    int runUntilQuiet(int max = 5000)
    {
        return runUntil([&] { return w.engine().isQuiet(); }, max);
    }

    QList<int> requestedItems(char k) const
    {
        QList<int> items;
        for (const QByteArray &f : requests) {
            if (kind(f) == k)
                items << itemOf(f);
        }
        return items;
    }

private:
    QByteArray m_pending;
};
