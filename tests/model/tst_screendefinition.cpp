#include "testsupport/TestItemControls.h"
#include "binding/Startup.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QtTest>

using namespace ScreenDefinition;

class TestScreenDefinition : public QObject
{
    Q_OBJECT

private slots:
    void choiceLists_data();
    void choiceLists();
    void legends_data();
    void legends();
    void fillChoiceLists();
};

void TestScreenDefinition::choiceLists_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("item 0") << 0 << 4 << "None" << "Protocol debug info";
    QTest::newRow("item 5") << 5 << 11 << "Not limited" << "Address length: 10 digits";
    QTest::newRow("item 7") << 7 << 151 << "Not limited" << "Length: 150 characters";
    QTest::newRow("item 10") << 10 << 5 << "1200 baud" << "19200 baud";
    QTest::newRow("item 11") << 11 << 2 << "7 bits" << "8 bits";
    QTest::newRow("item 12") << 12 << 2 << "1 stopbit" << "2 stopbits";
    QTest::newRow("item 13") << 13 << 3 << "no parity" << "odd parity";
    QTest::newRow("item 14") << 14 << 60 << "Espa In Watchdog 0 sec" << "Espa In Watchdog 59 sec";
    QTest::newRow("item 30") << 30 << 5 << "1200 baud" << "19200 baud";
    QTest::newRow("item 31") << 31 << 2 << "7 bits" << "8 bits";
    QTest::newRow("item 32") << 32 << 2 << "1 stopbit" << "2 stopbits";
    QTest::newRow("item 33") << 33 << 3 << "no parity" << "odd parity";
    QTest::newRow("item 34") << 34 << 3 << "No HandShake" << "CTS/RTS HandShake";
    QTest::newRow("item 35") << 35 << 2 << "Request for status" << "No request for status (Fire and forget)";
    QTest::newRow("item 40") << 40 << 16 << "BleepCode: 0" << "BleepCode: F";
    QTest::newRow("item 78") << 78 << 16 << "BleepCode: 0" << "BleepCode: F";
    for (int item : {1, 6, 15, 25, 36, 39, 79, 100, 150, -1})
        QTest::newRow(qPrintable(QStringLiteral("item %1").arg(item))) << item << 0 << "" << "";
}

void TestScreenDefinition::choiceLists()
{
    QFETCH(int, item);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QStringList list = choiceList(item);
    QCOMPARE(list.size(), count);
    if (count == 0)
        return;
    QCOMPARE(list.first(), first);
    QCOMPARE(list.last(), last);
    QCOMPARE(list.removeDuplicates(), 0);
}

void TestScreenDefinition::legends_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("legend");
    QTest::addColumn<int>("typing"); // most characters a text box takes, 0 for no limit
    const QList<std::tuple<int, QString, int>> rows = {
        {0, "Diagnostic level:", 0},
        {1, "Diagnose Level:", 0},
        {14, "ESPA In Time-out:", 0},
        {15, "Paging leverancier:", 0},
        {16, "Diagnose Level:", 0},
        {25, "Bleepcode bij ComStoring BMC:", 0},
        {35, "ESPA out status request:", 0},
        {39, "Diagnose Level:", 0},
        {40, "BleepCode  ", 0},
        {41, "BleepCode Entry 2", 0},
        {78, "BleepCode Entry 39", 0},
        {100, "Niet in gebruik.", 0},
        {104, "Int instelling 1", 0},
        {105, "EventNr", 0},
        {106, "EventId 2", 0},
        {143, "EventId 39", 0},
        {150, "Op te roepen pager bij ComStoring BMC:", 10},
        {154, "Op te roepen pager bij ComStoring BMC:", 10},
        {155, "Pager-adres  ", 15},
        {156, "PagerAdres 2", 15},
        {193, "PagerAdres 39", 15},
        {194, "Vaste voorlooptekst  ", 15},
        {195, "Vaste voorlooptekst 2", 15},
        {232, "Vaste voorlooptekst 39", 15},
        {79, "", 0},
        {144, "", 0},
        {233, "", 0},
        {250, "", 0},
    };
    for (const auto &[item, legend, typing] : rows)
        QTest::newRow(qPrintable(QStringLiteral("item %1").arg(item))) << item << legend << typing;
}

void TestScreenDefinition::legends()
{
    QFETCH(int, item);
    QFETCH(QString, legend);
    QCOMPARE(ScreenDefinition::legend(item), legend);
    TestItemControls controls;
    QCOMPARE(controls.legendText(item), legend);
    QCOMPARE(controls.legendVisible(item), !legend.isEmpty());
    QFETCH(int, typing);
    QCOMPARE(typingLimit(item), typing);
}

void TestScreenDefinition::fillChoiceLists()
{
    TestItemControls controls;
    // Leftovers from an earlier fill must not survive.
    controls.addComboEntry(1, QStringLiteral("stale"));
    controls.addComboEntry(0, QStringLiteral("stale"));
    controls.addTestBleepEntry(QStringLiteral("stale"));

    for (int run = 1; run <= 2; ++run) {
        Startup::FillChoiceLists(controls);
        for (int n = 0; n <= kLastComboItem; ++n) {
            const bool active = Items::isListItem(n) || Items::isHexDigitItem(n);
            QCOMPARE(controls.comboVisible(n), active);
            QCOMPARE(controls.comboEntries(n), choiceList(n));
            QCOMPARE(controls.comboIndex(n), -1);
            if (n <= 40)
                QCOMPARE(controls.singleButtonsVisible(n), Items::isListItem(n));
            else
                QVERIFY(controls.singleButtonsVisible(n)); // left as they were
        }
        QCOMPARE(controls.comboCount(7), 151);
        QCOMPARE(controls.comboEntries(41), bleepCodeEntries());
        QCOMPARE(controls.testBleepEntries(), bleepCodeEntries());
        QCOMPARE(controls.testBleepIndex(), 1);
        QCOMPARE(controls.testBleepEntries().at(1), QStringLiteral("BleepCode: 1"));
        controls.setComboIndex(5, 3);
        controls.setTestBleepIndex(7);
    }
    const QStringList tail = bleepCodeEntries().mid(10);
    QCOMPARE(tail, (QStringList{"BleepCode: A", "BleepCode: B", "BleepCode: C", "BleepCode: D",
                                "BleepCode: E", "BleepCode: F"}));
}

QTEST_APPLESS_MAIN(TestScreenDefinition)
#include "tst_screendefinition.moc"
