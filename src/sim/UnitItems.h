#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

// The settings a Dubrion unit keeps, items 0-249, each as the value bytes it
// carries on the wire: one byte for a CHAR item (an ASCII hexadecimal digit for
// the bleep codes 40-78), low and high byte for an INT item, the characters of
// a TEKST item. A new set holds the factory values.
class UnitItems
{
public:
    static constexpr int kItemCount = 250;
    // Longest text the unit keeps: as long as a write carries. A read of a
    // text longer than 85 characters answers with a frame longer than the
    // tool takes (98 bytes), as a unit that keeps what it is sent does.
    static constexpr int kMaxTextLength = 243;

    UnitItems();

    static QByteArray factoryValue(int n);
    void resetToFactory();

    // Empty for a number outside 0-249.
    QByteArray value(int n) const;
    // Takes the value bytes of a write; false (and nothing changes) when the
    // unit cannot hold them: a wrong size, a bleep code that is not a digit
    // 0-9/A-F, an INT value above 32767, a text longer than kMaxTextLength.
    bool store(int n, const QByteArray &bytes);

    // The value as a settings file holds it: CHAR and INT items as decimal
    // numbers (a bleep code as its digit's value 0-15), TEKST items as text.
    QString valueText(int n) const;
    // The reverse; false when the text gives a value the item cannot hold.
    bool setValueText(int n, const QString &text);

    // The settings file format: lines "N    ->VALUE", CR LF, Windows-1252.
    // Items the file does not name keep their value; problems lists the lines
    // that were not taken. False when the file cannot be read.
    bool load(const QString &path, QStringList *problems = nullptr);
    bool save(const QString &path, QString *error = nullptr) const;
    QByteArray fileContents() const;

private:
    std::array<QByteArray, kItemCount> m_values;
};
