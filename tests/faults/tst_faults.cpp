#include "FaultWorld.h"

#include "files/LeesIniFile.h"
#include "model/Items.h"
#include "testsupport/Ser2netServer.h"
#include "testsupport/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

enum class Op { ReadAll, WriteAll, WriteChar, WriteInt, WriteTekst, WriteHex, PagerCall, Restart };
// What the operator ends up with.
enum class Expect {
    Succeeds,      // done, and the tool and the unit agree
    Aborts,        // three counted failures: the transfer stops with a message box
    Reported,      // a one-shot action that failed, with a log line saying so
    NoReport,      // a one-shot action that failed without a log line
    UnitKeepsOther // acknowledged, but the unit kept another value: a read shows it
};

const QString kReadAllDone = u"Reading of all settings was successfull."_s;
const QString kWriteAllDone = u"Programming of all settings was successfull."_s;
const QString kPagerDone = u"STATUS: Calling pager via Tessaro succesfull."_s;
const QString kRestartDone = u"STATUS: RESET command send to the converter."_s;

QString opName(Op op)
{
    switch (op) {
    case Op::ReadAll: return u"read-all"_s;
    case Op::WriteAll: return u"write-all"_s;
    case Op::WriteChar: return u"write CHAR 13"_s;
    case Op::WriteInt: return u"write INT 110"_s;
    case Op::WriteTekst: return u"write TEKST 160"_s;
    case Op::WriteHex: return u"write hex digit 45"_s;
    case Op::PagerCall: return u"pager call"_s;
    case Op::Restart: return u"restart"_s;
    }
    return QString();
}

QString expectName(Expect o)
{
    switch (o) {
    case Expect::Succeeds: return u"succeeds"_s;
    case Expect::Aborts: return u"aborted with a message"_s;
    case Expect::Reported: return u"failure logged"_s;
    case Expect::NoReport: return u"ends without a log line"_s;
    case Expect::UnitKeepsOther: return u"acknowledged, unit kept another value"_s;
    }
    return QString();
}

bool isRead(Op op) { return op == Op::ReadAll; }
bool isWrite(Op op) { return op >= Op::WriteAll && op <= Op::WriteHex; }

// What each fault of the unit, made always or on every second request, does
// to each operation.
Expect expected(Op op, const QString &fault, bool always)
{
    const bool recovers = !always; // the retry meets a good answer
    if (op == Op::PagerCall || op == Op::Restart) {
        // One-shot actions, never retried; only made with "always" here.
        if (fault == u"no-answer" || fault == u"checksum" || fault == u"short")
            return Expect::Reported;
        if (fault == u"nack")
            return op == Op::PagerCall ? Expect::Reported : Expect::NoReport;
        if (fault == u"long")
            return Expect::NoReport;
        return Expect::Succeeds;
    }
    if (fault == u"no-answer" || fault == u"checksum" || fault == u"short" || fault == u"nack")
        return recovers ? Expect::Succeeds : Expect::Aborts;
    if (fault == u"long") // ten in a row count as one failure
        return recovers ? Expect::Succeeds : Expect::Aborts;
    // Item 0 answered as item 1, which has no reading: counted. Writes meet it
    // in the reads around them (the backup, the read-back).
    if (fault == u"other-item")
        return always ? Expect::Aborts : Expect::Succeeds;
    if (fault == u"wrong-value")
        return isWrite(op) ? Expect::UnitKeepsOther : Expect::Succeeds;
    return Expect::Succeeds; // noise, slow, text
}

// The value text the tool holds as in the unit, in the unit's own form.
QString toolUnitText(const Stores &stores, int item)
{
    const QString text = Values::textOf(stores.unitValues[item]);
    return item < 150 ? text.trimmed() : text;
}

// Every value the tool takes to be in the unit is in the unit.
void verifyToolAgreesWithUnit(FaultWorld &w, const UnitItems &unit)
{
    for (int i = 0; i < Items::kItemCount; ++i) {
        if (w.stores().unitValues[i] == Values::integer(-1))
            continue;
        QVERIFY2(toolUnitText(w.stores(), i) == unit.valueText(i),
                 qPrintable(u"item %1: tool has \"%2\", unit has \"%3\""_s.arg(i).arg(toolUnitText(w.stores(), i),
                                                                                     unit.valueText(i))));
    }
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void unitFaults_data();
    void unitFaults();
    void unitKilledMidReadAll();
    void deviceServerGoneMidWriteAll();
    void unitLinkOnSignal_data();
    void unitLinkOnSignal();
    void idleNoiseAndText_data();
    void idleNoiseAndText();
    void settingsSaveDiskFaults_data();
    void settingsSaveDiskFaults();
    void logFolderNotWritable_data();
    void logFolderNotWritable();
};

