#include "UiWorld.h"

#include "binding/ModUnitUpdate.h"
#include "files/Backups.h"
#include "files/LeesIniFile.h"
#include "model/ScreenDefinition.h"
#include "ui/FrmAbout.h"
#include "ui/FocusSign.h"
#include "ui/FrmInstellingen.h"
#include "ui/LinkStatusLine.h"
#include "ui/SerialDeviceWatch.h"
#include "ui/ShapeIndicator.h"
#include "ui/TracePage.h"
#include "ui/WindowReport.h"
#include "protocol/WireTrace.h"
#include "ui/StatusReport.h"
#include "sim/UnitItems.h"
#include "sim/UnitSession.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTabBar>
#include <QStatusBar>
#include <QTabWidget>

using namespace ScreenDefinition;
using Answer = OperatorView::Answer;
using Icon = OperatorView::Icon;
using Buttons = OperatorView::Buttons;

namespace {

const QString kWebTitle = QStringLiteral("Tessaro by www.kestrum.nl");
// More engine ticks than any wait in these tests needs; a loop that reaches it fails.
constexpr int kTickBound = 100000;

QStringList shownTabs(const QTabWidget *tabs)
{
    QStringList shown;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->isTabVisible(i))
            shown << plain(tabs->tabText(i));
    }
    return shown;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Types any text, also characters QTest::keyClicks does not take.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// What a confirmed command leaves behind.
enum class Effect { WriteAll, ReadDefault, SaveDefault, Restart };

// Answers like the headless view; meanwhile the focus goes elsewhere, as
// it does while a real box is open.
class FocusTakingView : public RecordingView
{
public:
    QPointer<QWidget> takes;

    Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) override
    {
        if (takes)
            takes->setFocus(Qt::OtherFocusReason);
        return RecordingView::messageBox(text, title, icon, buttons);
    }
};

// The simulated unit on the scripted port: it hears every byte the window
// sends and answers a whole request at once; the answer arrives with the next
// step(), as it would between two engine ticks.
struct AnsweringUnit
{
    explicit AnsweringUnit(UiWorld &world) : w(world)
    {
        session.setOptions({false, 0, {}});
        session.setSink([this](const QByteArray &bytes) { answers += bytes; });
        w.port.setWriteHook([this](quint8 byte) {
            if (answering)
                session.feed(QByteArrayView(reinterpret_cast<const char *>(&byte), 1));
        });
    }

    // One engine tick, then the unit's answer to what it sent.
    void step()
    {
        w.window->TmrAfhandel_Timer();
        w.port.queueInput(std::exchange(answers, QByteArray()));
    }
    bool runUntilQuiet()
    {
        for (int i = 0; i < 20000; ++i) {
            step();
            if (w.engine().isQuiet())
                return true;
        }
        return false;
    }

    UiWorld &w;
    UnitItems items;
    UnitSession session{items};
    QByteArray answers;
    bool answering = true;
};

// One step of the operator after a file is loaded: "change 14" (a choice by
// keyboard, which takes the file's mark away), "write all", "write 14", "read all".
void runAfterLoad(UiWorld &w, AnsweringUnit &unit, const QString &step)
{
    const int item = step.section(u' ', -1).toInt();
    if (step.startsWith(QStringLiteral("change"))) {
        QComboBox *combo = w.controls().combo(item);
        QTest::keyClick(combo, combo->currentIndex() + 1 < combo->count() ? Qt::Key_Down : Qt::Key_Up);
        QVERIFY(combo->styleSheet().isEmpty());
        QVERIFY(!combo->toolTip().startsWith(QStringLiteral("the file holds")));
        return;
    }
    if (step == QStringLiteral("write all"))
        w.click(QStringLiteral("CmdSchrijfAlles"));
    else if (step == QStringLiteral("write changes"))
        w.click(QStringLiteral("CmdWriteChanges"));
    else if (step == QStringLiteral("read all"))
        w.click(QStringLiteral("CmdLeesAlles"));
    else
        w.click(QStringLiteral("CmdWriteSingleSetting_%1").arg(item));
    QVERIFY(unit.runUntilQuiet());
    if (step == QStringLiteral("read all"))
        QVERIFY(w.controls().combo(14)->styleSheet().isEmpty());
}

} // namespace

Q_DECLARE_METATYPE(Effect)
Q_DECLARE_METATYPE(Outcome)

class TestFrmHoofdscherm : public QObject
{
    Q_OBJECT

private slots:
    void startupScreens();
    void hiddenPagesTakePartInTransfers();
    void debugModeControls_data();
    void debugModeControls();
    void timers();
    void updateVenstersColoursAndWatchesLink();
    void logWindowShowsNewestLineAtBottom();
    void indicatorBlinks_data();
    void indicatorBlinks();
    void abortBoxFindsNothingToDo();
    void linkStatusFollowsEvents_data();
    void linkStatusFollowsEvents();
    void boxesAfterAnEndingLetTheEngineRun_data();
    void boxesAfterAnEndingLetTheEngineRun();
    void statusBarTellsLastCommand_data();
    void statusBarTellsLastCommand();

    void typingLimitKeepsProgramTexts_data();
    void typingLimitKeepsProgramTexts();
    void typingRefusesCharactersOutsideTheCodePage();
    void wheelChangesOnlyAFocusedControl_data();
    void wheelChangesOnlyAFocusedControl();

    void confirmations_data();
    void confirmations();
    void writeAllShowsChanges_data();
    void writeAllShowsChanges();
    void coloursAndMarksAgree_data();
    void coloursAndMarksAgree();
    void writeChangesConfirmsFreshValues_data();
    void writeChangesConfirmsFreshValues();
    void failedWriteIsTold_data();
    void failedWriteIsTold();
    void pagerCallAddressCheck_data();
    void pagerCallAddressCheck();
    void cancelAndClearLog();
    void readBackChoiceIsKept_data();
    void readBackChoiceIsKept();
    void singleButtons_data();
    void singleButtons();
    void openComPortGivesWaitingEngineItsPort();
    void fileDialogs_data();
    void fileDialogs();
    void fileFailuresAreReported_data();
    void fileFailuresAreReported();
    void dialogsKeepTimersAndTakeFocusBack_data();
    void dialogsKeepTimersAndTakeFocusBack();
    void quit_data();
    void quit();

    void keyboardAndScreenReaderInEveryWindow_data();
    void keyboardAndScreenReaderInEveryWindow();
};

// ---------------------------------------------------------------- start-up and timers

void TestFrmHoofdscherm::startupScreens()
{
    UiWorld w;
    QCOMPARE(w.window->windowTitle(), QStringLiteral(" Tessaro Dubrion unit www.kestrum.nl"));
    QStringList menu;
    for (QAction *action : w.window->menuBar()->actions())
        menu << plain(action->text());
    QCOMPARE(menu, (QStringList{"Setup", "Quit", "About"}));

    auto *ssTab1 = w.find<QTabWidget>(QStringLiteral("SSTab1"));
    auto *ssTab2 = w.find<QTabWidget>(QStringLiteral("SSTab2"));
    auto *ssTab3 = w.find<QTabWidget>(QStringLiteral("SSTab3"));
    QCOMPARE(shownTabs(ssTab1), (QStringList{"Status", "Setup", "File", "Unit", "Service"}));
    QCOMPARE(shownTabs(ssTab2), (QStringList{"General settings", "ESPA settings"}));
    QCOMPARE(ssTab2->count(), 10);
    QCOMPARE(plain(ssTab3->tabText(ssTab3->currentIndex())), QStringLiteral("1 t/m 13"));
    QCOMPARE(ssTab2->currentIndex(), 0);
    QCOMPARE(ssTab1->currentIndex(), 0);

    // The design text of the log window is gone; nothing was logged with logging off.
    for (int i = 0; i < 25; ++i)
        QCOMPARE(w.logWindowLine(i), QString());
    QCOMPARE(w.find<QGroupBox>(QStringLiteral("FrmCommunicatie"))->title(), QStringLiteral("Serial Port: 1 9600,N,8,1"));
    QCOMPARE(w.find<ShapeIndicator>(QStringLiteral("ShpTx"))->fillColour(), QColor(192, 0, 0));
    QCOMPARE(w.find<ShapeIndicator>(QStringLiteral("ShpRx"))->fillColour(), QColor(0, 192, 0));
    QVERIFY(w.find<QPushButton>(QStringLiteral("Command2"))->isHidden());

    // The lists on the widgets; inactive CHAR items keep a hidden, empty list.
    QtItemControls &c = w.controls();
    QCOMPARE(c.combo(7)->count(), 151);
    QCOMPARE(c.combo(78)->itemText(15), QStringLiteral("BleepCode: F"));
    QVERIFY(c.combo(15)->isHidden());
    QCOMPARE(c.combo(15)->count(), 0);
    QCOMPARE(c.testBleepCombo()->currentText(), QStringLiteral("BleepCode: 1"));
    QVERIFY(c.readButton(25)->isHidden());
    QVERIFY(!c.readButton(30)->isHidden());

    // Every item control sits in the window, on whichever page.
    for (int n = 0; n < 251; ++n) {
        if (!hasControl(n))
            continue;
        QWidget *control = hasCombo(n) ? static_cast<QWidget *>(c.combo(n)) : c.textBox(n);
        QVERIFY2(w.window->isAncestorOf(control) && w.window->isAncestorOf(c.legendLabel(n)), qPrintable(QString::number(n)));
        QCOMPARE(c.legendText(n), legend(n));
    }
}

void TestFrmHoofdscherm::hiddenPagesTakePartInTransfers()
{
    UiWorld w;
    QtItemControls &c = w.controls();
    c.textBox(leadingTextItem(39))->setText(QStringLiteral("vaste tekst 39"));
    c.textBox(eventItem(20))->setText(QStringLiteral("120"));
    c.combo(bleepItem(7))->setCurrentIndex(11);
    const QString file = w.path(QStringLiteral("all.cfg"));
    QVERIFY(LeesIniFile::WriteSettingsFile(w.stores(), c, file).ok);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    QVERIFY(content.contains("\r\n232    ->vaste tekst 39\r\n"));
    QVERIFY(content.contains("\r\n124    ->120\r\n"));
    QVERIFY(content.contains("\r\n46    ->11\r\n"));
}

void TestFrmHoofdscherm::debugModeControls_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("mode");
    QTest::newRow("none") << "" << 0;
    QTest::newRow("/LOG") << "/LOG" << 1;
    QTest::newRow("/DEBUG") << "/DEBUG" << 2;
    QTest::newRow("both") << "/LOG /DEBUG" << 2;
    QTest::newRow("both reversed") << "/DEBUG /LOG" << 2;
    QTest::newRow("lower case") << "/debug /log" << 0;
    QTest::newRow("/LOG with letters after") << "/LOGGING" << 1;
}

void TestFrmHoofdscherm::debugModeControls()
{
    QFETCH(QString, commandLine);
    QFETCH(int, mode);
    UiWorld w(commandLine);
    QCOMPARE(w.engine().DebugMode(), mode);
    const bool service = mode == 2;
    QCOMPARE(!w.find<QGroupBox>(QStringLiteral("FrameCmdButtonsAlgemeen"))->isHidden(), service);
    QCOMPARE(!w.find<QGroupBox>(QStringLiteral("FrameCmdButtonsPaging"))->isHidden(), service);
    QCOMPARE(w.find<QPushButton>(QStringLiteral("CmdInstellingenOpslaan"))->isEnabled(), service);
    // The frame trace: its page and its feed from the port exist in service mode only.
    QCOMPARE(w.find<QTabWidget>(QStringLiteral("SSTab1"))->isTabVisible(5), service);
    QCOMPARE(WindowProbe(*w.window).isTracing(), service);
    for (const char byte : QByteArray::fromHex("0101807F"))
        WindowProbe(*w.window).wireTrace().take(WireTrace::Direction::Out, quint8(byte));
    const QString line = QStringLiteral("14:05:09.000 TX  wake-up                        01 01 80 7F");
    QCOMPARE(WindowProbe(*w.window).tracePage().text(), service ? line : QString());
    if (service) {
        // Save writes the lines as a text file of the tool's kind: CR LF.
        w.answers.setChosenFile(w.path(QStringLiteral("trace.txt")));
        w.click(QStringLiteral("CmdTraceSave"));
        QFile saved(w.path(QStringLiteral("trace.txt")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), line.toLatin1() + "\r\n");
    }
    QCOMPARE(!w.find<QLabel>(QStringLiteral("StatusServiceMode"))->isHidden(), service);
    // Greyed or not, it says nothing that would lead to service mode.
    QCOMPARE(w.find<QPushButton>(QStringLiteral("CmdInstellingenOpslaan"))->toolTip(), QString());
}

void TestFrmHoofdscherm::timers()
{
    UiWorld w;
    const QList<QTimer *> timers = w.timers();
    QCOMPARE(w.timersActiveAfterStart, (QList<bool>{true, true, true, true}));
    QCOMPARE((QList<int>{timers[0]->interval(), timers[1]->interval(), timers[2]->interval(), timers[3]->interval()}),
             (QList<int>{25, 250, 100, 300}));
    QCOMPARE(timers[0]->timerType(), Qt::PreciseTimer);

    // The start refresh shows the working values, once.
    timers[3]->start();
    w.stores().workingValues[10] = Values::integer(2);
    w.window->TimerStartRefresh_Timer();
    QVERIFY(!timers[3]->isActive());
    QCOMPARE(w.controls().combo(10)->currentIndex(), 2);
}

