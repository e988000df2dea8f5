#pragma once

#include "protocol/Interface.h"

// The engine's inner variables, for tests only: the state number, the
// countdowns, the receive buffer and the unit's text line not yet logged.
// The programs decide nothing from them; the engine shows them to this
// probe alone.
class EngineProbe
{
public:
    explicit EngineProbe(const Interface &engine) : m_engine(engine) {}

    Interface::State EngineState() const { return m_engine.m_state; }
    qint16 WaitTicks() const { return m_engine.m_waitTicks; }
    qint16 ReplyTicks() const { return m_engine.m_replyTicks; }
    qint16 ProgModeTicks() const { return m_engine.m_progModeTicks; }
    qint16 RxCount() const { return qint16(m_engine.m_reply.count()); }
    const RxBuffer &rxBuffer() const { return m_engine.m_reply.buffer(); }
    const QString &UnitTextLine() const { return m_engine.m_unitTextLine; }
    // Whom the engine tells a commission's changes, as it would after its read.
    const Interface::ChangesListener &changesListener() const { return m_engine.m_changesListener; }

private:
    const Interface &m_engine;
};
