#include "UnitItems.h"

#include "files/LeesIniFile.h"

#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Value.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr QByteArrayView kSeparator = "    ->";

QByteArray charValue(int v) { return QByteArray(1, char(v)); }

QByteArray intValue(int v)
{
    QByteArray bytes;
    bytes.append(char(v % 256));
    bytes.append(char(v / 256));
    return bytes;
}

bool isUpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The number a CHAR or INT value text starts with: blanks, a sign, digits,
// a decimal point with digits; 0 when it starts with anything else.
double leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        ++i;
    while (i < text.size() && text.at(i).isDigit())
        ++i;
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        while (i < text.size() && text.at(i).isDigit())
            ++i;
    }
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok ? v : 0.0;
}

} // namespace

UnitItems::UnitItems()
{
    resetToFactory();
}

QByteArray UnitItems::factoryValue(int n)
{
    using namespace ScreenDefinition;
    switch (n) {
    case 5: return charValue(4);    // address length: 4 digits
    case 7: return charValue(40);   // text length: 40 characters
    case 10: case 30: return charValue(3); // 9600 baud
    case 11: case 31: return charValue(0); // 7 bits
    case 12: case 32: return charValue(0); // 1 stop bit
    case 13: case 33: return charValue(1); // even parity
    case 14: return charValue(30);  // ESPA in watchdog 30 s
    default: break;
    }
    if (Items::isHexDigitItem(n)) {
        // Bleep codes 1..F, round and round over the table.
        const int entry = n - bleepItem(1);
        return charValue(Diverse::HexText(entry % 15 + 1).at(0).toLatin1());
    }
    if (n >= 0 && n <= 99)
        return charValue(0);
    if (n >= eventItem(1) && n <= eventItem(kPagerEntries))
        return intValue(1000 + n - eventItem(0));
    if (n >= 100 && n <= 149)
        return intValue(0);
    if (n == 150)
        return QByteArrayLiteral("9999");
    if (n >= addressItem(1) && n <= addressItem(kPagerEntries))
        return QByteArray::number(2000 + n - addressItem(0));
    if (n >= leadingTextItem(1) && n <= leadingTextItem(kPagerEntries)) {
        static const char *const kGroups[] = {"Brand", "Inbraak", "Techniek", "Verpleging", "Lift",
                                              "Toegang", "Caf\xe9"};
        const int entry = n - leadingTextItem(0);
        return QByteArray(kGroups[(entry - 1) % 7]) + ' ' + QByteArray::number(entry);
    }
    return QByteArray();
}

void UnitItems::resetToFactory()
{
    for (int n = 0; n < kItemCount; ++n)
        m_values[n] = factoryValue(n);
}

QByteArray UnitItems::value(int n) const
{
    if (n < 0 || n >= kItemCount)
        return QByteArray();
    return m_values[n];
}

bool UnitItems::store(int n, const QByteArray &bytes)
{
    switch (Items::kindOf(n)) {
    case Items::Kind::Char:
        if (bytes.size() != 1 || (Items::isHexDigitItem(n) && !isUpperHexDigit(bytes.at(0))))
            return false;
        break;
    case Items::Kind::Int:
        if (bytes.size() != 2 || quint8(bytes.at(1)) >= 128)
            return false;
        break;
    case Items::Kind::Tekst:
        if (bytes.size() > kMaxTextLength)
            return false;
        break;
    case Items::Kind::None:
        return false;
    }
    m_values[n] = bytes;
    return true;
}

QString UnitItems::valueText(int n) const
{
    const QByteArray v = value(n);
    switch (Items::kindOf(n)) {
    case Items::Kind::Char:
        if (Items::isHexDigitItem(n))
            return Diverse::NumberText(Diverse::HexDigitValue(QString(QChar::fromLatin1(v.at(0)))));
        return Diverse::NumberText(quint8(v.at(0)));
    case Items::Kind::Int:
        return Diverse::NumberText(quint8(v.at(0)) + 256 * quint8(v.at(1)));
    case Items::Kind::Tekst:
        return Cp1252::decode(v);
    case Items::Kind::None:
        break;
    }
    return QString();
}

bool UnitItems::setValueText(int n, const QString &text)
{
    switch (Items::kindOf(n)) {
    case Items::Kind::Char: {
        const double v = Values::roundHalfEven(leadingNumber(text));
        if (Items::isHexDigitItem(n)) {
            if (v < 0 || v > 15)
                return false;
            return store(n, charValue(Diverse::HexText(int(v)).at(0).toLatin1()));
        }
        if (v < 0 || v > 255)
            return false;
        return store(n, charValue(int(v)));
    }
    case Items::Kind::Int: {
        const double v = Values::roundHalfEven(leadingNumber(text));
        if (v < 0 || v > 32767)
            return false;
        return store(n, intValue(int(v)));
    }
    case Items::Kind::Tekst: {
        const auto bytes = Cp1252::encode(text);
        return bytes && store(n, *bytes);
    }
    case Items::Kind::None:
        break;
    }
    return false;
}

bool UnitItems::load(const QString &path, QStringList *problems)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Read by the tool's own rules for a settings line.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const auto record = LeesIniFile::parseRecord(line);
        if (!record || record->number >= kItemCount) {
            if (problems)
                *problems << QStringLiteral("line %1: no item 0-249 with \"->\"").arg(i + 1);
            continue;
        }
        if (!setValueText(record->number, record->valueText) && problems)
            *problems << QStringLiteral("line %1: item %2 cannot hold \"%3\"")
                             .arg(i + 1)
                             .arg(record->number)
                             .arg(record->valueText);
    }
    return true;
}

QByteArray UnitItems::fileContents() const
{
    QByteArray out;
    for (int n = 0; n < kItemCount; ++n) {
        out += QByteArray::number(n);
        out += kSeparator.toByteArray();
        // TEKST values go back as the very bytes they were kept as.
        out += Items::kindOf(n) == Items::Kind::Tekst ? m_values[n] : valueText(n).toLatin1();
        out += "\r\n";
    }
    return out;
}

bool UnitItems::save(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(fileContents()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