void TestFrmHoofdscherm::updateVenstersColoursAndWatchesLink()
{
    UiWorld w;
    QComboBox *combo = w.controls().combo(10);
    QLineEdit *box = w.controls().textBox(160);
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    w.stores().unitValues[10] = Values::text(QStringLiteral("0"));
    w.stores().unitValues[160] = Values::text(QStringLiteral("other"));
    const qint16 watch = w.session().datacom.LinkWatch;

    w.window->TmrUpdateVensters_Timer();
    QCOMPARE(combo->palette().color(QPalette::ButtonText), QtItemControls::matchesUnitColour());
    QCOMPARE(box->palette().color(QPalette::Text), windowText);
    QCOMPARE(w.session().datacom.LinkWatch, qint16(watch - 1)); // no DSR: the watch runs down

    combo->setCurrentIndex(1);
    box->setText(QStringLiteral("other"));
    w.port.setDsr(true);
    w.window->TmrUpdateVensters_Timer();
    QCOMPARE(combo->palette().color(QPalette::ButtonText), windowText);
    QCOMPARE(box->palette().color(QPalette::Text), QtItemControls::matchesUnitColour());
    QCOMPARE(w.session().datacom.LinkWatch, qint16(20));
}

void TestFrmHoofdscherm::logWindowShowsNewestLineAtBottom()
{
    UiWorld w;
    for (int n = 1; n <= 26; ++n)
        w.session().logfile.WriteLogLine(QStringLiteral("line %1").arg(n));
    QCOMPARE(w.logWindowLine(24), QString()); // shown at the next refresh
    w.window->LedTimer_Timer();
    QCOMPARE(w.logWindowLine(0), QStringLiteral("14:05:09 line 2"));
    QCOMPARE(w.logWindowLine(24), QStringLiteral("14:05:09 line 26"));

    // A window too low for all 25 lines, as at a large scale factor: the
    // newest line stays in view, and so does the newest line of the progress box.
    auto *progress = w.find<QPlainTextEdit>(QStringLiteral("TxtProgress"));
    for (int n = 1; n <= 60; ++n)
        w.window->appendProgress(QStringLiteral("step %1\r\n").arg(n));
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    auto *newest = w.find<QLineEdit>(QStringLiteral("Text2_24"));
    auto *area = qobject_cast<QScrollArea *>(newest->parentWidget()->parentWidget()->parentWidget());
    QVERIFY(area);
    auto inView = [](QWidget *widget, QWidget *viewport) {
        return viewport->rect().contains(QRect(widget->mapTo(viewport, QPoint(0, 0)), widget->size()));
    };
    w.window->resize(w.window->width(), w.window->minimumSizeHint().height());
    QTRY_VERIFY_WITH_TIMEOUT(area->verticalScrollBar()->maximum() > 0 && inView(newest, area->viewport()), 5000);
    QVERIFY(!inView(w.find<QLineEdit>(QStringLiteral("Text2_0")), area->viewport()));
    w.find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(3);
    QTRY_VERIFY_WITH_TIMEOUT(progress->isVisible(), 5000);
    QVERIFY(progress->verticalScrollBar()->maximum() > 0);
    QCOMPARE(progress->verticalScrollBar()->value(), progress->verticalScrollBar()->maximum());

    // One stop of the tab key, the newest line; the arrow keys go up and down the lines.
    QCOMPARE(newest->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(w.find<QLineEdit>(QStringLiteral("Text2_23"))->focusPolicy(), Qt::ClickFocus);
    w.find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(0);
    newest->setFocus();
    QTest::keyClick(newest, Qt::Key_Up);
    QCOMPARE(w.window->focusWidget(), w.find<QLineEdit>(QStringLiteral("Text2_23")));
    QTest::keyClick(w.window->focusWidget(), Qt::Key_Down);
    QTest::keyClick(w.window->focusWidget(), Qt::Key_Down);
    QCOMPARE(w.window->focusWidget(), newest);

    // Fewer lines than rows: the newest is higher up, and a new line brings
    // the view back to it from wherever the operator scrolled.
    UiWorld few;
    for (int n = 1; n <= 3; ++n)
        few.session().logfile.WriteLogLine(QStringLiteral("line %1").arg(n));
    few.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(few.window.get()));
    few.window->resize(few.window->width(), few.window->minimumSizeHint().height());
    QScrollArea *fewArea = nullptr;
    for (QScrollArea *a : few.window->findChildren<QScrollArea *>()) {
        if (a->isAncestorOf(few.find<QLineEdit>(QStringLiteral("Text2_0"))))
            fewArea = a;
    }
    QTRY_VERIFY_WITH_TIMEOUT(fewArea->verticalScrollBar()->maximum() > 0, 5000);
    fewArea->verticalScrollBar()->setValue(fewArea->verticalScrollBar()->maximum());
    few.session().logfile.WriteLogLine(QStringLiteral("line 4"));
    few.window->LedTimer_Timer();
    QCOMPARE(few.logWindowLine(3), QStringLiteral("14:05:09 line 4"));
    QVERIFY(inView(few.find<QLineEdit>(QStringLiteral("Text2_3")), fewArea->viewport()));
}

void TestFrmHoofdscherm::indicatorBlinks_data()
{
    QTest::addColumn<bool>("transmit");
    QTest::addColumn<QString>("traffic"); // per LedTimer tick: 1 = traffic before the tick
    QTest::addColumn<QString>("shown");   // L = lit, D = dark after the tick
    QTest::addColumn<QString>("told");    // A = "active", I = "idle" for a screen reader after the tick
    QTest::newRow("Tx one frame") << true << "1000" << "LDDD" << "AAII";
    QTest::newRow("Tx continuous") << true << "1111" << "LDLD" << "AAAA";
    QTest::newRow("Tx traffic while lit") << true << "1100" << "LDDD" << "AAII";
    QTest::newRow("Rx one frame") << false << "1000" << "LDDD" << "AAII";
    QTest::newRow("Rx continuous") << false << "1111" << "LDLD" << "AAAA";
    QTest::newRow("Rx after a pause") << false << "0010" << "DDLD" << "IIAA";
}

void TestFrmHoofdscherm::indicatorBlinks()
{
    QFETCH(bool, transmit);
    QFETCH(QString, traffic);
    QFETCH(QString, shown);
    QFETCH(QString, told);
    UiWorld w;
    auto *shape = w.find<ShapeIndicator>(transmit ? QStringLiteral("ShpTx") : QStringLiteral("ShpRx"));
    const QString kind = transmit ? QStringLiteral("Transmit: ") : QStringLiteral("Receive: ");
    QString said;
    const QColor lit = transmit ? QColor(255, 128, 128) : QColor(128, 255, 128);
    const QColor dark = transmit ? QColor(192, 0, 0) : QColor(0, 192, 0);
    QString seen;
    for (const QChar step : traffic) {
        if (step == u'1' && transmit) {
            QCOMPARE(w.session().datacom.WriteComByte(0x41), 0);
        } else if (step == u'1') {
            w.port.queueInput("A");
            QCOMPARE(w.session().datacom.ReadComByte(), 0x41);
        }
        w.window->LedTimer_Timer();
        QVERIFY(shape->fillColour() == lit || shape->fillColour() == dark);
        seen += shape->fillColour() == lit ? u'L' : u'D';
        const QString name = QAccessible::queryAccessibleInterface(shape)->text(QAccessible::Name);
        QVERIFY2(name == kind + QStringLiteral("active") || name == kind + QStringLiteral("idle"), qPrintable(name));
        said += name.endsWith(QStringLiteral("active")) ? u'A' : u'I';
    }
    QCOMPARE(seen, shown);
    QCOMPARE(said, told);
}

void TestFrmHoofdscherm::abortBoxFindsNothingToDo()
{
    UiWorld w;
    // The third counted failure: the engine aborts with a message box.
    w.engine().requestRead(10);
    w.engine().requestRead(11);
    // Bounded: an engine that never counts a failure fails the test, not hangs it.
    for (int tick = 0; tick < kTickBound && w.engine().ErrorCount() < Interface::kMaxErrors; ++tick)
        w.engine().InterfaceTick(0);
    QCOMPARE(w.engine().ErrorCount(), qint16(Interface::kMaxErrors));
    w.port.takeWritten();
    const quint64 start = w.engine().tickCount();
    quint64 ticksWhileOpen = 0;
    QByteArray sentWhileOpen;
    w.answers.whileOpen = [&] {
        ticksWhileOpen = w.engine().tickCount() - start;
        sentWhileOpen = w.port.takeWritten();
    };
    w.window->TmrAfhandel_Timer();
    QCOMPARE(w.answers.messages().size(), 1);
    // The box's event loop ticks the engine, which finds nothing left to send.
    QVERIFY(ticksWhileOpen > 1);
    QCOMPARE(sentWhileOpen, QByteArray());
    QVERIFY(w.engine().isQuiet());
}

// The failure box after an ending is a modal box: while it is open the
// engine ticks on, the unit hears nothing of the ended command, and a lost
// port is opened again behind it.
void TestFrmHoofdscherm::boxesAfterAnEndingLetTheEngineRun_data()
{
    QTest::addColumn<bool>("cancel"); // else the port is lost
    QTest::addColumn<QList<int>>("written");
    QTest::newRow("Cancel with item 5 out") << true << QList<int>{0, 5};
    QTest::newRow("port lost with item 5 out") << false << QList<int>{0, 5};
}

void TestFrmHoofdscherm::boxesAfterAnEndingLetTheEngineRun()
{
    QFETCH(bool, cancel);
    QFETCH(QList<int>, written);
    UiWorld w;
    AnsweringUnit unit(w);
    QList<int> unitWrites; // the unit's trace
    unit.session.setEventHook([&](const UnitEvent &e) {
        if (e.kind == UnitEvent::Kind::Write)
            unitWrites << e.item;
    });
    w.click(QStringLiteral("CmdSchrijfAlles"));
    const auto frameOut = [&] {
        const auto &t = w.engine().transaction();
        return t && t->item == 5 && EngineProbe(w.engine()).EngineState() == Interface::State::WriteStart;
    };
    for (int i = 0; i < 2000 && !frameOut(); ++i)
        unit.step();
    QVERIFY(frameOut());
    // Open for more ticks than a reopen waits.
    w.answers.openTicks = 3 * Interface::kWakeUpWait;
    int boxes = 0;
    QList<int> heardWhenOpen;
    bool reopenedWhileOpen = false;
    w.answers.whileOpen = [&] {
        ++boxes;
        heardWhenOpen = unitWrites;
        reopenedWhileOpen = w.port.isOpen() && EngineProbe(w.engine()).EngineState() == Interface::State::Idle;
    };
    if (cancel) {
        w.click(QStringLiteral("CmdCancelReadWrite"));
    } else {
        w.port.dropConnection();
        unit.answering = false;
    }
    for (int i = 0; i < 400 && boxes == 0; ++i)
        unit.step();
    QCOMPARE(boxes, 1);
    QCOMPARE(heardWhenOpen, written);
    QCOMPARE(unitWrites, written);
    if (!cancel)
        QVERIFY(reopenedWhileOpen);
}

// ---------------------------------------------------------------- link status and status bar

