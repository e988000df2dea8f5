#include "FakeUnit.h"

#include "binding/ModUnitUpdate.h"
#include "files/LeesIniFile.h"

#include <QDir>

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Outcome)

class TestInterface : public QObject
{
    Q_OBJECT

private slots:
    void readAllInOrder();
    void writeAllSendsScreenValues();
    void wakeUpAfterIdleTime_data();
    void wakeUpAfterIdleTime();
    void answerTimeouts_data();
    void answerTimeouts();
    void noiseIsDroppedOneBytePerTick();
    void badAnswers_data();
    void badAnswers();
    void answerNamingAnotherItem();
    void answerNamingNoItem_data();
    void answerNamingNoItem();
    void threeNacksAbortWriteAll();
    void freshCountForNewCommand();
    void cancelMidTransfer();
    void readAllDuringWriteAll();
    void linkWatchRunsOutMidReadAll();
    void vanishedPortIsReopened();
    void dsrOffWhileIdleReopensPort();
    void unsendableValueIsRefused_data();
    void unsendableValueIsRefused();
    void progressAndLogTexts_data();
    void progressAndLogTexts();
    void pagerCall_data();
    void pagerCall();
    void pagerCallFailures_data();
    void pagerCallFailures();
    void restart_data();
    void restart();
    void restartWinsOverPagerCall();
    void unitTextWhileIdle_data();
    void unitTextWhileIdle();
    void progressBar();
    void engineWaitsForPortThatOpensLater();
    void networkPortConnectsInTheBackground();
    void outcomes_data();
    void outcomes();
    void oneShotsDropped_data();
    void oneShotsDropped();
    void writeSafeguards_data();
    void writeSafeguards();
    void commission_data();
    void commission();
};

void TestInterface::readAllInOrder()
{
    EngineWorld w;
    FakeUnit unit(w);
    unit.values[0] = QByteArray(1, 2);
    unit.values[14] = QByteArray(1, 60); // kept on receipt, beyond the list
    const int opens = w.port.openCount();
    w.engine().requestReadAll();
    QVERIFY(unit.runUntilQuiet() > 0);

    QCOMPARE(unit.requestedItems('w'), (QList<int>{0, 5, 7, 10, 11, 12, 13, 14, 30, 31, 32, 33, 34, 35}));
    QCOMPARE(unit.wakeUps, 1);
    QCOMPARE(w.port.openCount(), opens + 1);
    QCOMPARE(w.stores().unitValues[0], Values::text(u"2"_s));
    QCOMPARE(w.stores().workingValues[14], Values::text(u"60"_s));
    QCOMPARE(w.controls().comboText(0), u"Debug info"_s);
    QVERIFY(w.view().progress().startsWith(u"Reading setting 0  Diagnostic level: Debug info OK\r\n"_s));
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2),
             (QStringList{u"14:05:09 Reading of all settings was successfull."_s, u"14:05:09 Read all settings: 14 read"_s}));
    QVERIFY(!w.view().progress().contains(u"successfull"_s)); // only in service mode
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
}

void TestInterface::writeAllSendsScreenValues()
{
    EngineWorld w(u"/DEBUG"_s);
    FakeUnit unit(w);
    w.controls().setComboIndex(5, 3);
    w.controls().setComboIndex(7, 150);
    w.controls().setText(105, u"77"_s); // INT items are not bulk items
    w.engine().requestWriteAll();
    QVERIFY(unit.runUntilQuiet() > 0);

    QCOMPARE(unit.requestedItems('W'), (QList<int>{0, 5, 7, 10, 11, 12, 13, 14, 30, 31, 32, 33, 34, 35}));
    const QByteArray item5 = unit.requests.at(1);
    QCOMPARE(item5.toHex(' '), Frames::complete(QByteArray::fromHex("010D010002571F051E771F031E")).toHex(' '));
    QCOMPARE(quint8(unit.requests.at(2)[11]), quint8(150));
    QCOMPARE(w.stores().unitValues[5], Values::integer(3));
    QCOMPARE(w.stores().workingValues[105], Values::number(77));
    QVERIFY(w.view().progress().endsWith(u"Programming of all settings was successfull.\r\n"_s));
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2),
             (QStringList{u"14:05:09 Programming of all settings was successfull."_s,
                          u"14:05:09 Write all settings: 14 written"_s}));
}

void TestInterface::wakeUpAfterIdleTime_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("gap");
    QTest::addColumn<bool>("wakeUp");
    QTest::newRow("read then 79 ticks") << false << 79 << false;
    QTest::newRow("read then 80 ticks") << false << 80 << true;
    QTest::newRow("write then 199 ticks") << true << 199 << false;
    QTest::newRow("write then 200 ticks") << true << 200 << true;
}

void TestInterface::wakeUpAfterIdleTime()
{
    QFETCH(bool, write);
    QFETCH(int, gap);
    QFETCH(bool, wakeUp);
    EngineWorld w;
    FakeUnit unit(w);
    w.controls().setComboIndex(0, 1);

    auto request = [&] { write ? w.engine().requestWrite(0) : w.engine().requestRead(0); };
    request();
    w.tick(); // the idle tick takes it: wake-up first, then 10 ticks
    QCOMPARE(w.port.takeWritten(), Frames::wakeUp());
    w.tick(9);
    QVERIFY(w.port.written().isEmpty());
    w.tick();
    QVERIFY(!w.port.written().isEmpty()); // the request went out on the 10th tick
    unit.poll();
    int sinceStart = 0;
    sinceStart += unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::Idle; });
    while (sinceStart < gap - 1) {
        w.tick();
        ++sinceStart;
    }
    request();
    w.tick();
    const QByteArray sent = w.port.takeWritten();
    QCOMPARE(sent == Frames::wakeUp(), wakeUp);
    if (!wakeUp) {
        QVERIFY(sent.isEmpty());
        w.tick();
        QVERIFY(!w.port.written().isEmpty()); // out on the next tick
    }
}

void TestInterface::answerTimeouts_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<QString>("piece");
    QTest::newRow("read, no SOH") << false << QByteArray() << u"[Item: 0 Value: None]  ERROR timeout wo SOH. \r\n"_s;
    QTest::newRow("read, no LEN") << false << QByteArray("\x01") << u"[Item: 0 Value: None]  ERROR timeout wo LEN. \r\n"_s;
    QTest::newRow("read, stops short") << false << QByteArray("\x01\x0D\x01\x00") << u"[Item: 0 Value: None]  ERROR timeout wo data. \r\n"_s;
    QTest::newRow("write, no SOH") << true << QByteArray() << u" -> ERROR timeout waiting for SOH.\r\n"_s;
    QTest::newRow("write, no LEN") << true << QByteArray("\x01") << u" -> ERROR timeout waiting for LEN.\r\n"_s;
    QTest::newRow("write, stops short") << true << QByteArray("\x01\x05\x01") << u" -> ERROR timeout waiting for data.\r\n"_s;
}

// Each phase of an answer waits exactly 120 ticks for its next byte.
void TestInterface::answerTimeouts()
{
    QFETCH(bool, write);
    QFETCH(QByteArray, partial);
    QFETCH(QString, piece);
    EngineWorld w;
    w.controls().setComboIndex(0, 0);
    write ? w.engine().requestWrite(0) : w.engine().requestRead(0);
    const Interface::State collecting = write ? Interface::State::WriteStart : Interface::State::ReadStart;
    QVERIFY(w.tickUntilState(collecting) > 0);
    w.port.queueInput(partial);
    // The start and length bytes take a tick each, the rest one tick; then 120 ticks without a byte.
    const int byteTicks = qMin(int(partial.size()), 2) + (partial.size() > 2 ? 1 : 0);
    w.tick(byteTicks + 119);
    QVERIFY2(EngineProbe(w.engine()).EngineState() != Interface::State::Idle, "gave up before 120 ticks");
    w.tick();
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QVERIFY2(w.view().progress().endsWith(piece), qPrintable(w.view().progress()));
    QCOMPARE(w.engine().ErrorCount(), qint16(1));
    QCOMPARE(w.stores().itemRequest[0], write ? Items::kWriteRequest : Items::kReadRequest);
}

void TestInterface::noiseIsDroppedOneBytePerTick()
{
    EngineWorld w;
    w.engine().requestRead(0);
    QVERIFY(w.tickUntilState(Interface::State::ReadStart) > 0);
    w.port.queueInput(QByteArray("xyz") + readAnswer(0, QByteArray(1, 1)));
    w.tick(3);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReadStart);
    QCOMPARE(w.port.pendingInput().size(), readAnswer(0, QByteArray(1, 1)).size());
    w.tick();
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReadLength);
    w.tick(3); // LEN, the rest, the result
    QCOMPARE(w.stores().unitValues[0], Values::text(u"1"_s));
}

