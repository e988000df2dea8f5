#include "UnitSession.h"

#include "model/TestTimeScale.h"

#include <QTime>

UnitSession::UnitSession(UnitItems &items, QObject *parent)
    : QObject(parent)
    , m_items(items)
    , m_responder(items)
{
    m_clock.start();
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setInterval(TestTimeScale::scaledMs(kFrameTimeoutMs));
    connect(&m_frameTimer, &QTimer::timeout, this, &UnitSession::dropPartialFrame);
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &UnitSession::pump);
}

void UnitSession::feed(QByteArrayView bytes)
{
    for (char c : bytes)
        takeByte(quint8(c));
    if (m_rxState == RxState::Hunt)
        m_frameTimer.stop();
    else
        m_frameTimer.start();
}

void UnitSession::startFrame(quint8 byte)
{
    m_rx.clear();
    if (byte == UnitResponder::kSoh) {
        m_rx.append(char(byte));
        m_rxState = RxState::Length;
    } else {
        m_rxState = RxState::Hunt;
    }
}

void UnitSession::takeByte(quint8 byte)
{
    switch (m_rxState) {
    case RxState::Hunt:
        // Anything before a start byte is line noise.
        startFrame(byte);
        return;
    case RxState::Length:
        m_rx.append(char(byte));
        if (byte == 0x01) {
            m_rxState = RxState::WakeUp1;
        } else if (byte < 5) {
            m_rxState = RxState::Hunt; // too short for any request
        } else {
            m_rxExpected = byte + 1;
            m_rxState = RxState::Body;
        }
        return;
    case RxState::WakeUp1:
        if (byte != 0x80)
            return startFrame(byte);
        m_rx.append(char(byte));
        m_rxState = RxState::WakeUp2;
        return;
    case RxState::WakeUp2:
        if (byte != 0x7F)
            return startFrame(byte);
        // The wake-up sequence 01 01 80 7F asks for nothing and gets no answer.
        m_rx.append(char(byte));
        trace("<-", m_rx, QStringLiteral("wake-up"));
        m_rxState = RxState::Hunt;
        return;
    case RxState::Body:
        m_rx.append(char(byte));
        if (m_rx.size() == m_rxExpected) {
            m_rxState = RxState::Hunt;
            handleFrame(std::exchange(m_rx, QByteArray()));
        }
        return;
    }
}

void UnitSession::dropPartialFrame()
{
    if (m_rxState == RxState::Hunt)
        return;
    trace("<-", m_rx, QStringLiteral("incomplete, dropped"));
    m_rx.clear();
    m_rxState = RxState::Hunt;
}

void UnitSession::handleFrame(const QByteArray &frame)
{
    trace("<-", frame);
    ++m_requestCount;
    const QList<UnitFault> faults = m_options.faults.faultsFor(m_requestCount);

    UnitEvent event;
    QByteArray answer = m_responder.answer(frame, &event);
    if (faults.contains(UnitFault::OtherItem)) {
        const int n = UnitResponder::readItemOf(frame);
        if (n >= 0 && n < UnitItems::kItemCount)
            answer = m_responder.readAnswer((n + 1) % UnitItems::kItemCount);
    }
    if (faults.contains(UnitFault::WrongValue) && event.kind == UnitEvent::Kind::Write) {
        m_items.store(event.item, UnitFaults::otherValue(event.item, m_items.value(event.item)));
        event.text += QStringLiteral(", kept as %1").arg(m_items.valueText(event.item));
    }
    if (m_eventHook && event.kind != UnitEvent::Kind::None)
        m_eventHook(event);

    const QByteArray bytes = UnitFaults::applyToFrame(answer, faults);
    const qint64 gapUs = (faults.contains(UnitFault::Slow) ? qint64(kSlowByteGapMs) * 1000
                          : m_options.paced                  ? kByteTimeUs
                                                             : 0)
        / TestTimeScale::factor();
    const bool withText = faults.contains(UnitFault::Text);
    auto reply = [this, bytes, gapUs, withText, faults] {
        if (bytes.isEmpty()) {
            trace("->", bytes, QStringLiteral("no answer"));
        } else {
            QStringList names;
            for (UnitFault f : faults) {
                if (f != UnitFault::Text)
                    names << UnitFaultPlan::nameOf(f);
            }
            trace("->", bytes, names.join(u' '));
            send(bytes, gapUs);
        }
        if (withText) {
            trace("->", UnitFaults::textLine(), QStringLiteral("text"));
            send(UnitFaults::textLine(), m_options.paced ? kByteTimeUs / TestTimeScale::factor() : 0);
        }
    };
    if (m_options.thinkMs <= 0) {
        reply();
        return;
    }
    ++m_thinking;
    QTimer::singleShot(TestTimeScale::scaledMs(m_options.thinkMs), this, [this, reply] {
        --m_thinking;
        reply();
    });
}

void UnitSession::send(const QByteArray &bytes, qint64 gapUs)
{
    if (m_queue.empty()) {
        // A line that has been quiet starts sending now, not at a time long past.
        m_nextByteUs = qMax(m_nextByteUs, m_clock.nsecsElapsed() / 1000);
    }
    m_queue.push_back(Chunk{bytes, gapUs});
    pump();
}

void UnitSession::pump()
{
    const qint64 nowUs = m_clock.nsecsElapsed() / 1000;
    QByteArray out;
    while (!m_queue.empty()) {
        Chunk &chunk = m_queue.front();
        if (chunk.gapUs == 0) {
            out += chunk.bytes;
            m_queue.pop_front();
            continue;
        }
        if (m_nextByteUs > nowUs)
            break;
        out += chunk.bytes.front();
        chunk.bytes.remove(0, 1);
        m_nextByteUs += chunk.gapUs;
        if (chunk.bytes.isEmpty())
            m_queue.pop_front();
    }
    if (!out.isEmpty() && m_sink)
        m_sink(out);
    if (!m_queue.empty() && !m_pumpTimer.isActive())
        m_pumpTimer.start(int(qMax<qint64>(0, (m_nextByteUs - nowUs + 999) / 1000)));
}

void UnitSession::trace(const char *direction, const QByteArray &bytes, const QString &note)
{
    if (!m_traceHook)
        return;
    QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + u' '
        + QLatin1String(direction) + u' ' + QString::fromLatin1(bytes.toHex(' ').toUpper());
    if (!note.isEmpty())
        line += QStringLiteral("  (") + note + u')';
    m_traceHook(line);
}