void TestFaults::unitFaults_data()
{
    QTest::addColumn<int>("opNumber");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("always");
    const QStringList faults = UnitFaultPlan::names();
    for (Op op : {Op::ReadAll, Op::WriteAll, Op::WriteChar, Op::WriteInt, Op::WriteTekst, Op::WriteHex, Op::PagerCall,
                  Op::Restart}) {
        for (const QString &fault : faults) {
            for (bool always : {false, true}) {
                if (!always && (op == Op::PagerCall || op == Op::Restart))
                    continue;
                // Every answer trickling in takes a real second; half of them do for the bulk transfers.
                if (always && fault == u"slow" && (op == Op::ReadAll || op == Op::WriteAll))
                    continue;
                const QString name = opName(op) + u", "_s + fault + (always ? u" always"_s : u" every 2nd"_s);
                QTest::newRow(qPrintable(name)) << int(op) << fault << always;
            }
        }
    }
}

// Each fault the unit can make, during each operation, through the real port.
void TestFaults::unitFaults()
{
    QFETCH(int, opNumber);
    QFETCH(QString, fault);
    QFETCH(bool, always);
    const Op op = Op(opNumber);
    const Expect expect = expected(op, fault, always);
    UnitInProcess unit(always ? fault : fault + u":2"_s);
    QList<UnitEvent> events;
    unit.unit.session().setEventHook([&](const UnitEvent &e) { events << e; });
    const UnitItems before = unit.items;
    FaultWorld w(unit.unit.devicePath());

    // A single write made every second request: a read of the item goes
    // first, so that the write meets the fault and its retry does not.
    auto readFirst = [&](int item) {
        if (always)
            return;
        w.engine().requestRead(item);
        QVERIFY(w.runUntilQuiet(2000));
        QCOMPARE(toolUnitText(w.stores(), item), unit.items.valueText(item));
    };
    // The screen values each write sends: all different from the unit's.
    QMap<int, QString> intended;
    auto chooseNext = [&](int item) {
        const int next = (unit.items.valueText(item).toInt() + 1) % w.controls().comboCount(item);
        w.controls().setComboIndex(item, next);
        intended[item] = QString::number(next);
    };
    switch (op) {
    case Op::ReadAll: w.engine().requestReadAll(); break;
    case Op::WriteAll:
        for (int item : Items::kBulkItems)
            chooseNext(item);
        w.engine().requestWriteAll();
        break;
    case Op::WriteChar:
        readFirst(13);
        chooseNext(13);
        w.engine().requestWrite(13);
        break;
    case Op::WriteHex:
        readFirst(45);
        chooseNext(45);
        w.engine().requestWrite(45);
        break;
    case Op::WriteInt:
        readFirst(110);
        w.controls().setText(110, u"4660"_s);
        intended[110] = u"4660"_s;
        w.engine().requestWrite(110);
        break;
    case Op::WriteTekst:
        readFirst(160);
        w.controls().setText(160, u"Ward 3 \u20AC ok"_s);
        intended[160] = u"Ward 3 \u20AC ok"_s;
        w.engine().requestWrite(160);
        break;
    case Op::PagerCall:
        w.view().setTestPagerAddress(u"1234"_s);
        w.view().setTestPagerDisplayInfo(u"Kamer 12"_s);
        w.engine().requestPagerCall();
        break;
    case Op::Restart: w.engine().requestRestart(); break;
    }

    if (QTest::currentTestFailed())
        return;

    // Counted from the operation itself on, not the reads before it.
    QList<Outcome> outcomes;
    w.engine().addOutcomeListener([&](const Outcome &o) { outcomes << o; });
    // A write-all reads the unit's values first and the written ones back after.
    const int ticks = (fault == u"slow" ? 20000 : 4000) * (op == Op::WriteAll ? 3 : 1);
    QVERIFY2(w.runUntilQuiet(ticks), qPrintable(u"state %1"_s.arg(int(EngineProbe(w.engine()).EngineState()))));
    // Whatever the unit sends late (a text line, a slow answer's tail) reaches the idle engine.
    for (int i = 0; i < 60; ++i)
        w.tick();
    QVERIFY(w.quiet());
    // Each operation ends with one outcome, a success only where it succeeded.
    QCOMPARE(outcomes.size(), 1);
    // A write the unit did not keep is read back and is no success.
    bool allKept = true;
    for (auto it = intended.cbegin(); it != intended.cend(); ++it)
        allKept = allKept && unit.items.valueText(it.key()) == it.value();
    const bool succeeded = expect == Expect::Succeeds || (expect == Expect::UnitKeepsOther && allKept);
    QCOMPARE(outcomes.first().result, succeeded ? Outcome::Result::Succeeded : Outcome::Result::Failed);

    const QStringList log = w.logLines();
    const QString progress = w.view().progress();
    if (fault == u"text" && always) {
        // The unit's own messages reach the daily log, between the transfers.
        QFile file(w.session().logfile.fileNameFor(QDate(2026, 12, 7)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(" ESPA in: line idle\r\n"));
    }
    switch (expect) {
    case Expect::Succeeds:
        QVERIFY(w.view().messages().isEmpty());
        if (!always && isWrite(op) && QStringList{u"no-answer"_s, u"nack"_s, u"checksum"_s, u"short"_s, u"long"_s}.contains(fault))
            QVERIFY2(unit.unit.session().requestCount() >= 3, "the fault was never met"); // read, spoiled write, retry
        if (op == Op::ReadAll) {
            QVERIFY(log.contains(kReadAllDone));
            for (int item : Items::kBulkItems)
                QCOMPARE(toolUnitText(w.stores(), item), unit.items.valueText(item));
        } else if (op == Op::WriteAll) {
            QCOMPARE(outcomes.first().readBackEqual, 14);
        } else if (isWrite(op)) {
            QVERIFY2(progress.contains(u" -> Saved.\r\n"_s), qPrintable(progress));
            QCOMPARE(outcomes.first().readBackEqual, 1);
        } else if (op == Op::PagerCall) {
            QCOMPARE(log.filter(u"STATUS:"_s), QStringList{kPagerDone});
        } else {
            QCOMPARE(log.filter(u"STATUS:"_s), QStringList{kRestartDone});
        }
        for (auto it = intended.cbegin(); it != intended.cend(); ++it)
            QCOMPARE(unit.items.valueText(it.key()), it.value());
        break;
    case Expect::Aborts:
        QCOMPARE(w.view().messages().size(), 1);
        // A write-all meets the fault first in reading the unit's values for
        // its backup; a fault in answering reads only, in the read-back.
        QVERIFY(w.view().messages().first().text.endsWith(
            isRead(op) || op == Op::WriteAll || fault == u"other-item" ? u"Reading is aborted!"_s
                                                                        : u"Programming is aborted!"_s));
        QVERIFY(!log.contains(kReadAllDone) && !log.contains(kWriteAllDone));
        break;
    case Expect::Reported:
        QVERIFY2(!log.filter(u"ERROR"_s).isEmpty() || !log.filter(u"failed"_s).isEmpty(), qPrintable(log.join(u'\n')));
        QVERIFY(!log.contains(kPagerDone) && !log.contains(kRestartDone));
        break;
    case Expect::NoReport:
        QVERIFY(log.filter(u"STATUS:"_s).isEmpty());
        break;
    case Expect::UnitKeepsOther:
        // The read-back told which settings the unit did not keep.
        QVERIFY(!allKept || !always);
        QCOMPARE(outcomes.first().mismatches.size() + outcomes.first().readBackEqual, qsizetype(intended.size()));
        break;
    }

    // Nothing lost, no wrong byte: every item of the unit holds its old value
    // or the one the operator sent, and the tool's idea of the unit is true.
    for (int i = 0; i < Items::kItemCount; ++i) {
        const QString now = unit.items.valueText(i);
        if (expect != Expect::UnitKeepsOther)
            QVERIFY2(now == before.valueText(i) || now == intended.value(i),
                     qPrintable(u"item %1 holds \"%2\""_s.arg(i).arg(now)));
    }
    // A unit keeping values outside its lists reads them as the first choice.
    if (expect != Expect::UnitKeepsOther)
        verifyToolAgreesWithUnit(w, unit.items);
    // The one-shot actions claim success only when the unit did it (an answer
    // lost on the way can leave it done and reported as failed, not the reverse).
    auto did = [&](UnitEvent::Kind kind) {
        return std::any_of(events.begin(), events.end(), [kind](const UnitEvent &e) { return e.kind == kind; });
    };
    QVERIFY(!log.contains(kPagerDone) || did(UnitEvent::Kind::PagerCall));
    QVERIFY(!log.contains(kRestartDone) || did(UnitEvent::Kind::Reset));

    qInfo().noquote() << u"| %1 | %2 | %3 |"_s.arg(fault + (always ? u""_s : u":2"_s), opName(op), expectName(expect));
}

// The unit loses power in the middle of a read-all and comes back at the same
// path: the tool closes the dead port, reopens it once the unit is back, drops
// what was pending with a message, and the next read-all gets every value.
void TestFaults::unitKilledMidReadAll()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(u"unit"_s);
    const QString state = dir.filePath(u"unit.cfg"_s);
    UnitItems stored;
    stored.setValueText(0, u"2"_s);
    stored.setValueText(5, u"7"_s);
    stored.setValueText(14, u"45"_s);
    stored.setValueText(35, u"1"_s);
    QVERIFY(stored.save(state));

    auto startUnit = [&]() -> std::unique_ptr<QProcess> {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(TESSARO_UNIT_PATH), {u"--fast"_s, u"--link"_s, link, u"--state"_s, state});
        if (!p->waitForStarted(10000))
            return nullptr;
        while (p->state() == QProcess::Running && !p->canReadLine())
            p->waitForReadyRead(100);
        if (!p->canReadLine())
            return nullptr;
        p->readLine(); // the terminal's device
        return p;
    };
    std::unique_ptr<QProcess> unit = startUnit();
    QVERIFY(unit);
    FaultWorld w(link);
    QVERIFY(w.port().isOpen());

    w.engine().requestReadAll();
    auto known = [&] {
        int n = 0;
        for (int item : Items::kBulkItems)
            n += w.stores().unitValues[item] != Values::integer(-1) ? 1 : 0;
        return n;
    };
    QVERIFY(w.runUntil([&] { return known() >= 4; }, 2000));
    // Switched off: the terminal and its link go away. (A unit killed without
    // a chance to remove its link leaves it pointing at a terminal number that
    // the next terminal opened on the machine may take.)
    unit->terminate();
    QVERIFY(unit->waitForFinished(10000));
    QVERIFY(!QFileInfo::exists(link));

    // The dead line closes the port; the tool keeps trying to reopen it.
    QVERIFY(w.runUntil([&] { return EngineProbe(w.engine()).EngineState() == Interface::State::ReopenPort; }, 1000));
    w.runUntil([] { return false; }, 300);
    QVERIFY(!w.port().isOpen());
    QVERIFY(!w.progressHasCancel());

    unit = startUnit();
    QVERIFY(unit);
    QVERIFY(w.runUntil([&] { return w.progressHasCancel(); }, 1000));
    QVERIFY(w.quiet());
    QVERIFY(!w.logLines().contains(kReadAllDone));
    QVERIFY(w.view().messages().isEmpty());

    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(3000));
    QVERIFY(w.logLines().contains(kReadAllDone));
    for (int item : Items::kBulkItems)
        QCOMPARE(toolUnitText(w.stores(), item), stored.valueText(item));

    unit->terminate();
    QVERIFY(unit->waitForFinished(10000));
}