void TestInterface::badAnswers_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<int>("errors");

    QByteArray badAck = ackAnswer();
    badAck[badAck.size() - 1] = char(badAck.back() + 1);
    QByteArray tooLong = answerFrame(QByteArray(96, 'x'));
    QByteArray longest = readAnswer(150, QByteArray(85, 'y'));
    QTest::newRow("write, checksum error with ACK at 4") << true << 0 << badAck << u" -> ERROR checksum.\r\n"_s << 1;
    QTest::newRow("write, NACK") << true << 0 << ackAnswer(0x15) << u" -> program ERROR NACK.\r\n"_s << 1;
    QTest::newRow("write, LEN 98 too long") << true << 0 << tooLong << u" -> ERROR too long info.\r\n"_s << 0;
    QTest::newRow("read, LEN 98 too long") << false << 0 << tooLong << u" ERROR too long info. \r\n"_s << 0;
    QTest::newRow("read, LEN 97 is fine") << false << 150 << longest << u" [Item: 150 Waarde: "_s + QString(85, u'y') + u"] Op te roepen pager bij ComStoring BMC: "_s + QString(85, u'y') + u" OK\r\n"_s << 0;
    QTest::newRow("read, item without conversion") << false << 0 << readAnswer(3, "\x01") << u" ERROR reading setting!\r\n"_s << 1;
}

void TestInterface::badAnswers()
{
    QFETCH(bool, write);
    QFETCH(int, item);
    QFETCH(QByteArray, answer);
    QFETCH(QString, piece);
    QFETCH(int, errors);
    EngineWorld w(u"/DEBUG"_s);
    FakeUnit unit(w);
    unit.answer = [&](const QByteArray &) { return answer; };
    write ? w.engine().requestWrite(item) : w.engine().requestRead(item);
    QVERIFY(unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::ReadResult || EngineProbe(w.engine()).EngineState() == Interface::State::WriteResult
                                       || (!unit.requests.isEmpty() && EngineProbe(w.engine()).EngineState() == Interface::State::Idle); }) > 0);
    w.tick();
    QVERIFY2(w.view().progress().endsWith(piece), qPrintable(w.view().progress()));
    QCOMPARE(w.engine().ErrorCount(), qint16(errors));
}

void TestInterface::answerNamingNoItem_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("NAK frame") << ackAnswer(0x15);
    QTest::newRow("good frame of 7 bytes") << answerFrame(QByteArray("\x01\x00\x06\x57", 4));
}

// A good frame too short to name an item (a unit refusing the read) is a
// failed read: counted, so a unit that refuses every read ends the transfer
// instead of being asked again without end.
void TestInterface::answerNamingNoItem()
{
    QFETCH(QByteArray, answer);
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [&](const QByteArray &frame) { return FakeUnit::kind(frame) == 'w' ? answer : ackAnswer(); };
    w.engine().requestReadAll();
    QVERIFY(unit.runUntil([&] { return !w.view().messages().isEmpty(); }, 3000) > 0);
    QCOMPARE(unit.requestedItems('w'), (QList<int>{0, 0, 0}));
    QCOMPARE(w.view().messages().first().text, u"ERROR reading settings from the converter.\r\nReading is aborted!"_s);
    QVERIFY(w.view().progress().startsWith(u"Reading setting 0  [Item: 0 Value: None]  ERROR reading setting!\r\n"_s));
    QCOMPARE(w.logLines().filter(u"Error reading unit: "_s).size(), 3);
    QCOMPARE(w.stores().unitValues[0], Values::integer(-1));
}

void TestInterface::answerNamingAnotherItem()
{
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [](const QByteArray &) { return readAnswer(7, QByteArray(1, 20)); };
    w.engine().requestRead(5);
    QVERIFY(unit.runUntil([&] { return w.stores().unitValues[7] == Values::text(u"20"_s); }) > 0);
    w.tick();
    QCOMPARE(w.stores().itemRequest[5], Items::kReadRequest); // asked again
    QCOMPARE(w.stores().itemRequest[7], Items::kNoRequest);
    QCOMPARE(w.controls().comboText(7), u"Length: 20 characters"_s);
}

void TestInterface::threeNacksAbortWriteAll()
{
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [](const QByteArray &) { return ackAnswer(0x15); };
    w.engine().requestWriteAll();
    QVERIFY(unit.runUntil([&] { return !w.view().messages().isEmpty(); }) > 0);

    QCOMPARE(unit.requestedItems('W'), (QList<int>{0, 0, 0}));
    const auto &box = w.view().messages().first();
    QCOMPARE(box.text, u"ERROR writing setting in the Converter.\r\nProgramming is aborted!"_s);
    QCOMPARE(box.title, u"Tessaro by Kestrum"_s);
    QCOMPARE(box.icon, OperatorView::Icon::Critical);
    QCOMPARE(box.buttons, OperatorView::Buttons::Ok);
    QVERIFY(w.view().progress().endsWith(u" -> program ERROR NACK.\r\n\r\nCancelled!\r\n"_s));
    QCOMPARE(w.stores().pendingRequestCount(), 0);
    QCOMPARE(w.engine().AllMode(), Interface::BulkTransfer::None);
    unit.runUntilQuiet();
    QVERIFY(!w.logLines().join('\n').contains(u"successfull"_s));
}

// After an abort the operator's next command is tried, not aborted at once.
void TestInterface::freshCountForNewCommand()
{
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [](const QByteArray &) { return QByteArray(); };
    w.engine().requestRead(0);
    QVERIFY(unit.runUntil([&] { return !w.view().messages().isEmpty(); }, 2000) > 0);
    QCOMPARE(w.view().messages().first().text, u"ERROR reading settings from the converter.\r\nReading is aborted!"_s);
    QCOMPARE(unit.requests.size(), 3);
    unit.answer = nullptr;
    w.engine().requestRead(0);
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(unit.requests.size(), 4);
    QCOMPARE(w.view().messages().size(), 1);
    QCOMPARE(w.stores().unitValues[0], Values::text(u"1"_s));
}

void TestInterface::cancelMidTransfer()
{
    EngineWorld w;
    FakeUnit unit(w);
    w.engine().requestWriteAll();
    QVERIFY(unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::WriteStart; }) > 0);
    w.engine().cancelByOperator();
    unit.runUntilQuiet();
    QCOMPARE(unit.requestedItems('W'), QList<int>{0});
    QVERIFY(w.view().progress().endsWith(u"\r\nGeannuleerd!\r\n -> Saved.\r\n"_s));
    QVERIFY(!w.logLines().join('\n').contains(u"successfull"_s));
}

void TestInterface::readAllDuringWriteAll()
{
    EngineWorld w;
    FakeUnit unit(w);
    w.engine().requestWriteAll();
    QVERIFY(unit.runUntil([&] { return unit.requests.size() == 3; }) > 0);
    w.engine().requestReadAll();
    QVERIFY(unit.runUntil([&] { return w.engine().AllMode() == Interface::BulkTransfer::Reading; }) > 0);
    // The tick that reported the write-all took the read-all flag and reopened the port.
    QCOMPARE(w.logLines().mid(w.logLines().size() - 5),
             (QStringList{u"14:05:09 Programming of all settings was successfull."_s,
                          u"14:05:09 Write all settings: 14 written"_s, u"14:05:09 Comport closed by software."_s,
                          u"14:05:09 Com: 1 opened with: 9600,N,8,1"_s, u"14:05:09 Com 1 = scripted1"_s}));
    QCOMPARE(unit.requestedItems('W').size(), 14);
    QVERIFY(unit.requestedItems('w').isEmpty());
    unit.runUntilQuiet();
    QCOMPARE(unit.requestedItems('w').size(), 14);
}

void TestInterface::linkWatchRunsOutMidReadAll()
{
    EngineWorld w;
    FakeUnit unit(w);
    w.engine().requestReadAll();
    QVERIFY(unit.runUntil([&] { return unit.requests.size() == 4; }) > 0);
    const int closes = w.port.closeCount();
    w.session().datacom.LinkWatch = 0;
    w.tick();
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort);
    QCOMPARE(w.port.closeCount(), closes + 1);
    w.session().datacom.LinkWatch = 20;
    QVERIFY(w.tickUntilState(Interface::State::Idle) == 10);
    QVERIFY(w.view().progress().endsWith(u"\r\nCurrent programming / reading action cancelled!\r\n"_s));
    QCOMPARE(w.stores().pendingRequestCount(), 0);
    QCOMPARE(w.engine().AllMode(), Interface::BulkTransfer::None);
    unit.runUntilQuiet();
    QVERIFY(!w.logLines().join('\n').contains(u"successfull"_s));
}

// A port found closed while idle is reopened every 200 ticks until it opens.
void TestInterface::vanishedPortIsReopened()
{
    EngineWorld w;
    w.tick(20);
    w.port.dropConnection();
    w.port.setFailOpens(true);
    w.tick();
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort);
    auto failedOpens = [&] { return w.logLines().filter(u"Error opening ComPort:  1"_s).size(); };
    QVERIFY(w.tickUntil([&] { return failedOpens() == 1; }, Interface::kWakeUpWait + 1) > 0);
    w.tick(199);
    QCOMPARE(failedOpens(), 1);
    w.port.setFailOpens(false);
    w.tick();
    QCOMPARE(failedOpens(), 1);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QVERIFY(!w.view().progress().contains(u"cancelled"_s)); // nothing was pending
}

