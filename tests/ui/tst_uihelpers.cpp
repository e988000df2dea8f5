#include "ui/LinkStatusLine.h"
#include "ui/QtDialogs.h"
#include "ui/StartArguments.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

class TestUiHelpers : public QObject
{
    Q_OBJECT

private slots:
    void startArguments_data();
    void startArguments();
    void fileFilter_data();
    void fileFilter();
    void fileDialogStart_data();
    void fileDialogStart();
    void linkLineNamesPort_data();
    void linkLineNamesPort();
};

void TestUiHelpers::startArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("error"); // the whole message; empty: none
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");

    QTest::newRow("nothing") << QStringList{} << "" << "" << false << "" << "" << false << false;
    QTest::newRow("switches stay in the command line")
        << QStringList{"/LOG", "/DEBUG"} << "" << "" << false << "/LOG /DEBUG" << "" << false << false;
    QTest::newRow("own options leave it")
        << QStringList{"--home", "/tmp/h", "/DEBUG", "--port=/dev/pts/4", "--simulate"} << "/tmp/h" << "/dev/pts/4"
        << true << "/DEBUG" << "" << false << false;
    // A folder whose name holds a switch does not switch anything.
    QTest::newRow("switch inside an option value")
        << QStringList{"--home=/srv/DEBUG"} << "/srv/DEBUG" << "" << false << "" << "" << false << false;
    QTest::newRow("missing value") << QStringList{"--port"} << "" << "" << false << ""
                                   << "--port needs a value" << false << false;
    QTest::newRow("empty value") << QStringList{"--home="} << "" << "" << false << ""
                                 << "--home needs a value" << false << false;
    QTest::newRow("help") << QStringList{"--help"} << "" << "" << false << "" << "" << true << false;
    QTest::newRow("short help among switches")
        << QStringList{"/LOG", "-h"} << "" << "" << false << "/LOG" << "" << true << false;
    QTest::newRow("version") << QStringList{"--version"} << "" << "" << false << "" << "" << false << true;
    QTest::newRow("short version") << QStringList{"-v"} << "" << "" << false << "" << "" << false << true;
    // A typo must not open the configured port as if nothing was asked.
    QTest::newRow("unknown option")
        << QStringList{"--prot", "/tmp/unit"} << "" << "" << false << "/tmp/unit" << "unknown option --prot" << false
        << false;
    QTest::newRow("unknown option with value")
        << QStringList{"--simulate", "--hoem=/tmp/h"} << "" << "" << true << "" << "unknown option --hoem" << false
        << false;
    // One dash: Qt's own options, left to Qt.
    QTest::newRow("Qt option")
        << QStringList{"-style", "fusion", "/DEBUG"} << "" << "" << false << "-style fusion /DEBUG" << "" << false
        << false;
    // A network port: taken as given, or refused before the window, naming the argument.
    QTest::newRow("network port") << QStringList{"--port", "tcp://[fd00::7]:4001"} << "" << "tcp://[fd00::7]:4001"
                                  << false << "" << "" << false << false;
    QTest::newRow("network port without its port")
        << QStringList{"--port=rfc2217://host"} << "" << "rfc2217://host" << false << ""
        << "--port \"rfc2217://host\": no port: a network port is written scheme://HOST:PORT" << false << false;
    QTest::newRow("network port of another scheme")
        << QStringList{"--port", "udp://10.0.4.7:4001", "/LOG"} << "" << "udp://10.0.4.7:4001" << false << "/LOG"
        << "--port \"udp://10.0.4.7:4001\": \"udp\" is not a kind of network port: rfc2217:// or tcp://" << false
        << false;
}

void TestUiHelpers::startArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, home);
    QFETCH(QString, port);
    QFETCH(bool, simulate);
    QFETCH(QString, commandLine);
    QFETCH(QString, error);
    QFETCH(bool, help);
    QFETCH(bool, version);
    const StartArguments parsed = StartArguments::parse(QStringList{QStringLiteral("tessaro")} + arguments);
    QCOMPARE(parsed.home, home);
    QCOMPARE(parsed.port, port);
    QCOMPARE(parsed.simulate, simulate);
    QCOMPARE(parsed.commandLine, commandLine);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.help, help);
    QCOMPARE(parsed.version, version);
}

void TestUiHelpers::fileFilter_data()
{
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<QString>("qtFilter");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("settings files") << "cfg (*.cfg) | *.cfg" << "cfg (*.cfg)" << "cfg";
    QTest::newRow("description without pattern") << "Settings|*.cfg" << "Settings (*.cfg)" << "cfg";
    QTest::newRow("two pairs") << "cfg (*.cfg)|*.cfg|All files|*.*" << "cfg (*.cfg);;All files (*.*)" << "cfg";
    QTest::newRow("several patterns") << "Texts|*.txt;*.log" << "Texts (*.txt *.log)" << "txt";
    QTest::newRow("no extension") << "All|*" << "All (*)" << "";
}

void TestUiHelpers::fileFilter()
{
    QFETCH(QString, pairs);
    QFETCH(QString, qtFilter);
    QFETCH(QString, suffix);
    QCOMPARE(QtDialogs::qtFilter(pairs), qtFilter);
    QCOMPARE(QtDialogs::defaultSuffix(pairs), suffix);
}

