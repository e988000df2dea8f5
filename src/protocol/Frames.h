#pragma once

#include "model/Conversions.h"
#include "model/Value.h"

#include <QByteArray>

// The bytes of the requests the tool sends. A frame is SOH, LEN, payload and
// CHK, where LEN counts the bytes after SOH (itself and CHK included) and all
// bytes of a frame add up to 0 modulo 256.
namespace Frames {

constexpr quint8 kSoh = 0x01;
constexpr quint8 kStx = 0x02;
constexpr quint8 kAck = 0x06;
constexpr quint8 kRs = 0x1E;
constexpr quint8 kUs = 0x1F;

// Most bytes an answer may have: 98 (LEN at most 97).
constexpr int kMaxAnswerBytes = 98;

// Not a frame: sent as it is, no answer awaited.
QByteArray wakeUp();

// The checksum byte for bytes that precede it: 256 - sum, or 0 when the sum is 0.
quint8 checksumFor(const QByteArray &bytes);

// SOH, LEN and the payload, without CHK: what goes out byte by byte before
// the checksum byte.
QByteArray readRequestBody(int item);
QByteArray writeRequestBody(int item, const QByteArray &valueBytes);
QByteArray askBufferPositionBody();
QByteArray pagerCallBody(const QByteArray &callText);
QByteArray resetBody();

// A whole frame: body and its checksum byte.
QByteArray complete(const QByteArray &body);
// Whether the bytes of a frame, its checksum byte included, add up to 0.
inline bool checksumHolds(const QByteArray &frame) { return checksumFor(frame) == 0; }

// What a whole answer with a good checksum tells the transaction that asked:
// whether the unit acknowledged (ACK at offset 4; an answer to a write, a
// call or a reset), which item a read answer names (offset 7; -1 when it
// names none of 0-249) and the value it carries for that item (integer -1
// when it carries none the item can hold). A pure function of the bytes.
struct Reply
{
    bool acknowledged = false;
    int item = -1;
    Value value = Values::integer(-1);
};
Reply interpretReply(const RxBuffer &rx);

} // namespace Frames