// DSR dropping while idle runs the link watch out as it does mid-transfer: the
// port is closed and opened again, and the engine is back to idle.
void TestInterface::dsrOffWhileIdleReopensPort()
{
    EngineWorld w;
    w.port.setDsr(true);
    auto tickWatched = [&] {
        w.session().datacom.CheckComLink();
        w.tick();
    };
    for (int i = 0; i < 30; ++i)
        tickWatched();
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    const int closes = w.port.closeCount();
    const int opens = w.port.openCount();
    w.port.setDsr(false);
    int ticks = 0;
    while (w.port.closeCount() == closes && ticks < 100) {
        tickWatched();
        ++ticks;
    }
    QCOMPARE(w.port.closeCount(), closes + 1);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort);
    w.port.setDsr(true);
    QVERIFY(w.tickUntilState(Interface::State::Idle, Interface::kWakeUpWait + 2) > 0);
    QCOMPARE(w.port.openCount(), opens + 1);
}

void TestInterface::unsendableValueIsRefused_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("reason"); // in the log's outcome line; the progress keeps the state-310 text
    QTest::newRow("list item, nothing chosen") << 5 << QString() << u"item 5: nothing is chosen"_s;
    QTest::newRow("INT 40000") << 110 << u"40000"_s << u"item 110: 40000 is outside 0-32767"_s;
    QTest::newRow("text with a Greek letter") << 160 << u"a\u03A9"_s
                                              << u"item 160: the character U+03A9 cannot be sent"_s;
    QTest::newRow("text with 0x81, undefined in Windows-1252")
        << 160 << u"a\u0081"_s << u"item 160: the text holds the byte 0x81, which Windows-1252 leaves undefined"_s;
    QTest::newRow("hex item 300") << 45 << QString() << u"failed: not sent: value cannot be sent"_s;
}

void TestInterface::unsendableValueIsRefused()
{
    QFETCH(int, item);
    QFETCH(QString, screen);
    QFETCH(QString, reason);
    EngineWorld w;
    w.controls().setComboIndex(5, -1);
    if (item >= 100)
        w.controls().setText(item, screen);
    if (item == 45) {
        w.stores().workingValues[45] = Values::integer(300);
        w.engine().requestStoredWrite(45);
    } else {
        w.engine().requestWrite(item);
    }
    QVERIFY(w.tickUntil([&] { return w.stores().itemRequest[item] == 0; }, 50) > 0);
    QVERIFY2(w.view().progress().endsWith(u" -> Not implemented type of unit.\r\n"_s), qPrintable(w.view().progress()));
    QVERIFY2(w.logLines().last().contains(reason + u"; 0 of 1 written; not sent: item "_s), qPrintable(w.logLines().last()));
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QCOMPARE(w.port.takeWritten(), Frames::wakeUp()); // nothing but the wake-up went out
}

void TestInterface::progressAndLogTexts_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("log");

    QTest::newRow("write CHAR 5") << QString() << 5 << true << QByteArray()
        << u"Writing ESPA out max address length: Address length: 3 digits -> Saved.\r\n"_s
        << u"14:05:09  [Item: 5 Value: 3] Writing ESPA out max address length: Address length: 3 digits"_s;
    QTest::newRow("write CHAR 5 service mode") << u"/DEBUG"_s << 5 << true << QByteArray()
        << u" [Item: 5 Value: 3] Writing ESPA out max address length: Address length: 3 digits -> Saved.\r\n"_s
        << u"14:05:09  [Item: 5 Value: 3] Writing ESPA out max address length: Address length: 3 digits"_s;
    QTest::newRow("write TEKST 155") << QString() << 155 << true << QByteArray()
        << u"Writing Pager-adres   1234 OK -> Saved.\r\n"_s
        << u"14:05:09  [Item: 155 Value: 1234] Writing Pager-adres   1234 OK"_s;
    QTest::newRow("read INT 105") << u"/DEBUG"_s << 105 << false << QByteArray("\x34\x12")
        << u"Reading setting 105   [Item: 105 Value:  4660] EventNr 4660 OK\r\n"_s
        << u"14:05:09 Received from unit:  [Item: 105 Value:  4660] EventNr 4660 OK"_s;
    QTest::newRow("read TEKST 156") << u"/DEBUG"_s << 156 << false << QByteArray("abc")
        << u"Reading setting 156   [Item: 156 Waarde: abc] PagerAdres 2 abc OK\r\n"_s
        << u"14:05:09 Received from unit:  [Item: 156 Waarde: abc] PagerAdres 2 abc OK"_s;
    // A unit's text is shown, never obeyed: control bytes by name, on one line.
    QTest::newRow("read TEKST 156 with control bytes") << u"/DEBUG"_s << 156 << false
        << QByteArray("a\x1b[2J\x07\r\n\x00" "b", 10)
        << u"Reading setting 156   [Item: 156 Waarde: a[ESC][2J[BEL][CR][LF][NULL]b] PagerAdres 2 a[ESC][2J[BEL][CR][LF][NULL]b OK\r\n"_s
        << u"14:05:09 Received from unit:  [Item: 156 Waarde: a[ESC][2J[BEL][CR][LF][NULL]b] PagerAdres 2 a[ESC][2J[BEL][CR][LF][NULL]b OK"_s;
    QTest::newRow("read hex item 41") << QString() << 41 << false << QByteArray("B")
        << u"Reading setting 41  BleepCode Entry 2 BleepCode: B OK\r\n"_s
        << u"14:05:09 Received from unit:  [Item: 41 Value: 11] BleepCode Entry 2 BleepCode: B OK"_s;
    QTest::newRow("read item without control") << QString() << 145 << false << QByteArray("\x05\x00", 2)
        << u"Reading setting 145  "_s << QString();
}

void TestInterface::progressAndLogTexts()
{
    QFETCH(QString, commandLine);
    QFETCH(int, item);
    QFETCH(bool, write);
    QFETCH(QByteArray, value);
    QFETCH(QString, progress);
    QFETCH(QString, log);
    EngineWorld w(commandLine);
    FakeUnit unit(w);
    unit.values[item] = value;
    w.controls().setComboIndex(5, 3);
    w.controls().setText(155, u"1234"_s);
    write ? w.engine().requestWrite(item) : w.engine().requestRead(item);
    unit.runUntil([&] { return w.stores().itemRequest[item] == 0 && EngineProbe(w.engine()).EngineState() == Interface::State::Idle; }, 200);
    QCOMPARE(w.view().progress(), progress);
    if (log.isEmpty()) {
        // No legend: the line stays open and nothing is logged.
        QCOMPARE(w.stores().unitValues[item], Values::text(u" 5"_s));
        QVERIFY(w.logLines().filter(u"Received"_s).isEmpty());
        return;
    }
    QVERIFY2(w.logLines().contains(log), qPrintable(w.logLines().join('\n')));
}

void TestInterface::pagerCall_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("bleep");
    QTest::addColumn<char>("position");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("01 14 .. 33 1F 30 1E 62") << u"1234"_s << QString() << 0 << '0'
        << QByteArray::fromHex("01140100024 11F301E311F313233341E331F301E62");
    QTest::newRow("position 7, display text, bleep FFFF") << u"1234"_s << u"Hi"_s << -1 << '7'
        << Frames::complete(QByteArray::fromHex("011C010002411F371E311F313233341E321F48691E331F464646461E"));
    QTest::newRow("address cut to 10, text to 40") << u"123456789012"_s << QString(45, u'x') << 1 << '0'
        << Frames::complete(QByteArray::fromHex("0145010002411F301E311F" "31323334353637383930" "1E321F")
                            + QByteArray(40, 'x') + QByteArray::fromHex("1E331F311E"));
}

void TestInterface::pagerCall()
{
    QFETCH(QString, address);
    QFETCH(QString, display);
    QFETCH(int, bleep);
    QFETCH(char, position);
    QFETCH(QByteArray, frame);
    EngineWorld w;
    FakeUnit unit(w);
    unit.bufferDigit = position;
    w.view().setTestPagerAddress(address);
    w.view().setTestPagerDisplayInfo(display);
    w.controls().setTestBleepIndex(bleep);
    w.engine().requestPagerCall();
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(unit.requests.size(), 2);
    QCOMPARE(unit.requests[0], QByteArray::fromHex("010601000232C4"));
    QCOMPARE(unit.requests[1].toHex(' '), frame.toHex(' '));
    QCOMPARE(w.logLines().mid(w.logLines().size() - 2),
             (QStringList{u"14:05:09 STATUS: Calling pager via Tessaro succesfull."_s, u"14:05:09 Test call sent"_s}));
}

void TestInterface::pagerCallFailures_data()
{
    QTest::addColumn<int>("failingRequest");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("errors");
    QByteArray badSum = ackAnswer();
    badSum[badSum.size() - 1] = 0;
    QTest::newRow("no SOH ask") << 0 << QByteArray() << u"ERROR: TimeOut calling pager via Tessaro (SOH ask BufPos)"_s << 1;
    QTest::newRow("no LEN ask") << 0 << QByteArray("\x01") << u"ERROR: TimeOut calling pager Tessaro (Len ask BufPos)"_s << 0;
    QTest::newRow("checksum ask") << 0 << badSum << u"ERROR: ChecksumError calling pager Tessaro (CheckSum ask BufPos)"_s << 0;
    QTest::newRow("no SOH call") << 1 << QByteArray() << u"ERROR: TimeOut calling pager via Tessaro (SOH sending call)"_s << 1;
    QTest::newRow("no LEN call") << 1 << QByteArray("\x01") << u"ERROR: TimeOut calling pager via Tessaro (Len sending call)"_s << 0;
    QTest::newRow("checksum call") << 1 << badSum << u"ERROR: TimeOut calling pager via Tessaro (Data sending call)"_s << 0;
    QTest::newRow("NACK call") << 1 << ackAnswer(0x15) << u"STATUS: Calling pager via Tessaro failed."_s << 0;
    QTest::newRow("call stops short") << 1 << QByteArray("\x01\x05\x01") << u"ERROR: TimeOut calling pager via Tessaro (Rest sending call)"_s << 1;
}

