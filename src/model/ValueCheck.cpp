#include "ValueCheck.h"

#include "Conversions.h"
#include "Cp1252.h"
#include "Diverse.h"
#include "Items.h"
#include "ScreenDefinition.h"

#include <cmath>

namespace ValueCheck {
namespace {

constexpr int kMaxByte = 255;
constexpr int kMaxInt = 32767;

// The five bytes Windows-1252 leaves undefined decode to the C1 control
// characters of the same value; no unit text holds them.
bool isUndefinedByte(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
}

QString numberText(double v)
{
    return Values::doubleText(v);
}

} // namespace

QString textProblem(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127)
            return QStringLiteral("the text holds the control character %1").arg(Diverse::ByteToLogText(c.unicode()));
        if (isUndefinedByte(c))
            return QStringLiteral("the text holds the byte 0x%1, which Windows-1252 leaves undefined")
                .arg(QString::number(c.unicode(), 16).toUpper());
    }
    if (text.size() > Conversions::kMaxTextLength)
        return QStringLiteral("a text of %1 characters is longer than %2").arg(text.size()).arg(Conversions::kMaxTextLength);
    const qsizetype bad = Cp1252::firstUnencodable(text);
    if (bad >= 0)
        return QStringLiteral("the character %1 cannot be sent").arg(Cp1252::characterName(text, bad));
    return QString();
}

QString valueProblem(int n, const Value &value)
{
    switch (Items::kindOf(n)) {
    case Items::Kind::Tekst: return textProblem(Values::textOf(value));
    case Items::Kind::None: return QStringLiteral("item %1 does not exist").arg(n);
    case Items::Kind::Char:
    case Items::Kind::Int: break;
    }
    const double v = Values::roundHalfEven(Values::numberOf(value));
    if (!std::isfinite(v))
        return QStringLiteral("the value is not a finite number");
    const bool listed = Items::isListItem(n) || Items::isHexDigitItem(n);
    if (listed) {
        if (v == -1)
            return QStringLiteral("nothing is chosen");
        const int choices = int(ScreenDefinition::choiceList(n).size());
        if (v < 0 || v >= choices)
            return QStringLiteral("%1 is not one of its choices").arg(numberText(v));
        return QString();
    }
    const int highest = Items::kindOf(n) == Items::Kind::Int ? kMaxInt : kMaxByte;
    if (v < 0 || v > highest)
        return QStringLiteral("%1 is outside 0-%2").arg(numberText(v)).arg(highest);
    return QString();
}

QString valueTextProblem(int n, const QString &text)
{
    if (Items::kindOf(n) == Items::Kind::Tekst)
        return textProblem(text);
    if (text.trimmed().isEmpty())
        return QStringLiteral("the value is empty");
    const auto number = Values::strictNumber(text);
    if (!number)
        return QStringLiteral("\"%1\" is not a number").arg(Diverse::visibleText(text));
    if (*number != std::floor(*number))
        return QStringLiteral("%1 is not a whole number").arg(text.trimmed());
    return valueProblem(n, Values::number(*number));
}

} // namespace ValueCheck