// The item numbers after `label` in the outcome line, up to the next ';' or ')'.
static QList<int> itemsAfter(const QString &outcome, const QString &label)
{
    const qsizetype at = outcome.indexOf(label);
    QList<int> items;
    if (at < 0)
        return items;
    static const QRegularExpression end(u"[;)]"_s);
    const qsizetype stop = outcome.indexOf(end, at + label.size());
    for (const QString &n : outcome.mid(at + label.size(), stop - at - label.size()).split(u' ', Qt::SkipEmptyParts))
        items << n.toInt();
    return items;
}

// The unit behind a serial device server (ser2net over RFC 2217) that goes
// away mid write-all: the connection is the port and is lost as a serial
// device is; the outcome names what the unit took. Started again, the server
// is reached on the reopen schedule with no command given.
void TestFaults::deviceServerGoneMidWriteAll()
{
    UnitInProcess unit;
    Ser2netServer server(Ser2netServer::Kind::Rfc2217, unit.unit.devicePath());
    QString why;
    QVERIFY2(server.start(&why), qPrintable(why));
    FaultWorld w(server.address());
    QVERIFY(w.runUntil([&] { return w.port().isOpen(); }, 400));
    QMap<int, QString> before;
    for (int item : Items::kBulkItems) {
        before.insert(item, unit.items.valueText(item));
        w.controls().setComboIndex(item, unit.items.valueText(item) == u"0"_s ? 1 : 0);
    }
    w.engine().requestWriteAll();
    QVERIFY(w.runUntil([&] { return w.view().progress().count(u" -> Saved."_s) >= 3; }, 3000));
    QVERIFY(server.stop());
    const auto outcomes = [&] { return w.logLines().filter(u"Write all settings aborted at item "_s); };
    QVERIFY(w.runUntil([&] { return !outcomes().isEmpty(); }, 1000));
    QVERIFY(!w.port().isOpen());
    const QStringList lines = outcomes();
    QCOMPARE(lines.size(), 1);
    const QString outcome = lines.first();
    QVERIFY2(outcome.contains(u": port lost; "_s), qPrintable(outcome));
    const QList<int> written = itemsAfter(outcome, u" written (items "_s);
    const QList<int> notSent = itemsAfter(outcome, u"not sent: items "_s);
    QVERIFY2(written.size() >= 3 && !notSent.isEmpty(), qPrintable(outcome));
    for (int item : written)
        QVERIFY2(unit.items.valueText(item) != before.value(item), qPrintable(outcome));
    for (int item : notSent)
        QCOMPARE(unit.items.valueText(item), before.value(item));

    w.runUntil([] { return false; }, 300);
    QVERIFY(!w.port().isOpen());
    QVERIFY2(server.start(&why), qPrintable(why));
    QVERIFY(w.runUntil([&] { return w.port().isOpen() && w.quiet(); }, 600));
    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(3000));
    QVERIFY(w.logLines().contains(kReadAllDone));
    for (int item : Items::kBulkItems)
        QCOMPARE(toolUnitText(w.stores(), item), unit.items.valueText(item));
}

