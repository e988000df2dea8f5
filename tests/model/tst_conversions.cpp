#include "model/Conversions.h"
#include "model/DescribeValue.h"
#include "model/Items.h"
#include "model/Stores.h"

#include <QtTest>

using Conversions::Encoding;

namespace {

QString text(const QString &t) { return describe(Values::text(t)); }
const QString kUnreadable = describe(Values::integer(-1));

// An answer as it lies in the receive buffer: SOH, L at 1, the item at 7,
// the value bytes from 11 on; everything else never received.
RxBuffer answer(int item, int len, const QList<int> &valueBytes)
{
    RxBuffer rx;
    rx.fill(-1);
    rx[0] = 1;
    rx[Conversions::kLenOffset] = qint16(len);
    rx[Conversions::kItemOffset] = qint16(item);
    for (int i = 0; i < valueBytes.size(); ++i)
        rx[Conversions::kValueOffset + i] = qint16(valueBytes[i]);
    return rx;
}

QList<int> bytesOf(const QByteArray &b)
{
    QList<int> out;
    for (char c : b)
        out << quint8(c);
    return out;
}

QString hexRow(const char *prefix, int byte, int item)
{
    return QStringLiteral("%1 0x%2 item %3")
        .arg(QLatin1String(prefix), QString::number(byte, 16).toUpper().rightJustified(2, u'0'))
        .arg(item);
}

} // namespace

Q_DECLARE_METATYPE(Encoding::Status)

class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void replyCharAndInt_data();
    void replyCharAndInt();
    void replyTekst_data();
    void replyTekst();
    void encode_data();
    void encode();
    void stores();
};

// One value byte at 11 (CHAR) or two at 11, 12 (INT).
void TestConversions::replyCharAndInt_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QList<int>>("bytes");
    QTest::addColumn<QString>("expected");

    // Every list item: the limit is kept, one above becomes 0.
    const QList<QPair<int, int>> limits = {{0, 3},  {5, 10}, {7, 150}, {10, 4}, {11, 1},
                                           {12, 1}, {13, 2}, {14, 60}, {30, 4}, {31, 1},
                                           {32, 1}, {33, 2}, {34, 2},  {35, 1}};
    for (const auto &[item, limit] : limits) {
        QTest::newRow(qPrintable(hexRow("rx", limit, item))) << item << QList<int>{limit} << text(QString::number(limit));
        QTest::newRow(qPrintable(hexRow("rx", limit + 1, item))) << item << QList<int>{limit + 1} << text("0");
    }
    QTest::newRow("rx 0x00 item 0") << 0 << QList<int>{0} << text("0");
    QTest::newRow("rx 0xFF item 7") << 7 << QList<int>{255} << text("0");
    QTest::newRow("rx none item 5") << 5 << QList<int>{} << kUnreadable;
    QTest::newRow("rx 0x12C item 0") << 0 << QList<int>{300} << kUnreadable;

    // Hex-digit items: the character's digit value.
    const QList<QPair<int, int>> hex = {{0x2D, 15}, {0x46, 15}, {0x47, 0}, {0x00, 0}, {0x30, 0},
                                        {0x39, 9},  {0x41, 10}, {0x61, 10}, {0x66, 15}, {0x67, 0},
                                        {0x20, 0},  {0x80, 0},  {0xC1, 0}};
    for (const auto &[byte, digit] : hex)
        QTest::newRow(qPrintable(hexRow("rx", byte, 41))) << 41 << QList<int>{byte} << text(QString::number(digit));
    QTest::newRow("rx 0x37 item 40") << 40 << QList<int>{0x37} << text("7");
    QTest::newRow("rx 0x42 item 78") << 78 << QList<int>{0x42} << text("11");
    QTest::newRow("rx none item 41") << 41 << QList<int>{} << kUnreadable;

    // Items without a conversion, and numbers outside the items.
    for (int item : {1, 3, 36, 39, 79, 99, 149, 249, 250, -1, 255})
        QTest::newRow(qPrintable(QStringLiteral("rx 0x01 0x00 item %1").arg(item)))
            << item << QList<int>{1, 0} << kUnreadable;

    // INT: one blank, then the decimal value of high * 256 + low.
    QTest::newRow("rx 0x34 0x12 item 100") << 100 << QList<int>{0x34, 0x12} << text(" 4660");
    QTest::newRow("rx 0x00 0x00 item 120") << 120 << QList<int>{0, 0} << text(" 0");
    QTest::newRow("rx 0xFF 0x00 item 143") << 143 << QList<int>{0xFF, 0} << text(" 255");
    QTest::newRow("rx 0x00 0x01 item 100") << 100 << QList<int>{0, 1} << text(" 256");
    QTest::newRow("rx 0xFF 0x7F item 148") << 148 << QList<int>{0xFF, 0x7F} << text(" 32767");
    QTest::newRow("rx 0x00 0x80 item 100") << 100 << QList<int>{0, 0x80} << kUnreadable;
    QTest::newRow("rx 0xFF 0xFF item 100") << 100 << QList<int>{0xFF, 0xFF} << kUnreadable;
    QTest::newRow("rx 0x34 none item 100") << 100 << QList<int>{0x34} << kUnreadable;
    QTest::newRow("rx none 0x12 item 100") << 100 << QList<int>{-1, 0x12} << kUnreadable;
}

