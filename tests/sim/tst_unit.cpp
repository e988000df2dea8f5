#include "model/Conversions.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "sim/UnitFaults.h"
#include "sim/UnitItems.h"
#include "sim/UnitResponder.h"
#include "sim/UnitSession.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
QString hexOf(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

QByteArray readRequest(int n)
{
    return UnitResponder::frame(QByteArray("\x01\x00\x02\x77\x1F", 5) + char(n) + '\x1E');
}

RxBuffer rxOf(const QByteArray &answer)
{
    RxBuffer rx;
    rx.fill(-1);
    for (int i = 0; i < answer.size() && i < int(rx.size()); ++i)
        rx[i] = quint8(answer.at(i));
    return rx;
}

// A session that answers at once, its output collected.
struct FastUnit
{
    UnitItems items;
    UnitSession session{items};
    QList<QByteArray> sent;

    explicit FastUnit(const QString &fault = QString())
    {
        UnitSession::Options options;
        options.paced = false;
        options.thinkMs = 0;
        if (!fault.isEmpty())
            options.faults.add(*UnitFaultPlan::parse(fault));
        session.setOptions(options);
        session.setSink([this](const QByteArray &bytes) { sent << bytes; });
    }
    QByteArray all() const { return sent.join(); }
    QByteArray exchange(const QByteArray &request)
    {
        sent.clear();
        session.feed(request);
        return all();
    }
};

} // namespace

class TestUnit : public QObject
{
    Q_OBJECT

private slots:
    void readAnswers_data();
    void readAnswers();
    void writes_data();
    void writes();
    void refusals_data();
    void refusals();
    void pagerCallAndBufferPosition();
    void factoryValuesArePlausible();
    void stateFileRoundTrip();
    void stateFileReading();
    void requestFraming();
    void faults_data();
    void faults();
    void slowAndPacedAnswersTrickle();
    void faultOptionParsing_data();
    void faultOptionParsing();
};

void TestUnit::readAnswers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("value"); // as the tool converts it

    QTest::newRow("01 09 01 00 02 77 1F 05 1E 3A") << hex("01 09 01 00 02 77 1F 05 1E 3A")
        << hex("01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E 9A") << "4";
    QTest::newRow("01 09 01 00 02 77 1F 28 1E 17") << hex("01 09 01 00 02 77 1F 28 1E 17")
        << hex("01 0D 01 00 06 57 1F 28 1E 77 1F 31 1E 4A") << "1";
    QTest::newRow("01 09 01 00 02 77 1F 69 1E D6") << hex("01 09 01 00 02 77 1F 69 1E D6")
        << hex("01 0E 01 00 06 57 1F 69 1E 77 1F E9 03 1E 4D") << " 1001";
    QTest::newRow("01 09 01 00 02 77 1F 9B 1E A4") << hex("01 09 01 00 02 77 1F 9B 1E A4")
        << hex("01 10 01 00 06 57 1F 9B 1E 77 1F 32 30 30 31 1E 42") << "2001";
    QTest::newRow("01 09 01 00 02 77 1F C8 1E 77") << hex("01 09 01 00 02 77 1F C8 1E 77")
        << hex("01 12 01 00 06 57 1F C8 1E 77 1F 43 61 66 E9 20 37 1E 8C") << QString::fromUtf8("Café 7");
    QTest::newRow("01 09 01 00 02 77 1F E9 1E 56") << hex("01 09 01 00 02 77 1F E9 1E 56")
        << hex("01 0C 01 00 06 57 1F E9 1E 77 1F 1E BB") << "";
}

void TestUnit::readAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QString, value);

    UnitItems items;
    UnitResponder unit(items);
    const QByteArray got = unit.answer(request);
    QCOMPARE(hexOf(got), hexOf(answer));

    const RxBuffer rx = rxOf(got);
    const int n = Conversions::ReplyItemNumber(rx);
    QCOMPARE(n, int(quint8(request.at(7))));
    QCOMPARE(Conversions::ReplyToValue(rx, n), Values::text(value));
}

