#pragma once

#include "UnitItems.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What happened to one request, for the unit's own log.
struct UnitEvent
{
    enum class Kind { None, Read, Write, Refused, BufferPosition, PagerCall, Reset };
    Kind kind = Kind::None;
    int item = -1;
    QString text;
};

// The unit's side of the frame format: takes one whole request frame and
// gives the one answer frame. Answers begin 01 LEN 01 00 and carry ACK (06)
// or NAK (15) at offset 4. A read answer repeats the request's fields:
// "W" US n RS "w" US value RS, so the item number stands at offset 7 and the
// value from offset 11 on, followed by RS and the checksum.
class UnitResponder
{
public:
    static constexpr quint8 kSoh = 0x01;
    static constexpr quint8 kStx = 0x02;
    static constexpr quint8 kAck = 0x06;
    static constexpr quint8 kNak = 0x15;
    static constexpr quint8 kRs = 0x1E;
    static constexpr quint8 kUs = 0x1F;

    explicit UnitResponder(UnitItems &items);

    QByteArray answer(QByteArrayView request, UnitEvent *event = nullptr);

    // The answer to a read of item n (a NAK frame for a number outside 0-249).
    QByteArray readAnswer(int n) const;
    // The item a read request asks for, or -1 when it is no read request.
    static int readItemOf(QByteArrayView request);

    // SOH, LEN, the payload and the checksum that makes all bytes add up to 0.
    static QByteArray frame(QByteArrayView payload);
    static bool checksumOk(QByteArrayView frame);
    static QByteArray nakFrame();


private:
    QByteArray accepted(QByteArrayView body) const;
    QByteArray writeAnswer(QByteArrayView body, UnitEvent &event);
    QByteArray pagerCallAnswer(QByteArrayView body, UnitEvent &event);

    UnitItems &m_items;
    int m_bufferPosition = 0;
};
