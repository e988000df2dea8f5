#include "UiWorld.h"

#include "ui/FrmInstellingen.h"
#include "ui/LineCheckChart.h"

#include "files/Preferences.h"
#include "protocol/Frames.h"
#include "protocol/UnitProbe.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QColor kLightGrey(192, 192, 192);

// The dialog opened from the menu of a window started with the given setup file.
struct SetupWorld : UiWorld
{
    // remembered: the network port kept from a run before; empty none.
    explicit SetupWorld(int compoort, const QString &setPath = QString(), bool failOpens = false, bool withDefault = true,
                        const QString &remembered = QString())
        : UiWorld(QString(), [&](UiWorld &u) {
              writeFile(u.path(QStringLiteral("Tessaro.set")), setupFile(compoort, 2, setPath));
              if (!remembered.isEmpty())
                  writeFile(Preferences::filePath(u.home.path()), "NetworkPort=" + remembered.toLatin1() + "\r\n");
              if (withDefault)
                  writeFile(u.path(QStringLiteral("default.set")), "10    ->0\r\n");
              u.port.setFailOpens(failOpens);
          })
    {
        window->Setup_Click();
        dialog = WindowProbe(*window).instellingen();
        combo = find<QComboBox>(QStringLiteral("ComboCom"));
        pathBox = find<QLineEdit>(QStringLiteral("TxtSetPath"));
        networkBox = find<QLineEdit>(QStringLiteral("TxtNetworkPort"));
    }

    // "Change", "Save", "Cancel", "Close" enabled, as letters: C S X L, or '-'.
    QString buttons() const
    {
        QString state;
        const char *names[] = {"CmdWijzigen", "CmdSave", "CmdCancel", "CmdClose"};
        const char letters[] = {'C', 'S', 'X', 'L'};
        for (int i = 0; i < 4; ++i)
            state += find<QPushButton>(QString::fromLatin1(names[i]))->isEnabled() ? QChar(letters[i]) : u'-';
        return state;
    }

    bool locked() const
    {
        return !combo->isEnabled() && pathBox->isReadOnly() && networkBox->isReadOnly()
            && combo->palette().color(QPalette::ButtonText) == kLightGrey
            && pathBox->palette().color(QPalette::Text) == kLightGrey
            && networkBox->palette().color(QPalette::Text) == kLightGrey;
    }