void TestInterface::pagerCallFailures()
{
    QFETCH(int, failingRequest);
    QFETCH(QByteArray, answer);
    QFETCH(QString, log);
    QFETCH(int, errors);
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [&](const QByteArray &frame) {
        return unit.requests.size() - 1 == failingRequest ? answer : unit.defaultAnswer(frame);
    };
    w.view().setTestPagerAddress(u"1"_s);
    w.engine().requestPagerCall();
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(unit.requests.size(), failingRequest + 1);
    // The command's own error line, then its closing line.
    QCOMPARE(w.logLines().at(w.logLines().size() - 2), u"14:05:09 "_s + log);
    QVERIFY(w.logLines().last().startsWith(u"14:05:09 Test call failed: "_s));
    QCOMPARE(w.engine().ErrorCount(), qint16(errors));
}

void TestInterface::restart_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("log");
    QByteArray badSum = ackAnswer();
    badSum[badSum.size() - 1] = 0;
    QTest::newRow("ACK") << ackAnswer() << u"STATUS: RESET command send to the converter."_s;
    QTest::newRow("NACK") << ackAnswer(0x15) << QString();
    QTest::newRow("no SOH") << QByteArray() << u"ERROR: TimeOut sending RESET command to the converter (SOH)"_s;
    QTest::newRow("no LEN") << QByteArray("\x01") << u"ERROR: TimeOut while sending RESET command to the cconverter. (Length)"_s;
    QTest::newRow("checksum") << badSum << u"ERROR: ChecksumError sending RESET command to the converter."_s;
    QTest::newRow("stops short") << QByteArray("\x01\x05") << u"ERROR: TimeOut while sending RESET command to the converter. (Data)"_s;
}

void TestInterface::restart()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, log);
    EngineWorld w;
    FakeUnit unit(w);
    unit.answer = [&](const QByteArray &) { return answer; };
    const QStringList before = w.logLines();
    w.engine().requestRestart();
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(unit.requests, QList<QByteArray>{QByteArray::fromHex("010601000252A4")});
    const QString last = w.logLines().at(w.logLines().size() - 2);
    QVERIFY(w.logLines().last().startsWith(u"14:05:09 Restart "_s));
    if (log.isEmpty())
        QVERIFY(last.endsWith(u"Com 1 = scripted1"_s)); // nothing after reopening the port
    else
        QCOMPARE(last, u"14:05:09 "_s + log);
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
}

void TestInterface::restartWinsOverPagerCall()
{
    EngineWorld w;
    FakeUnit unit(w);
    w.view().setTestPagerAddress(u"1"_s);
    w.engine().requestPagerCall();
    w.engine().requestRestart();
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(unit.requests, QList<QByteArray>{QByteArray::fromHex("010601000252A4")});
    QVERIFY(!w.engine().requested(Outcome::Command::PagerCall));
}

void TestInterface::unitTextWhileIdle_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("laterTicks"); // quiet ticks after the one that takes the input
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("OK CR LF") << QByteArray("OK\r\n") << 0 << QStringList{u"OK"_s};
    QTest::newRow("control bytes by name") << QByteArray("a\x02\x15\x7F\n") << 0 << QStringList{u"a[STX][NACK][RUBOUT]"_s};
    QTest::newRow("200 characters") << QByteArray(200, 'x') + '\r' << 0 << QStringList{QString(131, u'x'), QString(69, u'x')};
    // A babbling unit: a burst of 20 lines is logged, the rest counted once a minute.
    QStringList burst(20, u"L"_s);
    QTest::newRow("30 lines at once") << QByteArray("L\n").repeated(30) << 60 * 40
                                      << burst + QStringList{u"10 lines of unit text not logged"_s};
}

void TestInterface::unitTextWhileIdle()
{
    QFETCH(QByteArray, input);
    QFETCH(int, laterTicks);
    QFETCH(QStringList, lines);
    EngineWorld w;
    QStringList got;
    w.session().logfile.setLineListener([&](const QString &text) { got << text; });
    w.port.queueInput(input);
    w.tick();
    w.tick(laterTicks);
    QCOMPARE(got, lines);
}

void TestInterface::progressBar()
{
    EngineWorld w;
    FakeUnit unit(w);
    w.engine().requestReadAll();
    unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::ReadItem && w.engine().CurrentItem() == 14; });
    QCOMPARE(w.view().progressBar(), (OperatorView::ProgressBar{true, 0, 40, 14}));
    unit.runUntilQuiet();
    w.tick();
    QVERIFY(!w.view().progressBar().visible);
    w.engine().requestRead(200);
    w.tick();
    QCOMPARE(w.view().progressBar(), (OperatorView::ProgressBar{true, 0, 40, 40}));
}

// Started before the adapter is plugged in, the engine tries the port on the
// schedule of a lost one, logs the wait quietly, and takes it with no click.
void TestInterface::engineWaitsForPortThatOpensLater()
{
    QTemporaryDir home;
    ScriptedPort port;
    port.setFailOpens(true);
    HeadlessSession world(home.path(), [] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); }, port);
    world.session.InitProgram(QString());
    Interface &engine = world.session.engine;
    engine.InterfaceTick(0);
    QCOMPARE(EngineProbe(engine).EngineState(), Interface::State::ReopenPort);
    // A command given meanwhile is refused at once, not kept for whatever unit comes.
    QList<Outcome> outcomes;
    engine.addOutcomeListener([&](const Outcome &o) { outcomes << o; });
    engine.requestWriteAll();
    QCOMPARE(outcomes.size(), 1);
    QCOMPARE(outcomes.first().result, Outcome::Result::NotStarted);
    QCOMPARE(outcomeText(outcomes.first(), world.controls), u"Write all settings not started: port closed"_s);

    // A minute of waiting: one failure line, then one line for twelve tries.
    for (int i = 0; i < 13 * Interface::kReopenRetry; ++i)
        engine.InterfaceTick(0);
    QStringList lines;
    for (int i = 0; i < world.session.logLines.count(); ++i)
        lines << world.session.logLines.line(i);
    QCOMPARE(lines.filter(u"Error opening ComPort"_s).size(), 1);
    QCOMPARE(lines.filter(u"Comport closed"_s).size(), 1);
    QCOMPARE(lines.filter(u"still no device scripted1: "_s), QStringList{u"09:00:00 still no device scripted1: 12 tries"_s});

    port.setFailOpens(false);
    QVERIFY(world.session.datacom.ComPortIsOpen() != 1);
    int ticks = 0;
    while (EngineProbe(engine).EngineState() != Interface::State::Idle && ticks <= Interface::kReopenRetry + 1) {
        engine.InterfaceTick(0);
        ++ticks;
    }
    QCOMPARE(EngineProbe(engine).EngineState(), Interface::State::Idle);
    QVERIFY(ticks <= Interface::kReopenRetry + 1);
    QVERIFY(!engine.requested(Outcome::Command::WriteAll));
    engine.requestRead(0);
    for (int i = 0; i < 12 && port.written().size() < 8; ++i)
        engine.InterfaceTick(0);
    QVERIFY(port.written().endsWith(Frames::complete(Frames::readRequestBody(0))));
}

// A port that connects (a network port): the engine waits for the
// connection instead of dialling again, takes the port the moment it opens,
// and a command keeps the open connection.
void TestInterface::networkPortConnectsInTheBackground()
{
    EngineWorld w;
    FakeUnit unit(w);
    const LinkState &link = w.session().datacom.linkState();
    const auto lastLine = [&] { return w.session().logLines.line(w.session().logLines.count() - 1); };
    const int opens = w.port.openCount();
    w.port.setConnects(true);
    w.port.dropConnection();
    w.tick(3 * Interface::kReopenRetry);
    QCOMPARE(w.port.dialCount(), 1);
    QCOMPARE(link.state(), LinkState::State::Connecting);
    QCOMPARE(w.session().datacom.ComPortIsOpen(), -1);

    // Refused: logged as a failed open, with its reason; dialled again on the schedule.
    w.port.connectEnds(false, Port::Problem::ConnectionRefused);
    QCOMPARE(lastLine(), u"14:05:09 Error opening ComPort:  1"_s);
    QCOMPARE(link.reason(), u"scripted1: connection refused"_s);
    QVERIFY(w.tickUntil([&] { return w.port.dialCount() == 2; }, Interface::kReopenRetry + 1) > 0);

    // Opened: taken at once, without waiting for a tick.
    w.port.connectEnds(true);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QCOMPARE(link.state(), LinkState::State::Open);
    QCOMPARE(lastLine(), u"14:05:09 Com 1 = scripted1"_s);

    // A read-all keeps the connection and drops only what waited.
    w.port.queueInput("stale");
    const int closes = w.port.closeCount();
    w.engine().requestReadAll();
    QVERIFY(unit.runUntilQuiet() > 0);
    QCOMPARE(w.port.openCount(), opens + 1);
    QCOMPARE(w.port.dialCount(), 2);
    QCOMPARE(w.port.closeCount(), closes);
    QCOMPARE(unit.requestedItems('w').size(), 14);
    QCOMPARE(link.state(), LinkState::State::Answering);
}

