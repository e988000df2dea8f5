#include "files/Logfile.h"
#include "files/Setup.h"
#include "link/Datacom.h"
#include "testsupport/HeadlessSession.h"
#include "testsupport/ScriptedPort.h"
#include "link/NetworkPort.h"
#include "link/Rfc2217Codec.h"
#include "link/SerialPort.h"
#include "model/Diverse.h"
#include "model/Value.h"

#ifdef Q_OS_UNIX
#include "sim/SimulatedUnit.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(Q_OS_MACOS)
#include <util.h>
#elif defined(Q_OS_FREEBSD)
#include <libutil.h>
#else
#include <pty.h>
#endif
#endif

#include <QProcess>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const QByteArray kRead5 = QByteArray::fromHex("01 09 01 00 02 77 1F 05 1E 3A");
const QByteArray kAnswer5 = QByteArray::fromHex("01 0D 01 00 06 57 1F 05 1E 77 1F 04 1E 9A");

// Datacom on a port, logging into lines with a fixed time of day.
struct Link
{
    QTemporaryDir home;
    Setup setup;
    Diverse::LogLines lines;
    Logfile log{setup, lines, home.path(), [] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)); }};
    Datacom datacom;
    QStringList captions;

    explicit Link(Port &port)
        : datacom(port, log)
    {
        setup.Logfile = 2;
        datacom.setCaptionListener([this](const QString &c) { captions << c; });
    }
    QString lastLine() const { return lines.count() ? lines.line(lines.count() - 1) : QString(); }

    int writeAll(const QByteArray &bytes)
    {
        for (char c : bytes) {
            if (datacom.WriteComByte(quint8(c)) != 0)
                return -1;
        }
        return 0;
    }
    // Reads what arrives until n bytes are in, letting the event loop move them.
    QByteArray readBytes(int n)
    {
        QByteArray got;
        QDeadlineTimer deadline(10000);
        while (got.size() < n && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            for (int b = datacom.ReadComByte(); b >= 0 && got.size() < n; b = datacom.ReadComByte())
                got.append(char(b));
        }
        return got;
    }
};

} // namespace

class TestDatacom : public QObject
{
    Q_OBJECT

private slots:
    void openChoices_data();
    void openChoices();
    void openFailure();
    void close_data();
    void close();
    void reopenReachesAnotherDevice_data();
    void reopenReachesAnotherDevice();
    void writeComByte_data();
    void writeComByte();
    void readComByte();
    void linkWatch();

    void portOrder_data();
    void portOrder();
    void realPortBothWays();
    void realPortDiscardsInput();
    void realPortOpenProblem_data();
    void realPortOpenProblem();
    void unitKilledMidExchange();
    void rfc2217Exchanges_data();
    void rfc2217Exchanges();
    void networkPortStates_data();
    void networkPortStates();
};