void TestUnit::writes_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("01 0D 01 00 02 57 1F 05 1E 77 1F 03 1E 9F") << hex("01 0D 01 00 02 57 1F 05 1E 77 1F 03 1E 9F")
        << hex("01 09 01 00 06 57 1F 05 1E 56") << 5 << hex("03");
    QTest::newRow("01 0E 01 00 02 57 1F 64 1E 77 1F 2C 01 1E 15")
        << hex("01 0E 01 00 02 57 1F 64 1E 77 1F 2C 01 1E 15") << hex("01 09 01 00 06 57 1F 64 1E F7") << 100
        << hex("2C 01");
    QTest::newRow("01 0D 01 00 02 57 1F 00 1E 77 1F A7 1E 00") << hex("01 0D 01 00 02 57 1F 00 1E 77 1F A7 1E 00")
        << hex("01 09 01 00 06 57 1F 00 1E 5B") << 0 << hex("A7");
    QTest::newRow("01 0C 01 00 02 57 1F 96 1E 77 1F 1E 12") << hex("01 0C 01 00 02 57 1F 96 1E 77 1F 1E 12")
        << hex("01 09 01 00 06 57 1F 96 1E C5") << 150 << QByteArray();
    QTest::newRow("01 0D 01 00 02 57 1F 28 1E 77 1F 41 1E 3E") << hex("01 0D 01 00 02 57 1F 28 1E 77 1F 41 1E 3E")
        << hex("01 09 01 00 06 57 1F 28 1E 33") << 40 << QByteArray("A");
    // The longest text a write carries is kept whole (its read answer is longer than the tool takes).
    QTest::newRow("text of 243 characters")
        << UnitResponder::frame(QByteArray("\x01\x00\x02W\x1F\xA0\x1Ew\x1F", 9) + QByteArray(243, 'x') + '\x1E')
        << hex("01 09 01 00 06 57 1F A0 1E BB") << 160 << QByteArray(243, 'x');
}

void TestUnit::writes()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, item);
    QFETCH(QByteArray, stored);

    UnitItems items;
    UnitResponder unit(items);
    UnitEvent event;
    QCOMPARE(hexOf(unit.answer(request, &event)), hexOf(answer));
    QCOMPARE(event.kind, UnitEvent::Kind::Write);
    QCOMPARE(items.value(item), stored);

    // A read gives back what was written, from offset 11 to the filler byte.
    const QByteArray readBack = unit.answer(readRequest(item));
    QCOMPARE(readBack.mid(11, readBack.size() - 13), stored);
}

void TestUnit::refusals_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("01 09 01 00 02 77 1F 05 1E 3B") << hex("01 09 01 00 02 77 1F 05 1E 3B"); // checksum off by one
    QTest::newRow("01 09 01 00 02 77 1F FA 1E 45") << hex("01 09 01 00 02 77 1F FA 1E 45"); // item 250
    QTest::newRow("01 0D 01 00 02 57 1F 28 1E 77 1F 47 1E 38") << hex("01 0D 01 00 02 57 1F 28 1E 77 1F 47 1E 38"); // bleep "G"
    QTest::newRow("01 0E 01 00 02 57 1F 64 1E 77 1F 00 80 1E C2") << hex("01 0E 01 00 02 57 1F 64 1E 77 1F 00 80 1E C2"); // 32768
    QTest::newRow("01 0E 01 00 02 57 1F 05 1E 77 1F 01 02 1E 9E") << hex("01 0E 01 00 02 57 1F 05 1E 77 1F 01 02 1E 9E"); // CHAR, two bytes
    QTest::newRow("01 06 01 00 02 58 9E") << hex("01 06 01 00 02 58 9E"); // no such command
    QTest::newRow("01 0D 01 00 02 41 1F 30 1E 33 1F 31 1E A0") << hex("01 0D 01 00 02 41 1F 30 1E 33 1F 31 1E A0"); // call without address
}

void TestUnit::refusals()
{
    QFETCH(QByteArray, request);

    UnitItems items;
    const QByteArray before = items.fileContents();
    UnitResponder unit(items);
    UnitEvent event;
    QCOMPARE(hexOf(unit.answer(request, &event)), QStringLiteral("01 05 01 00 15 E4"));
    QCOMPARE(event.kind, UnitEvent::Kind::Refused);
    QCOMPARE(items.fileContents(), before);
}

void TestUnit::pagerCallAndBufferPosition()
{
    UnitItems items;
    UnitResponder unit(items);
    const QByteArray askPosition = hex("01 06 01 00 02 32 C4");
    QCOMPARE(hexOf(unit.answer(askPosition)), QStringLiteral("01 09 01 00 06 41 1F 30 1E 41"));

    UnitEvent event;
    const QByteArray call = hex("01 14 01 00 02 41 1F 30 1E 31 1F 31 32 33 34 1E 33 1F 31 1E 61");
    QCOMPARE(hexOf(unit.answer(call, &event)), QStringLiteral("01 05 01 00 06 F3"));
    QCOMPARE(event.kind, UnitEvent::Kind::PagerCall);
    QVERIFY2(event.text.contains(QStringLiteral("address \"1234\"")), qPrintable(event.text));
    QVERIFY2(event.text.contains(QStringLiteral("bleep code 1")), qPrintable(event.text));

    // The next call goes to the next buffer position; the digit stands at offset 7.
    const QByteArray next = unit.answer(askPosition);
    QCOMPARE(next.at(7), '1');

    QCOMPARE(hexOf(unit.answer(hex("01 06 01 00 02 52 A4"), &event)), QStringLiteral("01 05 01 00 06 F3"));
    QCOMPARE(event.kind, UnitEvent::Kind::Reset);
}