namespace {

enum class Start { ReadAll, WriteAll, WriteAllNack5, WriteAllNothingChosen5, Read5, Write5, Write110, Write5And7And10, PagerCall, Restart, PagerCallAndRestart, LineCheck };
enum class Meanwhile { Nothing, CancelAtOnce, CancelSecond, SignalSecond, TimeLimitSecond, LoseSecond, RefuseOutput };
using Command = Outcome::Command;
using Result = Outcome::Result;
using Failure = Outcome::Failure;

} // namespace

void TestInterface::outcomes_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<QByteArray>("answer"); // for every frame; "default" for the unit's own, empty for silence
    QTest::addColumn<Meanwhile>("meanwhile");
    QTest::addColumn<Outcome>("expected");

    const QByteArray good("default");
    QByteArray badChecksum = readAnswer(5, "\x07");
    badChecksum[badChecksum.size() - 1] = char(badChecksum.back() + 1);
    const QByteArray tooLong = answerFrame(QByteArray(96, 'x'));
    const QByteArray nack = ackAnswer(0x15);
    QTest::newRow("read-all") << Start::ReadAll << good << Meanwhile::Nothing << Outcome{Command::ReadAll, Result::Succeeded, -1, Failure::None, 14};
    QTest::newRow("write-all") << Start::WriteAll << good << Meanwhile::Nothing << Outcome{Command::WriteAll, Result::Succeeded, -1, Failure::None, 14};
    // A setting that cannot be sent: the rest goes out, and no success is claimed.
    QTest::newRow("write-all, item 5 not sendable") << Start::WriteAllNothingChosen5 << good << Meanwhile::Nothing << Outcome{Command::WriteAll, Result::Failed, 5, Failure::Refused, 13};
    QTest::newRow("read 5") << Start::Read5 << good << Meanwhile::Nothing << Outcome{Command::ReadItem, Result::Succeeded, 5, Failure::None, 1};
    QTest::newRow("write 5") << Start::Write5 << good << Meanwhile::Nothing << Outcome{Command::WriteItem, Result::Succeeded, 5, Failure::None, 1};
    QTest::newRow("write 110, value not sendable") << Start::Write110 << good << Meanwhile::Nothing << Outcome{Command::WriteItem, Result::Failed, 110, Failure::Refused, 0};
    QTest::newRow("read-all, no answer") << Start::ReadAll << QByteArray() << Meanwhile::Nothing << Outcome{Command::ReadAll, Result::Failed, 0, Failure::NoAnswer, 0};
    QTest::newRow("write-all, NACK") << Start::WriteAll << nack << Meanwhile::Nothing << Outcome{Command::WriteAll, Result::Failed, 0, Failure::Nack, 0};
    QTest::newRow("read 5, checksum") << Start::Read5 << badChecksum << Meanwhile::Nothing << Outcome{Command::ReadItem, Result::Failed, 5, Failure::Checksum, 0};
    QTest::newRow("read-all, answers too long") << Start::ReadAll << tooLong << Meanwhile::Nothing << Outcome{Command::ReadAll, Result::Failed, 0, Failure::UnusableAnswer, 0};
    QTest::newRow("write 5, answers too long") << Start::Write5 << tooLong << Meanwhile::Nothing << Outcome{Command::WriteItem, Result::Failed, 5, Failure::UnusableAnswer, 0};
    QTest::newRow("read 5, answered as item 7") << Start::Read5 << readAnswer(7, "\x14") << Meanwhile::Nothing << Outcome{Command::ReadItem, Result::Failed, 5, Failure::OtherItem, 0};
    QTest::newRow("read 5, port refuses output") << Start::Read5 << good << Meanwhile::RefuseOutput << Outcome{Command::ReadItem, Result::Failed, 5, Failure::PortWriteFailed, 0};
    // Cancel lets the read out end: item 5 counts.
    QTest::newRow("read-all, cancelled") << Start::ReadAll << good << Meanwhile::CancelSecond << Outcome{Command::ReadAll, Result::Cancelled, -1, Failure::None, 2};
    QTest::newRow("read-all, port lost") << Start::ReadAll << good << Meanwhile::LoseSecond << Outcome{Command::ReadAll, Result::Failed, 5, Failure::PortLost, 1};
    // Stopped while item 5's frame is out: written, sent without an answer, not sent.
    const auto groups = [](Outcome o, QList<int> unanswered, QList<int> notSent, Outcome::Stop stop = Outcome::Stop::Operator) {
        o.unanswered = unanswered;
        o.notSent = notSent;
        o.stop = stop;
        return o;
    };
    const QList<int> after5{7, 10, 11, 12, 13, 14, 30, 31, 32, 33, 34, 35};
    // Cancel lets the frame out end; signals, the time limit and a lost port do not wait for it.
    QTest::newRow("write-all, cancelled with item 5 out") << Start::WriteAll << good << Meanwhile::CancelSecond << groups(Outcome{Command::WriteAll, Result::Cancelled, -1, Failure::None, 2}, {}, after5);
    QTest::newRow("write-all, cancelled with item 5 out, NACK") << Start::WriteAllNack5 << good << Meanwhile::CancelSecond << [&] { Outcome o = groups(Outcome{Command::WriteAll, Result::Cancelled, -1, Failure::None, 1}, {}, after5); o.refused = {5}; return o; }();
    QTest::newRow("write-all, signal with item 5 out") << Start::WriteAll << good << Meanwhile::SignalSecond << groups(Outcome{Command::WriteAll, Result::Cancelled, -1, Failure::None, 1}, {5}, after5, Outcome::Stop::Signal);
    QTest::newRow("write-all, time limit with item 5 out") << Start::WriteAll << good << Meanwhile::TimeLimitSecond << groups(Outcome{Command::WriteAll, Result::Cancelled, -1, Failure::None, 1}, {5}, after5, Outcome::Stop::TimeLimit);
    QTest::newRow("write-all, port lost with item 5 out") << Start::WriteAll << good << Meanwhile::LoseSecond << groups(Outcome{Command::WriteAll, Result::Failed, 5, Failure::PortLost, 1}, {5}, after5);
    // Writes asked together: the first written, the second out, the third not sent.
    QTest::newRow("writes 5 7 10, cancelled with item 7 out") << Start::Write5And7And10 << good << Meanwhile::CancelSecond << groups(Outcome{Command::WriteItem, Result::Cancelled, 7, Failure::None, 2}, {}, {10});
    QTest::newRow("writes 5 7 10, signal with item 7 out") << Start::Write5And7And10 << good << Meanwhile::SignalSecond << groups(Outcome{Command::WriteItem, Result::Cancelled, 7, Failure::None, 1}, {7}, {10}, Outcome::Stop::Signal);
    QTest::newRow("writes 5 7 10, port lost with item 7 out") << Start::Write5And7And10 << good << Meanwhile::LoseSecond << groups(Outcome{Command::WriteItem, Result::Failed, 7, Failure::PortLost, 1}, {7}, {10});
    // A NACK is an answer: refused, not sent without one.
    QTest::newRow("writes 5 7 10, NACK") << Start::Write5And7And10 << nack << Meanwhile::Nothing << [&] { Outcome o = groups(Outcome{Command::WriteItem, Result::Failed, 5, Failure::Nack, 0}, {}, {7, 10}); o.refused = {5}; return o; }();
    QTest::newRow("pager call") << Start::PagerCall << good << Meanwhile::Nothing << Outcome{Command::PagerCall, Result::Succeeded, -1, Failure::None, 0};
    QTest::newRow("pager call, NACK") << Start::PagerCall << nack << Meanwhile::Nothing << Outcome{Command::PagerCall, Result::Failed, -1, Failure::Nack, 0};
    QTest::newRow("restart") << Start::Restart << good << Meanwhile::Nothing << Outcome{Command::Restart, Result::Succeeded, -1, Failure::None, 0};
    QTest::newRow("restart, no answer") << Start::Restart << QByteArray() << Meanwhile::Nothing << Outcome{Command::Restart, Result::Failed, -1, Failure::NoAnswer, 0};
    QTest::newRow("restart, too long") << Start::Restart << tooLong << Meanwhile::Nothing << Outcome{Command::Restart, Result::Failed, -1, Failure::UnusableAnswer, 0};
    // Asked before the same tick, the restart wins: the pager call is not told.
    QTest::newRow("pager call and restart") << Start::PagerCallAndRestart << good << Meanwhile::Nothing << Outcome{Command::Restart, Result::Succeeded, -1, Failure::None, 0};
    QTest::newRow("pager call and restart, cancelled") << Start::PagerCallAndRestart << good << Meanwhile::CancelAtOnce << Outcome{Command::Restart, Result::Cancelled, -1, Failure::None, 0};
    // A line check read is sent once whatever the answer, and counts no error.
    QTest::newRow("line check") << Start::LineCheck << good << Meanwhile::Nothing << Outcome{Command::LineCheck, Result::Succeeded, 0, Failure::None, 1};
    QTest::newRow("line check, no answer") << Start::LineCheck << QByteArray() << Meanwhile::Nothing << Outcome{Command::LineCheck, Result::Failed, 0, Failure::NoAnswer, 0};
    QTest::newRow("line check, checksum") << Start::LineCheck << badChecksum << Meanwhile::Nothing << Outcome{Command::LineCheck, Result::Failed, 0, Failure::Checksum, 0};
    QTest::newRow("line check, too long") << Start::LineCheck << tooLong << Meanwhile::Nothing << Outcome{Command::LineCheck, Result::Failed, 0, Failure::TooLong, 0};
    QTest::newRow("line check, item 7") << Start::LineCheck << readAnswer(7, "\x14") << Meanwhile::Nothing << Outcome{Command::LineCheck, Result::Failed, 0, Failure::OtherItem, 0};
    QTest::newRow("line check, port refuses output") << Start::LineCheck << good << Meanwhile::RefuseOutput << Outcome{Command::LineCheck, Result::Failed, 0, Failure::PortWriteFailed, 0};
}