void TestFaults::unitLinkOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("staleLink");   // a link left by a unit killed with -9
    QTest::addColumn<bool>("linkTakenOver"); // another unit made the link its own meanwhile
    QTest::newRow("SIGTERM") << int(SIGTERM) << false << false;
    QTest::newRow("SIGINT") << int(SIGINT) << false << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false << false;
    QTest::newRow("stale link replaced at start") << int(SIGTERM) << true << false;
    QTest::newRow("link taken over stays") << int(SIGTERM) << false << true;
}

// A unit ended by a signal removes its link, and only while it still names
// its own terminal; a link left behind by a killed unit is replaced at start.
void TestFaults::unitLinkOnSignal()
{
    QFETCH(int, signal);
    QFETCH(bool, staleLink);
    QFETCH(bool, linkTakenOver);
    QTemporaryDir dir;
    const QString link = dir.filePath(u"unit"_s);
    const QString elsewhere = dir.filePath(u"someone-elses-terminal"_s);
    QVERIFY(QFile(elsewhere).open(QIODevice::WriteOnly));
    if (staleLink)
        QVERIFY(QFile::link(elsewhere, link));

    QProcess unit;
    unit.start(QStringLiteral(TESSARO_UNIT_PATH), {u"--fast"_s, u"--link"_s, link});
    QVERIFY(unit.waitForStarted(10000));
    for (int i = 0; i < 100 && unit.state() == QProcess::Running && !unit.canReadLine(); ++i)
        unit.waitForReadyRead(100);
    QVERIFY(unit.canReadLine());
    const QString device = QString::fromLocal8Bit(unit.readLine()).trimmed();
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);
    if (linkTakenOver) {
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(elsewhere, link));
    }

    QCOMPARE(::kill(pid_t(unit.processId()), signal), 0);
    QVERIFY(unit.waitForFinished(10000));
    QCOMPARE(unit.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QFileInfo(link).isSymLink(), linkTakenOver);
    QVERIFY(QFileInfo::exists(elsewhere));
}

