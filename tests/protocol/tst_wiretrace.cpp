#include "protocol/Frames.h"
#include "protocol/WireTrace.h"

#include <QLoggingCategory>
#include <QTest>

// The frame trace: bytes one at a time, out (">") and in ("<"), grouped and decoded.
class TestWireTrace : public QObject
{
    Q_OBJECT

private slots:
    void decodedLines_data();
    void decodedLines();
    void linesCarryTimeBytesAndReachTheLoggingCategory();
};

namespace {

using Direction = WireTrace::Direction;

// "> 01 09 ... < 01 0D ... +": ">" sends, "<" receives, "+" the checksum of
// the bytes since the last direction mark.
void feed(WireTrace &trace, const QString &script)
{
    Direction direction = Direction::Out;
    QByteArray segment;
    for (const QString &token : script.split(u' ', Qt::SkipEmptyParts)) {
        if (token == u">" || token == u"<") {
            direction = token == u">" ? Direction::Out : Direction::In;
            segment.clear();
            continue;
        }
        const quint8 byte = token == u"+" ? Frames::checksumFor(segment) : quint8(token.toUInt(nullptr, 16));
        segment.append(char(byte));
        trace.take(direction, byte);
    }
    trace.flush();
}

QStringList decode(const QString &script)
{
    QStringList lines;
    WireTrace trace([] { return QDateTime(); });
    trace.setListener([&lines](const WireTrace::Line &line) {
        lines << (line.direction == Direction::Out ? QStringLiteral("TX ") : QStringLiteral("RX ")) + line.text;
    });
    feed(trace, script);
    return lines;
}

const QString kReadItem5 = QStringLiteral("> 01 09 01 00 02 77 1F 05 1E 3A");

} // namespace