void TestDatacom::openChoices_data()
{
    QTest::addColumn<QList<int>>("choices"); // baud, parity, data bits, stop bits, handshake
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("rts");

    QTest::newRow("fixed") << QList<int>{4, 0, 1, 0, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("baud 0") << QList<int>{0, 0, 1, 0, 0} << "300,N,8,1" << 300 << false << false;
    QTest::newRow("baud 5") << QList<int>{5, 0, 1, 0, 0} << "19200,N,8,1" << 19200 << false << false;
    QTest::newRow("baud 6") << QList<int>{6, 0, 1, 0, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("baud -1") << QList<int>{-1, 0, 1, 0, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("parity 1") << QList<int>{4, 1, 1, 0, 0} << "9600,E,8,1" << 9600 << false << false;
    QTest::newRow("parity 2") << QList<int>{4, 2, 1, 0, 0} << "9600,O,8,1" << 9600 << false << false;
    QTest::newRow("parity 3") << QList<int>{4, 3, 1, 0, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("data bits 0") << QList<int>{4, 0, 0, 0, 0} << "9600,N,7,1" << 9600 << false << false;
    QTest::newRow("data bits 2") << QList<int>{4, 0, 2, 0, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("stop bits 1") << QList<int>{4, 0, 1, 1, 0} << "9600,N,8,2" << 9600 << false << false;
    QTest::newRow("stop bits 2") << QList<int>{4, 0, 1, 2, 0} << "9600,N,8,1" << 9600 << false << false;
    QTest::newRow("handshake 1") << QList<int>{4, 0, 1, 0, 1} << "9600,N,8,1" << 9600 << false << true;
    QTest::newRow("handshake 2") << QList<int>{4, 0, 1, 0, 2} << "9600,N,8,1" << 9600 << true << true;
    QTest::newRow("handshake 3") << QList<int>{4, 0, 1, 0, 3} << "9600,N,8,1" << 9600 << true << true;
}

void TestDatacom::openChoices()
{
    QFETCH(QList<int>, choices);
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(bool, rtsCts);
    QFETCH(bool, rts);

    ScriptedPort port;
    Link link(port);
    QCOMPARE(link.datacom.OpenComPort(1, choices[0], choices[1], choices[2], choices[3], choices[4]), 0);
    QCOMPARE(link.datacom.ComPortIsOpen(), 1);
    QCOMPARE(port.lastPortNumber(), 2);

    const Port::LineSettings &s = port.lastSettings();
    QCOMPARE(QStringLiteral("%1,%2,%3,%4").arg(s.baud).arg(QChar::fromLatin1(s.parity)).arg(s.dataBits).arg(s.stopBits),
             text);
    QCOMPARE(s.baud, baud);
    QCOMPARE(s.handshake == Port::Handshake::RtsCts, rtsCts);
    QCOMPARE(s.rts, rts);
    QCOMPARE(s.dtr, false);

    // One blank after "Com:" (the sign's place); none in the caption. Then the device reached.
    QCOMPARE(link.lines.line(link.lines.count() - 2), QStringLiteral("14:05:09 Com: 2 opened with: ") + text);
    QCOMPARE(link.lastLine(), QStringLiteral("14:05:09 Com 2 = scripted2"));
    QCOMPARE(link.datacom.caption, QStringLiteral("Serial Port: 2 ") + text);
    QCOMPARE(link.captions, QStringList{link.datacom.caption});
    QCOMPARE(link.datacom.LinkWatch, qint16(50));
}

void TestDatacom::openFailure()
{
    ScriptedPort port;
    port.setFailOpens(true);
    Link link(port);
    const QString captionBefore = link.datacom.caption;
    link.datacom.LinkWatch = 7;

    QCOMPARE(link.datacom.openDefault(4), -1);
    QCOMPARE(link.lastLine(), QStringLiteral("14:05:09 Error opening ComPort:  5"));
    QCOMPARE(link.datacom.caption, captionBefore);
    QVERIFY(link.captions.isEmpty());
    QCOMPARE(link.datacom.LinkWatch, qint16(7));
    QCOMPARE(link.datacom.ComPortIsOpen(), -1);
}

void TestDatacom::close_data()
{
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("openAfter");

    QTest::newRow("closes") << false << "14:05:09 Comport closed by software." << -1;
    QTest::newRow("fails") << true << "14:05:09 Error closing comport." << 1;
}

void TestDatacom::close()
{
    QFETCH(bool, fails);
    QFETCH(QString, line);
    QFETCH(int, openAfter);

    ScriptedPort port;
    Link link(port);
    QCOMPARE(link.datacom.openDefault(0), 0);
    port.setFailCloses(fails);
    link.datacom.CloseComPort();
    QCOMPARE(link.lastLine(), line);
    QCOMPARE(link.datacom.ComPortIsOpen(), openAfter);
}

void TestDatacom::reopenReachesAnotherDevice_data()
{
    // Per open, the device file the port reports reaching: "" not known,
    // "fail" a failed open; "sim" / "sim again" a simulated unit at one link,
    // the same one or one started anew.
    QTest::addColumn<QStringList>("opens");
    QTest::addColumn<int>("anotherAt"); // the open that tells another device, -1 none

    QTest::newRow("same device again") << QStringList{"A", "A", "A"} << -1;
    QTest::newRow("link re-pointed") << QStringList{"A", "B"} << 1;
    QTest::newRow("back to the first") << QStringList{"A", "A", "B", "B"} << 2;
    QTest::newRow("not known the first time") << QStringList{"", "B", "B"} << -1;
    QTest::newRow("not known this time") << QStringList{"A", "", "A"} << -1;
    QTest::newRow("another after a failed open") << QStringList{"A", "fail", "B"} << 2;
    QTest::newRow("simulated unit reopened") << QStringList{"sim", "sim"} << -1;
    QTest::newRow("simulated unit started anew behind its link") << QStringList{"sim", "sim again"} << 1;
}

// A reopen that reaches another device file than the open before says so
// after the device line, on the link state, and once to its listeners; the
// session's stores forget the unit's values, and the link state does not
// count the unit that answered before as answering.
void TestDatacom::reopenReachesAnotherDevice()
{
    QFETCH(QStringList, opens);
    QFETCH(int, anotherAt);
    const bool simulated = opens.first() == u"sim";
#ifndef Q_OS_UNIX
    if (simulated)
        QSKIP("needs a pseudo-terminal");
#endif
    QTemporaryDir dir;
    ScriptedPort scripted;
    SerialPort real;
    Port &port = simulated ? static_cast<Port &>(real) : scripted;
    HeadlessSession headless(dir.path(), [] { return QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)); }, port);
    Session &s = headless.session;
    s.setup.Logfile = 2;
    real.setDeviceOverride(dir.filePath(QStringLiteral("unit")));
    UnitItems items;
    std::unique_ptr<SimulatedUnit> unit;
    int told = 0;
    s.datacom.linkState().addAnotherDeviceListener([&] { ++told; });
    for (int n = 0; n < opens.size(); ++n) {
        const QString &open = opens[n];
        if (simulated && (!unit || open == u"sim again")) {
            unit.reset(); // its terminal goes first; the next may get its number
            unit = std::make_unique<SimulatedUnit>(items);
            QVERIFY(unit->start(dir.filePath(QStringLiteral("unit"))));
        }
        scripted.setFailOpens(open == u"fail");
        scripted.setDeviceIdentity(open);
        s.datacom.CloseComPort();
        s.logLines.ClearLogLines();
        s.stores.unitValues[14] = Values::integer(3);
        s.stores.unitValueRead[14] = true;
        QCOMPARE(s.datacom.openDefault(0), open == u"fail" ? -1 : 0);
        if (open == u"fail")
            continue;
        const bool another = n == anotherAt;
        QCOMPARE(s.datacom.linkState().anotherDevice(), another);
        QCOMPARE(told, anotherAt >= 0 && n >= anotherAt ? 1 : 0);
        QCOMPARE(s.stores.unitValues[14], Values::integer(another ? -1 : 3));
        QCOMPARE(s.stores.unitValueRead[14], !another);
        const QString device = QStringLiteral("14:05:09 Com 1 = ") + port.deviceName(1);
        QCOMPARE(s.logLines.line(s.logLines.count() - (another ? 2 : 1)), device);
        const QString last = s.logLines.line(s.logLines.count() - 1);
        QVERIFY(!another || last == device + QStringLiteral(": another device than before"));
        QVERIFY(!another || s.datacom.linkState().state() == LinkState::State::Open); // not answering yet
        s.datacom.linkState().setAnswered();
    }
    QVERIFY(port.close());
}

void TestDatacom::writeComByte_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("-1") << -1 << -1 << QByteArray();
    QTest::newRow("256") << 256 << -1 << QByteArray();
    QTest::newRow("00") << 0 << 0 << hex("00");
    QTest::newRow("FF") << 255 << 0 << hex("FF");
}

void TestDatacom::writeComByte()
{
    QFETCH(int, value);
    QFETCH(int, result);
    QFETCH(QByteArray, sent);

    ScriptedPort port;
    Link link(port);
    link.datacom.openDefault(0);
    QCOMPARE(link.datacom.WriteComByte(value), result);
    QCOMPARE(port.written(), sent);
    // A refused value leaves the transmit indicator alone.
    QCOMPARE(link.datacom.txActivity, result == 0);
}

void TestDatacom::readComByte()
{
    ScriptedPort port;
    Link link(port);
    link.datacom.openDefault(0);
    QCOMPARE(link.datacom.ReadComByte(), -1);
    QVERIFY(!link.datacom.rxActivity);

    port.queueInput(hex("00 E9"));
    QCOMPARE(link.datacom.ReadComByte(), 0); // NUL arrives as 0
    QVERIFY(link.datacom.rxActivity);
    QCOMPARE(link.datacom.ReadComByte(), 0xE9);

    port.queueInput(hex("41 42"));
    link.datacom.FlushComInput();
    QCOMPARE(link.datacom.ReadComByte(), -1);
}

void TestDatacom::linkWatch()
{
    ScriptedPort port;
    Link link(port);
    link.datacom.openDefault(0);
    QList<int> seen{link.datacom.LinkWatch};
    for (int i = 0; i < 52; ++i) {
        link.datacom.CheckComLink();
        seen << link.datacom.LinkWatch;
    }
    QList<int> expected;
    for (int v = 50; v >= 0; --v)
        expected << v;
    expected << 0 << 0;
    QCOMPARE(seen, expected);

    port.setDsr(true);
    link.datacom.CheckComLink();
    QCOMPARE(link.datacom.LinkWatch, qint16(20));
    link.datacom.CheckComLink();
    QCOMPARE(link.datacom.LinkWatch, qint16(20));

    // DSR counts only on an open port.
    link.datacom.CloseComPort();
    link.datacom.CheckComLink();
    QCOMPARE(link.datacom.LinkWatch, qint16(19));
}

void TestDatacom::portOrder_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("numbers as numbers")
        << QStringList{"/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyS2", "/dev/ttyACM0", "/dev/ttyS1"}
        << QStringList{"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"};
    QTest::newRow("listed twice") << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyUSB1"}
                                  << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"};
    QTest::newRow("windows names") << QStringList{"COM10", "COM9", "COM1"} << QStringList{"COM1", "COM9", "COM10"};
}

void TestDatacom::portOrder()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, ordered);
    QCOMPARE(SerialPort::inPortOrder(devices), ordered);
}