void TestFrmHoofdscherm::linkStatusFollowsEvents_data()
{
    QTest::addColumn<bool>("failOpens"); // at start-up
    QTest::addColumn<QString>("steps");  // R read all, N a read without answer, L device lost,
                                         // O "Open ComPort", 2 port 2 saved and reopened, Q quit,
                                         // A the absent device appears, then engine ticks alone,
                                         // P another serial device is plugged in and the watch looks,
                                         // D "Open ComPort" reaches another device behind the name,
                                         // W "Open ComPort" on a network port that connects,
                                         // F its connection refused, C its connection made,
                                         // T engine ticks until it connects again,
                                         // S the port dialog saves port 2, V a network port that connects
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("caption");
    const QString port1 = QStringLiteral("Serial Port: 1 9600,N,8,1");
    QTest::newRow("start-up") << false << "" << "Com 1 = scripted1 \u00B7 port open" << port1;
    QTest::newRow("read all") << false << "R" << "Com 1 = scripted1 \u00B7 unit answering" << port1;
    QTest::newRow("no answer") << false << "RN" << "Com 1 = scripted1 \u00B7 no answer from the unit" << port1;
    QTest::newRow("answering again") << false << "RNR" << "Com 1 = scripted1 \u00B7 unit answering" << port1;
    QTest::newRow("device lost")
        << false << "RL" << "Com 1 = scripted1 \u00B7 port closed: the serial device scripted1 disappeared" << port1;
    QTest::newRow("reopened after loss") << false << "RLO" << "Com 1 = scripted1 \u00B7 port open" << port1;
    // Another port may lead to another unit: what was read is forgotten.
    QTest::newRow("port 2") << false << "R2" << "Com 2 = scripted2 \u00B7 values must be read again \u00B7 port open"
                            << "Serial Port: 2 9600,N,8,1";
    QTest::newRow("port 2 saved in the port dialog")
        << false << "RS" << "Com 2 = scripted2 \u00B7 values must be read again \u00B7 port open"
        << "Serial Port: 2 9600,N,8,1";
    QTest::newRow("quit") << false << "RQ" << "Com 1 = scripted1 \u00B7 port closed" << port1;
    QTest::newRow("failed at start-up")
        << true << "" << "Com 1 = scripted1 \u00B7 waiting for the device" << "Serial port: XXXX ";
    // Started before the adapter was plugged in: no click needed once it is.
    QTest::newRow("device appears") << true << "A" << "Com 1 = scripted1 \u00B7 port open" << port1;
    // Another adapter plugged in while waiting is offered, and gone once the port opens.
    QTest::newRow("new device offered")
        << true << "P"
        << "Com 1 = scripted1 \u00B7 waiting for the device \u00B7 New serial device /dev/ttyUSB1 \u2014 press Find unit"
        << "Serial port: XXXX ";
    QTest::newRow("offer gone once open") << true << "PA" << "Com 1 = scripted1 \u00B7 port open" << port1;
    QTest::newRow("no watch while open") << false << "P" << "Com 1 = scripted1 \u00B7 port open" << port1;
    QTest::newRow("another device behind the name")
        << false << "RD" << "Com 1 = scripted1 \u00B7 another device than before \u00B7 port open" << port1;
    QTest::newRow("the same device reopened") << false << "RO" << "Com 1 = scripted1 \u00B7 unit answering" << port1;
    const QString server = QStringLiteral("Com 1 = rfc2217://10.0.4.7:4001 \u00B7 ");
    QTest::newRow("network port connecting") << false << "W" << server + "connecting" << port1;
    // No device nodes to watch behind a network port.
    QTest::newRow("network port refused") << false << "WFP"
                                          << server + "port closed: 10.0.4.7:4001: connection refused" << port1;
    QTest::newRow("network port connected") << false << "WC" << server + "port open" << port1;
    // Behind the same address another unit may answer after each connection.
    QTest::newRow("network port connected again") << false << "WCROC" << server + "values must be read again \u00B7 port open"
                                                  << port1;
    QTest::newRow("network port connected again after its loss")
        << false << "WCRLTC" << server + "values must be read again \u00B7 port open" << port1;
    QTest::newRow("network port saved in the port dialog")
        << false << "RVC" << server + "values must be read again \u00B7 port open" << port1;
    QTest::newRow("network port read again") << false << "WCROCR" << server + "unit answering" << port1;
    // Tried again on the lost port's schedule, the failure before stays in view.
    QTest::newRow("network port tried again")
        << false << "WFT" << server + "connecting \u00B7 last try: 10.0.4.7:4001: connection refused" << port1;
}

void TestFrmHoofdscherm::linkStatusFollowsEvents()
{
    QFETCH(bool, failOpens);
    QFETCH(QString, steps);
    QFETCH(QString, line);
    QFETCH(QString, caption);
    UiWorld w(QString(), [&](UiWorld &u) {
        u.port.setFailOpens(failOpens);
        u.port.setDeviceIdentity(QStringLiteral("first"));
    });
    AnsweringUnit unit(w);
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'R':
            unit.answering = true;
            w.click(QStringLiteral("CmdLeesAlles"));
            QVERIFY(unit.runUntilQuiet());
            break;
        case 'N':
            unit.answering = false;
            w.click(QStringLiteral("CmdReadSingleSetting_10"));
            QVERIFY(unit.runUntilQuiet());
            break;
        case 'L': w.port.dropConnection(); break;
        case 'O': w.click(QStringLiteral("CmdReOpenCom")); break;
        case '2':
            w.session().setup.Compoort = 1;
            w.click(QStringLiteral("CmdReOpenCom"));
            break;
        case 'Q': w.window->Quit_Click(); break;
        case 'D': {
            // A changed setting tells the unit's value read before, until the
            // port reaches another device: then nothing read is this unit's.
            QComboBox *combo = w.controls().combo(14);
            combo->setCurrentIndex(combo->currentIndex() + 1);
            QVERIFY(combo->toolTip().startsWith(QStringLiteral("In the unit: ")));
            w.port.setDeviceIdentity(QStringLiteral("second"));
            w.click(QStringLiteral("CmdReOpenCom"));
            QCOMPARE(combo->toolTip(), QString());
            QCOMPARE(w.stores().unitValues[14], Values::integer(-1));
            break;
        }
        case 'W':
            w.port.setDeviceForEveryNumber(QStringLiteral("rfc2217://10.0.4.7:4001"));
            w.port.setConnects(true);
            w.click(QStringLiteral("CmdReOpenCom"));
            QCOMPARE(w.boxes(), QString()); // connecting is no failure
            break;
        case 'S':
        case 'V':
            w.window->Setup_Click();
            w.click(QStringLiteral("CmdWijzigen"));
            if (step == u'S') {
                w.find<QComboBox>(QStringLiteral("ComboCom"))->setCurrentIndex(1);
            } else {
                w.port.setConnects(true);
                w.find<QLineEdit>(QStringLiteral("TxtNetworkPort"))->setText(QStringLiteral("rfc2217://10.0.4.7:4001"));
            }
            w.click(QStringLiteral("CmdSave"));
            WindowProbe(*w.window).instellingen()->CmdClose_Click();
            break;
        case 'F': w.port.connectEnds(false, Port::Problem::ConnectionRefused); break;
        case 'T':
            for (int tick = 0; tick <= Interface::kReopenRetry && !w.port.connecting(); ++tick)
                w.window->TmrAfhandel_Timer();
            QVERIFY(w.port.connecting());
            break;
        case 'C':
            QVERIFY(w.port.connecting());
            w.port.connectEnds(true);
            QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
            break;
        case 'P': {
            const bool waiting = w.session().datacom.linkState().problem() == Port::Problem::NoSuchDevice;
            const int listings = w.serialListings;
            w.serialDevices << QStringLiteral("/dev/ttyUSB1");
            WindowProbe(*w.window).deviceWatch().check();
            // No listing at all while the port is open.
            QCOMPARE(w.serialListings, waiting ? listings + 1 : 0);
            QCOMPARE(WindowProbe(*w.window).deviceWatch().isWatching(), waiting);
            if (waiting) {
                // Find unit tries it first.
                w.window->Setup_Click();
                QCOMPARE(WindowProbe(*w.window).instellingen()->searchCandidates().value(0).device, QStringLiteral("/dev/ttyUSB1"));
                WindowProbe(*w.window).instellingen()->CmdClose_Click();
            }
            break;
        }
        case 'A': {
            QVERIFY(!w.port.isOpen());
            w.port.setFailOpens(false);
            // The engine's next try at the port, on the lost port's schedule.
            for (int tick = 0; tick <= Interface::kReopenRetry && !w.port.isOpen(); ++tick)
                w.window->TmrAfhandel_Timer();
            QVERIFY(w.port.isOpen());
            QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
            break;
        }
        }
    }
    auto *status = w.find<LinkStatusLine>(QStringLiteral("LinkStatusLine"));
    QCOMPARE(status->shownText(), line);
    QCOMPARE(w.find<QGroupBox>(QStringLiteral("FrmCommunicatie"))->title(), caption);
    QVERIFY(w.find<QGroupBox>(QStringLiteral("FrmCommunicatie"))->isAncestorOf(status));
    if (line.contains(QStringLiteral("another device than before")) || line.contains(QStringLiteral("must be read again"))) {
        // Nothing read before counts as this unit's: no setting is marked as
        // equal to it or as differing from it, and write-all compares with nothing.
        w.window->TmrUpdateVensters_Timer();
        for (int n : Items::kBulkItems) {
            QCOMPARE(w.stores().unitValues[n], Values::integer(-1));
            QCOMPARE(w.controls().colour(n), ItemControls::Colour::DiffersFromUnit);
            QVERIFY(!w.controls().legendLabel(n)->font().bold());
        }
        w.answers.setAnswer(Answer::Cancel);
        w.click(QStringLiteral("CmdSchrijfAlles"));
        QVERIFY(w.answers.messages().constLast().text.endsWith(QStringLiteral("The unit's values have not been read in this run.")));
    }

    // The icon tells the state as the words do: one state keeps its icon, two
    // states never share one (rows run in one process).
    static QHash<int, QImage> iconOfState;
    const QImage icon = w.find<QLabel>(QStringLiteral("LinkStatusIcon"))->pixmap().toImage();
    QVERIFY(!icon.isNull());
    const int state = int(status->shownState());
    for (auto it = iconOfState.cbegin(); it != iconOfState.cend(); ++it)
        QCOMPARE(it.value() == icon, it.key() == state);
    iconOfState.insert(state, icon);
}

void TestFrmHoofdscherm::statusBarTellsLastCommand_data()
{
    QTest::addColumn<QString>("command"); // what the operator does after a read-all
    QTest::addColumn<QString>("message"); // the status bar afterwards; %1 the home folder
    QTest::addColumn<QString>("file");    // the settings file named beside it
    QTest::newRow("read all") << "" << "Read all settings: 14 read \u00B7 14:05:09" << "";
    // A write-all reads the unit's values first (whatever the read-all read), and reads back what it wrote.
    QTest::newRow("write all, no answer")
        << "write all, silent"
        << "Write all settings: could not back up the unit's settings: no answer; nothing was written \u00B7 14:05:09"
        << "";
    QTest::newRow("write all")
        << "write all"
        << "Write all settings: 14 written, 14 read back equal; backup Backups/2026-12-07_140509_scripted1.cfg \u00B7 14:05:09"
        << "";
    // Refused at once: why the port is closed comes with it.
    QTest::newRow("write all, port lost") << "write all, port lost"
        << "Write all settings not started: port closed: the serial device scripted1 disappeared \u00B7 14:05:09" << "";
    // The frame out runs to its end: the ending names item 5 by its answer.
    QTest::newRow("write all cancelled, a frame out")
        << "write all, cancelled"
        << "Write all settings cancelled; 2 of 14 written (items 0 5); not sent: items 7 10 11 12 13 14 30 31 32 33 34 35; backup "
           "Backups/2026-12-07_140509_scripted1.cfg \u00B7 14:05:09"
        << "";
    // The unit holds the screen's settings: nothing written, the backup named once.
    QTest::newRow("write changes")
        << "write changes"
        << "Write changes: the unit already holds these settings; nothing written; backup "
           "Backups/2026-12-07_140509_scripted1.cfg \u00B7 14:05:09"
        << "";
    QTest::newRow("read cancelled") << "cancel" << "Read all settings cancelled after 0 of 14 \u00B7 14:05:09" << "";
    QTest::newRow("test call") << "call" << "Test call sent \u00B7 14:05:09" << "";
    QTest::newRow("restart") << "restart" << "Restart acknowledged by the unit \u00B7 14:05:09" << "";
    QTest::newRow("single read") << "read 10" << "Read item 10 (ESPA in serial speed): done \u00B7 14:05:09" << "";
    // Item 0 answered with item 1's value: named for what it is.
    QTest::newRow("read all, answered for another item")
        << "read all, another item"
        << "Read all settings aborted at item 0 (Diagnostic level): answered for another item \u00B7 14:05:09" << "";
    QTest::newRow("saved") << "save" << "Saved %1/unit-0417.cfg \u00B7 14:05:09" << "unit-0417.cfg";
    QTest::newRow("save failed") << "save into folder" << "Could not save %1/unit-0417.cfg \u00B7 14:05:09" << "";
    QTest::newRow("loaded, 3 differ")
        << "load" << "Loaded %1/unit-0417.cfg \u00B7 3 settings differ from the unit \u00B7 14:05:09" << "unit-0417.cfg";
    // Values the unit cannot take, in the file's order; the -1 of items 40-78 is not one.
    const QString unsendable = QStringLiteral(
        "3 settings in the file could not be shown: item 5: the value is empty; "
        "item 14: 60 is not one of its choices; item 156: the text holds the control character [RS]");
    QTest::newRow("loaded, values that cannot be sent")
        << "load unsendable"
        << "Loaded %1/unit-0417.cfg \u00B7 2 settings differ from the unit \u00B7 " + unsendable + " \u00B7 14:05:09"
        << "unit-0417.cfg";
    QTest::newRow("restore, no backup yet")
        << "restore" << "No backup to restore: the folder %1/Backups does not exist yet \u00B7 14:05:09" << "";
    QTest::newRow("restored a backup") << "restore from Backups"
        << "Loaded %1/Backups/2026-12-07_104512_scripted1.cfg \u00B7 no setting differs from the unit \u00B7 14:05:09"
        << "2026-12-07_104512_scripted1.cfg";
    // The report of the screen, item 10 changed on it: marked where it differs from the unit.
    QTest::newRow("report, html") << "report html" << "Report saved to %1/2026-12-07_scripted1.html \u00B7 14:05:09" << "";
    QTest::newRow("report, pdf") << "report pdf" << "Report saved to %1/2026-12-07_scripted1.pdf \u00B7 14:05:09" << "";
    QTest::newRow("report, folder in the way")
        << "report into folder"
        << "Could not save the report \"%1/2026-12-07_scripted1.pdf\": it is a folder, not a file. No file was "
           "written. \u00B7 14:05:09" << "";
    // The controls that could not show the file's value keep a mark, and no
    // write sends what they show instead until the operator changes them.
    const QString refusedBoth = QStringLiteral(
        "Write all settings not started: 2 settings from the file cannot be sent: item 5: the value is empty; "
        "item 14: 60 is not one of its choices \u00B7 14:05:09");
    QTest::newRow("unsendable file, write all refused") << "load unsendable, write all" << refusedBoth << "unit-0417.cfg";
    QTest::newRow("unsendable file, write changes refused")
        << "load unsendable, write changes"
        << "Write changes not started: 2 settings from the file cannot be sent: item 5: the value is empty; "
           "item 14: 60 is not one of its choices \u00B7 14:05:09" << "unit-0417.cfg";
    QTest::newRow("unsendable file, one changed, write all refused")
        << "load unsendable, change 14, write all"
        << "Write all settings not started: 1 setting from the file cannot be sent: item 5: the value is empty \u00B7 14:05:09"
        << "unit-0417.cfg";
    QTest::newRow("unsendable file, both changed, write all")
        << "load unsendable, change 14, change 5, write all"
        << "Write all settings: 14 written, 14 read back equal; backup Backups/2026-12-07_140509_scripted1.cfg \u00B7 14:05:09"
        << "unit-0417.cfg";
    QTest::newRow("unsendable file, its item's write refused")
        << "load unsendable, write 14"
        << "Write item 14 (ESPA In Time-out) not started: 1 setting from the file cannot be sent: item 14: 60 is not one "
           "of its choices \u00B7 14:05:09" << "unit-0417.cfg";
    QTest::newRow("unsendable file, another item's write")
        << "load unsendable, write 10" << "Write item 10 (ESPA in serial speed): done, 1 read back equal \u00B7 14:05:09"
        << "unit-0417.cfg";
    // The unit's value in the file's place: nothing to refuse.
    QTest::newRow("unsendable file, read all after")
        << "load unsendable, read all" << "Read all settings: 14 read \u00B7 14:05:09" << "unit-0417.cfg";
    // Read at start-up, before anything else.
    QTest::newRow("unsendable default file at start-up, write all refused")
        << "start unsendable, write all"
        << "Write all settings not started: 1 setting from the file cannot be sent: item 14: 60 is not one of its "
           "choices \u00B7 14:05:09" << "default.set";
    QTest::newRow("default loaded, values that cannot be sent")
        << "load default unsendable"
        << "Loaded %1/default.set \u00B7 2 settings differ from the unit \u00B7 " + unsendable + " \u00B7 14:05:09"
        << "default.set";
}