// Every way a command ends is told once, with the item and kind of its last failure.
void TestInterface::outcomes()
{
    QFETCH(Start, start);
    QFETCH(QByteArray, answer);
    QFETCH(Meanwhile, meanwhile);
    QFETCH(Outcome, expected);
    EngineWorld w;
    FakeUnit unit(w);
    if (answer != "default")
        unit.answer = [&](const QByteArray &) { return answer; };
    QList<Outcome> outcomes;
    w.engine().addOutcomeListener([&](const Outcome &o) { outcomes << o; });
    w.view().setTestPagerAddress(u"1234"_s);
    w.controls().setText(110, u"40000"_s);
    const auto workingBefore = w.stores().workingValues;
    switch (start) {
    case Start::ReadAll: w.engine().requestReadAll(); break;
    case Start::WriteAll: w.engine().requestWriteAll(); break;
    case Start::WriteAllNack5:
        unit.answer = [&](const QByteArray &frame) {
            return FakeUnit::itemOf(frame) == 5 ? ackAnswer(0x15) : unit.defaultAnswer(frame);
        };
        w.engine().requestWriteAll();
        break;
    case Start::WriteAllNothingChosen5:
        w.controls().setComboIndex(5, -1);
        w.engine().requestWriteAll();
        break;
    case Start::Read5: w.engine().requestRead(5); break;
    case Start::Write5: w.engine().requestWrite(5); break;
    case Start::Write110: w.engine().requestWrite(110); break;
    case Start::Write5And7And10:
        for (int item : {5, 7, 10})
            w.engine().requestWrite(item);
        break;
    case Start::PagerCall: w.engine().requestPagerCall(); break;
    case Start::Restart: w.engine().requestRestart(); break;
    case Start::PagerCallAndRestart:
        w.engine().requestPagerCall();
        w.engine().requestRestart();
        break;
    case Start::LineCheck:
        // An edit on the screen, not yet written: the check leaves it.
        w.controls().setComboIndex(0, 2);
        w.engine().requestLineCheck();
        break;
    }
    if (meanwhile == Meanwhile::CancelAtOnce) {
        w.engine().cancelByOperator();
    } else if (meanwhile == Meanwhile::RefuseOutput) {
        w.port.setFailWrites(true);
        // Each try fails as it is sent, without waiting for an answer's time-out.
        QVERIFY(unit.runUntil([&] { return !outcomes.isEmpty(); }, Interface::kReplyTimeout) > 0);
    } else if (meanwhile != Meanwhile::Nothing) {
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == 2; }) > 0);
        if (meanwhile == Meanwhile::CancelSecond) {
            w.engine().cancelByOperator();
        } else if (meanwhile == Meanwhile::SignalSecond) {
            w.engine().stop(Outcome::Stop::Signal);
        } else if (meanwhile == Meanwhile::TimeLimitSecond) {
            w.engine().stop(Outcome::Stop::TimeLimit);
        } else {
            w.port.setFailOpens(true);
            w.port.dropConnection();
        }
    }
    unit.runUntil([&] { return !outcomes.isEmpty() && w.engine().isQuiet(); }, 8000);
    unit.runUntil([] { return false; }, 100);
    // Writes asked together are told one by one, the ending last.
    // Item 5 is told on its own; a stop's ending names what came after.
    const int single = start != Start::Write5And7And10 ? 0 : meanwhile == Meanwhile::Nothing ? expected.itemCount : 1;
    QCOMPARE(outcomes.size(), 1 + single);
    const auto core = [](const Outcome &o) { return std::tuple(o.command, o.result, o.item, o.failure, o.itemCount); };
    QVERIFY(core(outcomes.last()) == core(expected));
    // What a write that ended early took, in the outcome and in the log's outcome line.
    const Outcome &told = outcomes.last();
    if (!expected.unanswered.isEmpty() || !expected.notSent.isEmpty() || !expected.refused.isEmpty()) {
        QCOMPARE(told.unanswered, expected.unanswered);
        QCOMPARE(told.notSent, expected.notSent);
        QCOMPARE(told.refused, expected.refused);
        QCOMPARE(told.stop, expected.stop);
        QVERIFY2(w.logLines().join(u'\n').contains(takenText(told)), qPrintable(w.logLines().join(u'\n')));
    }
    // A read-all that ends early says how far it came.
    if (start == Start::ReadAll && meanwhile == Meanwhile::LoseSecond)
        QVERIFY(w.logLines().join(u'\n').contains(u"Read all settings failed after 1 of 14: port lost"_s));
    if (start == Start::ReadAll && meanwhile == Meanwhile::CancelSecond)
        QVERIFY(w.logLines().join(u'\n').contains(u"Read all settings cancelled after 2 of 14"_s));
    for (int item : expected.unanswered)
        QVERIFY(w.logLines().join(u'\n').contains(u"item %1 sent, not acknowledged: the unit may hold the new value"_s.arg(item)));
    if (expected.command == Command::WriteAll && expected.result == Result::Failed)
        QVERIFY(!w.logLines().join(u'\n').contains(u"successfull"_s));
    if (start == Start::LineCheck) {
        QCOMPARE(unit.requestedItems('w'), meanwhile == Meanwhile::RefuseOutput ? QList<int>{} : QList<int>{0});
        QCOMPARE(w.engine().ErrorCount(), qint16(0));
        QCOMPARE(w.controls().comboIndex(0), 2);
        QCOMPARE(w.stores().workingValues, workingBefore);
        QCOMPARE(w.stores().unitValueRead[0], expected.result == Result::Succeeded);
    }
}

namespace {

enum class Drop { Cancel, Abort, Reopen };
enum class Before { Nothing, ReadAll, ReadAllThenRepointed, ReadAllThenFile, SingleWrite, SingleWriteCancelledInReadBack, SignalInReadBack, PortLostBetweenReadBacks, PortLostInBackupRead, ReopenedInBackupRead, SignalInBackupRead, BackupUnsavable };

// The requests in order, runs of one kind counted: "14w 14W 14w".
QString wireSummary(const QList<QByteArray> &requests)
{
    QStringList runs;
    char last = 0;
    int count = 0;
    for (const QByteArray &f : requests) {
        const char k = FakeUnit::kind(f);
        if (k != last && count > 0) {
            runs << QString::number(count) + QLatin1Char(last);
            count = 0;
        }
        last = k;
        ++count;
    }
    if (count > 0)
        runs << QString::number(count) + QLatin1Char(last);
    return runs.join(u' ');
}

} // namespace

Q_DECLARE_METATYPE(Drop)
Q_DECLARE_METATYPE(Before)
Q_DECLARE_METATYPE(Outcome::Stage)

// One-shot commands waiting behind a single read never reach a unit once the
// operator cancelled, the engine aborted, or the port was lost and reopened.
void TestInterface::oneShotsDropped_data()
{
    QTest::addColumn<Drop>("drop");
    QTest::newRow("Cancel") << Drop::Cancel;
    QTest::newRow("abort after three failures") << Drop::Abort;
    QTest::newRow("port lost and reopened") << Drop::Reopen;
}

void TestInterface::oneShotsDropped()
{
    QFETCH(Drop, drop);
    EngineWorld w;
    FakeUnit unit(w);
    if (drop == Drop::Abort)
        unit.answer = [](const QByteArray &) { return QByteArray(); };
    w.view().setTestPagerAddress(u"1234"_s);
    w.engine().requestRead(5);
    QVERIFY(unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::ReadStart; }) > 0);
    // Every one-shot command, first and last of the taking order included.
    w.engine().requestReadAll();
    w.engine().requestWriteAll();
    w.engine().requestPagerCall();
    w.engine().requestRestart();
    w.engine().requestLineCheck();
    switch (drop) {
    case Drop::Cancel: w.engine().cancelByOperator(); break;
    case Drop::Abort: QVERIFY(unit.runUntil([&] { return !w.view().messages().isEmpty(); }, 2000) > 0); break;
    case Drop::Reopen:
        w.session().datacom.LinkWatch = 0;
        w.tick();
        w.session().datacom.LinkWatch = 20;
        QVERIFY(w.tickUntilState(Interface::State::Idle, 50) > 0);
        QVERIFY(w.view().progress().endsWith(u"\r\nCurrent programming / reading action cancelled!\r\n"_s));
        break;
    }
    QVERIFY(unit.runUntilQuiet() > 0);
    unit.runUntil([] { return false; }, 300);
    QCOMPARE(unit.requestedItems('W'), QList<int>{});
    QVERIFY(unit.requestedItems('2').isEmpty() && unit.requestedItems('R').isEmpty());
    // Only the single read asked for first: no read-all, no line check read.
    for (int item : unit.requestedItems('w'))
        QCOMPARE(item, 5);
    for (Command command : OneShotRequests::kTakingOrder)
        QVERIFY(!w.engine().requested(command));
}