void TestDatacom::realPortBothWays()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    UnitItems items;
    SimulatedUnit unit(items);
    unit.session().setOptions({false, 0, {}});
    QVERIFY(unit.start());
    SerialPort port;
    port.setDeviceOverride(unit.devicePath());
    Link link(port);

    QCOMPARE(link.datacom.openDefault(0), 0);
    QCOMPARE(link.lines.line(link.lines.count() - 2), QStringLiteral("14:05:09 Com: 1 opened with: 9600,N,8,1"));
    QCOMPARE(link.datacom.caption, QStringLiteral("Serial Port: 1 9600,N,8,1"));

    QCOMPARE(link.writeAll(kRead5), 0);
    QVERIFY(link.datacom.txActivity);
    QCOMPARE(link.readBytes(kAnswer5.size()).toHex(' '), kAnswer5.toHex(' '));
    QVERIFY(link.datacom.rxActivity);
    QCOMPARE(unit.session().requestCount(), 1);

    // A pseudo-terminal has no modem lines: it counts as DSR on while open.
    link.datacom.CheckComLink();
    QCOMPARE(link.datacom.LinkWatch, qint16(20));

    link.datacom.CloseComPort();
    QCOMPARE(link.lastLine(), QStringLiteral("14:05:09 Comport closed by software."));
    QCOMPARE(link.datacom.ComPortIsOpen(), -1);
    QCOMPARE(link.datacom.ReadComByte(), -1);