void TestFrmHoofdscherm::statusBarTellsLastCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QString, file);
    const bool atStart = command.startsWith(QStringLiteral("start"));
    UiWorld w(QString(), [&](UiWorld &u) {
        if (atStart)
            writeFile(u.path(QStringLiteral("default.set")), "14    ->60\r\n");
    });
    AnsweringUnit unit(w);
    auto *shown = w.find<QLabel>(QStringLiteral("StatusMessage"));
    QCOMPARE(shown->text().isEmpty(), !atStart);
    QVERIFY(w.window->statusBar()->isAncestorOf(shown));
    if (!atStart) {
        w.click(QStringLiteral("CmdLeesAlles"));
        QVERIFY(unit.runUntilQuiet());
    }

    const QString cfg = w.path(QStringLiteral("unit-0417.cfg"));
    w.answers.setChosenFile(cfg);
    if (command.endsWith(QStringLiteral("another item"))) {
        UnitFaultPlan faults;
        faults.add({UnitFault::OtherItem, 1});
        unit.session.setOptions({false, 0, faults});
    }
    if (command.startsWith(QStringLiteral("read all"))) {
        w.click(QStringLiteral("CmdLeesAlles"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command == QStringLiteral("write all, cancelled")) {
        // Cancel while item 5's frame is out: sent, its answer not yet taken.
        w.click(QStringLiteral("CmdSchrijfAlles"));
        const auto frameOut = [&] {
            const auto &t = w.engine().transaction();
            return t && t->writesItem() && t->item == 5
                && EngineProbe(w.engine()).EngineState() == Interface::State::WriteStart;
        };
        for (int i = 0; i < 2000 && !frameOut(); ++i)
            unit.step();
        QVERIFY(frameOut());
        w.click(QStringLiteral("CmdCancelReadWrite"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command.startsWith(QStringLiteral("write all"))) {
        unit.answering = command == QStringLiteral("write all");
        if (command.endsWith(QStringLiteral("lost")))
            w.port.dropConnection();
        w.click(QStringLiteral("CmdSchrijfAlles"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command == QStringLiteral("write changes")) {
        runAfterLoad(w, unit, command);
    } else if (command == QStringLiteral("cancel")) {
        w.click(QStringLiteral("CmdLeesAlles"));
        for (int i = 0; i < 200 && w.engine().AllMode() == Interface::BulkTransfer::None; ++i)
            unit.step();
        w.click(QStringLiteral("CmdCancelReadWrite"));
    } else if (command == QStringLiteral("call")) {
        w.find<QLineEdit>(QStringLiteral("TxtTestPagerAdres"))->setText(QStringLiteral("0612"));
        w.click(QStringLiteral("CmdTestOproepPager"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command == QStringLiteral("restart")) {
        w.click(QStringLiteral("CmdTestHerstart"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command == QStringLiteral("read 10")) {
        w.click(QStringLiteral("CmdReadSingleSetting_10"));
        QVERIFY(unit.runUntilQuiet());
    } else if (command.startsWith(QStringLiteral("save"))) {
        if (command.endsWith(QStringLiteral("folder")))
            QVERIFY(QDir(w.home.path()).mkdir(QStringLiteral("unit-0417.cfg")));
        w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
    } else if (command == QStringLiteral("load")) {
        // A file with three settings other than the unit's; loading it makes
        // the stores forget the unit's values, the status bar does not.
        for (int n : {10, 13, 30})
            w.controls().combo(n)->setCurrentIndex(w.controls().combo(n)->currentIndex() == 1 ? 2 : 1);
        w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
        for (int n : {10, 13, 30})
            w.controls().combo(n)->setCurrentIndex(0);
        w.click(QStringLiteral("CmdLezenUnitgegevens"));
    } else if (command.startsWith(QStringLiteral("restore"))) {
        if (command.endsWith(QStringLiteral("Backups"))) {
            QVERIFY(QDir(w.home.path()).mkdir(QStringLiteral("Backups")));
            w.answers.setChosenFile(w.path(QStringLiteral("Backups/2026-12-07_104512_scripted1.cfg")));
            w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
        }
        const qsizetype requests = w.answers.fileRequests().size();
        w.click(QStringLiteral("CmdRestoreBackup"));
        // Without the folder, no dialog to find nothing in.
        QCOMPARE(w.answers.fileRequests().size() - requests, command.endsWith(QStringLiteral("Backups")) ? 1 : 0);
        QCOMPARE(w.answers.beeps(), 0);
    } else if (command.startsWith(QStringLiteral("report"))) {
        const QString report = w.path(command.endsWith(QStringLiteral("html")) ? QStringLiteral("2026-12-07_scripted1.html")
                                                                               : QStringLiteral("2026-12-07_scripted1.pdf"));
        if (command.endsWith(QStringLiteral("folder")))
            QVERIFY(QDir(w.home.path()).mkdir(QFileInfo(report).fileName()));
        w.answers.setChosenFile(report);
        w.controls().combo(10)->setCurrentIndex(w.controls().combo(10)->currentIndex() == 1 ? 2 : 1);
        w.find<QLineEdit>(QStringLiteral("TxtSite"))->setText(QStringLiteral("Hal 3, Kestrum"));
        w.click(QStringLiteral("CmdReport"));
        // The site goes in the report and is kept for the next, with the report's folder.
        const QByteArray kept = readAll(w.path(QStringLiteral("Preferences.ini")));
        QVERIFY(kept.contains("\r\nSite=Hal 3, Kestrum\r\n"));
        QVERIFY(kept.contains("\r\nReportFolder=" + w.home.path().toLocal8Bit() + "\r\n"));
        const RecordingView::FileRequest request = w.answers.fileRequests().constLast();
        QCOMPARE(request.proposedName, QStringLiteral("2026-12-07_scripted1.pdf"));
        QCOMPARE(request.startFolder, w.path(QStringLiteral("Instellingen")));
        QCOMPARE(request.filter, QStringLiteral("PDF (*.pdf) | *.pdf | HTML (*.html) | *.html"));
        const QByteArray written = QFileInfo(report).isFile() ? readAll(report) : QByteArray();
        if (command.endsWith(QStringLiteral("pdf")))
            QVERIFY(written.startsWith("%PDF-"));
        if (command.endsWith(QStringLiteral("html"))) {
            // Each of the fourteen beside the unit's value; only item 10 marked.
            QCOMPARE(written.count("<td>* differs</td>"), 1);
            QVERIFY(written.contains("<tr class=\"differs\"><td>10</td><td>ESPA in serial speed:</td>"));
            QVERIFY(written.contains("<th width=\"22%\">In the unit</th>"));
            for (int n : Items::kBulkItems)
                QVERIFY(written.contains(QStringLiteral("<td>%1</td><td>%2</td>")
                                             .arg(n)
                                             .arg(w.controls().legendText(n).trimmed().toHtmlEscaped())
                                             .toLatin1()));
            QVERIFY(written.contains("<td>39</td>")); // the event entries, from the screen
            QVERIFY(written.contains("Hal 3, Kestrum"));
        }
    } else if (atStart) {
        for (const QString &step : command.split(QStringLiteral(", ")).mid(1))
            runAfterLoad(w, unit, step);
    } else if (command.contains(QStringLiteral(" unsendable"))) {
        // The screen saved, then three of its values made unsendable.
        const bool asDefault = command.contains(QStringLiteral("default"));
        const QString path = asDefault ? w.path(QStringLiteral("default.set")) : cfg;
        w.answers.setChosenFile(path);
        w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
        QByteArrayList lines = readAll(path).split('\n');
        for (QByteArray &line : lines) {
            if (line.startsWith("5 "))
                line = "5    ->\r";
            else if (line.startsWith("14 "))
                line = "14    ->60\r";
            else if (line.startsWith("156 "))
                line = "156    ->a\x1E" "b\r";
        }
        writeFile(path, lines.join('\n'));
        w.click(asDefault ? QStringLiteral("CmdInstellingenLezen") : QStringLiteral("CmdLezenUnitgegevens"));
        QCOMPARE(w.controls().combo(14)->currentIndex(), 0);
        QCOMPARE(w.controls().combo(14)->toolTip().section(u'\n', 0, 0),
                 QStringLiteral("the file holds 60, not one of its choices"));
        QVERIFY(!w.controls().combo(14)->styleSheet().isEmpty());
        QVERIFY(w.controls().combo(10)->styleSheet().isEmpty());
        const qsizetype boxes = w.answers.messages().size();
        for (const QString &step : command.split(QStringLiteral(", ")).mid(1))
            runAfterLoad(w, unit, step);
        // Refused before the confirmation is asked.
        QCOMPARE(w.answers.messages().size() > boxes, command.endsWith(QStringLiteral("write all")) && !message.contains(QStringLiteral("not started")));
    }
    QCOMPARE(shown->text(), message.replace(QStringLiteral("%1"), w.home.path()));
    // A backup named in the words: its full path in the tooltip.
    if (const qsizetype at = message.indexOf(QStringLiteral("backup Backups/")); at >= 0)
        QCOMPARE(shown->toolTip(), shown->text() + QStringLiteral("\nBackup: ")
                     + QDir::toNativeSeparators(w.path(message.mid(at + 7).section(u' ', 0, 0))));
    QCOMPARE(w.find<QLabel>(QStringLiteral("StatusSettingsFile"))->text(), file);
    // A screen reader reads the same words; the tab key reaches them to copy.
    QCOMPARE(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name), shown->text());
    QVERIFY(shown->focusPolicy() & Qt::TabFocus);
    QVERIFY(shown->textInteractionFlags() & Qt::TextSelectableByKeyboard);

    // Whole in a narrow window: wrapped onto more lines, never cut at its edge.
    w.window->resize(360, 400);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::sendPostedEvents();
    const QRect needed = shown->fontMetrics().boundingRect(QRect(0, 0, shown->contentsRect().width(), 100000),
                                                           Qt::TextWordWrap | Qt::TextWrapAnywhere, shown->text());
    QVERIFY2(needed.height() <= shown->contentsRect().height(), qPrintable(shown->text()));
    QVERIFY(shown->geometry().right() <= w.window->statusBar()->contentsRect().right());
}

// ---------------------------------------------------------------- typing limits

void TestFrmHoofdscherm::typingLimitKeepsProgramTexts_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("item"); // -1: a test-call field
    QTest::addColumn<int>("limit");
    QTest::newRow("TEKST 150") << "TxtTekstInput_0" << 150 << 10;
    QTest::newRow("TEKST 155 pager address") << "TxtTekstInput_5" << 155 << 15;
    QTest::newRow("TEKST 232 leading text") << "TxtTekstInput_82" << 232 << 15;
    QTest::newRow("test address") << "TxtTestPagerAdres" << -1 << 10;
    QTest::newRow("test message") << "TxtTestPagerDisplayInfo" << -1 << 40;
}

void TestFrmHoofdscherm::typingLimitKeepsProgramTexts()
{
    QFETCH(QString, box);
    QFETCH(int, item);
    QFETCH(int, limit);
    UiWorld w;
    auto *edit = w.find<QLineEdit>(box);
    QVERIFY(edit);

    // A longer text from the unit or a file is shown and taken back whole.
    const QString longText = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz").left(limit + 25);
    if (item >= 0) {
        w.stores().workingValues[item] = Values::text(longText);
        ModUnitUpdate::ShowValue(w.stores(), w.controls(), item);
        QCOMPARE(edit->text(), longText);
        w.stores().workingValues[item] = Values::text(QString());
        ModUnitUpdate::TakeValue(w.stores(), w.controls(), item);
        QCOMPARE(Values::textOf(w.stores().workingValues[item]), longText);
    } else {
        edit->setText(longText);
        QCOMPARE(edit->text(), longText);
    }

    // The operator cannot make it longer, but can shorten it and change it in place.
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, QStringLiteral("x"));
    QCOMPARE(edit->text(), longText);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QStringLiteral("y"));
    QCOMPARE(edit->text(), longText.chopped(1));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClicks(edit, QStringLiteral("#"));
    QCOMPARE(edit->text(), u'#' + longText.mid(1).chopped(1));

    // Typed from empty, the limit holds; set by the program, the text is whole again.
    edit->clear();
    QTest::keyClicks(edit, longText);
    QCOMPARE(edit->text(), longText.left(limit));
    edit->setText(longText);
    QCOMPARE(edit->text(), longText);

    // A pasted control byte (a frame separator among them) is refused with its paste.
    edit->clear();
    for (const QString &pasted : {QStringLiteral("06\x1E" "12"), QStringLiteral("a\tb"), QStringLiteral("x\x7F"),
                                  QStringLiteral("a\u0081"), QStringLiteral("\u009D")}) {
        QGuiApplication::clipboard()->setText(pasted);
        edit->paste();
        QCOMPARE(edit->text(), QString());
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("0612"));
    edit->paste();
    QCOMPARE(edit->text(), QStringLiteral("0612"));
}

void TestFrmHoofdscherm::typingRefusesCharactersOutsideTheCodePage()
{
    UiWorld w;
    QLineEdit *edit = w.controls().textBox(200);
    typeText(edit, QStringLiteral("a\u00E9\u0142\u008D\u20AC\u4E2D\u0090"));
    QCOMPARE(edit->text(), QStringLiteral("a\u00E9\u20AC"));
    QLineEdit *intBox = w.controls().textBox(120); // no limit
    QTest::keyClicks(intBox, QStringLiteral("12345678901234567890"));
    QCOMPARE(intBox->text(), QStringLiteral("12345678901234567890"));
    QGuiApplication::clipboard()->setText(QStringLiteral("1\r\n"));
    intBox->paste();
    QCOMPARE(intBox->text(), QStringLiteral("12345678901234567890"));
}

void TestFrmHoofdscherm::wheelChangesOnlyAFocusedControl_data()
{
    QTest::addColumn<int>("mainTab");
    QTest::addColumn<int>("itemPage");
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("focused");
    QTest::newRow("ESPA page, unfocused list: the page scrolls") << 1 << 2 << "ComboInstellingen_5" << false;
    QTest::newRow("ESPA page, focused list: the value moves") << 1 << 2 << "ComboInstellingen_5" << true;
    QTest::newRow("Service tab, unfocused bleep code") << 4 << 0 << "ComboTestBleepCode" << false;
}

void TestFrmHoofdscherm::wheelChangesOnlyAFocusedControl()
{
    QFETCH(int, mainTab);
    QFETCH(int, itemPage);
    QFETCH(QString, control);
    QFETCH(bool, focused);
    UiWorld w;
    // Small, as at a large display scale: the page scrolls.
    w.window->resize(520, 300);
    w.find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(mainTab);
    w.find<QTabWidget>(QStringLiteral("SSTab2"))->setCurrentIndex(itemPage);
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    auto *combo = w.find<QComboBox>(control);
    QScrollArea *page = nullptr;
    for (QWidget *p = combo->parentWidget(); p && !page; p = p->parentWidget())
        page = qobject_cast<QScrollArea *>(p);
    QVERIFY(page);
    QScrollBar *bar = page->verticalScrollBar();
    page->ensureWidgetVisible(combo, 0, 0);
    QVERIFY2(bar->value() < bar->maximum(), "the page must be able to scroll further");
    const int scrolled = bar->value();
    combo->setCurrentIndex(1);
    if (focused)
        combo->setFocus(Qt::TabFocusReason);

    // A turn down over the control, as the window system delivers it.
    const QPoint centre = combo->rect().center();
    QWheelEvent turn(centre, combo->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&turn);
    QApplication::instance()->notify(combo, &turn);
    QCOMPARE(combo->currentIndex(), focused ? 2 : 1);
    QCOMPARE(combo->hasFocus(), focused);
    QCOMPARE(bar->value() > scrolled, !focused);
}

// ---------------------------------------------------------------- commands

void TestFrmHoofdscherm::confirmations_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<Effect>("effect");

    const QString writeAll = QStringLiteral("Overwrite all settings in the converter.\r\nAre you sure?\r\n\r\n"
                                            "The unit's values have not been read in this run.");
    const QString readDefault = QStringLiteral(
        "Default instellingen uit file lezen.\r\n"
        "Dit betekend dat alle wijzigingen tot nu toe gemaakt, worden overschreven.\r\nZeker weten? ");
    const QString saveDefault = QStringLiteral(
        "Default instellingen naar file schrijven.\r\n"
        "Hierbij wordt het oude default instellingen-file overschreven.\r\nZeker weten? ");
    const QString restart = QStringLiteral("Restart the converter.\r\n\r\nAre you sure? ");
    for (const Answer answer : {Answer::Ok, Answer::Cancel}) {
        const char *a = answer == Answer::Ok ? "OK" : "Cancel";
        QTest::addRow("write all, %s", a) << "CmdSchrijfAlles" << answer << writeAll << "Tessaro by Kestrum" << Effect::WriteAll;
        QTest::addRow("read default, %s", a) << "CmdInstellingenLezen" << answer << readDefault << "Tessaro van Kestrum" << Effect::ReadDefault;
        QTest::addRow("save default, %s", a) << "CmdInstellingenOpslaan" << answer << saveDefault << "Tessaro van Kestrum" << Effect::SaveDefault;
        QTest::addRow("restart, %s", a) << "CmdTestHerstart" << answer << restart << kWebTitle << Effect::Restart;
    }
}

void TestFrmHoofdscherm::confirmations()
{
    QFETCH(QString, button);
    QFETCH(Answer, answer);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(Effect, effect);
    FocusTakingView view;
    UiWorld w(QStringLiteral("/DEBUG"), {}, &view); // "Save as default" is enabled only in service mode
    view.setAnswer(answer);
    // The screen differs from the working values (0 from the missing default file).
    w.controls().combo(10)->setCurrentIndex(2);
    // The button's page is shown; the box moves the focus to the tab bar.
    auto *tabs = w.find<QTabWidget>(QStringLiteral("SSTab1"));
    for (int t = 0; t < tabs->count(); ++t) {
        if (tabs->widget(t)->isAncestorOf(w.find<QWidget>(button)))
            tabs->setCurrentIndex(t);
    }
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    view.takes = tabs->tabBar();

    w.click(button);
    QCOMPARE(view.messages().size(), 1);
    const RecordingView::Message &shown = view.messages().constFirst();
    QCOMPARE(box(shown.text, shown.title, shown.icon, shown.buttons), box(text, title, Icon::None, Buttons::OkCancel));
    // The focus is back on the button that asked, whatever was answered.
    QCOMPARE(QApplication::focusWidget(), w.find<QWidget>(button));
    const bool ok = answer == Answer::Ok;
    switch (effect) {
    case Effect::WriteAll:
        QCOMPARE(w.engine().requested(Outcome::Command::WriteAll), ok);
        QCOMPARE(Values::numberOf(w.stores().workingValues[10]), ok ? 2.0 : 0.0);
        break;
    case Effect::ReadDefault: QCOMPARE(w.controls().combo(10)->currentIndex(), ok ? 0 : 2); break;
    case Effect::SaveDefault: QCOMPARE(QFile::exists(w.path(QStringLiteral("default.set"))), ok); break;
    case Effect::Restart: QCOMPARE(w.engine().requested(Outcome::Command::Restart), ok); break;
    }
}

void TestFrmHoofdscherm::writeAllShowsChanges_data()
{
    QTest::addColumn<bool>("readFirst");
    QTest::addColumn<QList<int>>("changed"); // combos moved one place down after the read
    QTest::addColumn<QString>("details");
    QTest::addColumn<bool>("unitKeepsOther"); // the unit acknowledges each write but keeps another value
    QTest::addColumn<QString>("summary");     // the box's added line
    QTest::addColumn<bool>("fromFile");       // the changes saved, undone, and loaded back from a file
    QTest::newRow("unit values unknown") << false << QList<int>{14}
        << "The unit's values are not known yet: nothing was read from the unit since start-up." << false
        << "The unit's values have not been read in this run." << false;
    QTest::newRow("no change") << true << QList<int>{}
        << "No setting will change: the unit holds these values already." << false
        << "0 of the 14 settings differ from the unit's last read values" << false;
    QTest::newRow("two changes") << true << QList<int>{14, 30}
        << "2 settings will change:\n"
           "ESPA In Time-out: %14 \u2192 %14'\n"
           "ESPA out serial speed: %30 \u2192 %30'" << false
        << "2 of the 14 settings differ from the unit's last read values" << false;
    QTest::newRow("three changes, loaded") << true << QList<int>{0, 14, 30}
        << "3 settings will change:\n"
           "%0n: %0 \u2192 %0'\n"
           "ESPA In Time-out: %14 \u2192 %14'\n"
           "ESPA out serial speed: %30 \u2192 %30'" << false
        << "3 of the 14 settings differ from the unit's last read values" << true;
    QTest::newRow("one change, read back otherwise")
        << true << QList<int>{14} << "1 setting will change:\nESPA In Time-out: %14 \u2192 %14'" << true
        << "1 of the 14 settings differs from the unit's last read values" << false;
}

void TestFrmHoofdscherm::writeAllShowsChanges()
{
    QFETCH(bool, readFirst);
    QFETCH(QList<int>, changed);
    QFETCH(QString, details);
    QFETCH(bool, unitKeepsOther);
    QFETCH(QString, summary);
    QFETCH(bool, fromFile);
    UiWorld w;
    AnsweringUnit unit(w);
    if (readFirst) {
        w.click(QStringLiteral("CmdLeesAlles"));
        QVERIFY(unit.runUntilQuiet());
    }
    QtItemControls &c = w.controls();
    QList<int> chosen;
    QList<int> unitIndex;
    for (int n : changed) {
        QComboBox *combo = c.combo(n);
        const int before = combo->currentIndex();
        unitIndex << before;
        combo->setCurrentIndex(before + 1 < combo->count() ? before + 1 : 0);
        chosen << combo->currentIndex();
        details.replace(QStringLiteral("%%1n").arg(n), c.legendName(n));
        details.replace(QStringLiteral("%%1'").arg(n), combo->currentText());
        details.replace(QStringLiteral("%%1").arg(n), combo->itemText(before));
        // The control that differs from the unit tells the unit's value, and its legend is bold.
        QCOMPARE(combo->toolTip(), readFirst ? QStringLiteral("In the unit: ") + combo->itemText(before) : QString());
        QCOMPARE(c.legendLabel(n)->font().bold(), readFirst);
    }
    QCOMPARE(c.combo(10)->toolTip(), QString());
    QVERIFY(!c.legendLabel(10)->font().bold());
    auto *pages = w.find<QTabWidget>(QStringLiteral("SSTab2"));
    if (fromFile) {
        w.answers.setChosenFile(w.path(QStringLiteral("site.cfg")));
        w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
        for (qsizetype i = 0; i < changed.size(); ++i)
            c.combo(changed[i])->setCurrentIndex(unitIndex[i]);
        // None differs: the pages' own captions.
        QCOMPARE(pages->tabText(0), QStringLiteral("&General settings"));
        QCOMPARE(pages->tabText(2), QStringLiteral("ES&PA settings"));
        w.click(QStringLiteral("CmdLezenUnitgegevens"));
        // Loaded, the stores forget the unit's values: as the colours, the
        // marks count nothing; the confirmation still lists the changes.
        QCOMPARE(pages->tabText(0), QStringLiteral("&General settings"));
        QVERIFY(!c.legendLabel(0)->font().bold());
    }
    QCOMPARE(pages->tabText(2), !readFirst || changed.isEmpty() || fromFile
                 ? QStringLiteral("ES&PA settings")
                 : QStringLiteral("ES&PA settings (%1)").arg(changed.size() - (changed.contains(0) ? 1 : 0)));

    // The report's site record, kept as the window keeps it, from the unit's values after each command.
    UnitMemory inUnit;
    w.engine().addOutcomeListener([&](const Outcome &) { inUnit.take(w.stores()); });
    WindowReport report(w.session(), w.controls(), inUnit);
    w.click(QStringLiteral("CmdSchrijfAlles"));
    QCOMPARE(w.boxes(), box(QStringLiteral("Overwrite all settings in the converter.\r\nAre you sure?\r\n\r\n") + summary,
                            QStringLiteral("Tessaro by Kestrum"), Icon::None, Buttons::OkCancel));
    QCOMPARE(w.answers.messages().constLast().details, details);
    if (unitKeepsOther) {
        UnitFaultPlan faults;
        faults.add({UnitFault::WrongValue, 1});
        unit.session.setOptions({false, 0, faults});
    }
    // Written, the unit holds what the screen shows: no tooltip is left. Read
    // back otherwise, the screen keeps the operator's choice and tells the unit's.
    QVERIFY(unit.runUntilQuiet());
    const auto record = report.contents(QStringLiteral("Hal 3"), QString()).write;
    QVERIFY(record.has_value());
    QCOMPARE(record->backupName, QStringLiteral("2026-12-07_140509_scripted1.cfg"));
    QCOMPARE(record->before.keys(), QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end()));
    QCOMPARE(record->written.keys(), record->before.keys());
    QCOMPARE(record->readBack.keys(), record->before.keys());
    for (int n : changed) {
        QVERIFY(record->before.value(n).value != record->written.value(n).value);
        QCOMPARE(record->readBack.value(n).value == record->written.value(n).value, !unitKeepsOther);
    }
    QVERIFY(record->outcome.startsWith(QStringLiteral("Write all settings")));
    // Held otherwise, a box says so beside the status bar, with where the backup is.
    QCOMPARE(w.answers.messages().size(), unitKeepsOther ? 2 : 1);
    if (unitKeepsOther) {
        const RecordingView::Message &told = w.answers.messages().constLast();
        QCOMPARE(told.icon, Icon::Critical);
        QStringList lines = told.text.split(QStringLiteral("\r\n"));
        QComboBox *combo = c.combo(14);
        const QString backup = w.path(QStringLiteral("Backups/2026-12-07_140509_scripted1.cfg"));
        for (const QString &line :
             {QStringLiteral("14 of 14 written (items 0 5 7 10 11 12 13 14 30 31 32 33 34 35)"),
              QStringLiteral("ESPA In Time-out: written %1, the unit holds %2")
                  .arg(combo->currentText(), combo->itemText(unit.items.valueText(14).toInt())),
              QStringLiteral("The unit's settings before the write are kept in ") + QDir::toNativeSeparators(backup)})
            QVERIFY2(lines.mid(1).contains(line), qPrintable(line));
        // The list stands once, under its own heading.
        QCOMPARE(told.text.count(QStringLiteral("ESPA In Time-out: written")), 1);
    }
    w.window->TmrUpdateVensters_Timer();
    for (qsizetype i = 0; i < changed.size(); ++i) {
        QComboBox *combo = c.combo(changed[i]);
        QCOMPARE(combo->currentIndex(), chosen[i]);
        const int held = unit.items.valueText(changed[i]).toInt();
        QVERIFY(held != chosen[i] || !unitKeepsOther);
        QCOMPARE(combo->toolTip(), unitKeepsOther ? QStringLiteral("In the unit: ") + combo->itemText(held) : QString());
        QCOMPARE(c.colour(changed[i]), unitKeepsOther ? ItemControls::Colour::DiffersFromUnit
                                                      : ItemControls::Colour::MatchesUnit);
    }
}

void TestFrmHoofdscherm::coloursAndMarksAgree_data()
{
    // What the operator does, in order: "read all"; "load unsendable", the
    // screen saved, with values for items 5, 14 and 31 that their lists
    // cannot show; "load other", the screen saved with items 10 and 30
    // changed; "edit 14", a choice by keyboard; "restore", the newest
    // backup, made from the unit's values.
    QTest::addColumn<QString>("steps");
    QTest::newRow("another file after the unsendable") << "read all, load unsendable, load other";
    QTest::newRow("another file after an edit") << "read all, edit 14, load other";
    QTest::newRow("unsendable edited, then another file") << "read all, load unsendable, edit 14, load other";
    QTest::newRow("backup after the unsendable") << "read all, load unsendable, restore";
    QTest::newRow("read all after the files") << "read all, load unsendable, load other, read all, edit 14";
    QTest::newRow("unsendable before the read") << "load unsendable, read all, load other, edit 14";
    QTest::newRow("nothing read") << "load unsendable, edit 14, restore";
}

// With nothing pending, after the window's next update tick, each setting's
// control is coloured by whether it shows the unit's value, and its legend
// is bold exactly where that colour says it differs from a value known to be
// in the unit, after each of the operator's steps.
void TestFrmHoofdscherm::coloursAndMarksAgree()
{
    QFETCH(QString, steps);
    UiWorld w;
    AnsweringUnit unit(w);
    QtItemControls &c = w.controls();
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    for (const QString &step : steps.split(QStringLiteral(", "))) {
        if (step == QStringLiteral("read all")) {
            w.click(QStringLiteral("CmdLeesAlles"));
            QVERIFY(unit.runUntilQuiet());
        } else if (step.startsWith(QStringLiteral("load"))) {
            const bool unsendable = step.endsWith(QStringLiteral("unsendable"));
            const QString path = w.path(step.section(u' ', 1) + QStringLiteral(".cfg"));
            w.answers.setChosenFile(path);
            w.click(QStringLiteral("CmdOpslaanUnitGegevens"));
            QByteArrayList lines = readAll(path).split('\n');
            for (QByteArray &line : lines) {
                const int item = line.left(line.indexOf(' ')).toInt();
                const QByteArray start = QByteArray::number(item) + "    ->";
                if (unsendable && (item == 5 || item == 14 || item == 31))
                    line = start + (item == 5 ? "11" : item == 14 ? "60" : "2") + '\r';
                else if (!unsendable && (item == 10 || item == 30))
                    line = start + (c.combo(item)->currentIndex() == 1 ? "2" : "1") + '\r';
            }
            writeFile(path, lines.join('\n'));
            w.click(QStringLiteral("CmdLezenUnitgegevens"));
            for (int n : {5, 14, 31})
                QCOMPARE(c.combo(n)->toolTip().startsWith(QStringLiteral("the file holds")), unsendable);
        } else if (step == QStringLiteral("edit 14")) {
            QTest::keyClick(c.combo(14), c.combo(14)->currentIndex() + 1 < c.combo(14)->count() ? Qt::Key_Down : Qt::Key_Up);
        } else if (step == QStringLiteral("restore")) {
            Stores::ValueStore held;
            for (int n = 0; n < UnitItems::kItemCount; ++n)
                held[n] = Items::kindOf(n) == Items::Kind::Tekst ? Values::text(unit.items.valueText(n))
                                                                 : Values::integer(qint16(unit.items.valueText(n).toInt()));
            const Backups::Saved backup = Backups::save(w.home.path(), held, w.session().now(), QStringLiteral("scripted1"));
            QVERIFY(backup.ok());
            w.answers.setChosenFile(backup.path);
            w.click(QStringLiteral("CmdRestoreBackup"));
            QCOMPARE(w.find<QLabel>(QStringLiteral("StatusSettingsFile"))->text(), QFileInfo(backup.path).fileName());
        }
        QVERIFY(!w.stores().anyRequest());
        w.window->TmrUpdateVensters_Timer();
        for (int n : Items::kBulkItems) {
            const auto held = Values::strictNumberOf(w.stores().unitValues[n]);
            const bool equal = held && *held == c.combo(n)->currentIndex();
            const QString where = QStringLiteral("%1 after %2").arg(n).arg(step);
            const QColor drawn = equal ? QtItemControls::matchesUnitColour() : windowText;
            QVERIFY2(c.combo(n)->palette().color(QPalette::ButtonText) == drawn, qPrintable(where));
            QVERIFY2(c.combo(n)->palette().color(QPalette::Text) == drawn, qPrintable(where));
            QVERIFY2(c.legendLabel(n)->font().bold() == (!equal && held && *held != -1), qPrintable(where));
        }
    }
}

void TestFrmHoofdscherm::writeChangesConfirmsFreshValues_data()
{
    QTest::addColumn<QList<int>>("behind");   // changed in the unit after the read-all
    QTest::addColumn<QList<int>>("onScreen"); // changed on the screen before the click
    QTest::addColumn<bool>("screenMoves");    // changed on the screen while the unit is read
    QTest::addColumn<QString>("text");        // %Nu: the unit's fresh value, %Ns: the screen's
    QTest::addColumn<bool>("none");
    QTest::newRow("unit changed behind the screen")
        << QList<int>{14} << QList<int>{30} << false
        << "2 settings will change:\r\nESPA In Time-out: %14u \u2192 %14s\r\n"
           "ESPA out serial speed: %30u \u2192 %30s" << false;
    QTest::newRow("none differing") << QList<int>{} << QList<int>{} << false
        << "The unit already holds these settings; nothing to write." << true;
    QTest::newRow("screen changed during the read") << QList<int>{} << QList<int>{14} << true
        << "1 setting will change:\r\nESPA In Time-out: %14u \u2192 %14s" << false;
}

void TestFrmHoofdscherm::writeChangesConfirmsFreshValues()
{
    QFETCH(QList<int>, behind);
    QFETCH(QList<int>, onScreen);
    QFETCH(bool, screenMoves);
    QFETCH(QString, text);
    QFETCH(bool, none);
    UiWorld w;
    AnsweringUnit unit(w);
    w.click(QStringLiteral("CmdLeesAlles"));
    QVERIFY(unit.runUntilQuiet());
    QtItemControls &c = w.controls();
    for (int n : behind) {
        const int held = unit.items.valueText(n).toInt();
        QVERIFY(unit.items.setValueText(n, QString::number(held + 1 < c.combo(n)->count() ? held + 1 : 0)));
    }
    for (int n : onScreen)
        c.combo(n)->setCurrentIndex((c.combo(n)->currentIndex() + 2) % c.combo(n)->count());
    for (int n : Items::kBulkItems) {
        const int held = unit.items.valueText(n).toInt();
        text.replace(QStringLiteral("%%1u").arg(n), c.combo(n)->itemText(held));
        text.replace(QStringLiteral("%%1s").arg(n), c.combo(n)->currentText());
    }
    // The engine reads the unit's fresh values, then tells what would change.
    w.click(QStringLiteral("CmdWriteChanges"));
    const auto told = [&] { return w.engine().holdsForConfirmation() || w.engine().isQuiet(); };
    for (int i = 0; i < 4000 && !told(); ++i)
        unit.step();
    QVERIFY(told());
    if (screenMoves)
        c.combo(14)->setCurrentIndex((c.combo(14)->currentIndex() + 1) % c.combo(14)->count());
    // Shown after the engine's tick, not within it.
    QCOMPARE(w.answers.messages().size(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!w.answers.messages().isEmpty(), 5000);
    const RecordingView::Message &shown = w.answers.messages().constFirst();
    QCOMPARE(box(shown.text, shown.title, shown.icon, shown.buttons),
             box(text, QStringLiteral("Tessaro by Kestrum"), none ? Icon::Information : Icon::None,
                 none ? Buttons::Ok : Buttons::OkCancel));
    // OK on a list the screen no longer shows writes nothing, and says so.
    QCOMPARE(w.answers.messages().size(), screenMoves ? 2 : 1);
    if (screenMoves)
        QVERIFY(w.answers.messages().constLast().text.startsWith(QStringLiteral("The screen changed")));
    // OK writes what differs only, and the status bar says how many.
    QVERIFY(unit.runUntilQuiet());
    const int changed = screenMoves ? 0 : int(QSet<int>(behind.cbegin(), behind.cend()).unite({onScreen.cbegin(), onScreen.cend()}).size());
    const QString status = w.find<QLabel>(QStringLiteral("StatusMessage"))->text();
    const QString expected = screenMoves ? QStringLiteral("Write changes cancelled; 0 of 1 written")
        : changed == 0 ? QStringLiteral("Write changes: the unit already holds these settings; nothing written")
                       : QStringLiteral("Write changes: %1 of 14 settings changed (items").arg(changed);
    QVERIFY2(status.startsWith(expected), qPrintable(status));
}

void TestFrmHoofdscherm::failedWriteIsTold_data()
{
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("told"); // the box from the end of its first line, the summary; "-": no box
    using Command = Outcome::Command;
    using Result = Outcome::Result;
    Outcome cut{Command::WriteAll, Result::Cancelled};
    cut.items = {0, 5, 7, 10, 11, 12, 13, 14};
    cut.unanswered = {30};
    cut.notSent = {31, 32, 33, 34, 35};
    cut.backupPath = QStringLiteral("/home/op/Backups/2026-12-07_140509_cable.cfg");
    QTest::newRow("write all cut short")
        << cut
        << "\r\n\r\n8 of 14 written (items 0 5 7 10 11 12 13 14); item 30 sent, not acknowledged: the unit may hold the "
           "new value; not sent: items 31 32 33 34 35\r\n\r\nThe unit's settings before the write are kept in "
               + QDir::toNativeSeparators(cut.backupPath);
    Outcome differs{Command::WriteItem, Result::Failed, 33};
    differs.stage = Outcome::Stage::ReadBack;
    differs.items = {33};
    differs.readBackEqual = 0;
    differs.mismatches = {{33, Values::integer(1), Values::integer(0)}};
    QTest::newRow("single write read back otherwise")
        << differs
        << "\r\n\r\n1 of 1 written (item 33)\r\n\r\nRead back otherwise than written:\r\n"
           "ESPA out serial parity: written even parity, the unit holds no parity";
    // Nothing was sent: the status bar tells why.
    QTest::newRow("refused at once") << Outcome{Command::WriteAll, Result::NotStarted, -1, Outcome::Failure::PortClosed}
                                     << "-";
}

void TestFrmHoofdscherm::failedWriteIsTold()
{
    QFETCH(Outcome, outcome);
    QFETCH(QString, told);
    UiWorld w;
    w.window->warnOfFailedWrite(outcome);
    QCOMPARE(w.answers.messages().size(), told == QStringLiteral("-") ? 0 : 1);
    if (told == QStringLiteral("-"))
        return;
    const RecordingView::Message &box = w.answers.messages().constFirst();
    QCOMPARE(box.icon, Icon::Critical);
    QCOMPARE(box.title, QStringLiteral("Tessaro by Kestrum"));
    QCOMPARE(box.text.mid(box.text.indexOf(QStringLiteral("\r\n"))), told);
}

void TestFrmHoofdscherm::pagerCallAddressCheck_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("requested");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << true;
    QTest::newRow("number") << "0612" << true;
}

void TestFrmHoofdscherm::pagerCallAddressCheck()
{
    QFETCH(QString, address);
    QFETCH(bool, requested);
    UiWorld w;
    w.find<QLineEdit>(QStringLiteral("TxtTestPagerAdres"))->setText(address);
    w.find<QLineEdit>(QStringLiteral("TxtTestPagerDisplayInfo"))->setText(QStringLiteral("Test"));
    w.click(QStringLiteral("CmdTestOproepPager"));
    QCOMPARE(w.engine().requested(Outcome::Command::PagerCall), requested);
    QCOMPARE(w.window->testPagerAddress(), address);
    QCOMPARE(w.window->testPagerDisplayInfo(), QStringLiteral("Test"));
    QCOMPARE(w.boxes(), requested ? QString()
                                  : box(QStringLiteral("Please enter address of pager"), kWebTitle, Icon::Critical, Buttons::Ok));

    // A double-click empties either field.
    for (const char *field : {"TxtTestPagerAdres", "TxtTestPagerDisplayInfo"}) {
        QTest::mouseDClick(w.find<QLineEdit>(QString::fromLatin1(field)), Qt::LeftButton);
        QCOMPARE(w.find<QLineEdit>(QString::fromLatin1(field))->text(), QString());
    }
}

void TestFrmHoofdscherm::cancelAndClearLog()
{
    UiWorld w;
    auto *progress = w.find<QPlainTextEdit>(QStringLiteral("TxtProgress"));
    QVERIFY(progress->isReadOnly());
    QCOMPARE(progress->palette().color(QPalette::Text), QColor(Qt::blue));
    w.window->appendProgress(QStringLiteral("Reading setting 10  "));
    w.engine().requestReadAll();
    w.engine().InterfaceTick(0);
    QCOMPARE(w.engine().AllMode(), Interface::BulkTransfer::Reading);
    // The progress bar appearing moves Cancel nowhere.
    auto *tabs = w.find<QTabWidget>(QStringLiteral("SSTab1"));
    auto *cancel = w.find<QWidget>(QStringLiteral("CmdCancelReadWrite"));
    for (int t = 0; t < tabs->count(); ++t) {
        if (tabs->widget(t)->isAncestorOf(cancel))
            tabs->setCurrentIndex(t);
    }
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QPoint before = cancel->mapTo(w.window.get(), QPoint());
    w.window->setProgressBar({true, 0, 40, 3});
    QCoreApplication::sendPostedEvents();
    QCOMPARE(cancel->mapTo(w.window.get(), QPoint()), before);
    w.click(QStringLiteral("CmdCancelReadWrite"));
    QCOMPARE(w.stores().pendingRequestCount(), 0);
    QCOMPARE(w.engine().AllMode(), Interface::BulkTransfer::None);
    QCOMPARE(progress->toPlainText(), QStringLiteral("Reading setting 10  \nGeannuleerd!\n"));
    QVERIFY(progress->textCursor().atEnd());

    // "Clear log" empties the progress box, not the log window.
    w.session().logLines.ClearLogLines();
    w.session().logfile.WriteLogLine(QStringLiteral("kept"));
    w.window->LedTimer_Timer();
    w.click(QStringLiteral("CmdWisLogVenster"));
    QCOMPARE(progress->toPlainText(), QString());
    QCOMPARE(w.logWindowLine(0), QStringLiteral("14:05:09 kept"));
}

void TestFrmHoofdscherm::readBackChoiceIsKept_data()
{
    QTest::addColumn<QByteArray>("file"); // Preferences.ini before start-up; "folder": a folder in its place
    QTest::addColumn<bool>("on");         // the box at start-up
    QTest::addColumn<QByteArray>("saved"); // the file after one click on the box; empty: not saved
    QTest::newRow("no file: on") << QByteArray() << true << QByteArray("ReadBack=0\r\n");
    QTest::newRow("off") << QByteArray("ReadBack=0\r\n") << false << QByteArray("ReadBack=1\r\n");
    QTest::newRow("on, lone LF") << QByteArray("ReadBack=1\n") << true << QByteArray("ReadBack=0\r\n");
    QTest::newRow("value not understood: on") << QByteArray("ReadBack=no\r\n") << true << QByteArray("ReadBack=0\r\n");
    QTest::newRow("unreadable: on, kept for this run only") << QByteArray("folder") << true << QByteArray();
}

void TestFrmHoofdscherm::readBackChoiceIsKept()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    QFETCH(QByteArray, saved);
    UiWorld w(QString(), [&](UiWorld &u) {
        if (file == "folder")
            QVERIFY(QDir(u.home.path()).mkdir(QStringLiteral("Preferences.ini")));
        else if (!file.isEmpty())
            writeFile(u.path(QStringLiteral("Preferences.ini")), file);
    });
    auto *box = w.find<QCheckBox>(QStringLiteral("ChkReadBack"));
    QCOMPARE(box->accessibleName(), QStringLiteral("Read back after writing"));
    QCOMPARE(box->isChecked(), on);
    QCOMPARE(w.engine().readBack(), on);
    // Start-up only reads.
    if (file != "folder")
        QCOMPARE(readAll(w.path(QStringLiteral("Preferences.ini"))), file);

    box->click();
    QCOMPARE(w.engine().readBack(), !on);
    if (!saved.isEmpty()) {
        QCOMPARE(readAll(w.path(QStringLiteral("Preferences.ini"))), saved);
    } else {
        QVERIFY2(w.find<QLabel>(QStringLiteral("StatusMessage"))->text().startsWith(
                     QStringLiteral("The choice could not be kept for the next start: ")),
                 qPrintable(w.find<QLabel>(QStringLiteral("StatusMessage"))->text()));
    }
}

void TestFrmHoofdscherm::singleButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("workingAfter"); // text form of the working value

    // Before the click: working values 10 = 0, 150 = "", 18 = 7; the screen
    // shows 10 at position 2 and 150 as "0612".
    QTest::newRow("read CHAR 10") << "CmdReadSingleSetting_10" << 10 << 1 << "0";
    QTest::newRow("write CHAR 10 takes the screen") << "CmdWriteSingleSetting_10" << 10 << 10 << "2";
    QTest::newRow("read CHAR 41") << "CmdReadSingleSetting_41" << 41 << 1 << "0";
    QTest::newRow("read TEKST 150") << "CmdReadSingleTekstSetting_0" << 150 << 1 << "";
    QTest::newRow("write TEKST 150 takes the screen") << "CmdWriteSingleTekstSetting_0" << 150 << 10 << "0612";
    QTest::newRow("TestButton writes 18 as stored") << "Command2" << 18 << 10 << "7";
}

void TestFrmHoofdscherm::singleButtons()
{
    QFETCH(QString, button);
    QFETCH(int, item);
    QFETCH(int, request);
    QFETCH(QString, workingAfter);
    UiWorld w;
    w.stores().workingValues[18] = Values::integer(7);
    w.controls().combo(10)->setCurrentIndex(2);
    w.controls().textBox(150)->setText(QStringLiteral("0612"));
    // Two reads without an answer, then dropped: the click starts a fresh count.
    w.engine().requestRead(0);
    for (int tick = 0; tick < kTickBound && w.engine().ErrorCount() < 2; ++tick)
        w.engine().InterfaceTick(0);
    QCOMPARE(w.engine().ErrorCount(), qint16(2));
    w.engine().cancelByOperator();

    w.click(button);
    QCOMPARE(w.stores().itemRequest[item], qint16(request));
    QCOMPARE(w.stores().pendingRequestCount(), 1);
    QCOMPARE(Values::textOf(w.stores().workingValues[item]), workingAfter);
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
}

void TestFrmHoofdscherm::openComPortGivesWaitingEngineItsPort()
{
    // Started without its port, the engine waits for it as for a lost one.
    UiWorld w(QString(), [](UiWorld &u) { u.port.setFailOpens(true); });
    w.engine().InterfaceTick(0);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort);
    QCOMPARE(w.find<QGroupBox>(QStringLiteral("FrmCommunicatie"))->title(), QStringLiteral("Serial port: XXXX "));
    w.click(QStringLiteral("CmdReOpenCom"));
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort); // the port still fails

    w.port.setFailOpens(false);
    const int closes = w.port.closeCount();
    w.click(QStringLiteral("CmdReOpenCom"));
    QCOMPARE(w.port.closeCount(), closes + 1);
    QVERIFY(w.port.isOpen());
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QCOMPARE(w.find<QGroupBox>(QStringLiteral("FrmCommunicatie"))->title(), QStringLiteral("Serial Port: 1 9600,N,8,1"));
}