void TestWireTrace::decodedLines_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("> 0109..051E3A") << kReadItem5 << QStringList{"TX read item 5"};
    QTest::newRow("> 0109..051E3A < 010D..06571F051E771F041E") << kReadItem5 + " < 01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E +"
                                                             << QStringList{"TX read item 5", "RX answer item 5 = 4"};
    QTest::newRow("> 010D..051E771F031E9F < 0109..06571F051E")
        << "> 01 0D 01 00 02 57 1F 05 1E 77 1F 03 1E 9F < 01 09 01 00 06 57 1F 05 1E +"
        << QStringList{"TX write item 5 = 3", "RX ACK"};
    QTest::newRow("> 010D..0E1E771F1E1E") << "> 01 0D 01 00 02 57 1F 0E 1E 77 1F 1E 1E +"
                                          << QStringList{"TX write item 14 = 30"};
    QTest::newRow("> 010E..641E771F2C011E15 < 0105..15")
        << "> 01 0E 01 00 02 57 1F 64 1E 77 1F 2C 01 1E 15 < 01 05 01 00 15 +"
        << QStringList{"TX write item 100 = 300", "RX NACK"};
    QTest::newRow("> 010C..961E771F1E12") << "> 01 0C 01 00 02 57 1F 96 1E 77 1F 1E 12"
                                          << QStringList{"TX write item 150 = \"\""};
    QTest::newRow("> 010D..281E771F411E") << "> 01 0D 01 00 02 57 1F 28 1E 77 1F 41 1E +"
                                          << QStringList{"TX write item 40 = 10"};
    QTest::newRow("> 0109..641E < 010E..771F2C011E")
        << "> 01 09 01 00 02 77 1F 64 1E + < 01 0E 01 00 06 57 1F 64 1E 77 1F 2C 01 1E +"
        << QStringList{"TX read item 100", "RX answer item 100 = 300"};
    QTest::newRow("> 0109..971E < 010F..771F48690D1E")
        << "> 01 09 01 00 02 77 1F 97 1E + < 01 0F 01 00 06 57 1F 97 1E 77 1F 48 69 0D 1E +"
        << QStringList{"TX read item 151", "RX answer item 151 = \"Hi[CR]\""};
    QTest::newRow("> 0109..051E3A < 010D..041E00 bad CHK") << kReadItem5 + " < 01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E 00"
                                                           << QStringList{"TX read item 5", "RX checksum error"};
    QTest::newRow("> 0109..051E3A < 0105..15") << kReadItem5 + " < 01 05 01 00 15 +"
                                               << QStringList{"TX read item 5", "RX NACK"};
    QTest::newRow("> 0101807F") << "> 01 01 80 7F" << QStringList{"TX wake-up"};
    QTest::newRow("> 010105") << "> 01 01 05" << QStringList{"TX bad frame length", "TX stray bytes \"[ENQ]\""};
    QTest::newRow("< 0100") << "< 01 00" << QStringList{"RX bad frame length"};
    QTest::newRow("< 48656C6C6F0D0A") << "< 48 65 6C 6C 6F 0D 0A" << QStringList{"RX stray bytes \"Hello[CR][LF]\""};
    QTest::newRow("< 4142 0105..06") << "< 41 42 < 01 05 01 00 06 +" << QStringList{"RX stray bytes \"AB\"", "RX ACK"};
    QTest::newRow("> 0109.. < 010D0100 > 0109..") << kReadItem5 + " < 01 0D 01 00 " + kReadItem5
                                                  << QStringList{"TX read item 5", "RX incomplete frame", "TX read item 5"};
    QTest::newRow("< 010D01 at the end") << "< 01 0D 01" << QStringList{"RX incomplete frame"};
    QTest::newRow("> 0106..32C4 < 0109..06411F331E")
        << "> 01 06 01 00 02 32 C4 < 01 09 01 00 06 41 1F 33 1E +"
        << QStringList{"TX ask buffer position", "RX buffer position \"3\""};
    QTest::newRow("> 0106..52A4 < 0105..06") << "> 01 06 01 00 02 52 A4 < 01 05 01 00 06 +"
                                             << QStringList{"TX restart", "RX ACK"};
    QTest::newRow("> 0114..411F301E311F313233341E331F311E61")
        << "> 01 14 01 00 02 41 1F 30 1E 31 1F 31 32 33 34 1E 33 1F 31 1E 61"
        << QStringList{"TX pager call position \"0\", address \"1234\", bleep \"1\""};
}

void TestWireTrace::decodedLines()
{
    QFETCH(QString, script);
    QFETCH(QStringList, lines);
    QCOMPARE(decode(script), lines);
}

namespace {

QStringList g_logged;

void keepWireMessages(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QByteArrayView(context.category) == "tessaro.wire")
        g_logged << message;
}

} // namespace

void TestWireTrace::linesCarryTimeBytesAndReachTheLoggingCategory()
{
    // The time of a line is the clock's at its first byte.
    QDateTime now(QDate(2026, 12, 7), QTime(14, 5, 9, 123));
    QList<WireTrace::Line> lines;
    WireTrace trace([&now] { return now; });
    trace.setListener([&lines](const WireTrace::Line &line) { lines << line; });
    const QByteArray read = QByteArray::fromHex("010901000277 1F051E3A");

    QVERIFY(!WireTrace::loggingEnabled());
    QLoggingCategory::setFilterRules(QStringLiteral("tessaro.wire.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(keepWireMessages);
    for (int i = 0; i < read.size(); ++i) {
        trace.take(Direction::Out, quint8(read.at(i)));
        now = now.addMSecs(2);
    }
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0).time, QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9, 123)));
    QCOMPARE(lines.at(0).bytes, read);
    const QString expected = QStringLiteral("14:05:09.123 TX  read item 5                    01 09 01 00 02 77 1F 05 1E 3A");
    QCOMPARE(WireTrace::format(lines.at(0)), expected);
    QCOMPARE(g_logged, QStringList{expected});
}

QTEST_GUILESS_MAIN(TestWireTrace)
#include "tst_wiretrace.moc"
