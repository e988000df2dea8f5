#include "model/Value.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

class TestValue : public QObject
{
    Q_OBJECT

private slots:
    void numericValueOfText_data();
    void numericValueOfText();
    void strictNumber_data();
    void strictNumber();
    void roundToInt16_data();
    void roundToInt16();
    void forms_data();
    void forms();
};

void TestValue::numericValueOfText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("123") << "123" << 123.0;
    QTest::newRow("blanks inside") << "1 2 3" << 123.0;
    QTest::newRow("leading blank") << " 4660" << 4660.0;
    QTest::newRow("tab and lf") << "\t1\n2\t" << 12.0;
    QTest::newRow("cr stops") << "1\r2" << 1.0;
    QTest::newRow("12abc") << "12abc" << 12.0;
    QTest::newRow("abc") << "abc" << 0.0;
    QTest::newRow("+7") << "+7" << 7.0;
    QTest::newRow("minus blanks 5") << "-  5" << -5.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("double sign") << "+-5" << 0.0;
    QTest::newRow(".5") << ".5" << 0.5;
    QTest::newRow("-.5") << "-.5" << -0.5;
    QTest::newRow("7.") << "7." << 7.0;
    QTest::newRow("1.2.3") << "1.2.3" << 1.2;
    QTest::newRow("1e3") << "1e3" << 1000.0;
    QTest::newRow("1 E -2") << "1 E -2" << 0.01;
    QTest::newRow("2d2") << "2d2" << 200.0;
    QTest::newRow("1e") << "1e" << 1.0;
    QTest::newRow("1e+") << "1e+" << 1.0;
    QTest::newRow("1e400") << "1e400" << kInf;
    QTest::newRow("-1e400") << "-1e400" << -kInf;
    QTest::newRow("1e-400") << "1e-400" << 0.0;
    QTest::newRow("400 digits") << QStringLiteral("1") + QString(400, u'0') << kInf;
    // Exponents at the ends of a 64-bit integer must not overflow the order of magnitude.
    QTest::newRow("1e(2^63-1)") << "1e9223372036854775807" << kInf;
    QTest::newRow("0.001e(-2^63)") << "0.001e-9223372036854775808" << 0.0;
    QTest::newRow("&HFF") << "&HFF" << 255.0;
    QTest::newRow("&hff") << "&hff" << 255.0;
    QTest::newRow("& H 1F") << "& H 1F" << 31.0;
    QTest::newRow("&O17") << "&O17" << 15.0;
    QTest::newRow("&o18 stops at 8") << "&o18" << 1.0;
    QTest::newRow("&HG") << "&HG" << 0.0;
    QTest::newRow("&") << "&" << 0.0;
    QTest::newRow("&X5") << "&X5" << 0.0;
    QTest::newRow("12&H5") << "12&H5" << 12.0;
}

void TestValue::numericValueOfText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(Values::numericValueOfText(text), value);
    // A text in a store is converted the same way.
    QCOMPARE(Values::numberOf(Values::text(text)), value);
}

void TestValue::strictNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("4660") << "4660" << true << 4660.0;
    QTest::newRow("blank 4660") << " 4660" << true << 4660.0;
    QTest::newRow("4660 blank") << "4660 " << true << 4660.0;
    QTest::newRow("-1") << "-1" << true << -1.0;
    QTest::newRow("+2.5") << "+2.5" << true << 2.5;
    QTest::newRow("1e3") << "1e3" << true << 1000.0;
    QTest::newRow("&HFF") << "&HFF" << true << 255.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank") << " " << false << 0.0;
    QTest::newRow("12x") << "12x" << false << 0.0;
    QTest::newRow("1 2") << "1 2" << false << 0.0;
    QTest::newRow("1e") << "1e" << false << 0.0;
    QTest::newRow("-") << "-" << false << 0.0;
    QTest::newRow(".") << "." << false << 0.0;
    QTest::newRow("&H") << "&H" << false << 0.0;
    QTest::newRow("&HFG") << "&HFG" << false << 0.0;
    QTest::newRow("1.2.3") << "1.2.3" << false << 0.0;
}

void TestValue::strictNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto v = Values::strictNumber(text);
    QCOMPARE(v.has_value(), ok);
    if (ok)
        QCOMPARE(*v, value);
    QCOMPARE(Values::strictNumberOf(Values::text(text)), v);
}

void TestValue::roundToInt16_data()
{
    QTest::addColumn<double>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("out");
    QTest::newRow("2.5") << 2.5 << true << 2;
    QTest::newRow("3.5") << 3.5 << true << 4;
    QTest::newRow("-2.5") << -2.5 << true << -2;
    QTest::newRow("1.5") << 1.5 << true << 2;
    QTest::newRow("2.6") << 2.6 << true << 3;
    QTest::newRow("32767.4") << 32767.4 << true << 32767;
    QTest::newRow("32767.5") << 32767.5 << false << 0;
    QTest::newRow("32768") << 32768.0 << false << 0;
    QTest::newRow("-32768.5") << -32768.5 << true << -32768;
    QTest::newRow("-32768.6") << -32768.6 << false << 0;
    QTest::newRow("inf") << kInf << false << 0;
    QTest::newRow("-inf") << -kInf << false << 0;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << false << 0;
}

void TestValue::roundToInt16()
{
    QFETCH(double, in);
    QFETCH(bool, ok);
    QFETCH(int, out);
    const auto r = Values::roundToInt16(in);
    QCOMPARE(r.has_value(), ok);
    if (ok)
        QCOMPARE(int(*r), out);
}

// The text and numeric forms of each kind of stored value.
void TestValue::forms_data()
{
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("strictOk");
    QTest::newRow("empty") << Value() << "" << 0.0 << false;
    QTest::newRow("integer -1") << Values::integer(-1) << "-1" << -1.0 << true;
    QTest::newRow("double 12") << Values::number(12) << "12" << 12.0 << true;
    QTest::newRow("double 2.5") << Values::number(2.5) << "2.5" << 2.5 << true;
    QTest::newRow("double 1e20") << Values::number(1e20) << "1E+20" << 1e20 << true;
    QTest::newRow("text 4660") << Values::text(" 4660") << " 4660" << 4660.0 << true;
    QTest::newRow("text 12x") << Values::text("12x") << "12x" << 12.0 << false;
}

void TestValue::forms()
{
    QFETCH(Value, value);
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(bool, strictOk);
    QCOMPARE(Values::textOf(value), text);
    QCOMPARE(Values::numberOf(value), number);
    QCOMPARE(Values::strictNumberOf(value).has_value(), strictOk);
    // The text form reads back as the same number.
    if (!Values::isEmpty(value))
        QCOMPARE(Values::numericValueOfText(Values::textOf(value)), number);
}

QTEST_APPLESS_MAIN(TestValue)
#include "tst_value.moc"