void TestConversions::replyCharAndInt()
{
    QFETCH(int, item);
    QFETCH(QList<int>, bytes);
    QFETCH(QString, expected);
    const RxBuffer rx = answer(item, 11 + int(bytes.size()) + 1, bytes);
    QCOMPARE(describe(Conversions::ReplyToValue(rx, item)), expected);
}

void TestConversions::replyTekst_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("len");
    QTest::addColumn<QByteArray>("bytes"); // from position 11 on
    QTest::addColumn<QString>("expected");

    const QByteArray full(90, 'x'); // positions 11..100, the whole rest of the buffer
    QTest::newRow("L 0x0C item 150") << 150 << 12 << QByteArray("ab") << text("");
    QTest::newRow("L 0x0B item 150") << 150 << 11 << QByteArray() << text("");
    QTest::newRow("L 0x0D item 150") << 150 << 13 << QByteArray("ab") << text("a");
    QTest::newRow("L 0x0F item 150") << 150 << 15 << QByteArray("abcde") << text("abc");
    QTest::newRow("L 0x0F item 248") << 248 << 15 << QByteArray("xyz") << text("xyz");
    QTest::newRow("L 0x61 item 200") << 200 << 97 << full << text(QString(85, u'x'));
    QTest::newRow("L 0x66 item 200") << 200 << 102 << full << text(QString(90, u'x'));
    QTest::newRow("L 0x67 item 200") << 200 << 103 << full << kUnreadable;
    QTest::newRow("L 0xFF item 200") << 200 << 255 << full << kUnreadable;
    QTest::newRow("L 0x10 item 155 cp1252") << 155 << 16 << QByteArray("\x80\xE9\x8A\x9F") << text(QStringLiteral("€éŠŸ"));
    QTest::newRow("L 0x0F item 150 missing") << 150 << 15 << QByteArray("ab") << kUnreadable;
    QTest::newRow("L 0x0F item 249") << 249 << 15 << QByteArray("abc") << kUnreadable;
}

void TestConversions::replyTekst()
{
    QFETCH(int, item);
    QFETCH(int, len);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(describe(Conversions::ReplyToValue(answer(item, len, bytesOf(bytes)), item)), expected);
}