#endif
}

void TestDatacom::realPortDiscardsInput()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    UnitItems items;
    SimulatedUnit unit(items);
    UnitSession::Options options{false, 0, {}};
    options.faults.add({UnitFault::Text, 1});
    unit.session().setOptions(options);
    QVERIFY(unit.start());
    SerialPort port;
    port.setDeviceOverride(unit.devicePath());
    Link link(port);
    QCOMPARE(link.datacom.openDefault(0), 0);

    // The answer and the text line after it arrive; a discard drops them all.
    const int expected = int(kAnswer5.size() + UnitFaults::textLine().size());
    QCOMPARE(link.writeAll(kRead5), 0);
    QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), expected, 10000);
    link.datacom.FlushComInput();
    QCOMPARE(port.bytesAvailable(), 0);
    QCOMPARE(link.datacom.ReadComByte(), -1);

    QCOMPARE(link.writeAll(kRead5), 0);
    QCOMPARE(link.readBytes(int(kAnswer5.size())).toHex(' '), kAnswer5.toHex(' '));
#endif
}

void TestDatacom::realPortOpenProblem_data()
{
    // What the port is set to, and what another port holds first (empty: nothing).
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<Port::Problem>("problem");

    QTest::newRow("no such device") << "missing" << "" << Port::Problem::NoSuchDevice;
    QTest::newRow("folder") << "folder" << "" << Port::Problem::NotADevice;
    QTest::newRow("plain file") << "file" << "" << Port::Problem::NotADevice;
    QTest::newRow("fifo") << "fifo" << "" << Port::Problem::NotADevice;
    QTest::newRow("not a terminal") << "/dev/null" << "" << Port::Problem::NotADevice;
    QTest::newRow("in use, held through its link") << "device" << "link" << Port::Problem::InUse;
    QTest::newRow("in use, held through the device") << "link" << "device" << Port::Problem::InUse;
    QTest::newRow("another session's terminal") << "session" << "" << Port::Problem::TerminalSession;
}

