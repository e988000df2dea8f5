#include "Diverse.h"

#include "Cp1252.h"

namespace Diverse {

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
    return QString(Cp1252::charOf(quint8(b)));
}

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() == 127)
            shown += ByteToLogText(c.unicode());
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