void TestConversions::encode_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<Value>("value");
    QTest::addColumn<Encoding::Status>("status");
    QTest::addColumn<QByteArray>("bytes");

    const auto ok = Encoding::Status::Ok;
    const auto refused = Encoding::Status::Refused;
    const auto unsendable = Encoding::Status::Unsendable;
    const auto notSent = Encoding::Status::NotSent;
    using Values::integer, Values::number;
    const auto txt = [](const QString &t) { return Values::text(t); };

    // Hex-digit items send the first hexadecimal digit's character.
    QTest::newRow("item 45 int 10 -> 41") << 45 << integer(10) << ok << QByteArray("A");
    QTest::newRow("item 45 double 10 -> 41") << 45 << number(10) << ok << QByteArray("A");
    QTest::newRow("item 45 text 10 -> 41") << 45 << txt(" 10") << ok << QByteArray("A");
    QTest::newRow("item 40 int 0 -> 30") << 40 << integer(0) << ok << QByteArray("0");
    QTest::newRow("item 40 int 9 -> 39") << 40 << integer(9) << ok << QByteArray("9");
    QTest::newRow("item 40 int 15 -> 46") << 40 << integer(15) << ok << QByteArray("F");
    // Only the sixteen bleep codes go out: nothing chosen is not "F".
    QTest::newRow("item 40 int 16") << 40 << integer(16) << unsendable << QByteArray();
    QTest::newRow("item 78 int -1") << 78 << integer(-1) << unsendable << QByteArray();
    QTest::newRow("item 45 int 256 refused") << 45 << integer(256) << refused << QByteArray();
    QTest::newRow("item 45 int 300 refused") << 45 << integer(300) << refused << QByteArray();
    QTest::newRow("item 45 text 1e9 refused") << 45 << txt("1e9") << refused << QByteArray();

    // Other CHAR items send the number itself.
    QTest::newRow("item 1 int 167 -> A7") << 1 << integer(167) << ok << QByteArray("\xA7");
    // A list item sends one of its choices only.
    QTest::newRow("item 0 int 4, list ends at 3") << 0 << integer(4) << unsendable << QByteArray();
    QTest::newRow("item 14 text 60, list ends at 59") << 14 << txt("60") << unsendable << QByteArray();
    QTest::newRow("item 5 int 10 -> 0A") << 5 << integer(10) << ok << QByteArray("\x0A");
    QTest::newRow("item 0 int 0 -> 00") << 0 << integer(0) << ok << QByteArray(1, '\0');
    QTest::newRow("item 7 text 150 -> 96") << 7 << txt("150") << ok << QByteArray("\x96");
    QTest::newRow("item 7 double 2.5 -> 02") << 7 << number(2.5) << ok << QByteArray("\x02");
    QTest::newRow("item 7 double 3.5 -> 04") << 7 << number(3.5) << ok << QByteArray("\x04");
    QTest::newRow("item 99 int 255 -> FF") << 99 << integer(255) << ok << QByteArray("\xFF");
    QTest::newRow("item 1 empty -> 00") << 1 << Value() << ok << QByteArray(1, '\0');
    QTest::newRow("item 0 int -1 nothing chosen") << 0 << integer(-1) << unsendable << QByteArray();
    QTest::newRow("item 35 text -1 nothing chosen") << 35 << txt("-1") << unsendable << QByteArray();
    QTest::newRow("item 1 int -1") << 1 << integer(-1) << unsendable << QByteArray();
    QTest::newRow("item 1 int 256") << 1 << integer(256) << unsendable << QByteArray();
    QTest::newRow("item 5 double 40000") << 5 << number(40000) << unsendable << QByteArray();

    // INT: low byte, then high byte.
    QTest::newRow("item 100 int 1000 -> E8 03") << 100 << integer(1000) << ok << QByteArray("\xE8\x03");
    QTest::newRow("item 100 int 256 -> 00 01") << 100 << integer(256) << ok << QByteArray("\x00\x01", 2);
    QTest::newRow("item 100 int 0 -> 00 00") << 100 << integer(0) << ok << QByteArray(2, '\0');
    QTest::newRow("item 143 int 32767 -> FF 7F") << 143 << integer(32767) << ok << QByteArray("\xFF\x7F");
    QTest::newRow("item 100 text 4660 -> 34 12") << 100 << txt("  4660") << ok << QByteArray("\x34\x12");
    QTest::newRow("item 149 double 4660.4 -> 34 12") << 149 << number(4660.4) << ok << QByteArray("\x34\x12");
    QTest::newRow("item 100 text abc -> 00 00") << 100 << txt("abc") << ok << QByteArray(2, '\0');
    QTest::newRow("item 100 int -1") << 100 << integer(-1) << unsendable << QByteArray();
    QTest::newRow("item 100 double 32767.5") << 100 << number(32767.5) << unsendable << QByteArray();
    QTest::newRow("item 100 text 1e400") << 100 << txt("1e400") << unsendable << QByteArray();

    // TEKST: the text form, one byte per character.
    QTest::newRow("item 150 text AB -> 41 42") << 150 << txt("AB") << ok << QByteArray("AB");
    QTest::newRow("item 150 text empty") << 150 << txt("") << ok << QByteArray();
    QTest::newRow("item 232 int -1 -> 2D 31") << 232 << integer(-1) << ok << QByteArray("-1");
    QTest::newRow("item 249 double 1.5 -> 31 2E 35") << 249 << number(1.5) << ok << QByteArray("1.5");
    QTest::newRow("item 155 text -> 80 E9") << 155 << txt(QStringLiteral("€é")) << ok << QByteArray("\x80\xE9");
    QTest::newRow("item 150 text 243 chars") << 150 << txt(QString(243, u'z')) << ok << QByteArray(243, 'z');
    QTest::newRow("item 150 text 244 chars") << 150 << txt(QString(244, u'z')) << unsendable << QByteArray();
    QTest::newRow("item 156 text with RS") << 156 << txt(QStringLiteral("ab\x1e" "cd")) << unsendable << QByteArray();
    QTest::newRow("item 150 text with NUL") << 150 << txt(QString(QChar(0))) << unsendable << QByteArray();
    QTest::newRow("item 150 text with DEL") << 150 << txt(QStringLiteral("a\x7f")) << unsendable << QByteArray();
    QTest::newRow("item 150 text U+0100") << 150 << txt(QStringLiteral("a") + QChar(0x100)) << unsendable << QByteArray();

    // No item: nothing to send.
    QTest::newRow("item 250 int 1") << 250 << integer(1) << notSent << QByteArray();
    QTest::newRow("item 255 text x") << 255 << txt("x") << notSent << QByteArray();
    QTest::newRow("item -1 int 1") << -1 << integer(1) << notSent << QByteArray();
}

