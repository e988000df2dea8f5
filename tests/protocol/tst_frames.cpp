#include "EngineWorld.h"
#include "protocol/ReplyCollector.h"

Q_DECLARE_METATYPE(ReplyCollector::Step)

#include <QTest>

using namespace Qt::StringLiterals;

// Every request goes out byte for byte through the real send path.
class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void writeRequest_data();
    void writeRequest();
    void readRequest_data();
    void readRequest();
    void refusedWrites_data();
    void refusedWrites();
    void wakeUpIsSentUnchanged();
    void checksumOfFrames_data();
    void checksumOfFrames();
    void replyCollector_data();
    void replyCollector();
    void replyMeaning_data();
    void replyMeaning();
};

static QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

void TestFrames::writeRequest_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("010D..05 1E 77 1F 03 1E 9F") << 5 << Values::integer(3)
                                               << hex("010D0100025 71F051E771F031E9F");
    QTest::newRow("010E..2C 01 1E 15") << 100 << Values::number(300) << hex("010E010002571F641E771F2C011E15");
    QTest::newRow("010D..00 1E A7") << 0 << Values::integer(0) << hex("010D010002571F001E771F001E A7");
    QTest::newRow("010D..A6 1E 00 CHK zero") << 1 << Values::integer(166) << hex("010D010002571F011E771FA61E00");
    QTest::newRow("010C empty text") << 150 << Values::text(QString()) << hex("010C010002571F961E771F1E12");
    QTest::newRow("item 40 value 10 -> 41") << 40 << Values::integer(10)
                                            << hex("01 0D 01 00 02 57 1F 28 1E 77 1F 41 1E 3E");
    QTest::newRow("item 41 value 15 -> 46") << 41 << Values::integer(15)
                                            << hex("01 0D 01 00 02 57 1F 29 1E 77 1F 46 1E 38");
    QTest::newRow("INT 256 -> 00 01") << 101 << Values::text(QStringLiteral(" 256"))
                                      << hex("01 0E 01 00 02 57 1F 65 1E 77 1F 00 01 1E 40");
    QTest::newRow("INT 1000 -> E8 03") << 100 << Values::number(1000)
                                       << hex("01 0E 01 00 02 57 1F 64 1E 77 1F E8 03 1E 57");
    QTest::newRow("TEKST 0x80 euro") << 160 << Values::text(QStringLiteral("A\u20AC"))
                                     << hex("01 0E 01 00 02 57 1F A0 1E 77 1F 41 80 1E 45");
    QTest::newRow("CHAR 2.5 rounds to 2") << 13 << Values::number(2.5)
                                          << hex("01 0D 01 00 02 57 1F 0D 1E 77 1F 02 1E 98");
}

void TestFrames::writeRequest()
{
    QFETCH(int, item);
    QFETCH(Value, value);
    QFETCH(QByteArray, frame);
    EngineWorld w;
    QCOMPARE(w.engine().SendWriteRequest(item, value), 1);
    QCOMPARE(w.port.takeWritten().toHex(' '), frame.toHex(' '));
}

void TestFrames::readRequest_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01 09 .. 05 1E 3A") << 5 << hex("010901000277 1F051E3A");
    QTest::newRow("read 249") << 249 << hex("01 09 01 00 02 77 1F F9 1E 46");
}

void TestFrames::readRequest()
{
    QFETCH(int, item);
    QFETCH(QByteArray, frame);
    EngineWorld w;
    QCOMPARE(w.engine().SendReadRequest(item), 1);
    QCOMPARE(w.port.takeWritten().toHex(' '), frame.toHex(' '));
    QCOMPARE(w.engine().SendReadRequest(-1), -1);
    QVERIFY(w.port.takeWritten().isEmpty());
}