// Backup before a write-all, the values confirmed sent, and the read-back.
void TestInterface::writeSafeguards_data()
{
    QTest::addColumn<Before>("before");
    QTest::addColumn<bool>("unitKeepsOther");
    QTest::addColumn<bool>("backupReadFails");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<Outcome::Result>("result");
    QTest::addColumn<Outcome::Stage>("stage");
    QTest::addColumn<int>("readBackEqual");

    QTest::newRow("backup read, write, read back equal")
        << Before::Nothing << false << false << u"14w 14W 14w"_s << Result::Succeeded << Outcome::Stage::Transfer << 14;
    // What a read-all read earlier is not the backup: the unit is read again.
    QTest::newRow("backup read again after read-all")
        << Before::ReadAll << false << false << u"14w 14W 14w"_s << Result::Succeeded << Outcome::Stage::Transfer << 14;
    QTest::newRow("link re-pointed after read-all: the new unit's values kept")
        << Before::ReadAllThenRepointed << false << false << u"14w 14W 14w"_s << Result::Succeeded
        << Outcome::Stage::Transfer << 14;
    QTest::newRow("file loaded after read-all: read first, the file's values written")
        << Before::ReadAllThenFile << false << false << u"14w 14W 14w"_s << Result::Succeeded << Outcome::Stage::Transfer
        << 14;
    // A reopen between the backup read and the writes: the port may lead to
    // another unit, so nothing is written, lost or reopened by the operator.
    QTest::newRow("port lost in the backup read: nothing written")
        << Before::PortLostInBackupRead << false << false << u"3w"_s << Result::Failed << Outcome::Stage::Backup << -1;
    QTest::newRow("port reopened in the backup read: nothing written")
        << Before::ReopenedInBackupRead << false << false << u"3w"_s << Result::Failed << Outcome::Stage::Backup << -1;
    QTest::newRow("signal in the backup read: nothing written")
        << Before::SignalInBackupRead << false << false << u"3w"_s << Result::Cancelled << Outcome::Stage::Backup << -1;
    // Judged by what the unit received: no write without a backup kept.
    QTest::newRow("backup cannot be saved: nothing written")
        << Before::BackupUnsavable << false << false << u"14w"_s << Result::Failed << Outcome::Stage::Backup << -1;
    QTest::newRow("backup read fails: nothing written")
        << Before::Nothing << false << true << u"3w"_s << Result::Failed << Outcome::Stage::Backup << -1;
    // Stopped with the second read-back out: one outcome, the read-back cut after 1 of 14.
    QTest::newRow("signal in the read-back")
        << Before::SignalInReadBack << false << false << u"14w 14W 2w"_s << Result::Cancelled << Outcome::Stage::ReadBack << -1;
    // Lost with the second read-back answered and the third not sent: no item was under way.
    QTest::newRow("port lost between two read-backs")
        << Before::PortLostBetweenReadBacks << false << false << u"14w 14W 2w"_s << Result::Failed
        << Outcome::Stage::ReadBack << -1;
    QTest::newRow("unit keeps another value")
        << Before::Nothing << true << false << u"14w 14W 14w"_s << Result::Failed << Outcome::Stage::ReadBack << 13;
    QTest::newRow("single write read back")
        << Before::SingleWrite << false << false << u"1W 1w"_s << Result::Succeeded << Outcome::Stage::Transfer << 1;
    QTest::newRow("single write, unit keeps another value")
        << Before::SingleWrite << true << false << u"1W 1w"_s << Result::Failed << Outcome::Stage::ReadBack << 0;
    QTest::newRow("single write, cancelled in the read-back")
        << Before::SingleWriteCancelledInReadBack << true << false << u"1W 1w"_s << Result::Cancelled
        << Outcome::Stage::ReadBack << -1;
}

void TestInterface::writeSafeguards()
{
    QFETCH(Before, before);
    QFETCH(bool, unitKeepsOther);
    QFETCH(bool, backupReadFails);
    QFETCH(QString, wire);
    QFETCH(Outcome::Result, result);
    QFETCH(Outcome::Stage, stage);
    QFETCH(int, readBackEqual);
    EngineWorld w(QString(), true);
    FakeUnit unit(w);
    unit.keepsWrites = true;
    if (unitKeepsOther)
        unit.heldInstead = 0;
    if (backupReadFails)
        unit.answer = [](const QByteArray &) { return QByteArray(); };
    if (before == Before::ReadAll || before == Before::ReadAllThenFile || before == Before::ReadAllThenRepointed) {
        w.engine().requestReadAll();
        QVERIFY(unit.runUntilQuiet() > 0);
    }
    // Another unit behind the same port: its every bulk setting 0.
    const bool repointed = before == Before::ReadAllThenRepointed;
    if (repointed) {
        for (int n : Items::kBulkItems)
            unit.values[n] = QByteArray(1, '\0');
    }
    if (before == Before::ReadAllThenFile) {
        Stores::ValueStore file;
        file.fill(Values::integer(0));
        const QString path = w.home.filePath(u"site.cfg"_s);
        QVERIFY(LeesIniFile::writeSettingsValues(file, path).ok);
        QVERIFY(LeesIniFile::ReadSettingsFile(w.stores(), w.controls(), path).ok);
    }
    if (before == Before::BackupUnsavable)
    {
        QFile blocker(w.home.filePath(u"Backups"_s)); // a file where the folder goes
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    unit.requests.clear();
    QList<Outcome> outcomes;
    w.engine().addOutcomeListener([&](const Outcome &o) { outcomes << o; });
    w.controls().setComboIndex(33, 2); // even parity in the unit, odd on the screen
    const bool single = before == Before::SingleWrite || before == Before::SingleWriteCancelledInReadBack;
    if (single)
        w.engine().requestWrite(33);
    else
        w.engine().requestWriteAll();
    w.controls().setComboIndex(33, 0); // after the confirmation: not sent
    if (before == Before::SingleWriteCancelledInReadBack) {
        // The read in hand still runs to its end, storing the unit's value only.
        QVERIFY(unit.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::ReadStart; }) > 0);
        w.engine().cancelByOperator();
    }
    if (before == Before::SignalInReadBack) {
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == 30; }) > 0);
        w.engine().stop(Outcome::Stop::Signal);
    }
    if (before == Before::PortLostBetweenReadBacks) {
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == 30 && !w.engine().transaction(); }) > 0);
        w.session().datacom.LinkWatch = 0;
        w.tick();
        w.session().datacom.LinkWatch = 20;
    }
    const bool reopened = before == Before::PortLostInBackupRead || before == Before::ReopenedInBackupRead;
    const bool stoppedInBackup = reopened || before == Before::SignalInBackupRead;
    if (stoppedInBackup) {
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == 3; }) > 0);
        if (before == Before::SignalInBackupRead) {
            w.engine().stop(Outcome::Stop::Signal);
        } else if (before == Before::ReopenedInBackupRead) {
            QCOMPARE(w.session().reopenComPort(), 0);
        } else {
            w.session().datacom.LinkWatch = 0;
            w.tick();
            w.session().datacom.LinkWatch = 20;
        }
    }
    QVERIFY(unit.runUntil([&] { return !outcomes.isEmpty() && w.engine().isQuiet(); }, 8000) > 0);

    QCOMPARE(wireSummary(unit.requests), wire);
    QCOMPARE(outcomes.size(), 1);
    const Outcome &o = outcomes.first();
    QCOMPARE(o.result, result);
    QCOMPARE(o.stage, stage);
    QCOMPARE(o.readBackEqual, readBackEqual);
    if (before == Before::SignalInReadBack) {
        QCOMPARE(o.readBackRead, 1);
        const QString log = w.logLines().join(u'\n');
        QCOMPARE(log.count(u"Write all settings"_s), 1);
        QVERIFY2(log.contains(u"Write all settings: 14 written; read-back stopped by a signal after 1 of 14; backup Backups/"_s), qPrintable(log.mid(log.indexOf(u"Write all"_s))));
    }
    if (before == Before::PortLostBetweenReadBacks) {
        QCOMPARE(o.item, -1);
        const QString log = w.logLines().join(u'\n');
        QVERIFY2(log.contains(u"Write all settings: 14 written; read back failed: port lost (2 of 14 read back); backup Backups/"_s), qPrintable(log.mid(log.indexOf(u"Write all"_s))));
    }
    for (const QByteArray &f : std::as_const(unit.requests)) {
        if (FakeUnit::kind(f) == 'W' && FakeUnit::itemOf(f) == 33)
            QCOMPARE(int(f[11]), 2);
    }
    // The screen keeps what the operator wrote; the unit's value is its own.
    QCOMPARE(w.stores().workingValues[33], Values::integer(2));
    if (before == Before::SingleWriteCancelledInReadBack)
        QCOMPARE(w.stores().unitValues[33], Values::text(u"0"_s));
    if (unitKeepsOther && o.result != Result::Cancelled) {
        QCOMPARE(o.mismatches.size(), 1);
        QCOMPARE(w.stores().unitValues[33], Values::text(u"0"_s));
        QVERIFY(outcomeText(o, w.controls()).contains(u"ESPA out serial parity: written odd parity, the unit holds no parity"_s));
    }
    if (single || before == Before::BackupUnsavable)
        return;
    const QStringList backups = QDir(w.home.filePath(u"Backups"_s)).entryList(QDir::Files);
    QCOMPARE(backups.size(), backupReadFails || stoppedInBackup ? 0 : 1);
    if (before == Before::SignalInBackupRead) {
        const QString log = w.logLines().join(u'\n');
        QCOMPARE(log.count(u"Write all settings"_s), 1);
        QVERIFY(log.contains(u"Write all settings stopped by a signal during the backup read; nothing was written"_s));
        return;
    }
    if (backupReadFails || reopened) {
        const QString why = backupReadFails ? u"no answer"_s : u"port lost"_s;
        QVERIFY(outcomeText(o, w.controls()).endsWith(u"could not back up the unit's settings: "_s + why + u"; nothing was written"_s));
        return;
    }
    // The unit's values as they were, in an ordinary settings file.
    QCOMPARE(o.backupPath, w.home.filePath(u"Backups/"_s + backups.first()));
    QVERIFY(backups.first().startsWith(u"2026-12-07_140509_"_s));
    QMap<int, LeesIniFile::ValueLine> lines;
    QVERIFY(LeesIniFile::readValueLines(o.backupPath, &lines).ok);
    QCOMPARE(lines.size(), 250);
    QCOMPARE(lines.value(33).text, repointed ? u"0"_s : u"1"_s);
    // Every bulk item as the unit held it before the writes, the others as confirmed.
    for (int n : Items::kBulkItems)
        QCOMPARE(lines.value(n).text, repointed ? u"0"_s : u"1"_s);
    QVERIFY(w.logLines().join(u'\n').contains(u"; backup Backups/2026-12-07_140509_"_s));
}

