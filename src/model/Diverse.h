#pragma once

#include <QString>

#include <array>

// Small text helpers shared by every layer, and the lines of the log window.
namespace Diverse {

// The log form of a received byte: control bytes by their ASCII names in
// brackets, the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) by their number, e.g. "[9D]", every other byte as its
// Windows-1252 character.
QString ByteToLogText(int byte);
// A text for people: every control character (below 32, and 127) in its log
// form, e.g. "[ESC]", and every C1 control character U+0080..U+009F by its
// number, e.g. "[9D]"; everything else as it is.
QString visibleText(const QString &text);
// 0..15 for a hexadecimal digit (and 15 for "-"); only the first character counts.
int HexDigitValue(const QString &text);
// Decimal without a leading blank: -5 gives "-5".
QString NumberText(int number);
// Upper-case hexadecimal of the 16-bit two's complement: -1 gives "FFFF".
QString HexText(int number);
// Decimal with the first position reserved for the sign: 5 gives " 5".
QString SignedText(int number);

// The 25 lines of the log window; line 0 is the oldest.
class LogLines
{
public:
    static constexpr int kLineCount = 25;

    void ClearLogLines();
    void AddLogLine(const QString &text);

    const QString &line(int i) const { return m_lines.at(i); }
    int count() const { return m_count; }

private:
    std::array<QString, kLineCount + 1> m_lines;
    int m_count = 0;
};

} // namespace Diverse