void TestFrames::refusedWrites_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<Value>("value");
    QTest::addColumn<int>("result");
    QTest::newRow("hex item 300") << 45 << Values::integer(300) << -1;
    QTest::newRow("hex item 256") << 40 << Values::integer(256) << -1;
    QTest::newRow("list item nothing chosen") << 5 << Values::integer(-1) << -1;
    QTest::newRow("CHAR 256") << 20 << Values::integer(256) << -1;
    QTest::newRow("INT -1") << 100 << Values::integer(-1) << -1;
    QTest::newRow("INT 40000") << 100 << Values::number(40000) << -1;
    QTest::newRow("text 244 chars") << 200 << Values::text(QString(244, u'x')) << -1;
    QTest::newRow("text with Greek letter") << 200 << Values::text(QStringLiteral("\u03A9")) << -1;
    QTest::newRow("text with 0x9D, undefined in Windows-1252") << 200 << Values::text(QStringLiteral("a\u009D")) << -1;
    QTest::newRow("negative item") << -1 << Values::integer(0) << -1;
    QTest::newRow("item 250") << 250 << Values::integer(0) << 0;
}

void TestFrames::refusedWrites()
{
    QFETCH(int, item);
    QFETCH(Value, value);
    QFETCH(int, result);
    EngineWorld w;
    QCOMPARE(w.engine().SendWriteRequest(item, value), result);
    QVERIFY(w.port.takeWritten().isEmpty());
}

void TestFrames::wakeUpIsSentUnchanged()
{
    EngineWorld w;
    w.engine().SendWakeUp();
    QCOMPARE(w.port.takeWritten(), hex("0101807F"));
    QCOMPARE(EngineProbe(w.engine()).WaitTicks(), qint16(10));
}

void TestFrames::checksumOfFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01 06 01 00 02 52 A4 reset") << hex("01060100025 2A4");
    QTest::newRow("01 06 01 00 02 32 C4 ask position") << hex("010601000232C4");
    QTest::newRow("pager call 1234 bleep 1")
        << hex("011401000241 1F301E311F313233341E331F311E61");
}

void TestFrames::checksumOfFrames()
{
    QFETCH(QByteArray, frame);
    QCOMPARE(Frames::complete(frame.left(frame.size() - 1)), frame);
    unsigned sum = 0;
    for (char c : frame)
        sum += quint8(c);
    QCOMPARE(sum % 256, 0u);
    QCOMPARE(Frames::resetBody() + char(0xA4), hex("010601000252A4"));
    QCOMPARE(Frames::complete(Frames::askBufferPositionBody()), hex("010601000232C4"));
}

namespace {

// A frame's rows are named by their hex; long ones by their first bytes,
// their length and their last byte.
QString hexName(const QByteArray &bytes)
{
    if (bytes.size() <= 8)
        return QString::fromLatin1(bytes.toHex(' ')).toUpper();
    return QString::fromLatin1(bytes.first(2).toHex(' ')).toUpper()
        + QStringLiteral(" .. (%1 bytes) .. ").arg(bytes.size())
        + QString::fromLatin1(bytes.last(1).toHex()).toUpper();
}

} // namespace

void TestFrames::replyCollector_data()
{
    QTest::addColumn<QByteArray>("bytes"); // fed one at a time; every step before the last is Pending
    QTest::addColumn<ReplyCollector::Step>("last");
    QTest::addColumn<int>("count"); // bytes kept
    using Step = ReplyCollector::Step;
    auto row = [](const QByteArray &bytes, Step last, int count) {
        QTest::newRow(qPrintable(hexName(bytes))) << bytes << last << count;
    };
    // Bytes before SOH are dropped; SOH starts the answer; LEN is kept.
    row(hex("41"), Step::Pending, 0);
    row(hex("01"), Step::Pending, 1);
    row(hex("01 04"), Step::Pending, 2);
    row(hex("01 04 06 00"), Step::Pending, 4);
    // Whole at position LEN; the checksum decides.
    row(hex("01 04 06 00 F5"), Step::Complete, 5);
    row(hex("41 15 01 04 06 00 F5"), Step::Complete, 5);
    row(hex("01 04 06 00 F6"), Step::ChecksumError, 5);
    // SOH within an answer is data.
    row(hex("01 04 01 00 FA"), Step::Complete, 5);
    // A LEN below 2 ends with the first byte after it.
    row(hex("01 00 FF"), Step::Complete, 3);
    row(hex("01 01 FE"), Step::Complete, 3);
    row(hex("01 00 FE"), Step::ChecksumError, 3);
    // The longest answer, 98 bytes (LEN 97); one more is too long, whatever LEN says.
    row(hex("01 61") + QByteArray(95, 'x') + hex("16"), Step::Complete, 98);
    row(hex("01 62") + QByteArray(97, 'x'), Step::TooLong, 99);
    row(hex("01 FF") + QByteArray(97, 'x'), Step::TooLong, 99);
}

