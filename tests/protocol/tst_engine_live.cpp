#include "LiveWorld.h"

#include "model/Items.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The engine against the simulated unit through the real serial path, on the
// engine's own 25 ms timer.
class TestEngineLive : public QObject
{
    Q_OBJECT

private slots:
    void readAllAndWriteAll();
    void singleItems_data();
    void singleItems();
    void pagerCallAndRestart();
    void readAllWithFaults_data();
    void readAllWithFaults();
    void writeWithFaults_data();
    void writeWithFaults();
};

static UnitSession::Options withFault(const QString &fault)
{
    UnitSession::Options o = LiveWorld::fastOptions();
    if (!fault.isEmpty())
        o.faults.add(*UnitFaultPlan::parse(fault));
    return o;
}

void TestEngineLive::readAllAndWriteAll()
{
    LiveWorld w;
    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet());
    for (int item : Items::kBulkItems)
        QCOMPARE(Values::textOf(w.stores().unitValues[item]), w.unitItems.valueText(item));
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2), (QStringList{u"Reading of all settings was successfull."_s, u"Read all settings: 14 read"_s}));

    // Change every bulk item on the screen, then write them all.
    for (int item : Items::kBulkItems)
        w.controls().setComboIndex(item, w.controls().comboCount(item) - 1);
    w.engine().requestWriteAll();
    QVERIFY(w.runUntilQuiet());
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2), (QStringList{u"Programming of all settings was successfull."_s, u"Write all settings: 14 written"_s}));
    for (int item : Items::kBulkItems)
        QCOMPARE(w.unitItems.valueText(item).toInt(), w.controls().comboCount(item) - 1);
}

void TestEngineLive::singleItems_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("stored"); // as the unit's settings file writes it
    QTest::newRow("CHAR 13") << 13 << u"2"_s << u"2"_s;
    QTest::newRow("hex digit 45") << 45 << u"11"_s << u"11"_s;
    QTest::newRow("INT 110") << 110 << u"4660"_s << u"4660"_s;
    QTest::newRow("TEKST 160 with euro") << 160 << u"Ward 3 \u20AC ok"_s << u"Ward 3 \u20AC ok"_s;
}

void TestEngineLive::singleItems()
{
    QFETCH(int, item);
    QFETCH(QString, screen);
    QFETCH(QString, stored);
    LiveWorld w;
    if (item < 100)
        w.controls().setComboIndex(item, screen.toInt());
    else
        w.controls().setText(item, screen);
    w.engine().requestWrite(item);
    QVERIFY(w.runUntilQuiet());
    QCOMPARE(w.unitItems.valueText(item), stored);
    QVERIFY(w.view().progress().endsWith(u" -> Saved.\r\n"_s));

    // Read it back over a cleared screen.
    w.stores().workingValues[item] = Values::integer(-1);
    w.engine().requestRead(item);
    QVERIFY(w.runUntilQuiet());
    QCOMPARE(Values::textOf(w.stores().unitValues[item]).trimmed(), stored);
    QCOMPARE(item < 100 ? QString::number(w.controls().comboIndex(item)) : w.controls().text(item), screen);
}

void TestEngineLive::pagerCallAndRestart()
{
    LiveWorld w;
    QList<UnitEvent> events;
    w.unit.session().setEventHook([&](const UnitEvent &e) { events << e; });
    w.view().setTestPagerAddress(u"1234"_s);
    w.view().setTestPagerDisplayInfo(u"Kamer 12"_s);
    w.engine().requestPagerCall();
    QVERIFY(w.runUntilQuiet());
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2), (QStringList{u"STATUS: Calling pager via Tessaro succesfull."_s, u"Test call sent"_s}));
    QVERIFY(std::any_of(events.begin(), events.end(), [](const UnitEvent &e) {
        return e.kind == UnitEvent::Kind::PagerCall && e.text.contains(u"1234"_s) && e.text.contains(u"Kamer 12"_s);
    }));

    w.engine().requestRestart();
    QVERIFY(w.runUntilQuiet());
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2), (QStringList{u"STATUS: RESET command send to the converter."_s, u"Restart acknowledged by the unit"_s}));
    QVERIFY(std::any_of(events.begin(), events.end(), [](const UnitEvent &e) { return e.kind == UnitEvent::Kind::Reset; }));
}

void TestEngineLive::readAllWithFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("succeeds");
    // Every second answer spoiled: each item gets through on its retry.
    QTest::newRow("no answer, every 2nd") << u"no-answer:2"_s << true;
    QTest::newRow("bad checksum, every 2nd") << u"checksum:2"_s << true;
    QTest::newRow("cut short, every 2nd") << u"short:2"_s << true;
    QTest::newRow("noise before SOH") << u"noise"_s << true;
    QTest::newRow("slow answers") << u"slow"_s << true;
    QTest::newRow("unsolicited text") << u"text"_s << true;
    QTest::newRow("too long, every 3rd") << u"long:3"_s << true;
    // Always spoiled: three counted failures abort the transfer.
    QTest::newRow("bad checksum always") << u"checksum"_s << false;
    QTest::newRow("no answer always") << u"no-answer"_s << false;
}

void TestEngineLive::readAllWithFaults()
{
    QFETCH(QString, fault);
    QFETCH(bool, succeeds);
    LiveWorld w(withFault(fault), 2);
    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(60000));
    QCOMPARE(w.logLines().contains(u"Reading of all settings was successfull."_s), succeeds);
    QCOMPARE(w.view().messages().isEmpty(), succeeds);
    if (succeeds) {
        for (int item : Items::kBulkItems)
            QCOMPARE(Values::textOf(w.stores().unitValues[item]), w.unitItems.valueText(item));
    } else {
        QCOMPARE(w.view().messages().first().text, u"ERROR reading settings from the converter.\r\nReading is aborted!"_s);
    }
}

void TestEngineLive::writeWithFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<bool>("stored");
    QTest::newRow("NACK always") << u"nack"_s << u" -> program ERROR NACK.\r\n\r\nCancelled!\r\n"_s << false;
    QTest::newRow("cut short once in two") << u"short:2"_s << u" -> Saved.\r\n"_s << true;
    QTest::newRow("answer naming another item") << u"other-item"_s << u" -> Saved.\r\n"_s << true;
}

void TestEngineLive::writeWithFaults()
{
    QFETCH(QString, fault);
    QFETCH(QString, piece);
    QFETCH(bool, stored);
    LiveWorld w(withFault(fault), 2);
    w.controls().setText(170, u"Brandmelding"_s);
    w.engine().requestWrite(170);
    QVERIFY(w.runUntilQuiet(30000));
    QVERIFY2(w.view().progress().endsWith(piece), qPrintable(w.view().progress()));
    if (stored)
        QCOMPARE(w.unitItems.valueText(170), u"Brandmelding"_s);
}

QTEST_GUILESS_MAIN(TestEngineLive)
#include "tst_engine_live.moc"
