#include "Conversions.h"

#include "Cp1252.h"
#include "Diverse.h"
#include "Items.h"
#include "ValueCheck.h"

namespace Items {

int receiptLimit(int n)
{
    switch (n) {
    case 0: return 3;
    case 5: return 10;
    case 7: return 150;
    case 10: case 30: return 4;
    case 11: case 12: case 31: case 32: case 35: return 1;
    case 13: case 33: case 34: return 2;
    case 14: return 60;
    default: return -1;
    }
}

int IsBulkItem(int n)
{
    return isListItem(n) ? 1 : -1;
}

} // namespace Items

namespace Conversions {

void clearRxBuffer(RxBuffer &rx)
{
    rx.fill(-1);
}

int ReplyItemNumber(const RxBuffer &rx)
{
    return rx[kItemOffset];
}

static bool isByte(int v)
{
    return v >= 0 && v <= 255;
}

Value ReplyToValue(const RxBuffer &rx, int n)
{
    const int v = rx[kValueOffset];
    if (Items::isListItem(n)) {
        // A value byte that never arrived is no value at all.
        if (!isByte(v))
            return Values::integer(-1);
        return Values::text(Diverse::NumberText(v <= Items::receiptLimit(n) ? v : 0));
    }
    if (Items::isHexDigitItem(n)) {
        if (!isByte(v))
            return Values::integer(-1);
        const int d = v > 0 ? Diverse::HexDigitValue(QString(Cp1252::charOf(quint8(v)))) : 0;
        return Values::text(Diverse::NumberText(d));
    }
    if (n >= 100 && n <= 148) {
        const int hi = rx[kValueOffset + 1];
        // A high byte of 128 or more leaves the range 0..32767 of INT values.
        if (!isByte(v) || !isByte(hi) || hi >= 128)
            return Values::integer(-1);
        return Values::text(Diverse::SignedText(hi * 256 + v));
    }
    if (n >= 150 && n <= 248) {
        const int len = rx[kLenOffset];
        if (len <= 12)
            return Values::text(QString());
        // The text ends two bytes before the end of the frame, and never past the buffer.
        const int last = len - 2;
        if (last >= int(rx.size()))
            return Values::integer(-1);
        QString text;
        text.reserve(last - kValueOffset + 1);
        for (int i = kValueOffset; i <= last; ++i) {
            if (!isByte(rx[i]))
                return Values::integer(-1);
            text.append(Cp1252::charOf(quint8(rx[i])));
        }
        return Values::text(text);
    }
    return Values::integer(-1);
}

bool isReadable(int n)
{
    return Items::isListItem(n) || Items::isHexDigitItem(n) || (n >= 100 && n <= 148) || (n >= 150 && n <= 248);
}

bool answerCarries(int n, const Value &v)
{
    return Items::kindOf(n) != Items::Kind::Tekst || Values::textOf(v).size() <= kMaxAnswerTextLength;
}

bool sameValue(int n, const Value &written, const Value &held)
{
    if (Items::kindOf(n) == Items::Kind::Tekst)
        return Values::isText(held) && Values::textOf(written) == Values::textOf(held);
    const auto number = Values::strictNumberOf(held);
    return number && Values::roundHalfEven(Values::numberOf(written)) == *number;
}

Value ValueForUnit(int n, const Value &v)
{
    if (n >= 0 && n < Items::kItemCount)
        return v;
    return Value();
}

static Encoding unsendable(const QString &problem)
{
    return Encoding{Encoding::Status::Unsendable, {}, problem};
}

Encoding encodeValueForUnit(int n, const Value &working)
{
    const Value x = ValueForUnit(n, working);
    const Items::Kind kind = Items::kindOf(n);
    if (kind == Items::Kind::None)
        return Encoding{Encoding::Status::NotSent, {}, {}};
    // A hex-digit item at 256 or more is refused as it always was; every
    // other value that is not one its item can take never reaches a frame.
    if (Items::isHexDigitItem(n)) {
        const auto w = Values::roundToInt16(Values::numberOf(x));
        if (!w || *w >= 256)
            return Encoding{Encoding::Status::Refused, {}, {}};
    }
    if (const QString problem = ValueCheck::valueProblem(n, x); !problem.isEmpty())
        return unsendable(problem);
    switch (kind) {
    case Items::Kind::Char: {
        const qint16 w = *Values::roundToInt16(Values::numberOf(x));
        if (Items::isHexDigitItem(n))
            return Encoding{Encoding::Status::Ok, QByteArray(1, Diverse::HexText(w).at(0).toLatin1()), {}};
        return Encoding{Encoding::Status::Ok, QByteArray(1, char(w)), {}};
    }
    case Items::Kind::Int: {
        const qint16 w = *Values::roundToInt16(Values::numberOf(x));
        QByteArray bytes;
        bytes.append(char(w % 256));
        bytes.append(char(w / 256));
        return Encoding{Encoding::Status::Ok, bytes, {}};
    }
    case Items::Kind::Tekst: return Encoding{Encoding::Status::Ok, *Cp1252::encode(Values::textOf(x)), {}};
    case Items::Kind::None: break;
    }
    return Encoding{Encoding::Status::NotSent, {}, {}};
}

} // namespace Conversions
