// The tool on the simulated unit, through the real serial path: a
// pseudo-terminal opened by the QSerialPort port.

#include "files/Logfile.h"
#include "link/SerialPort.h"
#include "testsupport/RecordingView.h"
#include "protocol/Session.h"
#include "sim/SimulatedUnit.h"
#include "sim/UnitItems.h"
#include "ui/FrmHoofdscherm.h"
#include "ui/QtItemControls.h"
#include "WindowProbe.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

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
    void programStartsOnSimulatedUnit_data();
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
    RecordingView answers;
    FrmHoofdscherm::Options options;
    options.homeFolder = home.path();
    FrmHoofdscherm window(options, port, &answers);
    QVERIFY(port.isOpen());

    window.findChild<QPushButton *>(QStringLiteral("CmdLeesAlles"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(logHolds(WindowProbe(window).session(), QStringLiteral("Reading of all settings was successfull.")),
                             kPatienceMs);
    QtItemControls &controls = WindowProbe(window).itemControls();
    QCOMPARE(controls.combo(10)->currentIndex(), 3);  // 9600 baud
    QCOMPARE(controls.combo(7)->currentIndex(), 40);  // 40 characters
    QCOMPARE(controls.combo(14)->currentIndex(), 30); // 30 s

    window.findChild<QPushButton *>(QStringLiteral("CmdReadSingleTekstSetting_0"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(controls.textBox(150)->text(), QStringLiteral("9999"), kPatienceMs);
    QVERIFY(answers.messages().isEmpty());
}

void TestSimulate::programStartsOnSimulatedUnit_data()
{
    QTest::addColumn<int>("signal"); // how the program is ended
    QTest::newRow("killed") << int(SIGKILL);
    // Ended by a signal it can see, the program closes its port, and the
    // lock file QSerialPort made for the device goes with it.
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestSimulate::programStartsOnSimulatedUnit()
{
    QFETCH(int, signal);
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

    // "Com 1 = /dev/pts/N" names the device; QSerialPort locks it as LCK..pts_N
    // in the first of its lock folders it may write in.
    const QRegularExpressionMatch device
        = QRegularExpression(QStringLiteral("Com 1 = /dev/(\\S+)")).match(logFileText(home.path()));
    QVERIFY(device.hasMatch());
    const QString lockName = QStringLiteral("LCK..") + device.captured(1).replace(u'/', u'_');
    QString lockFile;
    for (const char *folder : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp"}) {
        const QString candidate = QDir(QString::fromLatin1(folder)).filePath(lockName);
        if (QFileInfo::exists(candidate)) {
            lockFile = candidate;
            break;
        }
    }
    const bool locked = !lockFile.isEmpty();
    if (signal == SIGKILL) {
        program.kill();
        QVERIFY(program.waitForFinished());
        // Left behind by the killed program; not left to the next one here.
        if (locked)
            QFile::remove(lockFile);
        return;
    }

    QCOMPARE(::kill(pid_t(program.processId()), signal), 0);
    QVERIFY(program.waitForFinished(kPatienceMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (!locked)
        QSKIP("QSerialPort made no lock file here");
    QVERIFY2(!QFileInfo::exists(lockFile), qPrintable(lockFile));
}

QTEST_MAIN(TestSimulate)
#include "tst_simulate.moc"
