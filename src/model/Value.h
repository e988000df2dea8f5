#pragma once

#include <QMetaType>
#include <QString>

#include <optional>
#include <variant>

// A stored item value: empty (never set), a 16-bit integer, a double or a text.
// Which form an entry has depends on where it came from; consumers convert on use.
using Value = std::variant<std::monostate, qint16, double, QString>;
Q_DECLARE_METATYPE(Value)

namespace Values {

inline Value integer(int v) { return Value(std::in_place_type<qint16>, qint16(v)); }
inline Value number(double v) { return Value(std::in_place_type<double>, v); }
inline Value text(const QString &v) { return Value(std::in_place_type<QString>, v); }

inline bool isEmpty(const Value &v) { return std::holds_alternative<std::monostate>(v); }
inline bool isText(const Value &v) { return std::holds_alternative<QString>(v); }
inline bool isNumber(const Value &v) { return std::holds_alternative<qint16>(v) || std::holds_alternative<double>(v); }

// The numeric value of a text: blanks, tabs and line feeds are ignored wherever
// they stand; "&H" and "&O" start a hexadecimal or octal number; otherwise an
// optional sign, digits with at most one period and an optional exponent are
// read up to the first character that cannot continue the number. No number gives 0.
double numericValueOfText(QStringView text);

// A text that is a number and nothing else (blanks around it allowed), as a
// strict conversion needs it; nothing for an empty or malformed text.
std::optional<double> strictNumber(QStringView text);

// To the nearest integer, halves to the even neighbour; nothing on overflow
// of -32768..32767 (and for infinities and NaN).
std::optional<qint16> roundToInt16(double v);

// Halves to the even neighbour, without a range limit.
double roundHalfEven(double v);

// The text form: a text as it is, a number in decimal, empty as "".
QString textOf(const Value &v);
// The numeric value: a number itself, a text by its numeric value, empty as 0.
double numberOf(const Value &v);
// A number itself, a text only when it is a well-formed number; nothing otherwise.
std::optional<double> strictNumberOf(const Value &v);

// Decimal text of a double as the tool shows it: no trailing zeros, exponent in capitals.
QString doubleText(double v);

} // namespace Values