void TestUnit::factoryValuesArePlausible()
{
    UnitItems items;
    UnitResponder unit(items);
    for (int n = 0; n < UnitItems::kItemCount; ++n) {
        const QByteArray answer = unit.answer(readRequest(n));
        QVERIFY2(answer.size() <= 98 && UnitResponder::checksumOk(answer), qPrintable(QString::number(n)));
        const int v = quint8(answer.at(11));
        if (Items::isListItem(n)) {
            QVERIFY2(v <= Items::receiptLimit(n) && v < ScreenDefinition::choiceList(n).size(),
                     qPrintable(QStringLiteral("item %1 holds %2").arg(n).arg(v)));
        }
        if (Items::isHexDigitItem(n))
            QVERIFY2(QByteArray("0123456789ABCDEF").contains(char(v)), qPrintable(QString::number(n)));
    }
    for (int k = 1; k <= ScreenDefinition::kPagerEntries; ++k) {
        QVERIFY(!items.value(ScreenDefinition::addressItem(k)).isEmpty());
        QVERIFY(!items.value(ScreenDefinition::leadingTextItem(k)).isEmpty());
        QVERIFY(items.valueText(ScreenDefinition::eventItem(k)).toInt() > 0);
    }
}

void TestUnit::stateFileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unit.cfg"));
    UnitItems items;
    QVERIFY(items.store(151, QByteArray("a -> b, \xE9 ")));
    QVERIFY(items.save(path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), 251); // 250 lines and the empty rest after the last LF
    QCOMPARE(bytes.count("\r\n"), 250);
    QVERIFY(bytes.startsWith("0    ->0\r\n"));
    QVERIFY(bytes.contains("\r\n40    ->1\r\n"));       // bleep code as its digit's value
    QVERIFY(bytes.contains("\r\n105    ->1001\r\n"));
    QVERIFY(bytes.contains("\r\n151    ->a -> b, \xE9 \r\n"));
    QVERIFY(bytes.endsWith("\r\n249    ->\r\n"));

    UnitItems other;
    other.store(5, QByteArray(1, 9));
    QVERIFY(other.load(path));
    QCOMPARE(other.fileContents(), bytes);
}

void TestUnit::stateFileReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("unit.cfg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("7    ->20\r\n\r\n40    ->10\r\n100    ->abc\r\n 12 ->1.5\r\n150    ->Tekst -> pijl\r\n"
               "10    ->300\r\n260    ->1\r\n");
    file.close();

    UnitItems items;
    QStringList problems;
    QVERIFY(items.load(path, &problems));
    QCOMPARE(items.value(7), QByteArray(1, 20));
    QCOMPARE(items.value(40), QByteArray("A"));
    QCOMPARE(items.value(100), hex("00 00"));           // no number: 0
    QCOMPARE(items.value(12), QByteArray(1, 2));         // 1.5 to the even neighbour
    QCOMPARE(items.value(150), QByteArray("Tekst -> pijl"));
    QCOMPARE(items.value(10), UnitItems::factoryValue(10)); // 300 does not fit a CHAR item
    QCOMPARE(items.value(41), UnitItems::factoryValue(41)); // not named: unchanged
    QCOMPARE(problems.size(), 2);                           // item 10 and the line for 260
    QVERIFY(!items.load(dir.filePath(QStringLiteral("missing.cfg"))));
}

void TestUnit::requestFraming()
{
    FastUnit unit;
    const QByteArray read5 = hex("01 09 01 00 02 77 1F 05 1E 3A");
    const QByteArray answer5 = hex("01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E 9A");

    // The wake-up sequence and noise before a request get no answer of their own.
    QCOMPARE(hexOf(unit.exchange(hex("01 01 80 7F") + read5)), hexOf(answer5));
    QCOMPARE(hexOf(unit.exchange(hex("FF 00 7F") + read5)), hexOf(answer5));
    QCOMPARE(unit.session.requestCount(), 2);

    // A request that comes in pieces is answered once, when it is whole.
    unit.sent.clear();
    for (char c : read5)
        unit.session.feed(QByteArray(1, c));
    QCOMPARE(unit.sent.size(), 1);
    QCOMPARE(hexOf(unit.all()), hexOf(answer5));
}