    QByteArray setupFileContent() const
    {
        QFile file(path(QStringLiteral("Tessaro.set")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    FrmInstellingen *dialog = nullptr;
    QComboBox *combo = nullptr;
    QLineEdit *pathBox = nullptr;
    QLineEdit *networkBox = nullptr;
};

} // namespace

class TestFrmInstellingen : public QObject
{
    Q_OBJECT

private slots:
    void loadShowsStoredSettingsLocked_data();
    void loadShowsStoredSettingsLocked();
    void cancelRestoresStoredSettings();
    void save_data();
    void save();
    void portKeptDuringTransfer();
    void saveGivesWaitingEngineItsPort();
    void saveReportsFailedWrite();
    void onlySaveOrCancelLeaveEditing();
    void findUnitChoosesThePortThatAnswers_data();
    void findUnitChoosesThePortThatAnswers();
    void checkLineMeasuresAndStops();
};

void TestFrmInstellingen::loadShowsStoredSettingsLocked_data()
{
    QTest::addColumn<int>("compoort");
    QTest::addColumn<int>("shown");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("2 shows Com3") << 2 << 2;
    QTest::newRow("29 shows Com30") << 29 << 29;
    QTest::newRow("30 shows Com1") << 30 << 0;
    QTest::newRow("35 shows Com1") << 35 << 0;
    QTest::newRow("-1 shows none") << -1 << -1;
}

void TestFrmInstellingen::loadShowsStoredSettingsLocked()
{
    QFETCH(int, compoort);
    QFETCH(int, shown);
    SetupWorld w(compoort, QStringLiteral("D:\\Klanten, 2024"));
    QVERIFY(w.dialog);
    QCOMPARE(w.dialog->windowTitle(), QStringLiteral("Instellingen"));
    QCOMPARE(w.combo->count(), 30);
    QCOMPARE(w.combo->itemText(0), QStringLiteral("Com1"));
    QCOMPARE(w.combo->itemText(29), QStringLiteral("Com30"));
    QCOMPARE(w.combo->currentIndex(), shown);
    QCOMPARE(w.pathBox->text(), QStringLiteral("D:\\Klanten, 2024"));
    QVERIFY(w.locked());
    QCOMPARE(w.buttons(), QStringLiteral("C--L"));
    // Which device the chosen number reaches.
    QCOMPARE(w.find<QLabel>(QStringLiteral("LblDevice"))->text(),
             shown >= 0 ? QStringLiteral("= scripted%1").arg(shown + 1) : QStringLiteral("(no such port)"));
}

void TestFrmInstellingen::cancelRestoresStoredSettings()
{
    SetupWorld w(2, QStringLiteral("/data/cfg"), false, true, QStringLiteral("tcp://10.0.4.7:4001"));
    const QByteArray before = w.setupFileContent();
    QCOMPARE(w.networkBox->text(), QStringLiteral("tcp://10.0.4.7:4001"));
    w.click(QStringLiteral("CmdWijzigen"));
    QCOMPARE(w.buttons(), QStringLiteral("-SX-"));
    QVERIFY(w.combo->isEnabled() && !w.pathBox->isReadOnly() && !w.networkBox->isReadOnly());
    QCOMPARE(w.pathBox->palette().color(QPalette::Text), QApplication::palette().color(QPalette::WindowText));
    QCOMPARE(w.networkBox->palette().color(QPalette::Text), QApplication::palette().color(QPalette::WindowText));
    w.networkBox->setText(QStringLiteral("rfc2217://10.0.4.8:4001"));
    w.combo->setCurrentIndex(4);
    // The network port kept from the run before is the one in use.
    QCOMPARE(w.find<QLabel>(QStringLiteral("LblDevice"))->text(),
             QStringLiteral("= tcp://10.0.4.7:4001 (network port)"));
    w.pathBox->setText(QStringLiteral("/elsewhere"));
    w.click(QStringLiteral("CmdCancel"));
    QCOMPARE(w.combo->currentIndex(), 2);
    QCOMPARE(w.pathBox->text(), QStringLiteral("/data/cfg"));
    QCOMPARE(w.networkBox->text(), QStringLiteral("tcp://10.0.4.7:4001"));
    QVERIFY(w.locked());
    QCOMPARE(w.buttons(), QStringLiteral("C--L"));
    QCOMPARE(w.setupFileContent(), before);
    QCOMPARE(w.session().setup.Compoort, qint16(2));
}

void TestFrmInstellingen::save_data()
{
    QTest::addColumn<int>("compoort");
    QTest::addColumn<int>("choose"); // list entry chosen after "Change"; -2: none
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<bool>("withDefault"); // a default.set to read again
    // Another window saves Tessaro.set while the dialog is open (port -2: it does not).
    QTest::addColumn<int>("otherPort");
    QTest::addColumn<QString>("otherPath");
    QTest::addColumn<QString>("typedPath"); // empty: the path is left as shown
    QTest::addColumn<QString>("storedPath");
    QTest::addColumn<QString>("runDevice"); // every number reaches it for this run (--port); empty none
    QTest::addColumn<QString>("label");     // beside the number after Save
    QTest::addColumn<QString>("remembered"); // network port kept from the run before; empty none
    QTest::addColumn<QString>("network");    // typed into the network port field
    QTest::addColumn<QString>("devices");    // what the port was pointed at, '|' between

    const QString typed = QStringLiteral("/srv/klant");
    QTest::newRow("35 unchanged stores 0") << 35 << -2 << 0 << true << true << -2 << "" << typed << typed << ""
                                           << "= scripted1" << "" << "" << "";
    QTest::newRow("Com3 to Com5") << 2 << 4 << 4 << true << true << -2 << "" << typed << typed << "" << "= scripted5"
                                  << "" << "" << "";
    QTest::newRow("unchanged port is reopened") << 3 << -2 << 3 << true << true << -2 << "" << typed << typed << ""
                                                << "= scripted4" << "" << "" << "";
    QTest::newRow("no entry stores -1") << -1 << -2 << -1 << false << true << -2 << "" << typed << typed << ""
                                        << "(no such port)" << "" << "" << "";
    QTest::newRow("no default.set keeps the screen") << 2 << 4 << 4 << true << false << -2 << "" << typed << typed
                                                     << "" << "= scripted5" << "" << "" << "";
    QTest::newRow("port the other window saved stays") << 2 << -2 << 6 << true << true << 6 << "/other" << typed
                                                        << typed << "" << "= scripted7" << "" << "" << "";
    QTest::newRow("path the other window saved stays") << 2 << 4 << 4 << true << true << 6 << "/other" << ""
                                                        << "/other" << "" << "= scripted5" << "" << "" << "";
    // Under --port the number reaches the device named for this run alone:
    // said so, not as if the number mapped to it; the number is kept for later runs.
    QTest::newRow("--port") << 2 << 4 << 4 << true << true << -2 << "" << typed << typed << "~/unit-link"
                            << "--port ~/unit-link (this run)" << "" << "" << "";
    // A network port is opened in place of the numbered one and kept for the
    // next start, outside Tessaro.set; an empty field gives the numbered port back.
    QTest::newRow("network port") << 2 << -2 << 2 << true << true << -2 << "" << typed << typed << ""
                                  << "= rfc2217://10.0.4.7:4001 (network port)" << "" << " rfc2217://10.0.4.7:4001 "
                                  << "rfc2217://10.0.4.7:4001";
    QTest::newRow("network port emptied") << 2 << 4 << 4 << true << true << -2 << "" << typed << typed << ""
                                          << "= scripted5" << "tcp://[::1]:4001" << "" << "tcp://[::1]:4001|";
}

void TestFrmInstellingen::save()
{
    QFETCH(int, compoort);
    QFETCH(int, choose);
    QFETCH(int, stored);
    QFETCH(bool, opens);
    QFETCH(bool, withDefault);
    QFETCH(int, otherPort);
    QFETCH(QString, otherPath);
    QFETCH(QString, typedPath);
    QFETCH(QString, storedPath);
    QFETCH(QString, runDevice);
    QFETCH(QString, label);
    QFETCH(QString, remembered);
    QFETCH(QString, network);
    QFETCH(QString, devices);
    SetupWorld w(compoort, QString(), false, withDefault, remembered);
    w.port.setDeviceForEveryNumber(runDevice);
    // A choice made on screen but not in a file or the unit.
    w.controls().combo(10)->setCurrentIndex(2);
    const int opensBefore = w.port.openCount();
    const int closesBefore = w.port.closeCount();

    w.click(QStringLiteral("CmdWijzigen"));
    if (choose >= -1)
        w.combo->setCurrentIndex(choose);
    if (!typedPath.isEmpty())
        w.pathBox->setText(typedPath);
    w.networkBox->setText(network);
    if (otherPort >= -1)
        writeFile(w.path(QStringLiteral("Tessaro.set")), setupFile(otherPort, 2, otherPath));
    w.click(QStringLiteral("CmdSave"));

    QCOMPARE(w.buttons(), QStringLiteral("C--L"));
    QVERIFY(w.locked());
    QCOMPARE(w.session().setup.Compoort, qint16(stored));
    QCOMPARE(w.setupFileContent(), setupFile(stored, 2, storedPath, 3));
    QCOMPARE(w.combo->currentIndex(), stored >= FrmInstellingen::kPortCount ? 0 : stored);
    QCOMPARE(w.pathBox->text(), storedPath);
    QCOMPARE(w.port.closeCount(), closesBefore + 1);
    QCOMPARE(w.port.openCount(), opensBefore + (opens ? 1 : 0));
    QCOMPARE(w.port.isOpen(), opens);
    if (opens)
        QCOMPARE(w.port.lastPortNumber(), stored + 1);
    // The lists were rebuilt and the default settings read again, or without
    // a default file the screen stays as it was.
    QCOMPARE(w.controls().combo(10)->currentIndex(), withDefault ? 0 : 2);
    QCOMPARE(w.controls().combo(10)->count(), 5);
    QCOMPARE(w.boxes(), QString());
    QCOMPARE(w.find<QLabel>(QStringLiteral("LblDevice"))->text(), label);
    QCOMPARE(w.networkBox->text(), network.trimmed());
    QCOMPARE(w.portDevices.join(u'|'), devices);
    QCOMPARE(Preferences::read(w.home.path()).networkPort, network.trimmed());
}

// Neither Save nor "Open ComPort" touches the port under a running transfer.
void TestFrmInstellingen::portKeptDuringTransfer()
{
    SetupWorld w(0);
    w.controls().combo(10)->setCurrentIndex(2);
    w.engine().requestWriteAll();
    w.window->TmrAfhandel_Timer(); // the engine takes the command
    const auto working = w.stores().workingValues;
    const int closes = w.port.closeCount();
    w.click(QStringLiteral("CmdWijzigen"));
    w.combo->setCurrentIndex(4);
    w.click(QStringLiteral("CmdSave"));
    w.window->CmdReOpenCom_Click();

    QCOMPARE(w.answers.messages().size(), 2);
    for (const RecordingView::Message &m : w.answers.messages())
        QCOMPARE(m.icon, OperatorView::Icon::Critical);
    QCOMPARE(w.port.closeCount(), closes);
    QCOMPARE(w.buttons(), QStringLiteral("-SX-")); // still editing
    QCOMPARE(w.session().setup.Compoort, qint16(0));
    QCOMPARE(w.stores().workingValues, working);
    QCOMPARE(w.stores().pendingRequestCount(), int(Items::kBulkItems.size()));
}

void TestFrmInstellingen::saveGivesWaitingEngineItsPort()
{
    SetupWorld w(0, QString(), /*failOpens*/ true);
    w.engine().InterfaceTick(0);
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::ReopenPort);
    w.port.setFailOpens(false);
    w.click(QStringLiteral("CmdWijzigen"));
    w.click(QStringLiteral("CmdSave"));
    QVERIFY(w.port.isOpen());
    QCOMPARE(EngineProbe(w.engine()).EngineState(), Interface::State::Idle);
}

void TestFrmInstellingen::saveReportsFailedWrite()
{
    SetupWorld w(1);
    // A folder in the setup file's place: it cannot be replaced.
    QVERIFY(QFile::remove(w.path(QStringLiteral("Tessaro.set"))));
    QVERIFY(QDir(w.home.path()).mkdir(QStringLiteral("Tessaro.set")));
    w.click(QStringLiteral("CmdWijzigen"));
    w.combo->setCurrentIndex(5);
    w.click(QStringLiteral("CmdSave"));

    QCOMPARE(w.answers.messages().size(), 1);
    const RecordingView::Message shown = w.answers.messages().constFirst();
    QVERIFY2(shown.text.contains(QStringLiteral("Tessaro.set")), qPrintable(shown.text));
    QCOMPARE(w.boxes(), box(shown.text, QStringLiteral("Tessaro by Kestrum"), OperatorView::Icon::Critical,
                            OperatorView::Buttons::Ok));
    // The new port is applied all the same.
    QCOMPARE(w.port.lastPortNumber(), 6);
    QVERIFY(w.port.isOpen());
}

void TestFrmInstellingen::onlySaveOrCancelLeaveEditing()
{
    SetupWorld w(0);
    QPointer<FrmInstellingen> dialog = w.dialog;
    // A greyed button says when it can be used; one that can be used says nothing of it.
    auto tips = [&w] {
        QStringList shown;
        for (const char *name : {"CmdWijzigen", "CmdSave", "CmdCancel", "CmdClose"})
            shown << w.find<QPushButton>(QString::fromLatin1(name))->toolTip();
        return shown;
    };
    const QString afterChange = QStringLiteral("Available after Change");
    const QString afterSave = QStringLiteral("Available after Save or Cancel");
    QCOMPARE(tips(), (QStringList{QString(), afterChange, afterChange, QString()}));
    w.click(QStringLiteral("CmdWijzigen"));
    QCOMPARE(tips(), (QStringList{afterSave, QString(), QString(), afterSave}));
    // A network port that does not parse is told; nothing is stored or reopened.
    const QByteArray setupBefore = w.setupFileContent();
    const int closes = w.port.closeCount();
    w.networkBox->setText(QStringLiteral("rfc2217://10.0.4.7"));
    w.click(QStringLiteral("CmdSave"));
    w.networkBox->setText(QStringLiteral("10.0.4.7:4001"));
    w.click(QStringLiteral("CmdSave"));
    const QString title = QStringLiteral("Tessaro by Kestrum");
    const auto critical = OperatorView::Icon::Critical;
    QCOMPARE(w.boxes(), box("The network port \"rfc2217://10.0.4.7\" cannot be used: no port: a network port is "
                            "written scheme://HOST:PORT.", title, critical, OperatorView::Buttons::Ok)
                            + u'\n'
                            + box("The network port \"10.0.4.7:4001\" cannot be used: a network port is written "
                                  "rfc2217://HOST:PORT or tcp://HOST:PORT.", title, critical, OperatorView::Buttons::Ok));
    QCOMPARE(w.buttons(), QStringLiteral("-SX-"));
    QCOMPARE(w.port.closeCount(), closes);
    QCOMPARE(w.setupFileContent(), setupBefore);
    QVERIFY(!QFile::exists(Preferences::filePath(w.home.path())));
    QVERIFY(!w.find<QPushButton>(QStringLiteral("CmdClose"))->isEnabled());
    // The window's own close button is refused while editing.
    QVERIFY(!dialog->close());
    QVERIFY(dialog->isVisible());
    QCOMPARE(w.answers.beeps(), 1);

    w.click(QStringLiteral("CmdCancel"));
    w.click(QStringLiteral("CmdClose"));
    QVERIFY(!dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull()); // unloaded: the next "Setup" loads it anew
    QVERIFY(!WindowProbe(*w.window).instellingen());
    QVERIFY(w.port.isOpen());
}

void TestFrmInstellingen::findUnitChoosesThePortThatAnswers_data()
{
    // In the texts %d is the folder of the system's devices, %b that of the stable links.
    QTest::addColumn<QString>("runDevice"); // every port number reaches it for this run; empty none
    QTest::addColumn<QString>("runOption");
    QTest::addColumn<QString>("link");      // a stable link to %d/ttyUSB0; empty none
    QTest::addColumn<QString>("answering"); // the device the unit answers on
    QTest::addColumn<QString>("first");     // the device tried first
    QTest::addColumn<int>("combo");
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QString>("label");
    const QString debugInfo = QStringLiteral("(Diagnostic level: Debug info)");
    QTest::newRow("system port") << "" << "" << "" << "%d/ttyUSB0" << "scripted1" << 1 << "-SX-"
                                 << "= %d/ttyUSB0: unit found " + debugInfo;
    // The device of this run is tried, first, and named as given, not by a number.
    QTest::newRow("--port") << "/home/tech/unit-link" << "--port" << "" << "/home/tech/unit-link"
                            << "/home/tech/unit-link" << 0 << "C--L"
                            << "--port /home/tech/unit-link (this run): unit found " + debugInfo;
    QTest::newRow("--simulate") << "/dev/pts/7" << "--simulate" << "" << "/dev/pts/7" << "/dev/pts/7" << 0 << "C--L"
                                << "--simulate /dev/pts/7 (this run): unit found " + debugInfo;
    // A port with a stable name goes by it: it says which adapter it is.
    const QString link = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
    QTest::newRow("stable link") << "" << "" << link << "%b/" + link << "scripted1" << 1 << "-SX-"
                                 << "= %b/" + link + ": unit found " + debugInfo;
    // A network port is no serial device: not tried.
    QTest::newRow("network port") << "rfc2217://10.0.4.7:4001" << "--port" << "" << "%d/ttyUSB0" << "%d/ttyS0" << 1
                                  << "-SX-" << "= %d/ttyUSB0: unit found " + debugInfo;
}

void TestFrmInstellingen::findUnitChoosesThePortThatAnswers()
{
    QFETCH(QString, runDevice);
    QFETCH(QString, runOption);
    QFETCH(QString, link);
    QFETCH(QString, answering);
    QFETCH(QString, first);
    QFETCH(int, combo);
    QFETCH(QString, buttons);
    QFETCH(QString, label);
    QTemporaryDir folders;
    const QString devices = folders.filePath(QStringLiteral("dev"));
    const QString byId = folders.filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(devices) && QDir().mkpath(byId));
    auto place = [&](QString text) {
        return text.replace(QStringLiteral("%d"), devices).replace(QStringLiteral("%b"), byId);
    };
    QStringList system;
    for (const char *name : {"ttyS0", "ttyUSB0"}) {
        system << devices + u'/' + QLatin1String(name);
        writeFile(system.last(), QByteArray());
    }
    if (!link.isEmpty())
        QVERIFY(QFile::link(devices + QStringLiteral("/ttyUSB0"), byId + u'/' + link));
    answering = place(answering);