void TestFrmHoofdscherm::fileDialogs_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("setPath");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("restore"); // "Restore a backup...": from the Backups folder, whatever SetPath says
    QTest::addColumn<bool>("remembered"); // a folder last used, kept in Preferences.ini, exists
    for (const bool chosen : {true, false}) {
        QTest::addRow("save, %s", chosen ? "chosen" : "cancelled") << true << "" << chosen << false << false;
        QTest::addRow("read, %s", chosen ? "chosen" : "cancelled") << false << "" << chosen << false << false;
        QTest::addRow("restore, %s", chosen ? "chosen" : "cancelled") << false << "/srv/klant, oud" << chosen << true << false;
    }
    QTest::newRow("save from SetPath") << true << "/srv/klant, oud" << true << false << false;
    QTest::newRow("read from SetPath") << false << "/srv/klant, oud" << true << false << false;
    QTest::newRow("read, no SetPath folder, last used") << false << "/srv/klant, oud" << true << false << true;
    QTest::newRow("save, no Instellingen, last used") << true << "" << true << false << true;
    QTest::newRow("read, SetPath there, not last used") << false << "%home" << true << false << true;
    QTest::newRow("restore, last used") << false << "" << true << true << true;
}

void TestFrmHoofdscherm::fileDialogs()
{
    QFETCH(bool, save);
    QFETCH(QString, setPath);
    QFETCH(bool, chosen);
    QFETCH(bool, restore);
    QFETCH(bool, remembered);
    QString lastUsed;
    UiWorld w(QString(), [&](UiWorld &u) {
        setPath.replace(QStringLiteral("%home"), u.home.path());
        writeFile(u.path(QStringLiteral("Tessaro.set")), setupFile(0, 2, setPath));
        lastUsed = u.path(QStringLiteral("site files"));
        if (remembered && QDir(u.home.path()).mkdir(QStringLiteral("site files")))
            writeFile(u.path(QStringLiteral("Preferences.ini")),
                      (QStringLiteral("ReadBack=1\r\nSettingsFolder=%1\r\nRestoreFolder=%1\r\n").arg(lastUsed)).toLocal8Bit());
    });
    QString file = w.path(QStringLiteral("unit.cfg"));
    if (restore) {
        QVERIFY(QDir(w.home.path()).mkdir(QStringLiteral("Backups")));
        file = w.path(QStringLiteral("Backups/2026-12-07_104512_scripted1.cfg"));
    }
    if (!save)
        writeFile(file, "10    ->3\r\n160    ->0612\r\n");
    w.answers.setChosenFile(chosen ? std::optional<QString>(file) : std::nullopt);

    w.click(save ? QStringLiteral("CmdOpslaanUnitGegevens")
                 : restore ? QStringLiteral("CmdRestoreBackup") : QStringLiteral("CmdLezenUnitgegevens"));
    QCOMPARE(w.answers.fileRequests().size(), 1);
    const RecordingView::FileRequest request = w.answers.fileRequests().constFirst();
    QCOMPARE(request.save, save);
    QCOMPARE(request.proposedName, save ? QStringLiteral("NieuweInstellingen") : QStringLiteral("*.cfg"));
    const QString configured = restore ? w.path(QStringLiteral("Backups"))
        : setPath.isEmpty()            ? w.path(QStringLiteral("Instellingen"))
                                       : setPath;
    QCOMPARE(request.startFolder, remembered && (restore || !QFileInfo(configured).isDir()) ? lastUsed : configured);
    // The folder of the chosen file is kept for the next dialog.
    QCOMPARE(readAll(w.path(QStringLiteral("Preferences.ini")))
                 .contains((restore ? "RestoreFolder=" : "SettingsFolder=") + QFileInfo(file).absolutePath().toLocal8Bit() + "\r\n"),
             chosen);
    QCOMPARE(request.filter, QStringLiteral("cfg (*.cfg) | *.cfg"));
    QCOMPARE(w.answers.beeps(), chosen ? 0 : 1);
    QCOMPARE(w.boxes(), QString());
    if (save) {
        QCOMPARE(QFile::exists(file), chosen);
    } else {
        QCOMPARE(w.controls().combo(10)->currentIndex(), chosen ? 3 : 0);
        QCOMPARE(w.controls().textBox(160)->text(), chosen ? QStringLiteral("0612") : QString());
    }
}