void TestFrames::replyCollector()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ReplyCollector::Step, last);
    QFETCH(int, count);
    ReplyCollector collector;
    ReplyCollector::Step step = ReplyCollector::Step::Pending;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QCOMPARE(step, ReplyCollector::Step::Pending);
        step = collector.feed(quint8(bytes[i]));
    }
    QCOMPARE(step, last);
    QCOMPARE(collector.count(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(collector.buffer()[i], qint16(quint8(bytes[bytes.size() - count + i])));
    QCOMPARE(collector.buffer()[count], qint16(-1));
    // Cleared, it waits for SOH again.
    collector.clear();
    QCOMPARE(collector.stage(), ReplyCollector::Stage::Start);
    QCOMPARE(collector.count(), 0);
}

// What a whole answer means, from its bytes alone: acknowledged or not, the
// item a read answer names and the value it carries.
void TestFrames::replyMeaning_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<int>("item");   // -1: names no item of 0-249
    QTest::addColumn<QString>("value"); // "none": no value the item can hold
    auto row = [](const char *h, bool ack, int item, const QString &value) {
        QTest::newRow(h) << hex(h) << ack << item << value;
    };
    row("01 05 01 00 06 F3", true, -1, u"none"_s);
    row("01 05 01 00 15 E4", false, -1, u"none"_s);
    row("01 06 01 00 06 57 9B", true, -1, u"none"_s);
    row("01 0D 01 00 06 77 1F 05 1E 77 1F 07 1E 77", true, 5, u"7"_s);
    row("01 0D 01 00 06 77 1F 07 1E 77 1F 14 1E 68", true, 7, u"20"_s);
    row("01 0E 01 00 06 77 1F 69 1E 77 1F 34 12 1E D3", true, 105, u" 4660"_s);
    row("01 0F 01 00 06 77 1F 9C 1E 77 1F 61 62 63 1E BF", true, 156, u"abc"_s);
    row("01 0C 01 00 06 77 1F 96 1E 77 1F 1E EE", true, 150, QString());
    // An item without a conversion, and one beyond 249.
    row("01 0D 01 00 06 77 1F 03 1E 77 1F 01 1E 7F", true, 3, u"none"_s);
    row("01 0D 01 00 06 77 1F FA 1E 77 1F 01 1E 88", true, -1, u"none"_s);
}

void TestFrames::replyMeaning()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, acknowledged);
    QFETCH(int, item);
    QFETCH(QString, value);
    ReplyCollector collector;
    ReplyCollector::Step step = ReplyCollector::Step::Pending;
    for (char c : std::as_const(bytes))
        step = collector.feed(quint8(c));
    QCOMPARE(step, ReplyCollector::Step::Complete);
    const Frames::Reply reply = Frames::interpretReply(collector.buffer());
    QCOMPARE(reply.acknowledged, acknowledged);
    QCOMPARE(reply.item, item);
    const bool none = Values::isNumber(reply.value) && Values::numberOf(reply.value) < 0;
    QCOMPARE(none ? u"none"_s : Values::textOf(reply.value), value);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
