// ReplyToValue over any receive buffer and any item number: it reads only the
// buffer, gives a text only for items it has a rule for, and a value it reads
// goes back to the unit as the same bytes.

#include "FuzzSupport.h"

#include "model/Conversions.h"
#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <algorithm>

namespace {

bool isByte(int v) { return v >= 0 && v <= 255; }

void checkReadBack(int n, const RxBuffer &rx, const QString &text)
{
    using Conversions::Encoding;
    const Encoding enc = Conversions::encodeValueForUnit(n, Values::text(text));
    const int v = rx[Conversions::kValueOffset];
    if (Items::isListItem(n)) {
        // A value the unit holds within its list goes back unchanged (item
        // 14 keeps 60 on receipt, one past its list: that one cannot go back).
        if (v <= Items::receiptLimit(n) && v < ScreenDefinition::choiceList(n).size()) {
            FUZZ_CHECK(enc.status == Encoding::Status::Ok && enc.bytes == QByteArray(1, char(v)),
                       QStringLiteral("item %1 read %2, written back as %3").arg(n).arg(v).arg(Fuzz::hex(enc.bytes)));
        }
    } else if (Items::isHexDigitItem(n)) {
        // The digit written back reads as the same value.
        FUZZ_CHECK(enc.status == Encoding::Status::Ok && enc.bytes.size() == 1,
                   QStringLiteral("item %1 value %2 not writable").arg(n).arg(text));
        RxBuffer again = rx;
        again[Conversions::kValueOffset] = quint8(enc.bytes[0]);
        FUZZ_CHECK(Conversions::ReplyToValue(again, n) == Values::text(text),
                   QStringLiteral("item %1 value %2 written as %3").arg(n).arg(text, Fuzz::hex(enc.bytes)));
    } else if (n >= 100 && n <= 148) {
        const QByteArray sent(QByteArray(1, char(v)) + char(rx[Conversions::kValueOffset + 1]));
        FUZZ_CHECK(enc.status == Encoding::Status::Ok && enc.bytes == sent,
                   QStringLiteral("item %1 read %2, written back as %3").arg(n).arg(Fuzz::hex(sent), Fuzz::hex(enc.bytes)));
    } else if (n >= 150 && n <= 248) {
        QByteArray received;
        for (int i = Conversions::kValueOffset; i <= rx[Conversions::kLenOffset] - 2; ++i)
            received.append(char(rx[i]));
        // A text goes back unchanged, unless it holds a control byte or one of
        // the five bytes Windows-1252 leaves undefined, which never go out.
        const bool unsendable = std::any_of(received.cbegin(), received.cend(), [](char c) {
            const quint8 b = quint8(c);
            return b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        });
        if (unsendable)
            FUZZ_CHECK(enc.status == Encoding::Status::Unsendable,
                       QStringLiteral("item %1 read %2 with an unsendable byte, written back").arg(n).arg(Fuzz::hex(received)));
        else
            FUZZ_CHECK(enc.status == Encoding::Status::Ok && enc.bytes == received,
                       QStringLiteral("item %1 read %2, written back as %3").arg(n).arg(Fuzz::hex(received), Fuzz::hex(enc.bytes)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t mode = in.byte();
    // Item numbers near the real ones most of the time, any 16-bit number otherwise.
    const int n = (mode & 1) ? int(in.int16()) : int(in.byte()) - 3;

    RxBuffer rx;
    rx.fill(-1);
    for (size_t i = 0; i < rx.size() && !in.atEnd(); ++i) {
        // Received bytes, with a gap (-1) now and then, or any 16-bit entries.
        if (mode & 2) {
            rx[i] = in.int16();
        } else {
            const uint8_t b = in.byte();
            rx[i] = (mode & 4) && b == 0xEE ? qint16(-1) : qint16(b);
        }
    }

    const Value value = Conversions::ReplyToValue(rx, n);
    FUZZ_CHECK(Conversions::ReplyItemNumber(rx) == rx[Conversions::kItemOffset], QString());

    const bool isNoValue = value == Values::integer(-1);
    FUZZ_CHECK(isNoValue || Values::isText(value), QStringLiteral("item %1: neither text nor -1").arg(n));
    const bool hasRule = Items::isListItem(n) || Items::isHexDigitItem(n) || (n >= 100 && n <= 148)
        || (n >= 150 && n <= 248);
    if (!hasRule) {
        FUZZ_CHECK(isNoValue, QStringLiteral("item %1 has no rule but read as \"%2\"").arg(n).arg(Values::textOf(value)));
        return 0;
    }
    if (isNoValue)
        return 0;

    const QString text = Values::textOf(value);
    const int v = rx[Conversions::kValueOffset];
    if (Items::isListItem(n)) {
        const int expected = v <= Items::receiptLimit(n) ? v : 0;
        FUZZ_CHECK(isByte(v) && text == Diverse::NumberText(expected),
                   QStringLiteral("item %1 byte %2 read as \"%3\"").arg(n).arg(v).arg(text));
    } else if (Items::isHexDigitItem(n)) {
        bool ok = false;
        const int d = text.toInt(&ok);
        FUZZ_CHECK(isByte(v) && ok && d >= 0 && d <= 15 && text == Diverse::NumberText(d),
                   QStringLiteral("item %1 byte %2 read as \"%3\"").arg(n).arg(v).arg(text));
    } else if (n >= 100 && n <= 148) {
        const int hi = rx[Conversions::kValueOffset + 1];
        FUZZ_CHECK(isByte(v) && isByte(hi) && hi < 128 && text == u' ' + QString::number(hi * 256 + v),
                   QStringLiteral("item %1 bytes %2 %3 read as \"%4\"").arg(n).arg(v).arg(hi).arg(text));
    } else {
        const int len = rx[Conversions::kLenOffset];
        FUZZ_CHECK(text.size() == qMax(0, len - 12),
                   QStringLiteral("item %1 LEN %2 read %3 characters").arg(n).arg(len).arg(text.size()));
        for (qsizetype i = 0; i < text.size(); ++i) {
            const int b = rx[Conversions::kValueOffset + i];
            FUZZ_CHECK(isByte(b) && text.at(i) == Cp1252::charOf(quint8(b)),
                       QStringLiteral("item %1 character %2 differs").arg(n).arg(i));
        }
    }
    checkReadBack(n, rx, text);
    return 0;
}