void TestFrmHoofdscherm::fileFailuresAreReported_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("text"); // the box's first line, or empty; the reason follows, naming the file
    QTest::newRow("read a missing file") << "CmdLezenUnitgegevens" << "missing.cfg" << "Error reading setup-file";
    QTest::newRow("restore a missing backup") << "CmdRestoreBackup" << "Backups/missing.cfg" << "Error reading setup-file";
    QTest::newRow("save to file") << "CmdOpslaanUnitGegevens" << "unit.cfg" << "";
    QTest::newRow("save as default") << "CmdInstellingenOpslaan" << "default.set" << "";
}

void TestFrmHoofdscherm::fileFailuresAreReported()
{
    QFETCH(QString, button);
    QFETCH(QString, fileName);
    QFETCH(QString, text);
    UiWorld w(QStringLiteral("/DEBUG"));
    w.controls().combo(10)->setCurrentIndex(2);
    // A folder in a saved file's place: the file cannot be replaced.
    if (text.isEmpty())
        QVERIFY(QDir(w.home.path()).mkdir(fileName));
    QVERIFY(QDir(w.home.path()).mkpath(QStringLiteral("Backups")));
    w.answers.setChosenFile(w.path(fileName));
    w.click(button);

    const RecordingView::Message shown = w.answers.messages().constLast();
    // A read keeps its box text; the reason naming the file is in the details.
    QVERIFY2((text.isEmpty() ? shown.text : shown.details).contains(fileName), qPrintable(shown.text));
    if (!text.isEmpty())
        QCOMPARE(shown.text, text);
    text = shown.text;
    QCOMPARE(box(shown.text, shown.title, shown.icon, shown.buttons),
             box(text, QStringLiteral("Tessaro by Kestrum"), Icon::Critical, Buttons::Ok));
    QCOMPARE(w.controls().combo(10)->currentIndex(), 2); // a failed read changes nothing
}

