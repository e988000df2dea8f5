#include "model/Cp1252.h"
#include "model/Diverse.h"

#include <QtTest>

class TestDiverse : public QObject
{
    Q_OBJECT

private slots:
    void byteToLogText_data();
    void byteToLogText();
    void cp1252RoundTrip();
    void hexDigitValue_data();
    void hexDigitValue();
    void numberTexts_data();
    void numberTexts();
    void logLinesScroll();
};

void TestDiverse::byteToLogText_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    const QStringList names = {
        "[NULL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
        "[BS]",   "[HT]",  "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
        "[DLE]",  "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NACK]", "[SYN]", "[ETB]",
        "[CAN]",  "[EM]",  "[SUB]", "[ESC]", "[FS]",  "[GS]",  "[RS]",  "[US]"};
    for (int b = 0; b < 32; ++b)
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(QString::number(b, 16).toUpper().rightJustified(2, u'0'))))
            << b << names.at(b);
    QTest::newRow("0x20") << 0x20 << " ";
    QTest::newRow("0x41") << 0x41 << "A";
    QTest::newRow("0x7E") << 0x7E << "~";
    QTest::newRow("0x7F") << 0x7F << "[RUBOUT]";
    // The upper 32 bytes against Windows-1252 as Unicode publishes it, written
    // out here rather than taken from the code under test. The five bytes the
    // code page leaves undefined decode to the C1 control of the same number
    // and are shown as their hex.
    const char16_t upper[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98
    };
    for (int b = 0x80; b <= 0x9F; ++b) {
        const char16_t u = upper[b - 0x80];
        const QString text = u < 0xA0 ? QStringLiteral("[%1]").arg(b, 2, 16).toUpper() : QString(QChar(u));
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(b, 2, 16).toUpper().replace(u'X', u'x')))
            << b << text;
    }
    QTest::newRow("0xA0") << 0xA0 << QString(QChar(0x00A0));
    QTest::newRow("0xE9") << 0xE9 << QString(QChar(0x00E9));
    QTest::newRow("0xFF") << 0xFF << QString(QChar(0x00FF));
}

void TestDiverse::byteToLogText()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QCOMPARE(Diverse::ByteToLogText(byte), text);
    // The byte's character in a text is shown the same way.
    QCOMPARE(Diverse::visibleText(Cp1252::decode(QByteArray(1, char(byte)))), text);
}

// Every byte survives decode and encode; every character gets its own byte back.
void TestDiverse::cp1252RoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = Cp1252::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(Cp1252::encode(text), std::optional<QByteArray>(all));
    QCOMPARE(Cp1252::firstUnencodable(text), qsizetype(-1));
    for (int b = 0; b < 256; ++b)
        QCOMPARE(Cp1252::byteOf(Cp1252::charOf(quint8(b))), b);
    // U+0080 and U+0100 have no byte; the log writes them as '?'.
    const QString odd = QStringLiteral("a\u20AC") + QChar(0x80) + QChar(0x100);
    QCOMPARE(Cp1252::firstUnencodable(odd), qsizetype(2));
    QVERIFY(!Cp1252::encode(odd));
    QCOMPARE(Cp1252::encodeLossy(odd), QByteArray("a\x80??"));
}

void TestDiverse::hexDigitValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("7x") << "7x" << 7;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("A") << "A" << 10;
    QTest::newRow("a") << "a" << 10;
    QTest::newRow("F") << "F" << 15;
    QTest::newRow("f") << "f" << 15;
    QTest::newRow("-") << "-" << 15;
    QTest::newRow("G") << "G" << 0;
    QTest::newRow("g") << "g" << 0;
    QTest::newRow("blank") << " " << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("x7") << "x7" << 0;
    QTest::newRow("fullwidth A") << QString(QChar(0xFF21)) << 0;
}

void TestDiverse::hexDigitValue()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(Diverse::HexDigitValue(text), value);
}

void TestDiverse::numberTexts_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("decimal");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("signedText");
    QTest::newRow("0") << 0 << "0" << "0" << " 0";
    QTest::newRow("10") << 10 << "10" << "A" << " 10";
    QTest::newRow("255") << 255 << "255" << "FF" << " 255";
    QTest::newRow("4660") << 4660 << "4660" << "1234" << " 4660";
    QTest::newRow("32767") << 32767 << "32767" << "7FFF" << " 32767";
    QTest::newRow("-1") << -1 << "-1" << "FFFF" << "-1";
    QTest::newRow("-5") << -5 << "-5" << "FFFB" << "-5";
    QTest::newRow("-32768") << -32768 << "-32768" << "8000" << "-32768";
}

void TestDiverse::numberTexts()
{
    QFETCH(int, number);
    QFETCH(QString, decimal);
    QFETCH(QString, hex);
    QFETCH(QString, signedText);
    QCOMPARE(Diverse::NumberText(number), decimal);
    QCOMPARE(Diverse::HexText(number), hex);
    QCOMPARE(Diverse::SignedText(number), signedText);
}

void TestDiverse::logLinesScroll()
{
    Diverse::LogLines log;
    log.AddLogLine(QStringLiteral("stale"));
    log.ClearLogLines();
    QCOMPARE(log.count(), 0);
    QCOMPARE(log.line(0), QString());
    for (int i = 1; i <= 25; ++i)
        log.AddLogLine(QString::number(i));
    QCOMPARE(log.count(), 25);
    QCOMPARE(log.line(0), QStringLiteral("1"));
    QCOMPARE(log.line(24), QStringLiteral("25"));
    log.AddLogLine(QStringLiteral("26"));
    QCOMPARE(log.count(), 25);
    QCOMPARE(log.line(0), QStringLiteral("2"));
    QCOMPARE(log.line(23), QStringLiteral("25"));
    QCOMPARE(log.line(24), QStringLiteral("26"));
    for (int i = 27; i <= 60; ++i)
        log.AddLogLine(QString::number(i));
    for (int i = 0; i < 25; ++i)
        QCOMPARE(log.line(i), QString::number(36 + i));
    log.ClearLogLines();
    QCOMPARE(log.count(), 0);
    QCOMPARE(log.line(24), QString());
    log.AddLogLine(QStringLiteral("again"));
    QCOMPARE(log.line(0), QStringLiteral("again"));
    QCOMPARE(log.line(1), QString());
}

QTEST_APPLESS_MAIN(TestDiverse)
#include "tst_diverse.moc"