void TestDatacom::realPortOpenProblem()
{
    QFETCH(QString, target);
    QFETCH(QString, holder);
    QFETCH(Port::Problem, problem);

    QTemporaryDir dir;
    QMap<QString, QString> paths{{"missing", dir.filePath("missing")}, {"folder", dir.path()},
                                 {"file", dir.filePath("file")}, {"fifo", dir.filePath("fifo")}};
    QFile file(paths["file"]);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
#ifdef Q_OS_UNIX
    QCOMPARE(::mkfifo(QFile::encodeName(paths["fifo"]).constData(), 0600), 0);
    UnitItems items;
    SimulatedUnit unit(items);
    // At a link of our own: another program may get the same terminal number at once.
    QVERIFY(unit.start(dir.filePath("unit")));
    paths["link"] = unit.linkPath();
    paths["device"] = unit.devicePath();
    // A pseudo-terminal that a child in a session of its own takes as its
    // controlling terminal, as a shell window's is.
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    QProcess session;
    auto endSession = qScopeGuard([&] {
        if (session.state() != QProcess::NotRunning) {
            session.kill();
            session.waitForFinished(10000);
        }
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    });
    if (target == "session") {
#ifndef Q_OS_LINUX
        QSKIP("another session's terminal is recognised on Linux");
#endif
        QCOMPARE(::openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
        paths["session"] = QString::fromLocal8Bit(slaveName);
        session.setChildProcessModifier([&slaveName] {
            ::setsid();
            const int fd = ::open(slaveName, O_RDWR);
            if (fd >= 0)
                ::ioctl(fd, TIOCSCTTY, 0);
        });
        session.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(session.waitForStarted(10000));
    }
#else
    if (target != "missing" && target != "folder" && target != "file")
        QSKIP("needs a pseudo-terminal");
#endif
    SerialPort other;
    if (!holder.isEmpty()) {
        other.setDeviceOverride(paths.value(holder, holder));
        QVERIFY(other.open(1, {}));
    }
    SerialPort port;
    port.setDeviceOverride(paths.value(target, target));
    Link link(port);
    QCOMPARE(link.datacom.openDefault(4), -1);
    QCOMPARE(link.lastLine(), QStringLiteral("14:05:09 Error opening ComPort:  5"));
    QCOMPARE(link.datacom.ComPortIsOpen(), -1);
    QCOMPARE(port.problem(), problem);
    if (problem == Port::Problem::TerminalSession)
        QCOMPARE(link.datacom.linkState().reason(), paths["session"] + " is a terminal session, not a serial device");

    // The holder's close frees the device for the next program.
    if (other.isOpen()) {
        QVERIFY(other.close());
        QCOMPARE(link.datacom.openDefault(4), 0);
        QCOMPARE(port.problem(), Port::Problem::None);
    }
}

void TestDatacom::unitKilledMidExchange()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QTemporaryDir dir;
    const QString linkPath = dir.filePath(QStringLiteral("unit"));
    auto startUnit = [&](const QStringList &extra) {
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral(TESSARO_UNIT_PATH),
                       QStringList{QStringLiteral("--fast"), QStringLiteral("--trace"), QStringLiteral("--link"), linkPath}
                           + extra);
        if (!process->waitForStarted() || !process->waitForReadyRead())
            return std::unique_ptr<QProcess>();
        const QString device = QString::fromLocal8Bit(process->readLine()).trimmed();
        if (QFileInfo(linkPath).symLinkTarget() != device)
            return std::unique_ptr<QProcess>();
        return process;
    };

    // A unit that takes its time, so the kill comes between request and answer.
    auto first = startUnit({QStringLiteral("--think"), QStringLiteral("60000")});
    QVERIFY(first);
    SerialPort port;
    port.setDeviceOverride(linkPath);
    auto *serial = port.findChild<QSerialPort *>();
    QVERIFY(serial);
    QSignalSpy errors(serial, &QSerialPort::errorOccurred);
    Link link(port);
    QCOMPARE(link.datacom.openDefault(0), 0);
    link.datacom.CheckComLink();
    QCOMPARE(link.datacom.LinkWatch, qint16(20));

    QCOMPARE(link.writeAll(kRead5), 0);
    QByteArray trace;
    QTRY_VERIFY_WITH_TIMEOUT((trace += first->readAllStandardError()).contains("<- 01 09 01 00 02 77 1F 05 1E 3A"),
                             10000);
    first->kill();
    QVERIFY(first->waitForFinished());

    // One pass of the event loop and the port knows: the link watch ends at
    // once and the link state says why.
    QCoreApplication::processEvents();
    QCOMPARE(link.datacom.ComPortIsOpen(), -1);
    QCOMPARE(link.datacom.LinkWatch, qint16(0));
    QCOMPARE(port.problem(), Port::Problem::DeviceLost);
    QCOMPARE(link.datacom.linkState().state(), LinkState::State::Closed);
    QCOMPARE(link.datacom.linkState().reason(), QStringLiteral("the serial device %1 disappeared").arg(linkPath));

    // Closed, the dead device raises nothing more.
    const int errorsAfterLoss = errors.count();
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        link.datacom.CheckComLink();
        QCOMPARE(link.datacom.ReadComByte(), -1);
    }
    QCOMPARE(errors.count(), errorsAfterLoss);
    QCOMPARE(link.datacom.LinkWatch, qint16(0));

    // Nothing at the path: opening fails; a new unit there: it opens and answers.
    QCOMPARE(link.datacom.openDefault(0), -1);
    auto second = startUnit({});
    QVERIFY(second);
    QCOMPARE(link.datacom.openDefault(0), 0);
    QCOMPARE(link.writeAll(kRead5), 0);
    QCOMPARE(link.readBytes(int(kAnswer5.size())).toHex(' '), kAnswer5.toHex(' '));
    second->terminate();
    QVERIFY(second->waitForFinished());