void TestFrmHoofdscherm::dialogsKeepTimersAndTakeFocusBack_data()
{
    QTest::addColumn<bool>("setup"); // else About
    QTest::newRow("Instellingen") << true;
    QTest::newRow("About") << false;
}

void TestFrmHoofdscherm::dialogsKeepTimersAndTakeFocusBack()
{
    QFETCH(bool, setup);
    UiWorld w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    auto open = [&] { setup ? w.window->Setup_Click() : w.window->About_Click(); };
    auto dialog = [&]() -> QWidget * {
        return setup ? static_cast<QWidget *>(WindowProbe(*w.window).instellingen()) : WindowProbe(*w.window).about();
    };
    open();
    QWidget *first = dialog();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QCOMPARE(first->windowModality(), Qt::ApplicationModal);
    open();
    QCOMPARE(dialog(), first); // loaded once
    for (QTimer *timer : w.timers().mid(0, 3))
        timer->start();

    // Another window of the program becomes active: the dialog takes the focus back.
    w.window->activateWindow();
    QTRY_COMPARE(w.answers.beeps(), 1);
    QTRY_COMPARE(QApplication::activeWindow(), first);
    for (QTimer *timer : w.timers().mid(0, 3))
        QVERIFY(timer->isActive());
    w.stopTimers();
}

