#include "Diverse.h"

#include "Cp1252.h"

namespace Diverse {
namespace {

bool isC1Control(QChar c)
{
    return c.unicode() >= 0x80 && c.unicode() <= 0x9F;
}

// "[9D]" for U+009D.
QString c1Name(QChar c)
{
    return QStringLiteral("[%1]").arg(QString::number(c.unicode(), 16).toUpper());
}

} // namespace

QString ByteToLogText(int byte)
{
    static const char *const kNames[32] = {
        "[NULL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
        "[BS]",   "[HT]",  "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
        "[DLE]",  "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NACK]", "[SYN]", "[ETB]",
        "[CAN]",  "[EM]",  "[SUB]", "[ESC]", "[FS]",  "[GS]",  "[RS]",  "[US]",
    };
    const int b = byte & 0xFF;
    if (b < 32)
        return QString::fromLatin1(kNames[b]);
    if (b == 127)
        return QStringLiteral("[RUBOUT]");
    // The five bytes Windows-1252 leaves undefined decode to C1 control
    // characters, which a terminal acts on (0x9D starts a command): by number.
    const QChar c = Cp1252::charOf(quint8(b));
    if (isC1Control(c))
        return c1Name(c);
    return QString(c);
}

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127)
            shown += ByteToLogText(c.unicode());
        else if (isC1Control(c))
            shown += c1Name(c);
        else
            shown += c;
    }
    return shown;
}

int HexDigitValue(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const QChar c = text.at(0);
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c == u'-')
        return 15;
    return 0;
}

QString NumberText(int number)
{
    return QString::number(number);
}

QString HexText(int number)
{
    return QString::number(quint16(number), 16).toUpper();
}

QString SignedText(int number)
{
    return number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number);
}

void LogLines::ClearLogLines()
{
    for (int i = 0; i < kLineCount; ++i)
        m_lines[i].clear();
    m_count = 0;
}

void LogLines::AddLogLine(const QString &text)
{
    if (m_count < kLineCount) {
        m_lines[m_count++] = text;
        return;
    }
    for (int i = 0; i < kLineCount - 1; ++i)
        m_lines[i] = std::move(m_lines[i + 1]);
    m_lines[kLineCount - 1] = text;
}

} // namespace Diverse