namespace {

// What happens around a commission: nothing, the changes confirmed or refused
// when told, a signal with the second write out, or no read-back.
enum class Around { Nothing, Confirm, Refuse, SignalSecondWrite, SignalInReadBack, NoReadBack, OtherWriter };

} // namespace

Q_DECLARE_METATYPE(Around)

// Commissioning: one bulk read (the backup), then only the differing items
// written in bulk order, then their read-back; one outcome, one line.
void TestInterface::commission_data()
{
    QTest::addColumn<QList<int>>("differing");
    QTest::addColumn<Around>("around");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<Outcome::Result>("result");
    QTest::addColumn<QString>("line");

    const QList<int> six{7, 10, 13, 14, 30, 33};
    const QList<int> all(Items::kBulkItems.begin(), Items::kBulkItems.end());
    QTest::newRow("none differ") << QList<int>{} << Around::Nothing << u"14w"_s << Result::Succeeded
                                 << u"Write changes: the unit already holds these settings; nothing written; backup Backups/"_s;
    QTest::newRow("6 differ") << six << Around::Nothing << u"14w 6W 14w"_s << Result::Succeeded
                              << u"Write changes: 6 of 14 settings changed (items 7 10 13 14 30 33), 6 read back equal; backup Backups/"_s;
    QTest::newRow("all differ") << all << Around::Nothing << u"14w 14W 14w"_s << Result::Succeeded
                                << u"Write changes: 14 of 14 settings changed (items 0 5 7 10 11 12 13 14 30 31 32 33 34 35), 14 read back equal; backup Backups/"_s;
    QTest::newRow("6 differ, no read-back") << six << Around::NoReadBack << u"14w 6W"_s << Result::Succeeded
                                            << u"Write changes: 6 of 14 settings changed (items 7 10 13 14 30 33); backup Backups/"_s;
    QTest::newRow("held, then confirmed") << six << Around::Confirm << u"14w 6W 14w"_s << Result::Succeeded
                                          << u"Write changes: 6 of 14 settings changed (items 7 10 13 14 30 33), 6 read back equal"_s;
    QTest::newRow("held, then refused") << six << Around::Refuse << u"14w"_s << Result::Cancelled
                                        << u"Write changes cancelled; 0 of 6 written; not sent: items 7 10 13 14 30 33; backup Backups/"_s;
    // Done means the unit holds the target: the final read covers what was not written.
    QTest::newRow("another writer between the read and the writes") << QList<int>{7, 10} << Around::OtherWriter << u"14w 2W 14w"_s << Result::Failed
                                                                    << u"Write changes: 2 written, 2 read back equal; ESPA in serial parity: should be even parity, the unit holds odd parity, not written by this command"_s;
    QTest::newRow("signal in the final read") << six << Around::SignalInReadBack << u"14w 6W 2w"_s << Result::Cancelled
                                              << u"Write changes: 6 written; read-back stopped by a signal after 1 of 14; backup Backups/"_s;
    QTest::newRow("signal with the second write out") << six << Around::SignalSecondWrite << u"14w 2W"_s << Result::Cancelled
                                                      << u"Write changes stopped by a signal; 1 of 6 written (item 7); item 10 sent, not acknowledged: the unit may hold the new value; not sent: items 13 14 30 33; backup Backups/"_s;
}

void TestInterface::commission()
{
    QFETCH(QList<int>, differing);
    QFETCH(Around, around);
    QFETCH(QString, wire);
    QFETCH(Outcome::Result, result);
    QFETCH(QString, line);
    const QList<int> all(Items::kBulkItems.begin(), Items::kBulkItems.end());
    EngineWorld w(QString(), true);
    FakeUnit unit(w);
    unit.keepsWrites = true;
    w.engine().setReadBack(around != Around::NoReadBack);
    // The unit holds 1 in every bulk item ("1" as read); the target holds the number 1, or 0 where it differs.
    Stores::ValueStore target = w.stores().workingValues;
    for (int n : Items::kBulkItems)
        target[n] = Values::integer(differing.contains(n) ? 0 : 1);
    QList<Outcome> outcomes;
    w.engine().addOutcomeListener([&](const Outcome &o) { outcomes << o; });
    QList<QList<Interface::Change>> told;
    w.engine().setChangesListener([&](const QList<Interface::Change> &changes) {
        QVERIFY(w.engine().holdsForConfirmation());
        told << changes;
    });
    const bool confirmFirst = around == Around::Confirm || around == Around::Refuse;
    w.engine().requestCommission(target, confirmFirst);
    if (confirmFirst) {
        QVERIFY(unit.runUntil([&] { return !told.isEmpty(); }) > 0);
        // Held: nothing is sent while the question is open, long enough for programming mode to lapse.
        unit.runUntil([] { return false; }, Interface::kWriteProgMode + 10);
        QCOMPARE(unit.requests.size(), 14);
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.first().size(), differing.size());
        QCOMPARE(told.first().first().item, differing.first());
        QCOMPARE(told.first().first().before, Values::text(u"1"_s));
        QCOMPARE(told.first().first().after, Values::integer(0));
        w.engine().confirmChanges(around == Around::Confirm);
    }
    if (around == Around::OtherWriter) {
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == 15; }) > 0);
        unit.values[13] = QByteArray(1, char(2));
    }
    if (around == Around::SignalSecondWrite || around == Around::SignalInReadBack) {
        const int out = around == Around::SignalSecondWrite ? 16 : 22;
        QVERIFY(unit.runUntil([&] { return unit.requests.size() == out; }) > 0);
        w.engine().stop(Outcome::Stop::Signal);
    }
    QVERIFY(unit.runUntil([&] { return !outcomes.isEmpty() && w.engine().isQuiet(); }, 8000) > 0);
    unit.runUntil([] { return false; }, 100);

    QCOMPARE(wireSummary(unit.requests), wire);
    if (result == Result::Succeeded) {
        // Only the differing items, in bulk order, then their reads.
        QCOMPARE(unit.requestedItems('W'), differing);
        QCOMPARE(unit.requestedItems('w').mid(14), around == Around::NoReadBack || differing.isEmpty() ? QList<int>{} : all);
        for (int n : Items::kBulkItems)
            QCOMPARE(unit.values.value(n, QByteArray(1, '\x01')), QByteArray(1, differing.contains(n) ? '\0' : '\x01'));
    }
    // A wake-up before the first write when programming mode lapsed meanwhile.
    if (around == Around::Confirm)
        QCOMPARE(unit.wakeUps, 2);
    QCOMPARE(outcomes.size(), 1);
    QCOMPARE(outcomes.first().command, Command::Commission);
    QCOMPARE(outcomes.first().result, result);
    const QString log = w.logLines().join(u'\n');
    QCOMPARE(log.count(u"Write changes"_s), 1);
    QVERIFY2(log.contains(line), qPrintable(log.mid(log.indexOf(u"Write changes"_s))));
    QVERIFY(!log.contains(u"successfull"_s));
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
    // The read is the backup, kept whatever follows.
    QCOMPARE(QDir(w.home.filePath(u"Backups"_s)).entryList(QDir::Files).size(), 1);
}

QTEST_GUILESS_MAIN(TestInterface)
#include "tst_interface.moc"