void TestFrmHoofdscherm::quit_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::newRow("OK") << Answer::Ok;
    QTest::newRow("Cancel") << Answer::Cancel;
}

void TestFrmHoofdscherm::quit()
{
    QFETCH(Answer, answer);
    UiWorld w;
    for (QTimer *timer : w.timers().mid(0, 3))
        timer->start();
    QSignalSpy ended(w.window.get(), &FrmHoofdscherm::programEnded);
    w.answers.setAnswer(answer);
    w.window->Quit_Click();
    QCOMPARE(w.boxes(), box(QStringLiteral("Do you want to quit the program?"), kWebTitle, Icon::None, Buttons::OkCancel));

    const bool quits = answer == Answer::Ok;
    QCOMPARE(w.port.isOpen(), !quits);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
    QCOMPARE(ended.count(), quits ? 1 : 0);
    for (QTimer *timer : w.timers().mid(0, 3))
        QCOMPARE(timer->isActive(), !quits);
    w.stopTimers();
}

// ---------------------------------------------------------------- keyboard

namespace {

// The mnemonic letter of a caption ("Cance&l": l), or nothing.
QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (text.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return text.at(i + 1).toLower();
    }
    return QChar();
}

// Letters shared by more than one control the operator can see in the window.
QStringList sharedMnemonics(QWidget *window)
{
    QMultiMap<QChar, QString> owners;
    auto add = [&owners](const QString &text) {
        const QChar letter = mnemonicOf(text);
        if (!letter.isNull())
            owners.insert(letter, plain(text));
    };
    if (auto *main = qobject_cast<QMainWindow *>(window)) {
        for (QAction *action : main->menuBar()->actions())
            add(action->text());
    }
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(button->text());
        else if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy())
            add(label->text());
        else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                if (tabs->isTabVisible(i))
                    add(tabs->tabText(i));
            }
        }
    }
    QStringList shared;
    for (const QChar letter : owners.uniqueKeys()) {
        if (owners.count(letter) > 1)
            shared << QString(letter) + QStringLiteral(": ") + QStringList(owners.values(letter)).join(QStringLiteral(", "));
    }
    return shared;
}

// Tab stops that show no focus: a stop must be a control whose style draws it.
QStringList stopsWithoutFocusSign(QWidget *window)
{
    QStringList hidden;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        // A widget that hands its focus on (a tab widget to its tab bar) is no stop itself.
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || !w->isVisibleTo(window) || !w->isEnabled())
            continue;
        // A read-only text box has no cursor to show: it needs a frame of its own.
        if (auto *box = qobject_cast<QPlainTextEdit *>(w)) {
            if (!box->isReadOnly() || hasFocusFrame(box))
                continue;
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            // Words selectable from the keyboard show a text cursor.
            if (label->textInteractionFlags() & Qt::TextSelectableByKeyboard)
                continue;
        } else if (qobject_cast<LogoFrame *>(w)) {
            continue; // draws a focus rectangle of its own
        } else if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                   || qobject_cast<QTabBar *>(w) || qobject_cast<QAbstractSpinBox *>(w)) {
            continue;
        }
        hidden << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
    }
    return hidden;
}

// A widget the operator works or reads: a control, a line of words, a
// picture, an indicator. Containers, separators and scroll bars are not.
bool interactiveOrInformative(QAccessibleInterface *a)
{
    switch (a->role()) {
    case QAccessible::Separator:
    case QAccessible::ScrollBar:
    case QAccessible::Grouping:
    case QAccessible::Pane:
    case QAccessible::PageTabList:
    case QAccessible::Border:
    case QAccessible::Window:
    case QAccessible::Dialog:
    case QAccessible::MenuBar:
    case QAccessible::ToolBar:
    case QAccessible::StatusBar:
        return false;
    default: break;
    }
    auto *widget = qobject_cast<QWidget *>(a->object());
    if (auto *label = qobject_cast<QLabel *>(widget))
        return !label->text().isEmpty() || !label->pixmap().isNull(); // an empty label tells nothing
    // A tab widget hands its focus to its tab bar; a text box's viewport is the box.
    if (widget && (widget->focusProxy() || widget->objectName() == QLatin1String("qt_scrollarea_viewport")))
        return false;
    if (widget && (widget->focusPolicy() & Qt::TabFocus))
        return true;
    // A leaf: what it shows is its own.
    for (int i = 0; i < a->childCount(); ++i) {
        if (!a->child(i)->state().invisible)
            return false;
    }
    return true;
}

QString describe(QAccessibleInterface *a)
{
    QObject *object = a->object();
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("(no object)"),
             object ? object->objectName() : QString::number(a->parent() ? a->parent()->indexOfChild(a) : -1),
             a->text(QAccessible::Name));
}

// What Qt's accessibility interface, as a screen reader sees it, tells
// wrongly of a window: a widget shown without a role or a name, or
// something hidden told as showing.
QStringList accessibilityFaults(QWidget *window)
{
    QStringList faults;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *a) {
        const bool showing = !a->state().invisible;
        auto *widget = qobject_cast<QWidget *>(a->object());
        if (showing && widget && !widget->isVisible())
            faults << QStringLiteral("hidden, told as showing: ") + describe(a);
        if (showing && !widget && a->role() == QAccessible::PageTab) {
            auto *bar = qobject_cast<QTabBar *>(a->parent()->object());
            if (bar && !bar->isTabVisible(a->parent()->indexOfChild(a)))
                faults << QStringLiteral("hidden tab, told as showing: ") + describe(a);
        }
        // Nothing that shows goes without a name, not even a line or an empty label.
        auto *frame = qobject_cast<QFrame *>(widget);
        const bool line = frame && (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine);
        if (showing && (a->role() == QAccessible::Separator || line || qobject_cast<QLabel *>(widget))
            && a->text(QAccessible::Name).trimmed().isEmpty())
            faults << QStringLiteral("no name: ") + describe(a);
        if (showing && interactiveOrInformative(a)) {
            if (a->role() == QAccessible::NoRole)
                faults << QStringLiteral("no role: ") + describe(a);
            if (a->text(QAccessible::Name).trimmed().isEmpty())
                faults << QStringLiteral("no name: ") + describe(a);
        }
        for (int i = 0; i < a->childCount(); ++i) {
            if (QAccessibleInterface *child = a->child(i))
                walk(child);
        }
    };
    QAccessible::setActive(true);
    walk(QAccessible::queryAccessibleInterface(window));
    return faults;
}

enum class KeyboardWindow { Main, PortDialog, PortDialogEditing, About };

} // namespace

Q_DECLARE_METATYPE(KeyboardWindow)

void TestFrmHoofdscherm::keyboardAndScreenReaderInEveryWindow_data()
{
    QTest::addColumn<KeyboardWindow>("which");
    QTest::addColumn<int>("mainTab");
    QTest::addColumn<int>("itemPage");
    QTest::addColumn<bool>("service");
    // In service mode every tab and service frame is shown; without it, they are hidden.
    const QStringList tabs = {"Status", "Setup", "File", "Unit", "Service", "Trace"};
    for (int t = 0; t < tabs.size(); ++t)
        QTest::addRow("main window, %s", qPrintable(tabs.at(t))) << KeyboardWindow::Main << t << 0 << true;
    QTest::newRow("main window, Setup, ESPA settings") << KeyboardWindow::Main << 1 << 2 << true;
    for (int t = 0; t < tabs.size() - 1; ++t)
        QTest::addRow("main window, %s, no service mode", qPrintable(tabs.at(t))) << KeyboardWindow::Main << t << 0 << false;
    QTest::newRow("main window, Setup, ESPA settings, no service mode") << KeyboardWindow::Main << 1 << 2 << false;
    QTest::newRow("port dialog: Escape closes") << KeyboardWindow::PortDialog << 0 << 0 << true;
    QTest::newRow("port dialog editing: Escape cancels") << KeyboardWindow::PortDialogEditing << 0 << 0 << true;
    QTest::newRow("About box: Escape closes") << KeyboardWindow::About << 0 << 0 << true;
}

void TestFrmHoofdscherm::keyboardAndScreenReaderInEveryWindow()
{
    QFETCH(KeyboardWindow, which);
    QFETCH(int, mainTab);
    QFETCH(int, itemPage);
    QFETCH(bool, service);
    UiWorld w(service ? QStringLiteral("/DEBUG") : QString());
    // Shown, so that what is hidden and what shows can be told apart.
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QWidget *window = w.window.get();
    switch (which) {
    case KeyboardWindow::Main:
        w.find<QTabWidget>(QStringLiteral("SSTab1"))->setCurrentIndex(mainTab);
        w.find<QTabWidget>(QStringLiteral("SSTab2"))->setCurrentIndex(itemPage);
        QCOMPARE(w.find<QTabWidget>(QStringLiteral("SSTab1"))->currentIndex(), mainTab);
        break;
    case KeyboardWindow::PortDialog:
    case KeyboardWindow::PortDialogEditing:
        w.window->Setup_Click();
        window = WindowProbe(*w.window).instellingen();
        if (which == KeyboardWindow::PortDialogEditing)
            w.click(QStringLiteral("CmdWijzigen"));
        break;
    case KeyboardWindow::About:
        w.window->About_Click();
        window = WindowProbe(*w.window).about();
        break;
    }
    QVERIFY(window);
    QCOMPARE(sharedMnemonics(window).join(QStringLiteral("; ")), QString());
    QCOMPARE(stopsWithoutFocusSign(window).join(QStringLiteral("; ")), QString());
    QCOMPARE(accessibilityFaults(window).join(u'\n'), QString());
    if (which == KeyboardWindow::Main)
        return;

    QPointer<QWidget> dialog = window;
    QTest::keyClick(window, Qt::Key_Escape);
    if (which == KeyboardWindow::PortDialogEditing) {
        // Cancel: back to viewing, still open.
        QVERIFY(dialog->isVisible());
        QVERIFY(w.find<QPushButton>(QStringLiteral("CmdWijzigen"))->isEnabled());
        QVERIFY(!w.find<QPushButton>(QStringLiteral("CmdSave"))->isEnabled());
        return;
    }
    QVERIFY(!dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull());
}

QTEST_MAIN(TestFrmHoofdscherm)
#include "tst_frmhoofdscherm.moc"