    SetupWorld w(0);
    if (!runDevice.isEmpty()) {
        w.port.setDeviceForEveryNumber(runDevice);
        w.dialog->setRunPortOption(runOption);
    }
    w.dialog->setPortSources({[system] { return system; }, byId});
    // Only the answering device answers a read of item 0, with "Debug info".
    QStringList tried;
    bool ownOpenMeanwhile = false;
    w.dialog->setSearchMaker([&](const QList<PortCandidate> &candidates) {
        auto factory = [&](const PortCandidate &candidate) -> std::unique_ptr<Port> {
            auto port = std::make_unique<ScriptedPort>();
            tried << candidate.device;
            // The engine runs on; it must leave the tool's own port to the probe.
            for (int tick = 0; tick < 2 * Interface::kWakeUpWait; ++tick)
                w.window->TmrAfhandel_Timer();
            ownOpenMeanwhile = ownOpenMeanwhile || w.port.isOpen();
            if (candidate.device == answering) {
                ScriptedPort *p = port.get();
                const QByteArray request = Frames::complete(Frames::readRequestBody(0));
                p->setWriteHook([p, request](quint8) {
                    if (p->written().endsWith(request))
                        p->queueInput(Frames::complete(QByteArray("\x01\x0D\x01\x00\x06\x57\x1F\x00\x1E\x77\x1F\x02\x1E", 13)));
                });
            }
            return port;
        };
        return std::make_unique<UnitSearch>(candidates, factory);
    });
    // Nothing is tried until the operator asks.
    QTest::qWait(100);
    QVERIFY(tried.isEmpty());

