// The numeric value of a text and the rounding to 16 bits, against an
// independent reading of the same number by the C library.

#include "FuzzSupport.h"

#include "model/Cp1252.h"
#include "model/Value.h"

#include <QRegularExpression>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>

namespace {

// The text with the blanks, tabs and line feeds taken out that the reading ignores.
QString withoutIgnored(const QString &text)
{
    QString s;
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s.append(c);
    }
    return s;
}

bool sameNumber(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    // Below the normal range a reading may give 0 or the tiny value; both round to 0.
    if (std::fabs(a) < DBL_MIN && std::fabs(b) < DBL_MIN)
        return true;
    return a == b;
}

// A decimal literal as the C library reads it, with VB's D exponent as E.
// Only for texts that are one whole literal.
double referenceDecimal(const QString &literal)
{
    QByteArray bytes = literal.toLatin1();
    bytes.replace('d', 'e').replace('D', 'e');
    return std::strtod(bytes.constData(), nullptr);
}

void checkRounding(double v)
{
    const auto r = Values::roundToInt16(v);
    if (!std::isfinite(v)) {
        FUZZ_CHECK(!r, QStringLiteral("%1 rounded to %2").arg(v).arg(r.value_or(0)));
        return;
    }
    if (v > 32767.5 || v < -32768.5) {
        FUZZ_CHECK(!r, QStringLiteral("%1 out of range rounded to %2").arg(v, 0, 'g', 17).arg(r.value_or(0)));
        return;
    }
    if (v < 32767.5 && v > -32768.5) {
        FUZZ_CHECK(r.has_value(), QStringLiteral("%1 in range gave no integer").arg(v, 0, 'g', 17));
    }
    if (!r) // exactly 32767.5 or -32768.5 go to the even neighbour outside the range
        return;
    const double diff = std::fabs(double(*r) - v);
    FUZZ_CHECK(diff <= 0.5, QStringLiteral("%1 rounded to %2").arg(v, 0, 'g', 17).arg(*r));
    if (diff == 0.5)
        FUZZ_CHECK(*r % 2 == 0, QStringLiteral("half %1 rounded to odd %2").arg(v, 0, 'g', 17).arg(*r));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool cLocale = std::setlocale(LC_NUMERIC, "C") != nullptr;
    Q_UNUSED(cLocale);
    if (size > 4096)
        return 0;
    Fuzz::Input in(data, size);
    const uint8_t mode = in.byte();

    // Any double, straight from its bytes.
    if (mode == 0xFF) {
        const QByteArray raw = in.bytes(8);
        double v = 0;
        std::memcpy(&v, raw.leftJustified(8, '\0').constData(), 8);
        checkRounding(v);
        return 0;
    }

    // The text: single bytes through the code page, or any UTF-16 code units.
    QString text;
    if (mode & 1) {
        while (in.remaining() >= 2)
            text.append(QChar(char16_t(uint16_t(in.int16()))));
    } else {
        text = Cp1252::decode(in.rest());
    }

    const double v = Values::numericValueOfText(text);
    FUZZ_CHECK(!std::isnan(v), QStringLiteral("NaN from \"%1\"").arg(text));
    checkRounding(v);

    // Blanks, tabs and line feeds are ignored wherever they stand.
    const QString bare = withoutIgnored(text);
    FUZZ_CHECK(sameNumber(Values::numericValueOfText(bare), v),
               QStringLiteral("\"%1\" and \"%2\" differ").arg(text, bare));
    const qsizetype mid = bare.size() / 2;
    const QString spaced = bare.left(mid) + QStringLiteral(" \t\n") + bare.mid(mid);
    FUZZ_CHECK(sameNumber(Values::numericValueOfText(spaced), v),
               QStringLiteral("\"%1\" and \"%2\" differ").arg(text, spaced));

    // A whole decimal literal reads as the C library reads it.
    static const QRegularExpression literal(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eEdD][+-]?[0-9]+)?$"));
    if (literal.match(bare).hasMatch()) {
        const double expected = referenceDecimal(bare);
        FUZZ_CHECK(sameNumber(v, expected),
                   QStringLiteral("\"%1\" read as %2, expected %3").arg(bare).arg(v, 0, 'g', 17).arg(expected, 0, 'g', 17));
    }

    // A text the strict reading accepts has the same value as the tolerant one,
    // when it holds no whitespace other than the ignored kinds.
    bool otherSpace = false;
    for (QChar c : text) {
        if (c.isSpace() && c != u' ' && c != u'\t' && c != u'\n')
            otherSpace = true;
    }
    if (!otherSpace) {
        if (const auto strict = Values::strictNumber(text))
            FUZZ_CHECK(sameNumber(*strict, v),
                       QStringLiteral("\"%1\": strict %2, tolerant %3").arg(text).arg(*strict).arg(v));
    }
    return 0;
}