void TestFaults::idleNoiseAndText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines"); // what the log shows of them
    QTest::newRow("unit's text line") << QByteArray("ESPA in: line idle\r\n") << QStringList{u"ESPA in: line idle"_s};
    QTest::newRow("noise with a line end") << QByteArray("\x00\xFF\x55\x13\n", 5) << QStringList{u"[NULL]\u00FFU[DC3]"_s};
    QTest::newRow("noise without a line end") << QByteArray("\x00\x55", 2) << QStringList();
    QTest::newRow("stray start of a frame") << QByteArray("\x01\x0D\x01\x00\x06", 5) << QStringList{u"[SOH]"_s};
    QTest::newRow("200 characters") << QByteArray(200, 'x') << QStringList{QString(131, u'x')};
}

// Bytes the unit sends while the tool is idle are logged, and the next
// transfer is not disturbed by them.
void TestFaults::idleNoiseAndText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    FaultLine line;
    FaultWorld w(line.device());
    w.runUntil([] { return false; }, 20);
    const int logged = int(w.logLines().size());
    line.inject(bytes);
    w.runUntil([] { return false; }, 20);
    QCOMPARE(w.logLines().mid(logged), lines);

    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(2000));
    QVERIFY(w.logLines().contains(kReadAllDone));
    verifyToolAgreesWithUnit(w, line.items());
}

