#include "ReplyCollector.h"

#include "Frames.h"

void ReplyCollector::clear()
{
    Conversions::clearRxBuffer(m_buffer);
    m_count = 0;
    m_length = 0;
    m_stage = Stage::Start;
}

void ReplyCollector::store(quint8 byte)
{
    m_buffer[m_count++] = qint16(byte);
}

ReplyCollector::Step ReplyCollector::feed(quint8 byte)
{
    switch (m_stage) {
    case Stage::Start:
        if (byte == Frames::kSoh) {
            clear();
            store(byte);
            m_stage = Stage::Length;
        }
        return Step::Pending;
    case Stage::Length:
        store(byte);
        m_length = byte;
        m_stage = Stage::Rest;
        return Step::Pending;
    case Stage::Rest:
        break;
    }
    // Never more than a frame may have: the byte past it is stored, and the
    // answer is too long whatever LEN said.
    if (m_count > Frames::kMaxAnswerBytes)
        return Step::TooLong;
    store(byte);
    if (m_count > Frames::kMaxAnswerBytes)
        return Step::TooLong;
    // LEN counts the bytes after SOH, so the answer is whole at position LEN;
    // a LEN below 2 still ends only with the first byte after it.
    if (m_count <= m_length)
        return Step::Pending;
    QByteArray frame(m_count, Qt::Uninitialized);
    for (int i = 0; i < m_count; ++i)
        frame[i] = char(m_buffer[i]);
    return Frames::checksumHolds(frame) ? Step::Complete : Step::ChecksumError;
}
