#pragma once

#include "model/Conversions.h"

#include <QByteArray>

// One answer from the unit, collected a byte at a time. SOH starts it (other
// bytes before it are dropped), LEN gives its last position, and once that
// byte is in, all its bytes must add up to 0. It knows nothing of time: the
// engine decides how long to wait and what each step means.
class ReplyCollector
{
public:
    // What the answer is after a byte: still coming, whole and sound, longer
    // than a frame may be, or whole with a checksum that does not hold.
    enum class Step { Pending, Complete, TooLong, ChecksumError };
    // Which byte the collector waits for.
    enum class Stage { Start, Length, Rest };

    ReplyCollector() { clear(); }

    // Ready for a new answer: nothing stored, waiting for SOH.
    void clear();
    Step feed(quint8 byte);

    Stage stage() const { return m_stage; }
    // The bytes stored so far, SOH first; unused places hold -1.
    const RxBuffer &buffer() const { return m_buffer; }
    int count() const { return m_count; }

private:
    void store(quint8 byte);

    RxBuffer m_buffer{};
    int m_count = 0;
    int m_length = 0;
    Stage m_stage = Stage::Start;
};