void TestConversions::encode()
{
    QFETCH(int, item);
    QFETCH(Value, value);
    QFETCH(Encoding::Status, status);
    QFETCH(QByteArray, bytes);
    const Encoding e = Conversions::encodeValueForUnit(item, value);
    QCOMPARE(int(e.status), int(status));
    QCOMPARE(e.bytes.toHex(' '), bytes.toHex(' '));
    QCOMPARE(e.problem.isEmpty(), status != Encoding::Status::Unsendable);
}

// Resets and copies cover the spare entry 250; clearing the requests does not.
void TestConversions::stores()
{
    Stores s;
    for (int i = 0; i < Items::kStoreSize; ++i) {
        QVERIFY(Values::isEmpty(s.fileValues[i]));
        QCOMPARE(describe(s.workingValues[i]), kUnreadable);
        QCOMPARE(describe(s.unitValues[i]), kUnreadable);
    }
    for (int i = 0; i < Items::kStoreSize; ++i)
        s.fileValues[i] = Values::text(QString::number(i));
    s.FileToWorkingValues();
    QVERIFY(s.workingValues == s.fileValues);
    std::get<QString>(s.fileValues[250]).append(u'x'); // a copy, not a shared entry
    QCOMPARE(describe(s.workingValues[250]), text("250"));
    s.WorkingToFileValues();
    QCOMPARE(describe(s.fileValues[250]), text("250"));
    s.unitValues = s.workingValues;
    s.ResetWorkingValues();
    QCOMPARE(describe(s.workingValues[250]), kUnreadable);
    QCOMPARE(describe(s.unitValues[250]), text("250"));
    s.ResetUnitValues();
    QCOMPARE(describe(s.unitValues[0]), kUnreadable);
    QCOMPARE(describe(s.unitValues[250]), kUnreadable);

    s.itemRequest.fill(Items::kWriteRequest);
    s.ClearRequestFlags();
    QCOMPARE(s.itemRequest[0], Items::kNoRequest);
    QCOMPARE(s.itemRequest[249], Items::kNoRequest);
    QCOMPARE(s.itemRequest[250], Items::kWriteRequest);
    QCOMPARE(s.pendingRequestCount(), 1);
    QVERIFY(s.clearAllRequests());
    QVERIFY(!s.clearAllRequests());
    QCOMPARE(s.pendingRequestCount(), 0);

    QList<int> bulk;
    for (int n = -1; n <= 251; ++n) {
        if (Items::IsBulkItem(n) == 1)
            bulk << n;
    }
    QCOMPARE(bulk, (QList<int>{0, 5, 7, 10, 11, 12, 13, 14, 30, 31, 32, 33, 34, 35}));
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
