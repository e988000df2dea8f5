#include "Value.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

namespace Values {
namespace {

bool isIgnorable(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(QChar c, int base)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c.unicode() - u'A' + 10;
    return d >= 0 && d < base ? d : -1;
}

// Locale-independent: the decimal point is always a period.
double parseLiteral(const QByteArray &literal)
{
    const char *first = literal.constData();
    const char *last = first + literal.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    double v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the decimal order of magnitude tells which.
        const QByteArray body(first, last - first);
        const qsizetype e = body.indexOf('e');
        const QByteArray mantissa = e >= 0 ? body.left(e) : body;
        long long exponent = 0;
        if (e >= 0) {
            bool ok = false;
            exponent = body.mid(e + 1).toLongLong(&ok);
            if (!ok) // more exponent digits than a long long holds
                exponent = body.mid(e + 1).startsWith('-') ? -(1LL << 60) : (1LL << 60);
            // Far beyond any double either way, and the sum below cannot overflow.
            exponent = std::clamp(exponent, -(1LL << 60), 1LL << 60);
        }
        const qsizetype point = mantissa.contains('.') ? mantissa.indexOf('.') : mantissa.size();
        long long order = 0;
        for (qsizetype k = 0; k < mantissa.size(); ++k) {
            if (mantissa[k] >= '1' && mantissa[k] <= '9') {
                order = k < point ? point - k : point - k + 1;
                break;
            }
        }
        v = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -v : v;
}

// Reads a decimal number (sign, digits, one period, exponent) from the start
// of s; returns the number of characters used (0 when none form a number).
qsizetype scanDecimal(const QString &s, double *out)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    QByteArray literal;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        literal.append(char(s[i++].unicode()));
    bool digits = false;
    while (i < n && isDigit(s[i])) {
        literal.append(char(s[i++].unicode()));
        digits = true;
    }
    if (i < n && s[i] == u'.') {
        literal.append('.');
        ++i;
        while (i < n && isDigit(s[i])) {
            literal.append(char(s[i++].unicode()));
            digits = true;
        }
    }
    if (!digits) {
        *out = 0;
        return 0;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < n && (s[j] == u'+' || s[j] == u'-'))
            exponent.append(char(s[j++].unicode()));
        bool expDigits = false;
        while (j < n && isDigit(s[j])) {
            exponent.append(char(s[j++].unicode()));
            expDigits = true;
        }
        if (expDigits) {
            literal.append(exponent);
            i = j;
        }
    }
    *out = parseLiteral(literal);
    return i;
}

// "&H1F" or "&O17" at the start of s; returns the characters used.
qsizetype scanRadix(const QString &s, double *out)
{
    *out = 0;
    if (s.size() < 2 || s[0] != u'&')
        return 0;
    const QChar kind = s[1].toUpper();
    const int base = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
    if (base == 0)
        return 0;
    qsizetype i = 2;
    double v = 0;
    while (i < s.size()) {
        const int d = digitValue(s[i], base);
        if (d < 0)
            break;
        v = v * base + d;
        ++i;
    }
    *out = v;
    return i;
}

} // namespace

double numericValueOfText(QStringView text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (!isIgnorable(c))
            s.append(c);
    }
    double v = 0;
    if (s.startsWith(u'&'))
        scanRadix(s, &v);
    else
        scanDecimal(s, &v);
    return v;
}

std::optional<double> strictNumber(QStringView text)
{
    const QString s = text.trimmed().toString();
    if (s.isEmpty())
        return std::nullopt;
    double v = 0;
    const qsizetype used = s.startsWith(u'&') ? scanRadix(s, &v) : scanDecimal(s, &v);
    if (used == 0 || used != s.size() || (s.startsWith(u'&') && used <= 2))
        return std::nullopt;
    return v;
}

double roundHalfEven(double v)
{
    // nearbyint follows the current rounding mode, which is to-nearest-even
    // unless someone changed it; say so explicitly.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(saved);
    return r;
}

std::optional<qint16> roundToInt16(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    const double r = roundHalfEven(v);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return qint16(r);
}

QString doubleText(double v)
{
    if (v == 0)
        return QStringLiteral("0");
    QString s = QString::number(v, 'g', 15);
    return s.toUpper();
}

QString textOf(const Value &v)
{
    if (const auto *t = std::get_if<QString>(&v))
        return *t;
    if (const auto *i = std::get_if<qint16>(&v))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&v))
        return doubleText(*d);
    return QString();
}

double numberOf(const Value &v)
{
    if (const auto *i = std::get_if<qint16>(&v))
        return *i;
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *t = std::get_if<QString>(&v))
        return numericValueOfText(*t);
    return 0;
}

std::optional<double> strictNumberOf(const Value &v)
{
    if (const auto *i = std::get_if<qint16>(&v))
        return double(*i);
    if (const auto *d = std::get_if<double>(&v))
        return *d;
    if (const auto *t = std::get_if<QString>(&v))
        return strictNumber(*t);
    return std::nullopt;
}

} // namespace Values
