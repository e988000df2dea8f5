#include "ui/QtDialogs.h"
#include "ui/StartArguments.h"

#include <QtTest>

class TestUiHelpers : public QObject
{
    Q_OBJECT

private slots:
    void startArguments_data();
    void startArguments();
    void fileFilter_data();
    void fileFilter();
};

void TestUiHelpers::startArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");

    QTest::newRow("nothing") << QStringList{} << "" << "" << false << "" << false << false << false;
    QTest::newRow("switches stay in the command line")
        << QStringList{"/LOG", "/DEBUG"} << "" << "" << false << "/LOG /DEBUG" << false << false << false;
    QTest::newRow("own options leave it")
        << QStringList{"--home", "/tmp/h", "/DEBUG", "--port=/dev/pts/4", "--simulate"} << "/tmp/h" << "/dev/pts/4"
        << true << "/DEBUG" << false << false << false;
    // A folder whose name holds a switch does not switch anything.
    QTest::newRow("switch inside an option value")
        << QStringList{"--home=/srv/DEBUG"} << "/srv/DEBUG" << "" << false << "" << false << false << false;
    QTest::newRow("missing value") << QStringList{"--port"} << "" << "" << false << "" << true << false << false;
    QTest::newRow("empty value") << QStringList{"--home="} << "" << "" << false << "" << true << false << false;
    QTest::newRow("help") << QStringList{"--help"} << "" << "" << false << "" << false << true << false;
    QTest::newRow("short help among switches")
        << QStringList{"/LOG", "-h"} << "" << "" << false << "/LOG" << false << true << false;
    QTest::newRow("version") << QStringList{"--version"} << "" << "" << false << "" << false << false << true;
    // A typo must not open the configured port as if nothing was asked.
    QTest::newRow("unknown option")
        << QStringList{"--prot", "/tmp/unit"} << "" << "" << false << "/tmp/unit" << true << false << false;
    QTest::newRow("unknown option with value")
        << QStringList{"--simulate", "--hoem=/tmp/h"} << "" << "" << true << "" << true << false << false;
    // One dash: Qt's own options, left to Qt.
    QTest::newRow("Qt option")
        << QStringList{"-style", "fusion", "/DEBUG"} << "" << "" << false << "-style fusion /DEBUG" << false << false
        << false;
}

void TestUiHelpers::startArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, home);
    QFETCH(QString, port);
    QFETCH(bool, simulate);
    QFETCH(QString, commandLine);
    QFETCH(bool, error);
    QFETCH(bool, help);
    QFETCH(bool, version);
    const StartArguments parsed = StartArguments::parse(QStringList{QStringLiteral("tessaro")} + arguments);
    QCOMPARE(parsed.home, home);
    QCOMPARE(parsed.port, port);
    QCOMPARE(parsed.simulate, simulate);
    QCOMPARE(parsed.commandLine, commandLine);
    QCOMPARE(!parsed.error.isEmpty(), error);
    QVERIFY(!parsed.error.contains(u'\n'));
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

QTEST_MAIN(TestUiHelpers)
#include "tst_uihelpers.moc"
