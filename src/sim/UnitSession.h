#pragma once

#include "UnitFaults.h"
#include "UnitItems.h"
#include "UnitResponder.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// The unit on its line: gathers request frames from the bytes it receives,
// answers each after a short think time, and sends the answer at the pace of
// a 9600 baud line, with the faults it was told to make. It does not own the
// line: bytes come in by feed() and go out through the sink.
class UnitSession : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        bool paced = true;  // 9600 baud pacing; off: every answer leaves at once
        int thinkMs = 20;   // between the end of a request and the answer
        UnitFaultPlan faults;
    };

    static constexpr qint64 kByteTimeUs = 1042;   // 10 bits at 9600 baud
    static constexpr int kSlowByteGapMs = 40;     // the slow fault: over a tick apart
    static constexpr int kFrameTimeoutMs = 500;   // a request that stops short is dropped

    explicit UnitSession(UnitItems &items, QObject *parent = nullptr);

    void setOptions(const Options &options) { m_options = options; }
    const Options &options() const { return m_options; }

    void setSink(std::function<void(const QByteArray &)> sink) { m_sink = std::move(sink); }
    // One line per frame in and out, time-stamped, for --trace.
    void setTraceHook(std::function<void(const QString &)> hook) { m_traceHook = std::move(hook); }
    void setEventHook(std::function<void(const UnitEvent &)> hook) { m_eventHook = std::move(hook); }

    void feed(QByteArrayView bytes);

    int requestCount() const { return m_requestCount; }
    // Nothing waiting to be answered or sent.
    bool isQuiet() const { return m_thinking == 0 && m_queue.empty(); }

private:
    enum class RxState { Hunt, Length, Body, WakeUp1, WakeUp2 };

    struct Chunk
    {
        QByteArray bytes;
        qint64 gapUs = 0; // after each byte
    };

    void takeByte(quint8 byte);
    void startFrame(quint8 byte);
    void handleFrame(const QByteArray &frame);
    void dropPartialFrame();
    void send(const QByteArray &bytes, qint64 gapUs);
    void pump();
    void trace(const char *direction, const QByteArray &bytes, const QString &note = QString());

    UnitItems &m_items;
    UnitResponder m_responder;
    Options m_options;
    std::function<void(const QByteArray &)> m_sink;
    std::function<void(const QString &)> m_traceHook;
    std::function<void(const UnitEvent &)> m_eventHook;

    RxState m_rxState = RxState::Hunt;
    QByteArray m_rx;
    int m_rxExpected = 0;
    QTimer m_frameTimer;
    int m_requestCount = 0;
    int m_thinking = 0;

    std::deque<Chunk> m_queue;
    QElapsedTimer m_clock;
    qint64 m_nextByteUs = 0;
    QTimer m_pumpTimer;
};