void TestUnit::faults_data()
{
    QTest::addColumn<QString>("fault");
    for (const QString &name : UnitFaultPlan::names()) {
        if (name != QLatin1String("slow"))
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestUnit::faults()
{
    QFETCH(QString, fault);

    FastUnit unit(fault + QStringLiteral(":2"));
    const QByteArray read6 = readRequest(6);
    const QByteArray good = unit.exchange(read6);
    const QByteArray bad = unit.exchange(read6);
    QCOMPARE(hexOf(unit.exchange(read6)), hexOf(good)); // only every 2nd request
    QCOMPARE(hexOf(good), QStringLiteral("01 0D 01 00 06 57 1F 06 1E 77 1F 00 1E 9D"));

    const RxBuffer rx = rxOf(bad);
    switch (UnitFaultPlan::parse(fault)->fault) {
    case UnitFault::NoAnswer:
        QVERIFY(bad.isEmpty());
        break;
    case UnitFault::Nack:
        QCOMPARE(rx[Conversions::kAckOffset], qint16(0x15));
        QVERIFY(UnitResponder::checksumOk(bad));
        break;
    case UnitFault::BadChecksum:
        QCOMPARE(bad.size(), good.size());
        QCOMPARE(rx[Conversions::kAckOffset], qint16(0x06));
        QVERIFY(!UnitResponder::checksumOk(bad));
        break;
    case UnitFault::Noise:
        QVERIFY(bad.endsWith(good));
        QVERIFY(bad.size() > good.size());
        QVERIFY(!bad.left(bad.size() - good.size()).contains('\x01'));
        break;
    case UnitFault::CutShort:
        QVERIFY(good.startsWith(bad));
        QVERIFY(bad.size() >= 2 && bad.size() < good.size());
        break;
    case UnitFault::TooLong:
        QVERIFY(bad.size() > 98);
        QCOMPARE(quint8(bad.at(1)) + 1, int(bad.size()));
        QVERIFY(UnitResponder::checksumOk(bad));
        break;
    case UnitFault::OtherItem:
        QCOMPARE(Conversions::ReplyItemNumber(rx), 7);
        QCOMPARE(Conversions::ReplyToValue(rx, 7), Values::text(QStringLiteral("40")));
        break;
    case UnitFault::Text:
        QCOMPARE(hexOf(bad.left(good.size())), hexOf(good));
        QCOMPARE(bad.mid(good.size()), UnitFaults::textLine());
        QVERIFY(bad.endsWith("\r\n"));
        break;
    case UnitFault::WrongValue:
        QCOMPARE(hexOf(bad), hexOf(good)); // it spoils writes only
        break;
    case UnitFault::Slow:
        break;
    }
}

void TestUnit::slowAndPacedAnswersTrickle()
{
    for (const bool slow : {false, true}) {
        UnitItems items;
        UnitSession session(items);
        UnitSession::Options options;
        options.paced = true;
        options.thinkMs = 1;
        if (slow)
            options.faults.add({UnitFault::Slow, 1});
        session.setOptions(options);
        QList<QByteArray> pieces;
        session.setSink([&](const QByteArray &bytes) { pieces << bytes; });

        session.feed(readRequest(5));
        QVERIFY(pieces.isEmpty()); // the unit thinks before it answers
        QTRY_VERIFY_WITH_TIMEOUT(session.isQuiet(), 10000);
        QCOMPARE(hexOf(pieces.join()), QStringLiteral("01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E 9A"));
        // A line carries one byte at a time: the first goes out alone.
        QCOMPARE(pieces.first().size(), 1);
        if (slow)
            QCOMPARE(pieces.size(), 14);
    }
}

void TestUnit::faultOptionParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("every");

    QTest::newRow("nack") << "nack" << true << 1;
    QTest::newRow("no-answer:3") << "no-answer:3" << true << 3;
    QTest::newRow("slow:0") << "slow:0" << false << 0;
    QTest::newRow("long:x") << "long:x" << false << 0;
    QTest::newRow("bogus") << "bogus" << false << 0;
}

void TestUnit::faultOptionParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, every);

    QString why;
    const auto rule = UnitFaultPlan::parse(text, &why);
    QCOMPARE(rule.has_value(), ok);
    if (ok)
        QCOMPARE(rule->every, every);
    else
        QVERIFY(!why.isEmpty());
}

QTEST_GUILESS_MAIN(TestUnit)
#include "tst_unit.moc"