void TestFaults::settingsSaveDiskFaults_data()
{
    QTest::addColumn<bool>("defaultFile");
    QTest::addColumn<QString>("disk"); // full, read-only or part: room for a part of the file
    QTest::newRow("settings file, full disk") << false << u"full"_s;
    QTest::newRow("settings file, read-only folder") << false << u"read-only"_s;
    QTest::newRow("settings file, room for a part") << false << u"part"_s;
    QTest::newRow("default file, full disk") << true << u"full"_s;
    QTest::newRow("default file, read-only folder") << true << u"read-only"_s;
    QTest::newRow("default file, room for a part") << true << u"part"_s;
}

// A save that cannot reach the disk leaves the old file as it was, tells the
// operator, and loses nothing the tool holds: saved elsewhere, it is all there.
void TestFaults::settingsSaveDiskFaults()
{
    QFETCH(bool, defaultFile);
    QFETCH(QString, disk);
    const bool readOnly = disk == u"read-only"_s;
    const bool part = disk == u"part"_s;
    TmpfsMount mount;
    if (!mount.isMounted())
        QSKIP(qPrintable(mount.error()));
    UnitInProcess unit;
    FaultWorld w(unit.unit.devicePath(), defaultFile ? mount.path() : QString());
    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(2000));

    const QString file = defaultFile ? LeesIniFile::defaultSettingsPath(mount.path()) : mount.filePath(u"unit.cfg"_s);
    auto save = [&](const QString &path) {
        return defaultFile && path == file ? LeesIniFile::WriteDefaultSettings(w.stores(), w.controls(), mount.path())
                                           : LeesIniFile::WriteSettingsFile(w.stores(), w.controls(), path);
    };
    QVERIFY(save(file));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray old = f.readAll();
    f.close();
    const QStringList namesBefore = QDir(mount.path()).entryList(QDir::Files);

    // The operator changes two values, then saves onto a disk that fails.
    w.controls().setComboIndex(5, 9);
    w.controls().setText(160, u"Ward 3 \u20AC ok"_s);
    w.session().logfile.closeFile(); // a file held open for writing keeps the disk writable
    if (readOnly)
        QVERIFY(mount.remountReadOnly());
    else if (part) {
        // Long texts make the new file longer than the one page left free,
        // so the write stops part-way.
        for (int item = 150; item <= 232; ++item) {
            if (item != 160)
                w.controls().setText(item, QString(40, u'x'));
        }
        QTemporaryDir measure;
        const QString sized = QDir(measure.path()).filePath(u"unit.cfg"_s);
        QVERIFY(LeesIniFile::WriteSettingsFile(w.stores(), w.controls(), sized));
        const qint64 size = QFileInfo(sized).size();
        QVERIFY(mount.fillLeaving(4096));
        const qint64 free = QStorageInfo(mount.path()).bytesAvailable();
        QVERIFY2(free > 0 && free < size, qPrintable(u"%1 free for %2 bytes"_s.arg(free).arg(size)));
    } else
        QVERIFY(mount.fill());
    const FileResult result = save(file);
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(file)), qPrintable(result.error));
    QVERIFY2(result.error.contains(u"previous file was left unchanged"_s), qPrintable(result.error));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), old);
    f.close();
    QStringList namesAfter = QDir(mount.path()).entryList(QDir::Files);
    namesAfter.removeAll(u"filler"_s);
    QCOMPARE(namesAfter, namesBefore); // no half-written temporary file left behind

    QTemporaryDir elsewhere;
    const QString good = QDir(elsewhere.path()).filePath(u"unit.cfg"_s);
    QVERIFY(save(good));
    UnitInProcess other;
    FaultWorld reader(other.unit.devicePath());
    QVERIFY(LeesIniFile::ReadSettingsFile(reader.stores(), reader.controls(), good));
    QCOMPARE(reader.controls().comboIndex(5), 9);
    QCOMPARE(reader.controls().text(160), u"Ward 3 \u20AC ok"_s);
    for (int item : Items::kBulkItems) {
        if (item != 5)
            QCOMPARE(reader.controls().comboIndex(item), w.controls().comboIndex(item));
    }
}