    w.find<QPushButton>(QStringLiteral("CmdFindUnit"))->click();
    QVERIFY(w.dialog->isSearching());
    QTRY_VERIFY_WITH_TIMEOUT(!w.dialog->isSearching(), 20000);
    QVERIFY(!tried.isEmpty());
    QCOMPARE(tried.first(), place(first));
    QVERIFY2(tried.contains(answering), qPrintable(tried.join(u' ')));
    QCOMPARE(tried.removeDuplicates(), 0);
    QVERIFY(!ownOpenMeanwhile);
    // A stable link and its device are one port, tried once.
    QCOMPARE(tried.contains(devices + QStringLiteral("/ttyUSB0")), link.isEmpty());
    // Chosen, not yet stored: Save stores it.
    QCOMPARE(w.combo->currentIndex(), combo);
    QCOMPARE(w.buttons(), buttons);
    QCOMPARE(w.find<QLabel>(QStringLiteral("LblDevice"))->text(), place(label));
    QCOMPARE(w.session().setup.Compoort, 0);
    // The tool's own port is open again.
    QVERIFY(w.port.isOpen());
}

// Check line: 20 reads on the tool's port as the window's engine runs, each
// damaged fourth answer a failure, nothing retried or counted; stopped by
// closing, the port stays open and the engine runs on.
void TestFrmInstellingen::checkLineMeasuresAndStops()
{
    SetupWorld w(0);
    const QByteArray request = Frames::complete(Frames::readRequestBody(0));
    int reads = 0;
    w.port.setWriteHook([&w, &reads, request](quint8) {
        if (!w.port.written().endsWith(request))
            return;
        QByteArray answer = Frames::complete(QByteArray("\x01\x0D\x01\x00\x06\x57\x1F\x00\x1E\x77\x1F\x02\x1E", 13));
        if (++reads % 4 == 0)
            answer[answer.size() - 1] = char(answer.back() + 1);
        w.port.queueInput(answer);
    });
    auto runEngine = [&w](const std::function<bool()> &until) {
        for (int tick = 0; tick < 2000 && !until(); ++tick)
            w.window->TmrAfhandel_Timer();
    };
    w.click(QStringLiteral("CmdCheckLine"));
    QVERIFY(w.dialog->isChecking());
    QVERIFY(!w.find<QPushButton>(QStringLiteral("CmdFindUnit"))->isEnabled());
    runEngine([&] { return !w.dialog->isChecking(); });
    QVERIFY(!w.dialog->isChecking());
    QCOMPARE(reads, FrmInstellingen::kCheckReads);
    const LineCheck &check = *PortDialogProbe(*w.dialog).lastCheck();
    QCOMPARE(check.failed(), 5);
    QCOMPARE(w.engine().ErrorCount(), qint16(0));
    const QString summary = QStringLiteral("20 reads: 15 answered, 5 checksum errors (25 %)");
    QCOMPARE(w.find<QLabel>(QStringLiteral("LblCheckLine"))->text(), summary);
    const auto *chart = w.find<LineCheckChart>(QStringLiteral("LineCheckChart"));
    QCOMPARE(chart->accessibleDescription(), summary);
    QCOMPARE(chart->check().exchanges().size(), 20);
    QCOMPARE(w.buttons(), QStringLiteral("C--L"));

    // Closed mid-check, just after a read ended: the next one, asked for and
    // not sent yet, is dropped; the port stays open and the engine runs on.
    QPointer<FrmInstellingen> dialog = w.dialog;
    w.click(QStringLiteral("CmdCheckLine"));
    runEngine([&] { return PortDialogProbe(*dialog).lastCheck()->exchanges().size() == 2; });
    w.click(QStringLiteral("CmdClose"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull());
    runEngine([&] { return w.engine().isQuiet(); });
    runEngine([] { return false; });
    QCOMPARE(reads, 22);
    QVERIFY(w.port.isOpen());
}

QTEST_MAIN(TestFrmInstellingen)
#include "tst_frminstellingen.moc"
