#pragma once

#include "Value.h"

#include <QByteArray>
#include <QString>

#include <array>

// The receive buffer: one entry per received byte of an answer, SOH at 0;
// entries not (yet) received hold -1.
using RxBuffer = std::array<qint16, 101>;

namespace Conversions {

// Answer offsets the conversions read.
constexpr int kLenOffset = 1;
constexpr int kAckOffset = 4;
constexpr int kItemOffset = 7;
constexpr int kValueOffset = 11;

void clearRxBuffer(RxBuffer &rx);

int ReplyItemNumber(const RxBuffer &rx);
// The value an answer carries for item n: a text, or integer -1 when the item
// has no conversion or the answer does not hold a readable value.
Value ReplyToValue(const RxBuffer &rx, int n);
inline int UnitItemNumber(int n) { return n; }
// The value itself for items 0-249, empty for any other number.
Value ValueForUnit(int n, const Value &v);
inline Value ValueFromUnit(int, const Value &v) { return v; }

// The value bytes a write request carries for item n.
struct Encoding
{
    enum class Status {
        Ok,           // bytes hold the value field
        NotSent,      // item number 250 or above: nothing to send
        Refused,      // a hex-digit item holding 256 or more
        Unsendable,   // a value the unit cannot take; problem says why
    };
    Status status = Status::Ok;
    QByteArray bytes;
    QString problem;
};

Encoding encodeValueForUnit(int n, const Value &working);

// Whether a read of item n gives a value (a conversion exists for it).
bool isReadable(int n);
// Whether the value held by the unit (as read) is the value written.
bool sameValue(int n, const Value &written, const Value &held);

// Most characters one text write can carry (a frame is at most 256 bytes).
constexpr int kMaxTextLength = 243;
// Most characters a read answer carries (an answer is at most 98 bytes).
constexpr int kMaxAnswerTextLength = 85;

// Whether a read answer can carry value v of item n back: a text longer than
// an answer carries cannot be read back.
bool answerCarries(int n, const Value &v);

} // namespace Conversions