#endif
}

QTEST_GUILESS_MAIN(TestDatacom)
#include "tst_datacom.moc"

void TestDatacom::rfc2217Exchanges_data()
{
    // The server's bytes, in reads split at '|'; the data the unit's side
    // gets, the answers owed to the server, DSR and a refusal after them.
    QTest::addColumn<QString>("incoming");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<bool>("dsr");
    QTest::addColumn<QString>("refusal");

    const QString none;
    QTest::newRow("ff ff -> ff") << "ff ff" << hex("ff") << QByteArray() << true << none;
    QTest::newRow("41 ff | ff 42 -> 41 ff 42") << "41 ff | ff 42" << hex("41 ff 42") << QByteArray() << true << none;
    QTest::newRow("41 ff fb 01 42 -> 41 42, dont echo") << "41 ff fb 01 42" << hex("41 42") << hex("ff fe 01") << true << none;
    QTest::newRow("41 ff f1 42 -> 41 42") << "41 ff f1 42" << hex("41 42") << QByteArray() << true << none;
    QTest::newRow("0d 00 0d 0a 00 unchanged") << "0d 00 0d 0a 00" << hex("0d 00 0d 0a 00") << QByteArray() << true << none;
    QTest::newRow("ff fb 03 ff fb 03 -> do sga once") << "ff fb 03 | ff fb 03" << QByteArray() << hex("ff fd 03") << true << none;
    QTest::newRow("ff fd 18 -> wont") << "ff fd 18" << QByteArray() << hex("ff fc 18") << true << none;
    QTest::newRow("ff fd 2c -> line settings") << "ff fd 2c" << QByteArray()
        << hex("ff fa 2c 01 00 00 25 80 ff f0 ff fa 2c 02 08 ff f0 ff fa 2c 03 01 ff f0 ff fa 2c 04 01 ff f0"
               " ff fa 2c 05 01 ff f0 ff fa 2c 05 09 ff f0 ff fa 2c 05 0c ff f0 ff fa 2c 0b 22 ff f0")
        << true << none;
    QTest::newRow("ff fa 2c 6b 00 ff f0: never on, counts on") << "ff fa 2c 6b 00 ff f0" << QByteArray() << QByteArray() << true << none;
    QTest::newRow("ff fa 2c 6b 20 .. 6b 00: dsr off") << "ff fa 2c 6b 20 ff f0 41 | ff fa 2c | 6b 10 ff f0" << hex("41")
                                                      << QByteArray() << false << none;
    QTest::newRow("ff fe 00: binary refused") << "ff fe 00" << QByteArray() << QByteArray() << true
                                              << "the server refuses binary transfer";
    QTest::newRow("ff fc 00: binary refused") << "ff fc 00" << QByteArray() << QByteArray() << true
                                              << "the server refuses binary transfer";
    QTest::newRow("ff fe 2c: no serial control") << "ff fe 2c" << QByteArray() << QByteArray() << true
                                                 << "the server does not take serial settings (RFC 2217)";
}