void TestFaults::logFolderNotWritable_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only disk") << u"read-only"_s;
    QTest::newRow("full disk") << u"full"_s;
    QTest::newRow("a file where the folder would be") << u"file"_s;
}

// A log that cannot be written costs the tool nothing: the transfers run, the
// window shows every line, and no torn line is left in the file.
void TestFaults::logFolderNotWritable()
{
    QFETCH(QString, how);
    TmpfsMount disk;
    QTemporaryDir plain;
    QString home = plain.path();
    if (how != u"file") {
        if (!disk.isMounted())
            QSKIP(qPrintable(disk.error()));
        home = disk.path();
    }
    QString logFile;
    {
        // A log of today's date with one line in it already.
        UnitInProcess unit;
        FaultWorld first(unit.unit.devicePath(), home);
        logFile = first.session().logfile.fileNameFor(QDate(2026, 12, 7));
    }
    if (how == u"file") {
        QDir(home).removeRecursively();
        QDir().mkpath(home);
        QFile blocker(QDir(home).filePath(u"Log"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (how == u"read-only") {
        QVERIFY(disk.remountReadOnly());
    } else {
        QVERIFY(disk.fill());
    }
    QByteArray before;
    if (QFile f(logFile); f.open(QIODevice::ReadOnly))
        before = f.readAll();

    UnitInProcess unit;
    FaultWorld w(unit.unit.devicePath(), home);
    w.engine().requestReadAll();
    QVERIFY(w.runUntilQuiet(2000));
    w.view().setTestPagerAddress(u"1234"_s);
    w.engine().requestPagerCall();
    QVERIFY(w.runUntilQuiet(2000));
    QVERIFY(w.logLines().contains(kReadAllDone));
    QVERIFY(w.logLines().contains(kPagerDone));
    verifyToolAgreesWithUnit(w, unit.items);

    QByteArray after;
    if (QFile f(logFile); f.open(QIODevice::ReadOnly))
        after = f.readAll();
    QCOMPARE(after, before); // nothing written, nothing torn

    if (how == u"full") {
        // Room again: the log goes on, on a line of its own.
        QVERIFY(disk.removeFiller());
        w.engine().requestRestart();
        QVERIFY(w.runUntilQuiet(2000));
        QFile f(logFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray now = f.readAll();
        QVERIFY(now.startsWith(before));
        // The restart's own line, then the command's closing line.
        const QList<QByteArray> lines = now.trimmed().split('\n');
        QVERIFY(lines.size() >= 2 && lines.at(lines.size() - 2).endsWith(kRestartDone.toLatin1() + '\r'));
        QVERIFY(now.endsWith(" Restart acknowledged by the unit\r\n"));
        for (const QByteArray &l : now.split('\n').mid(0, now.count('\n')))
            QVERIFY2(l.endsWith('\r') && l.size() > 9 && l.at(2) == ':', l.constData());
    }
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
