// The tool on the simulated unit, through the real serial path: a
// pseudo-terminal opened by the QSerialPort port.

#include "files/Logfile.h"
#include "link/SerialPort.h"
#include "protocol/HeadlessView.h"
#include "protocol/Session.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"
#include "ui/FrmHoofdscherm.h"
#include "ui/QtItemControls.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kPatienceMs = 30000; // a generous bound, never a measure

bool logHolds(const Session &session, const QString &text)
{
    for (int i = 0; i < session.logLines.count(); ++i) {
        if (session.logLines.line(i).contains(text))
            return true;
    }
    return false;
}

QString logFileText(const QString &home)
{
    QString text;
    const QDir log(QDir(home).filePath(QStringLiteral("Log")));
    for (const QString &name : log.entryList(QDir::Files)) {
        QFile file(log.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromLatin1(file.readAll());
    }
    return text;
}

} // namespace

class TestSimulate : public QObject
{
    Q_OBJECT

private slots:
    void readsAllSettingsFromSimulatedUnit();
    void programStartsOnSimulatedUnit();
};

void TestSimulate::readsAllSettingsFromSimulatedUnit()
{
    UnitItems items;
    SimulatedUnit unit(items);
    QString why;
    QVERIFY2(unit.start(QString(), &why), qPrintable(why));
    SerialPort port;
    port.setDeviceOverride(unit.devicePath());
    QTemporaryDir home;
    HeadlessView answers;
    FrmHoofdscherm::Options options;
    options.homeFolder = home.path();
    FrmHoofdscherm window(options, port, &answers);
    QVERIFY(port.isOpen());

    window.findChild<QPushButton *>(QStringLiteral("CmdLeesAlles"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(logHolds(window.session(), QStringLiteral("Reading of all settings was successfull.")),
                             kPatienceMs);
    QtItemControls &controls = window.itemControls();
    QCOMPARE(controls.combo(10)->currentIndex(), 3);  // 9600 baud
    QCOMPARE(controls.combo(7)->currentIndex(), 40);  // 40 characters
    QCOMPARE(controls.combo(14)->currentIndex(), 30); // 30 s

    window.findChild<QPushButton *>(QStringLiteral("CmdReadSingleTekstSetting_0"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(controls.textBox(150)->text(), QStringLiteral("9999"), kPatienceMs);
    QVERIFY(answers.messages().isEmpty());
}

void TestSimulate::programStartsOnSimulatedUnit()
{
    QTemporaryDir home;
    {
        // Logging on from the start, so the port's opening is in the log file.
        QFile setup(QDir(home.path()).filePath(QStringLiteral("Tessaro.set")));
        QVERIFY(setup.open(QIODevice::WriteOnly));
        setup.write("0        Compoort ->0\r\n1      Logfile ->1\r\n2       SetPath ->\r\n3       UnitType ->3\r\n");
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TESSARO_PROGRAM),
                  {QStringLiteral("--simulate"), QStringLiteral("--home"), home.path(), QStringLiteral("/LOG")});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(logFileText(home.path()).contains(QStringLiteral("opened with: 9600,N,8,1")), kPatienceMs);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    QVERIFY(program.waitForFinished());
}

QTEST_MAIN(TestSimulate)
#include "tst_simulate.moc"