void TestDatacom::rfc2217Exchanges()
{
    QFETCH(QString, incoming);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, replies);
    QFETCH(bool, dsr);
    QFETCH(QString, refusal);

    Rfc2217Codec codec;
    QCOMPARE(codec.opening(), hex("ff fb 00 ff fd 00 ff fb 2c"));
    QByteArray got;
    for (const QString &chunk : incoming.split(u'|'))
        got += codec.takeIncoming(QByteArray::fromHex(chunk.toLatin1()));
    QCOMPARE(got.toHex(' '), data.toHex(' '));
    QCOMPARE(codec.takeReplies().toHex(' '), replies.toHex(' '));
    QCOMPARE(codec.dsr(), dsr);
    QCOMPARE(codec.refusal(), refusal);
    // The data going the other way: every 0xFF doubled, all else as it is.
    Rfc2217Codec back;
    QCOMPARE(back.takeIncoming(Rfc2217Codec::escaped(data)).toHex(' '), data.toHex(' '));
    QCOMPARE(Rfc2217Codec::escaped(hex("ff 0d 00 ff ff 0a")).toHex(' '), QByteArray("ff ff 0d 00 ff ff ff ff 0a"));
}

namespace {

enum class Server { None, Silent, BinaryOnly, Good, RefusesBinary, ClosesWhenOpen };

} // namespace

void TestDatacom::networkPortStates_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<Server>("server");
    QTest::addColumn<LinkState::State>("state");
    QTest::addColumn<QString>("reason"); // %1: the port

    using State = LinkState::State;
    QTest::newRow("refused") << "tcp" << "127.0.0.1" << Server::None << State::Closed
                             << "127.0.0.1:%1: connection refused";
    QTest::newRow("unknown host") << "rfc2217" << "nosuchhost.invalid" << Server::None << State::Closed
                                  << "nosuchhost.invalid:%1: host not found";
    QTest::newRow("no telnet answer") << "rfc2217" << "127.0.0.1" << Server::Silent << State::Closed
                                      << "127.0.0.1:%1: no telnet answer from the server";
    QTest::newRow("binary, no serial control") << "rfc2217" << "127.0.0.1" << Server::BinaryOnly << State::Closed
                                               << "127.0.0.1:%1: the server does not answer for serial settings (RFC 2217)";
    QTest::newRow("binary refused") << "rfc2217" << "127.0.0.1" << Server::RefusesBinary << State::Closed
                                    << "127.0.0.1:%1: the server refuses binary transfer";
    QTest::newRow("closed by the server") << "tcp" << "127.0.0.1" << Server::ClosesWhenOpen << State::Closed
                                          << "127.0.0.1:%1: connection closed by the server";
    QTest::newRow("rfc2217 open, ff both ways") << "rfc2217" << "127.0.0.1" << Server::Good << State::Open << "";
    QTest::newRow("tcp open, bytes as they are") << "tcp" << "127.0.0.1" << Server::Good << State::Open << "";
}