void TestUiHelpers::fileDialogStart_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("folder"); // below a temporary folder
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<bool>("startsHome");
    QTest::newRow("read, folder exists") << false << "Instellingen" << "*.cfg" << false;
    // A fresh install: the settings folder is not made yet.
    QTest::newRow("read, folder missing") << false << "missing/Instellingen" << "*.cfg" << true;
    QTest::newRow("save, folder missing") << true << "missing/Instellingen" << "NieuweInstellingen" << true;
    QTest::newRow("save, folder exists") << true << "Instellingen" << "NieuweInstellingen" << false;
}

void TestUiHelpers::fileDialogStart()
{
    QFETCH(bool, save);
    QFETCH(QString, folder);
    QFETCH(QString, proposed);
    QFETCH(bool, startsHome);
    QTemporaryDir temp;
    QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("Instellingen")));
    const QString start = QDir(temp.path()).filePath(folder);
    // Qt's own settings go where the tool says (its home folder with --home).
    const QString qtSettings = QDir(temp.path()).filePath(QStringLiteral("QtSettings"));
    QtDialogs::keepQtSettingsIn(qtSettings);

    // Look at the dialog as the operator gets it, then cancel it.
    QString shownFolder;
    QString nameBox;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        shownFolder = dialog->directory().absolutePath();
        nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        dialog->reject();
    });
    QCOMPARE(QtDialogs::chooseFile(nullptr, save, proposed, start, QStringLiteral("cfg (*.cfg) | *.cfg")), std::nullopt);
    QCOMPARE(shownFolder, startsHome ? QDir::home().absolutePath() : QDir(start).absolutePath());
    QCOMPARE(nameBox, proposed);
    QVERIFY(QFileInfo(QDir(qtSettings).filePath(QStringLiteral("QtProject.conf"))).isFile());
}

void TestUiHelpers::linkLineNamesPort_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("failure"); // LinkState::Failure of an exchange after the opening; 0 none
    QTest::addColumn<int>("closedBy"); // Port::Problem of a failed open instead of the opening; -1 none, -2 opened on another device
    QTest::addColumn<QString>("line");
    // Where the number names the device, as on Windows, the device is not repeated.
    QTest::newRow("Windows") << 3 << "COM3" << 0 << -1 << "Com 3 \u00B7 port open";
    QTest::newRow("Linux") << 1 << "/dev/ttyUSB0" << 0 << -1 << "Com 1 = /dev/ttyUSB0 \u00B7 port open";
    QTest::newRow("device of another number") << 1 << "COM4" << 0 << -1 << "Com 1 = COM4 \u00B7 port open";
    // "No answer" only when nothing came back; otherwise what did.
    QTest::newRow("bad answers") << 1 << "COM1" << int(LinkState::Failure::Checksum) << -1 << "Com 1 \u00B7 checksum error";
    QTest::newRow("no answer") << 1 << "COM1" << int(LinkState::Failure::NoAnswer) << -1 << "Com 1 \u00B7 no answer from the unit";
    QTest::newRow("unusable answer") << 1 << "COM1" << int(LinkState::Failure::UnusableAnswer) << -1
                                     << "Com 1 \u00B7 unusable answer from the unit";
    QTest::newRow("answer for another item") << 1 << "COM1" << int(LinkState::Failure::OtherItem) << -1
                                             << "Com 1 \u00B7 answered for another item";
    QTest::newRow("cut short") << 1 << "COM1" << int(LinkState::Failure::CutShort) << -1 << "Com 1 \u00B7 answer cut short";
    QTest::newRow("refused by the unit") << 1 << "COM1" << int(LinkState::Failure::Nack) << -1
                                         << "Com 1 \u00B7 refused by the unit";
    // An absent device is waited for; any other reason is told as it is.
    QTest::newRow("device absent") << 1 << "/dev/ttyUSB0" << 0 << int(Port::Problem::NoSuchDevice)
                                   << "Com 1 = /dev/ttyUSB0 \u00B7 waiting for the device";
    QTest::newRow("device held") << 1 << "/dev/ttyUSB0" << 0 << int(Port::Problem::InUse)
                                 << "Com 1 = /dev/ttyUSB0 \u00B7 port closed: /dev/ttyUSB0: in use by another program";
    QTest::newRow("another device behind the name") << 1 << "/tmp/unit" << 0 << -2
                                                    << "Com 1 = /tmp/unit \u00B7 another device than before \u00B7 port open";
}

void TestUiHelpers::linkLineNamesPort()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(int, failure);
    QFETCH(int, closedBy);
    QFETCH(QString, line);
    LinkState link;
    if (closedBy >= 0)
        link.setClosed(port, device, Port::Problem(closedBy), LinkState::describe(Port::Problem(closedBy), device));
    else
        link.setOpened(port, device, closedBy == -2 ? LinkState::Reach::AnotherDevice : LinkState::Reach::SameDevice);
    if (failure != 0)
        link.setNotAnswering(LinkState::Failure(failure));
    QCOMPARE(LinkStatusLine::text(link), line);
}

QTEST_MAIN(TestUiHelpers)
#include "tst_uihelpers.moc"