// A network port against a server of the test's own on the loopback address.
void TestDatacom::networkPortStates()
{
    QFETCH(QString, scheme);
    QFETCH(QString, host);
    QFETCH(Server, server);
    QFETCH(LinkState::State, state);
    QFETCH(QString, reason);

    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    const quint16 portNumber = listener.serverPort();
    if (server == Server::None)
        listener.close();
    QTcpSocket *peer = nullptr;
    QByteArray atServer;
    connect(&listener, &QTcpServer::newConnection, this, [&] {
        peer = listener.nextPendingConnection();
        connect(peer, &QTcpSocket::readyRead, this, [&] { atServer += peer->readAll(); });
        if (server == Server::RefusesBinary)
            peer->write(hex("ff fe 00"));
        if (server == Server::BinaryOnly)
            peer->write(hex("ff fb 00 ff fd 00"));
        if (server == Server::Good && scheme == "rfc2217")
            peer->write(hex("ff fb 00 ff fd 00 ff fd 2c"));
    });

    NetworkPort port;
    // Short where the server stays silent; a slow name lookup must not time out first.
    port.setConnectTimeout(server == Server::Silent || server == Server::BinaryOnly ? 1500 : 8000);
    port.setAddress(*NetworkAddress::parse(QStringLiteral("%1://%2:%3").arg(scheme, host).arg(portNumber)));
    Link link(port);
    const LinkState &linkState = link.datacom.linkState();
    QCOMPARE(link.datacom.openDefault(0), -1);
    QCOMPARE(linkState.state(), LinkState::State::Connecting);
    QTRY_VERIFY_WITH_TIMEOUT(!link.datacom.isConnecting(), 10000);
    if (server == Server::ClosesWhenOpen) {
        QCOMPARE(linkState.state(), LinkState::State::Open);
        QTRY_VERIFY_WITH_TIMEOUT(peer, 5000);
        peer->close();
        QTRY_COMPARE_WITH_TIMEOUT(linkState.state(), LinkState::State::Closed, 5000);
        QCOMPARE(link.lastLine(), "14:05:09 Comport lost: " + reason.arg(portNumber));
        QCOMPARE(link.datacom.LinkWatch, qint16(0));
    }
    QCOMPARE(linkState.state(), state);
    QCOMPARE(linkState.reason(), reason.isEmpty() ? QString() : reason.arg(portNumber));
    if (state != LinkState::State::Open) {
        QCOMPARE(link.datacom.ComPortIsOpen(), -1);
        return;
    }
    QCOMPARE(link.lastLine(), QStringLiteral("14:05:09 Com 1 = %1://127.0.0.1:%2").arg(scheme).arg(portNumber));
    const bool telnet = scheme == "rfc2217";
    // The bytes of a frame reach the line unchanged, whatever the telnet layer does with them.
    QTRY_VERIFY_WITH_TIMEOUT(!telnet || atServer.contains(hex("ff fa 2c 0b 22 ff f0")), 5000);
    atServer.clear();
    QCOMPARE(link.writeAll(hex("01 ff 0d 00 0d 0a 00")), 0);
    const QByteArray wire = telnet ? hex("01 ff ff 0d 00 0d 0a 00") : hex("01 ff 0d 00 0d 0a 00");
    QTRY_COMPARE_WITH_TIMEOUT(atServer.toHex(' '), wire.toHex(' '), 5000);
    peer->write(telnet ? hex("41 ff ff 42 ff fb 01 0d 00") : hex("41 ff 42 0d 00"));
    QCOMPARE(link.readBytes(5).toHex(' '), QByteArray("41 ff 42 0d 00"));
    QVERIFY(link.datacom.isConnecting() == false && port.dsr());
}
