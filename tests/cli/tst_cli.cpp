// tessaro-cli as a technician's script runs it: a separate process on the
// serial line of a simulated unit (tessaro-unit --fast on a pseudo-terminal).

#include "files/FileBytes.h"
#include "files/LeesIniFile.h"
#include "testsupport/ScriptedPort.h"
#include "model/Cp1252.h"
#include "model/Items.h"
#include "report/SiteReport.h"
#include "testsupport/HeadlessSession.h"
#include "testsupport/Ser2netServer.h"
#include "sim/UnitItems.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using Settings = QMap<int, QString>;

// tessaro-unit on a pseudo-terminal, its settings kept in a state file.
struct Unit
{
    QTemporaryDir folder;
    QString statePath = folder.filePath(QStringLiteral("unit.cfg"));
    QProcess process;
    QString device;
    QByteArray events;

    explicit Unit(const QStringList &options = {}, const Settings &settings = {})
    {
        UnitItems items;
        for (auto it = settings.begin(); it != settings.end(); ++it)
            items.setValueText(it.key(), it.value());
        items.save(statePath);
        // Reached through a link of the test's own: a pseudo-terminal number
        // can be taken by another program as soon as the unit is gone.
        const QString link = folder.filePath(QStringLiteral("unit"));
        process.start(QStringLiteral(TESSARO_UNIT_PATH),
                      QStringList{QStringLiteral("--fast"), QStringLiteral("--trace"), QStringLiteral("--state"), statePath,
                                  QStringLiteral("--link"), link}
                          + options);
        if (process.waitForStarted() && process.waitForReadyRead())
            device = link;
    }
    ~Unit()
    {
        process.terminate();
        process.waitForFinished();
    }
    // What the unit keeps now.
    QString value(int n) const
    {
        UnitItems items;
        items.load(statePath);
        return items.valueText(n);
    }
    // The unit's own report: "unit: ..." events, "<-" and "->" frames.
    QByteArray trace()
    {
        events += process.readAllStandardError();
        return events;
    }
};

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A settings file of the tool's format: every item 0 or empty, but for the given ones.
QByteArray settingsFile(const Settings &values, const QList<int> &leftOut = {})
{
    QByteArray file;
    for (int n = 0; n < Items::kItemCount; ++n) {
        if (!leftOut.contains(n))
            file += QByteArray::number(n) + "    ->" + *Cp1252::encode(values.value(n, n < 150 ? "0" : "")) + "\r\n";
    }
    return file;
}

// Values the factory settings of the simulated unit do not have.
const Settings kUnitBulk = {{0, "2"},  {5, "7"},  {7, "120"}, {10, "4"}, {11, "1"}, {12, "1"}, {13, "2"},
                          {14, "45"}, {30, "1"}, {31, "1"}, {32, "1"}, {33, "0"}, {34, "2"}, {35, "1"}};

// What the tool writes for a person, in the tests' UTF-8 locale.
QString utf8(const QByteArray &bytes) { return QString::fromUtf8(bytes); }

// Every text of a PDF that opens "fromNN" on a page closes ("toNN") on the same
// page: its table row is whole; the event entries' heading stands over the
// first. `texts` is how many open in all.
bool noRowCut(const QString &pdf, int pages, int texts)
{
    static const QRegularExpression opening(QStringLiteral("from(\\d\\d)"));
    int opened = 0;
    for (int page = 1; page <= pages; ++page) {
        QProcess text;
        const QString number = QString::number(page);
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), number, QStringLiteral("-l"), number, pdf,
                                                 QStringLiteral("-")});
        if (!text.waitForFinished(30000))
            return false;
        const QString onPage = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        if (texts > 0 && onPage.contains(QStringLiteral("Event entries")) && !onPage.contains(QStringLiteral("from01"))) {
            qWarning("page %d: the heading of the event entries stands alone", page);
            return false;
        }
        for (const QRegularExpressionMatch &m : opening.globalMatch(onPage)) {
            ++opened;
            if (!onPage.contains(QStringLiteral("to") + m.captured(1))) {
                qWarning("page %d: \"%s\" is cut", page, qPrintable(m.captured()));
                return false;
            }
        }
    }
    return opened == texts;
}

// An argument of bytes that are not UTF-8: each byte 0x80-0xFF as the lone
// surrogate U+DC80-U+DCFF, which cli() turns back into the byte.
QString raw(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes)
        text += uchar(c) < 0x80 ? QChar(c) : QChar(0xDC00 + uchar(c));
    return text;
}

QByteArray rawBytes(const QString &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF)
            bytes += char(u - 0xDC00);
        else if (text.at(i).isHighSurrogate() && i + 1 < text.size())
            bytes += text.mid(i++, 2).toUtf8();
        else
            bytes += QString(text.at(i)).toUtf8();
    }
    return bytes;
}

// A locale with the Latin-1 codeset: the machine's, else one made with
// localedef in folder (LOCPATH). Empty when there is none to be had.
QStringList latin1Locale(const QTemporaryDir &folder)
{
    QProcess probe;
    probe.start(QStringLiteral("locale"), {QStringLiteral("-a")});
    probe.waitForFinished(10000);
    for (const QByteArray &name : probe.readAllStandardOutput().split('\n')) {
        const QByteArray n = name.toLower();
        if (n.endsWith(".iso88591") || n.endsWith(".iso-8859-1"))
            return {QStringLiteral("LC_ALL=") + QString::fromLatin1(name)};
    }
    QProcess make;
    make.start(QStringLiteral("localedef"), {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                             QStringLiteral("ISO-8859-1"), folder.filePath(QStringLiteral("de_DE.ISO-8859-1"))});
    if (!make.waitForFinished(30000) || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0)
        return {};
    return {QStringLiteral("LC_ALL=de_DE.ISO-8859-1"), QStringLiteral("LOCPATH=") + folder.path()};
}

// How a row reaches the unit: its terminal (server ""), or ser2net in front of
// it as "rfc2217" or "tcp". port is empty, and why says why, when ser2net did
// not come up.
struct Route
{
    std::unique_ptr<Ser2netServer> server;
    QString port;
    QString why;

    Route(const QString &kind, const QString &device)
    {
        if (kind.isEmpty()) {
            port = device;
            return;
        }
        server = std::make_unique<Ser2netServer>(
            kind == QLatin1String("tcp") ? Ser2netServer::Kind::RawTcp : Ser2netServer::Kind::Rfc2217, device);
        if (server->start(&why))
            port = server->address();
    }
};

// A pseudo-terminal nobody answers on, reached through a link in folder.
struct SilentTerminal
{
    int master = -1;
    int slave = -1;
    QString device;

    explicit SilentTerminal(const QTemporaryDir &folder)
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        device = folder.filePath(QStringLiteral("silent"));
        if (!QFile::link(QString::fromLocal8Bit(name), device))
            device.clear();
    }
    ~SilentTerminal()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void usageErrorsTouchNothing_data();
    void usageErrorsTouchNothing();
    void helpNamesEverything();
    void readEachKind();
    void writeEachKind_data();
    void writeEachKind();
    void verify_data();
    void verify();
    void readAllLoadsInTheDesktopReader_data();
    void readAllLoadsInTheDesktopReader();
    void writeAllAsReadFromFile_data();
    void writeAllAsReadFromFile();
    void unitFailures_data();
    void unitFailures();
    void pagerCall();
    void portLostMidRead();
    void stoppedMidWriteAll_data();
    void stoppedMidWriteAll();
    void portWhateverTheNumber_data();
    void portWhateverTheNumber();
    void reports_data();
    void reports();
    void siteRecord_data();
    void siteRecord();
    void findTwoUnitsAndASilentPort();
    void bashCompletion_data();
    void bashCompletion();

private:
    Run cli(const QString &device, const QStringList &args);
    void endedWithoutWord(Unit &unit, const QStringList &args, const Run &run);
    QString path(const char *name) const { return m_home->filePath(QString::fromLatin1(name)); }

    std::unique_ptr<QTemporaryDir> m_home;
    QStringList m_environment; // NAME=VALUE for the next runs of cli()
};

void TestCli::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    m_environment.clear();
}

Run TestCli::cli(const QString &device, const QStringList &args)
{
    QProcess process;
    // Last arguments as a shell would take them: ">/dev/full" and "2>/dev/full"
    // send the stream there, "2>pty" standard error to a terminal, "2>gone" to a
    // pipe whose reader is gone; ">gone" standard output to a pipe whose reader
    // goes once the first output has come, ">&-"
    // closes it, ">NAME" sends it to the file NAME in the home folder.
    QStringList arguments = args;
    int master = -1;
    int slave = -1;
    int gone[2] = {-1, -1};
    int goneOut[2] = {-1, -1};
    for (bool more = true; more && !arguments.isEmpty();) {
        const QString last = arguments.constLast();
        if (last == QLatin1String(">/dev/full")) {
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
        } else if (last == QLatin1String("2>/dev/full")) {
            process.setStandardErrorFile(QStringLiteral("/dev/full"));
        } else if (last == QLatin1String("2>gone")) {
            // A pipe whose read end is closed once the program runs.
            if (::pipe2(gone, O_CLOEXEC) != 0)
                return Run();
            process.setStandardErrorFile(QStringLiteral("/proc/self/fd/%1").arg(gone[1]));
        } else if (last == QLatin1String(">gone")) {
            if (::pipe2(goneOut, O_CLOEXEC) != 0)
                return Run();
            process.setStandardOutputFile(QStringLiteral("/proc/self/fd/%1").arg(goneOut[1]));
        } else if (last == QLatin1String(">&-")) {
            process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        } else if (last.startsWith(u'>') && !last.contains(u'/')) {
            process.setStandardOutputFile(m_home->filePath(last.mid(1)));
        } else if (last.startsWith(QLatin1String("2>pty"))) {
            char name[128] = {};
            // "2>pty20": a terminal 20 columns wide.
            winsize size{};
            size.ws_row = 24;
            size.ws_col = ushort(last.mid(5).toUInt());
            if (::openpty(&master, &slave, name, nullptr, size.ws_col > 0 ? &size : nullptr) != 0)
                return Run();
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
            process.setStandardErrorFile(QString::fromLocal8Bit(name));
        } else {
            more = false;
        }
        if (more)
            arguments.removeLast();
    }
    // A UTF-8 locale, whatever the machine's, unless the test chose another.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString &setting : std::as_const(m_environment))
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    process.setProcessEnvironment(environment);
    arguments = QStringList{QStringLiteral("--port"), device, QStringLiteral("--home"), m_home->path()} + arguments;
    // Bytes that are not UTF-8 cannot pass through QProcess: then sh's printf
    // makes each argument from its bytes in octal.
    if (std::any_of(arguments.cbegin(), arguments.cend(), [](const QString &a) { return rawBytes(a) != a.toUtf8(); })) {
        QString script = QStringLiteral("exec '%1'").arg(QStringLiteral(TESSARO_CLI_PATH));
        for (const QString &a : std::as_const(arguments)) {
            script += QStringLiteral(" \"$(printf '");
            for (const char c : rawBytes(a))
                script += QStringLiteral("\\%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
            script += QStringLiteral("')\"");
        }
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    } else {
        process.start(QStringLiteral(TESSARO_CLI_PATH), arguments);
    }
    if (gone[0] >= 0 || goneOut[0] >= 0) {
        process.waitForStarted();
        if (goneOut[0] >= 0) {
            pollfd output{goneOut[0], POLLIN, 0};
            ::poll(&output, 1, 20000);
        }
        for (int fd : {gone[0], gone[1], goneOut[0], goneOut[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    Run run;
    const bool finished = process.waitForFinished(120000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    } else {
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
    }
    if (master >= 0) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            run.err += QByteArray(buffer, n);
        ::close(slave);
        ::close(master);
    }
    return run;
}

void TestCli::usageErrorsTouchNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("settings"); // written to in.cfg when not empty
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("latin1"); // run in a locale with the Latin-1 codeset

    const QByteArray good = settingsFile(kUnitBulk);
    auto row = [](const char *name, const QStringList &args, const QString &message, const QByteArray &settings = {},
                  bool latin1 = false) { QTest::newRow(name) << args << settings << message << latin1; };
    row("no command", {}, "no command given");
    row("unknown command", {"frobnicate"}, "unknown command \"frobnicate\"");
    row("unknown option", {"--fast", "read", "5"}, "tessaro-cli: --fast: unknown option (see --help)");
    row("missing value", {"read", "5", "--timeout"}, "tessaro-cli: --timeout: a value is missing");
    // Not the options -1, -2 and -3.
    row("negative number", {"call", "-123"}, "tessaro-cli: -123: a negative number, and not an option");
    // Arguments are decoded whole or refused, never cut at a sequence cut short.
    row("value ends in \\xe9", {"write", raw("156=Caf\xe9")}, "tessaro-cli: argument \"156=Caf\\xe9\": not valid UTF-8");
    row("file name ends in \\xc3", {"read-all", raw("out\xc3")}, "tessaro-cli: argument \"out\\xc3\": not valid UTF-8");
    // In Latin-1 the bytes decode, but Qt would open the file by another name.
    row("latin-1 file name", {"read-all", raw("out\xe9.cfg")},
        "tessaro-cli: file name \"out\\xe9.cfg\": not UTF-8", {}, true);
    row("latin-1 home", {"--home", raw("h\xff"), "read", "5"}, "tessaro-cli: file name \"h\\xff\": not UTF-8", {}, true);
    // Files that hold no settings: none of their lines is a record.
    row("show empty file", {"show", "in.cfg"}, "tessaro-cli: in.cfg holds no settings", "\r\n");
    row("diff text file", {"diff", "in.cfg", "in.cfg"}, "tessaro-cli: in.cfg holds no settings", "notes -> on a unit\n");
    row("diff unit, text file", {"diff", "in.cfg"}, "tessaro-cli: in.cfg holds no settings", "notes -> on a unit\n");
    row("base text file", {"--base", "in.cfg", "read-all", "out.cfg"}, "tessaro-cli: in.cfg holds no settings", "x\n");
    row("show link loop", {"show", "loop.cfg"}, "tessaro-cli: loop.cfg: the symbolic links loop");
    // read-all saves into a regular file only, checked before the port opens.
    row("read-all to /dev/null", {"read-all", "/dev/null"}, "tessaro-cli: /dev/null: not a regular file");
    row("read nothing", {"read"}, "read takes from 1 to 250 ITEMs");
    QStringList many{"read"};
    for (int i = 0; i < 251; ++i)
        many << QStringLiteral("5");
    row("read 251 items", many, "read takes from 1 to 250 ITEMs");
    row("item 250", {"read", "250"}, "item 250 is outside 0-249");
    row("item not a number", {"read", "5x"}, "\"5x\" is not an item number");
    row("item without conversion", {"read", "3"}, "item 3 cannot be read");
    row("write without =", {"write", "5"}, "\"5\" is not ITEM=VALUE");
    row("unknown list position", {"write", "10=5"}, "item 10 has no list position \"5\" (0 \"1200 baud\" to 4 \"19200 baud\")");
    row("bleep code 16", {"write", "40=16"}, "item 40 has no list position \"16\"");
    row("char 256", {"write", "3=256"}, "item 3 takes a number 0-255, not \"256\"");
    row("int too big", {"write", "110=32768"}, "item 110 takes a whole number 0-32767");
    row("int negative", {"write", "110=-1"}, "item 110 takes a whole number 0-32767");
    row("int fraction", {"write", "110=1.5"}, "item 110 takes a whole number 0-32767, not \"1.5\"");
    row("text too long", {"write", "160=" + QString(244, u'x')}, "longer than 243");
    row("text not cp1252", {"write", QStringLiteral("160=\u0142")}, "character U+0142 cannot be sent");
    row("text with 0x8D, undefined in cp1252", {"write", QStringLiteral("160=a\u008D")},
        "the text holds the byte 0x8D, which Windows-1252 leaves undefined");
    row("item twice", {"write", "5=1", "5=2"}, "item 5 is given twice");
    row("verify unreadable", {"--verify", "write", "3=1"}, "item 3 cannot be verified");
    row("verify on read", {"--verify", "read", "5"}, "--verify applies to write-all, write and commission only");
    row("base on write-all", {"--base", "x.cfg", "write-all", "x.cfg"}, "--base applies to read-all only");
    row("com 0", {"--com", "0", "read", "5"}, "--com takes a port number");
    row("rfc2217://host", {"--port", "rfc2217://host", "read", "5"},
        "tessaro-cli: --port \"rfc2217://host\": no port: a network port is written scheme://HOST:PORT");
    row("tcp://:80", {"--port", "tcp://:80", "read", "5"}, "--port \"tcp://:80\": no host");
    row("udp://", {"--port", "udp://10.0.4.7:4001", "read", "5"},
        "--port \"udp://10.0.4.7:4001\": \"udp\" is not a kind of network port: rfc2217:// or tcp://");
    row("tcp port 65536", {"--port", "tcp://10.0.4.7:65536", "read", "5"}, "the port is a number 1-65535, not \"65536\"");
    row("ipv6 without brackets", {"--port", "tcp://::1:4001", "read", "5"}, "an IPv6 address is written in brackets");
    row("network port refused", {"--port", "tcp://127.0.0.1:1", "read", "5"}, "cannot open 127.0.0.1:1: connection refused");
    row("find on a network port", {"find", "--port", "tcp://10.0.4.7:4001"}, "find tries serial devices, not network ports");
    row("timeout 0", {"--timeout", "0", "read", "5"}, "--timeout takes a number of seconds");
    row("empty pager address", {"call", ""}, "Please enter address of pager");
    row("pager address 11", {"call", "12345678901"}, "longer than 10 characters");
    row("bleep 16", {"call", "1", "--bleep", "16"}, "--bleep has no list position \"16\"");
    row("text 41", {"call", "1", "--text", QString(41, u'x')}, "--text is longer than 40 characters");
    row("write-all missing file", {"write-all", "missing.cfg"}, "missing.cfg");
    row("write-all item left out", {"write-all", "in.cfg"}, "has no line for item 13",
        settingsFile(kUnitBulk, {13}));
    row("write-all nothing chosen", {"write-all", "in.cfg"}, "in.cfg line 11: item 10: nothing is chosen",
        settingsFile(Settings{{10, "-1"}}));
    // Values that once went out as 0, or as a list position the unit has not.
    auto withBulk = [](int n, const QString &value) {
        Settings values = kUnitBulk;
        values.insert(n, value);
        return settingsFile(values);
    };
    row("write-all value not a choice", {"write-all", "in.cfg"}, "in.cfg line 15: item 14: 60 is not one of its choices",
        withBulk(14, "60"));
    row("write-all empty value", {"write-all", "in.cfg"}, "in.cfg line 6: item 5: the value is empty", withBulk(5, ""));
    row("commission value not a choice", {"commission", "in.cfg"}, "in.cfg line 15: item 14: 60 is not one of its choices",
        withBulk(14, "60"));
    row("write-all NUL byte", {"write-all", "in.cfg"}, "in.cfg line 1: item 0: \"[NULL]\" is not a number",
        withBulk(0, QString(QChar(0))));
    // The frame's own separators in a value.
    row("write text with RS", {"write", "156=ab\x1e" "cd"},
        "item 156 cannot carry \"ab[RS]cd\": the text holds the control character [RS]");
    row("call text with RS and US", {"call", "1", "--text", "hi\x1e" "3\x1f" "F"},
        "--text \"hi[RS]3[US]F\": the text holds the control character [RS]");
    row("call address with US", {"call", "12\x1f" "3"}, "the pager address \"12[US]3\": the text holds the control character [US]");
    row("verify and no-verify", {"--verify", "--no-verify", "write", "5=1"}, "--verify and --no-verify exclude each other");
    row("no-backup on write", {"--no-backup", "write", "5=1"}, "--no-backup applies to write-all only");
    row("read-all missing base", {"--base", "missing.cfg", "read-all", "out.cfg"}, "missing.cfg", good);
    row("read-all into no folder", {"read-all", "no/such/folder/out.cfg"}, "does not exist");
    row("show missing file", {"show", "missing.cfg"}, "missing.cfg");
    row("diff missing file", {"diff", "missing.cfg"}, "missing.cfg");
    row("diff missing second file", {"diff", "in.cfg", "missing.cfg"}, "missing.cfg", good);
    row("diff three files", {"diff", "in.cfg", "in.cfg", "in.cfg"}, "diff takes one FILE (against the unit) or two");
    row("json on call", {"--json", "call", "1234"},
        "--json applies to read, read-all, show, diff, check, commission, write-all and write only");
    row("find with a port number", {"--com", "2", "find"}, "--com does not apply to find");
    row("report to .txt", {"report", "out.txt"}, "report writes OUT.pdf or OUT.html, not \"out.txt\"");
    row("report, events from a file", {"report", "--from", "in.cfg", "--events", "out.pdf"},
        "--events and --from exclude each other", good);
    row("site on read-all", {"--site", "Haven 3", "read-all", "out.cfg"}, "--site applies to report and commission only");
    row("report, missing reference", {"report", "--reference", "missing.cfg", "out.html"}, "missing.cfg");
    row("report, from a text file", {"report", "--from", "in.cfg", "out.pdf"}, "in.cfg holds no settings", "x\n");
    row("check, no reads", {"check", "--count", "0"}, "--count takes a number of reads 1-1000, not \"0\"");
    row("check, too many reads", {"check", "--count", "1001"}, "--count takes a number of reads 1-1000");
    row("count on read", {"--count", "3", "read", "5"}, "--count applies to check only");
}

void TestCli::usageErrorsTouchNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, settings);
    QFETCH(QString, message);
    QFETCH(bool, latin1);

    if (latin1) {
        m_environment = latin1Locale(*m_home);
        if (m_environment.isEmpty())
            QSKIP("no locale with the Latin-1 codeset, and localedef cannot make de_DE.ISO-8859-1");
    }
    Unit unit;
    QVERIFY(!unit.device.isEmpty());
    if (!settings.isEmpty())
        QVERIFY(FileBytes::write(path("in.cfg"), settings));
    QVERIFY(QFile::link(QStringLiteral("loop.cfg"), path("loop.cfg")));
    QDir::setCurrent(m_home->path());

    const Run run = cli(unit.device, args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith("tessaro-cli: ") && run.err.count('\n') == 1, run.err.constData());
    QVERIFY2(utf8(run.err).contains(message), run.err.constData());
    // No file made, by the name given or another.
    QVERIFY(QDir(m_home->path()).entryList({QStringLiteral("out*")}).isEmpty());
    // The unit saw no frame at all.
    QVERIFY2(!unit.trace().contains("<-"), unit.trace().constData());
}

void TestCli::helpNamesEverything()
{
    const Run run = cli(QStringLiteral("/nonexistent"), {QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char *word : {"read-all", "write-all", "read ITEM", "write ITEM=VALUE", "call ADDRESS", "restart",
                             "--home", "--com", "--port", "--base", "--verify", "--no-verify", "--no-backup", "Backups",
                             "read back different", "--bleep", "--text", "--timeout",
                             "show FILE", "diff FILE1 FILE2", "diff FILE ", "find ", "--json", "\"settings\"",
                             "\"differences\"", "\"choice\"", "Exit status", "Examples", "report OUT", "--from",
                             "--reference", "--events", "--site", "--technician", "Page N of M"})
        QVERIFY2(run.out.contains(word), word);

    // --help-all, which --help lists, prints the same and runs nothing.
    const Run all = cli(QStringLiteral("/nonexistent"), {QStringLiteral("--help-all"), QStringLiteral("read"), QStringLiteral("5")});
    QCOMPARE(all.exitCode, 0);
    QCOMPARE(all.out, run.out);
    QVERIFY(all.err.isEmpty());

    // The manual names the same commands and options, no more, no fewer.
    auto sorted = [](QStringList list) {
        list.removeDuplicates();
        list.sort();
        return list;
    };
    QStringList helpCommands;
    QStringList helpOptions;
    QString section;
    static const QRegularExpression optionName(QStringLiteral("(?:^|[ ,])(--?[a-z][a-z-]*)"));
    for (const QString &line : utf8(run.out).split(u'\n')) {
        if (!line.startsWith(u' ') && line.endsWith(u':'))
            section = line;
        else if (section == QLatin1String("Commands:") && line.startsWith(QLatin1String("  ")) && line.size() > 2
                 && line.at(2).isLower())
            helpCommands << line.mid(2).section(u' ', 0, 0);
        else if (section == QLatin1String("Options:") && line.startsWith(QLatin1String("  -")))
            for (auto it = optionName.globalMatch(line.section(QStringLiteral("  "), 1, 1)); it.hasNext();)
                helpOptions << it.next().captured(1);
    }
    QFile manual(QStringLiteral(TESSARO_CLI_MANUAL));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QStringList manCommands;
    QStringList manOptions;
    bool entry = false;
    for (QString line : QString::fromUtf8(manual.readAll()).split(u'\n')) {
        line.replace(QLatin1String("\\-"), QLatin1String("-"));
        if (line.startsWith(QLatin1String(".SH ")))
            section = line.mid(4);
        else if (line == QLatin1String(".TP"))
            entry = true;
        else if (std::exchange(entry, false) && line.startsWith(u'.')) {
            const QString words = line.section(u' ', 1).remove(u'"').remove(u',');
            if (section == QLatin1String("COMMANDS"))
                manCommands << words.section(u' ', 0, 0);
            else if (section == QLatin1String("OPTIONS"))
                for (const QString &word : words.split(u' ', Qt::SkipEmptyParts))
                    if (word.startsWith(u'-'))
                        manOptions << word;
        }
    }
    QVERIFY(helpCommands.size() >= 9 && helpOptions.size() >= 15);
    QCOMPARE(sorted(manCommands), sorted(helpCommands));
    QCOMPARE(sorted(manOptions), sorted(helpOptions));
}

void TestCli::readEachKind()
{
    // 161: a unit's text with an escape sequence and a bell, shown and never obeyed.
    Unit unit({}, {{5, "7"}, {45, "12"}, {110, "4321"}, {148, "77"}, {160, QStringLiteral("Café ->x")}, {240, " tail "},
                   {161, QStringLiteral("x\x1b[2Jy\x07")}});
    // The setup file names port 3 and logs from the start; --com 4 takes its place for this run.
    QVERIFY(FileBytes::write(path("Tessaro.set"), "0        Compoort ->2\r\n1      Logfile ->1\r\n2       SetPath ->\r\n"
                                                  "3       UnitType ->3\r\n"));
    const QByteArray setupBefore = FileBytes::read(path("Tessaro.set"));
    const Run run = cli(unit.device, {"--com", "4", "read", "160", "5", "45", "110", "148", "240", "5", "161"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("160    ->Caf\xC3\xA9 ->x\n5    ->7\n45    ->12\n110    ->4321\n148    ->77\n240    -> tail \n"
                                 "161    ->x[ESC][2Jy[BEL]\n"));
    QVERIFY(!run.err.contains('\x1b'));
    QVERIFY(run.err.contains("Reading setting 5  ESPA out max address length: Address length: 7 digits OK\n"));

    const QByteArray log = FileBytes::read(
        QDir(path("Log")).filePath(QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".log")));
    QVERIFY(log.contains(" Com: 4 opened with: 9600,N,8,1\r\n"));
    QCOMPARE(FileBytes::read(path("Tessaro.set")), setupBefore);
    QVERIFY(log.contains(" Received from unit:  [Item: 5 Value: 7] ESPA out max address length: Address length: 7 digits OK\r\n"));
}

void TestCli::writeEachKind_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("server"); // as Route takes it

    QTest::newRow("list position") << "5=3" << "3" << "";
    QTest::newRow("bleep code") << "45=10" << "10" << "";
    QTest::newRow("int") << "110=1234" << "1234" << "";
    QTest::newRow("int 0") << "110=0" << "0" << "";
    QTest::newRow("text") << QStringLiteral("160=Café ->x") << QStringLiteral("Café ->x") << "";
    QTest::newRow("empty text") << "160=" << "" << "";
    // Items whose control is hidden or missing send the value as given, not a control's 0.
    QTest::newRow("hidden char") << "3=7" << "7" << "";
    QTest::newRow("char without control") << "99=200" << "200" << "";
    QTest::newRow("int without control") << "144=300" << "300" << "";
    QTest::newRow("text without control") << "240=tail" << "tail" << "";
    // Through a telnet server: the frame's LEN and the last character are 0xFF,
    // which the telnet layer must send doubled.
    const QString longest = QString(242, u'x') + QStringLiteral("\u00FF");
    QTest::newRow("243 characters through rfc2217") << "155=" + longest << longest << "rfc2217";
}

void TestCli::writeEachKind()
{
    QFETCH(QString, assignment);
    QFETCH(QString, kept);
    QFETCH(QString, server);

    Unit unit;
    const Route route(server, unit.device);
    QVERIFY2(!route.port.isEmpty(), qPrintable(route.why));
    const int n = assignment.section(u'=', 0, 0).toInt();
    // Read back by default; items 3 and 99 cannot be read, so they are only written.
    const Run run = cli(route.port, {"write", assignment});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(utf8(run.out), QString::number(n) + "    ->" + kept + '\n');
    QCOMPARE(unit.value(n), kept);
}

void TestCli::verify_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("unitFault");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    // Read back by default; --verify is still taken.
    QTest::newRow("write, kept") << QStringList{"write", "5=3", "160=abc"} << "" << 0 << "";
    QTest::newRow("write, kept, --verify") << QStringList{"--verify", "write", "5=3"} << "" << 0 << "";
    QTest::newRow("write, another kept")
        << QStringList{"write", "5=3", "160=abc"} << "wrong-value" << 1
        << "item 5 (ESPA out max address length): written Address length: 3 digits, the unit holds Address length: "
           "2 digits\ntessaro-cli: item 160 (PagerAdres 6): written \"abc\", the unit holds \"`bc\"\n"
           "tessaro-cli: 2 of 2 settings read back different";
    QTest::newRow("write, not verified") << QStringList{"--no-verify", "write", "5=3"} << "wrong-value" << 0 << "";
    // An answer carries at most 85 characters: a longer text is written without a read-back.
    QTest::newRow("write, 85 characters, read back")
        << QStringList{"write", "155=" + QString(85, u'x')} << "wrong-value" << 1 << "1 of 1 settings read back different";
    QTest::newRow("write, 243 characters, then another")
        << QStringList{"write", "155=" + QString(243, u'x'), "157=abc"} << "" << 0
        << "item 155: written, not read back: longer than an answer carries";
    QTest::newRow("bleep code, another kept")
        << QStringList{"write", "78=15"} << "wrong-value" << 1
        << "item 78 (BleepCode Entry 39): written BleepCode: F, the unit holds BleepCode: 0\n"
           "tessaro-cli: 1 of 1 settings read back different";
    QTest::newRow("write-all, another kept")
        << QStringList{"write-all", "in.cfg"} << "wrong-value" << 1
        << "item 35 (ESPA out status request): written No request for status (Fire and forget), the unit holds "
           "Request for status\ntessaro-cli: 14 of 14 settings read back different";
    QTest::newRow("write-all, not verified") << QStringList{"--no-verify", "--no-backup", "write-all", "in.cfg"}
                                             << "wrong-value" << 0 << "";
}

void TestCli::verify()
{
    QFETCH(QStringList, args);
    QFETCH(QString, unitFault);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QVERIFY(FileBytes::write(path("in.cfg"), settingsFile(kUnitBulk)));
    QDir::setCurrent(m_home->path());
    Unit unit(unitFault.isEmpty() ? QStringList() : QStringList{"--fault", unitFault});
    const Run run = cli(unit.device, args);
    QCOMPARE(run.exitCode, exitCode);
    if (!message.isEmpty())
        QVERIFY2(run.err.endsWith(("tessaro-cli: " + message + '\n').toLatin1()), run.err.constData());
    // A read-back that failed prints no result; a write that ended well names every item.
    QCOMPARE(run.out.isEmpty(), exitCode != 0 || args.contains("write-all"));
    for (const QString &arg : std::as_const(args)) {
        if (exitCode == 0 && arg.contains(u'='))
            QVERIFY2(run.out.contains((arg.section(u'=', 0, 0) + "    ->").toLatin1()), run.out.constData());
    }
}

// Through the unit's terminal, and through a serial device server in front of it.
static void routes()
{
    QTest::addColumn<QString>("server"); // as Route takes it
    QTest::newRow("terminal") << "";
    QTest::newRow("rfc2217") << "rfc2217";
    QTest::newRow("tcp") << "tcp";
}

void TestCli::readAllLoadsInTheDesktopReader_data()
{
    routes();
}

void TestCli::readAllLoadsInTheDesktopReader()
{
    QFETCH(QString, server);
    Unit unit({}, kUnitBulk);
    const Route route(server, unit.device);
    QVERIFY2(!route.port.isEmpty(), qPrintable(route.why));
    // Items read-all does not read come from the base file, whatever the kind.
    const Settings base = {{0, "3"}, {45, "12"}, {110, "4321"}, {160, QStringLiteral("Café ->x")}, {99, "7"}, {240, " tail "}};
    QVERIFY(FileBytes::write(path("base.cfg"), settingsFile(base)));

    const Run run = cli(route.port, {"--base", path("base.cfg"), "read-all", path("out.cfg")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count(" OK\n"), 14);
    const QByteArray written = FileBytes::read(path("out.cfg"));

    // Loaded by the desktop tool's reader, the file shows what the unit holds.
    ScriptedPort port;
    HeadlessSession desktop(path("desktop"), [] { return QDateTime::currentDateTime(); }, port);
    desktop.session.InitProgram(QString());
    QVERIFY(LeesIniFile::ReadSettingsFile(desktop.session.stores, desktop.controls, path("out.cfg")));
    for (int n : Items::kBulkItems)
        QCOMPARE(desktop.controls.comboIndex(n), kUnitBulk.value(n).toInt());
    QCOMPARE(desktop.controls.comboIndex(45), 12);
    QCOMPARE(desktop.controls.text(110), QStringLiteral("4321"));
    QCOMPARE(desktop.controls.text(160), QStringLiteral("Café ->x"));
    QCOMPARE(Values::textOf(desktop.session.stores.workingValues[240]), QStringLiteral(" tail "));
    // ... and saved again it is the same file, byte for byte.
    QVERIFY(LeesIniFile::WriteSettingsFile(desktop.session.stores, desktop.controls, path("again.cfg")));
    QCOMPARE(FileBytes::read(path("again.cfg")), written);

    // Standard output gets the same bytes.
    const Run toStdout = cli(route.port, {"--base", path("base.cfg"), "read-all", "-"});
    QCOMPARE(toStdout.exitCode, 0);
    QCOMPARE(toStdout.out, written);
}

void TestCli::writeAllAsReadFromFile_data()
{
    routes();
}

void TestCli::writeAllAsReadFromFile()
{
    QFETCH(QString, server);
    Unit unit;
    const Route route(server, unit.device);
    QVERIFY2(!route.port.isEmpty(), qPrintable(route.why));
    // Only the fourteen bulk items go out.
    Settings file = kUnitBulk;
    file.insert(160, "not sent");
    QVERIFY(FileBytes::write(path("in.cfg"), settingsFile(file)));
    const QString before160 = unit.value(160);
    Settings before;
    for (int n : Items::kBulkItems)
        before.insert(n, unit.value(n));

    const Run run = cli(route.port, {"write-all", path("in.cfg")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err.count(" -> Saved.\n"), 14);
    QCOMPARE(run.err.count(" OK\n"), 14); // the backup read
    QCOMPARE(run.err.count(" equal to the value written\n"), 14); // the read-back
    for (int n : Items::kBulkItems)
        QCOMPARE(unit.value(n), kUnitBulk.value(n));
    QCOMPARE(unit.value(160), before160);

    // The unit's settings from before, kept in the home folder's Backups, and named.
    const QDir backups(path("Backups"));
    const QStringList kept = backups.entryList({QStringLiteral("*.cfg")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(utf8(run.err).endsWith("tessaro-cli: backup kept in " + backups.filePath(kept.first()) + '\n'),
             run.err.constData());
    QMap<int, LeesIniFile::ValueLine> lines;
    QVERIFY(LeesIniFile::readValueLines(backups.filePath(kept.first()), &lines));
    for (int n : Items::kBulkItems)
        QCOMPARE(lines.value(n).text, before.value(n));
}

void TestCli::unitFailures_data()
{
    QTest::addColumn<QStringList>("unitOptions");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    // A failed transfer is tried again; a success in between starts the count anew.
    QTest::newRow("every 2nd answer damaged") << QStringList{"--fault", "checksum:2"} << QStringList{"read", "5", "7", "10"}
                                              << 0 << "";
    QTest::newRow("write refused") << QStringList{"--fault", "nack"} << QStringList{"write", "5=3"} << 1
                                   << "Write item 5 (ESPA out max address length) failed: refused by the unit; 0 of 1 "
                                      "written; item 5 refused by the unit: it keeps its old value";
    QTest::newRow("write-all refused") << QStringList{"--fault", "nack"} << QStringList{"--no-backup", "write-all", "in.cfg"}
                                       << 1 << "Write all settings aborted at item 0 (Diagnostic level): refused by the unit; "
                                               "0 of 14 written; item 0 refused by the unit: it keeps its old value; "
                                               "not sent: items 5 7 10 11 12 13 14 30 31 32 33 34 35";
    // The backup is read first: a unit that gives nothing keeps everything it has.
    QTest::newRow("write-all, no backup read") << QStringList{"--fault", "nack"} << QStringList{"write-all", "in.cfg"} << 1
                                               << "Write all settings: could not back up the unit's settings: unusable "
                                                  "answer; nothing was written";
    QTest::newRow("answered for another item") << QStringList{"--fault", "other-item"} << QStringList{"read", "7"} << 1
                                               << "Read item 7 (ESPA out max text length) failed: answered for another item";
    // A refusal names no item: counted as a failed read.
    QTest::newRow("read refused") << QStringList{"--fault", "nack"} << QStringList{"read", "5"} << 1
                                  << "Read item 5 (ESPA out max address length) failed: unusable answer";
    // Answers of no use: ten in a row count as one failure, three such end the transfer.
    QTest::newRow("answers too long") << QStringList{"--fault", "long"} << QStringList{"read-all", "-"} << 1
                                      << "Read all settings aborted at item 0 (Diagnostic level): unusable answer";
    QTest::newRow("no answer") << QStringList{"--fault", "no-answer"} << QStringList{"--timeout", "2", "read", "5"} << 1
                               << "the unit did not finish within the time limit of 2 s";
    QTest::newRow("call refused") << QStringList{"--fault", "nack"} << QStringList{"call", "1234"} << 1
                                  << "Test call failed: refused by the unit";
    QTest::newRow("restart") << QStringList{} << QStringList{"restart"} << 0 << "";
    QTest::newRow("restart refused") << QStringList{"--fault", "nack"} << QStringList{"restart"} << 1
                                     << "Restart failed: refused by the unit";
    QTest::newRow("read-all to a full disk") << QStringList{} << QStringList{"read-all", "-", ">/dev/full"} << 2
                                             << "cannot write the result to standard output: No space left on device";
    QTest::newRow("read to a full disk") << QStringList{} << QStringList{"read", "5", ">/dev/full"} << 2
                                         << "cannot write the result to standard output: No space left on device";
    // The unit was changed: not 2, which says nothing reached it.
    QTest::newRow("write to a full disk") << QStringList{} << QStringList{"write", "14=31", ">/dev/full"} << 3
                                          << "cannot write the result to standard output: No space left on device; "
                                             "1 of 1 written (item 14)";
    // The last line goes where it can: standard output.
    QTest::newRow("write-all, progress to a full disk")
        << QStringList{} << QStringList{"write-all", "in.cfg", "2>/dev/full"} << 3
        << "the progress could not be written to standard error; 14 of 14 written (items 0 5 7 10 11 12 13 "
           "14 30 31 32 33 34 35)";
    // SIGPIPE ignored: a reader that went away costs the progress, not the write.
    QTest::newRow("write-all, progress to a closed pipe")
        << QStringList{} << QStringList{"write-all", "in.cfg", "2>gone"} << 3
        << "the progress could not be written to standard error; 14 of 14 written (items 0 5 7 10 11 12 13 "
           "14 30 31 32 33 34 35)";
    // A port that cannot be opened is trouble before anything reached the unit, named by its device.
    QTest::newRow("no such port") << QStringList{} << QStringList{"--com", "7", "--port", "/nonexistent/tty", "read", "5"}
                                  << 2 << "cannot open /nonexistent/tty: no such device";
    QTest::newRow("diff, no answer") << QStringList{"--fault", "no-answer"} << QStringList{"--timeout", "2", "diff", "in.cfg"}
                                     << 2 << "the unit did not finish within the time limit of 2 s";
    // diff says 1 for differences only.
    QTest::newRow("diff, no such port") << QStringList{} << QStringList{"--port", "/nonexistent/tty", "diff", "in.cfg"}
                                        << 2 << "cannot open /nonexistent/tty: no such device";
    QTest::newRow("diff, port in use") << QStringList{"held"} << QStringList{"diff", "in.cfg"} << 2
                                       << "in use by another program";
    QTest::newRow("port is a folder") << QStringList{} << QStringList{"--port", "/tmp", "read", "5"}
                                      << 2 << "cannot open /tmp: not a serial device";
    QTest::newRow("port is a link loop") << QStringList{} << QStringList{"--port", "loop", "read", "5"}
                                         << 2 << "cannot open loop: the symbolic links loop";
    // Exit status 0: the message is a line of standard error.
    QTest::newRow("home not writable") << QStringList{} << QStringList{"--home", "/proc/x", "read", "5"} << 0
                                       << "tessaro-cli: no log will be kept: /proc/x: no such file or folder\n";
    // The terminal's bar counts the three reads, not item numbers out of 40.
    // Every 4th answer damaged: each is told, none tried again; the last line counts them.
    QTest::newRow("check, checksum:4") << QStringList{"--fault", "checksum:4"} << QStringList{"check"} << 1
                                       << "5 of 20 reads failed";
    QTest::newRow("bar of three reads") << QStringList{} << QStringList{"read", "0", "5", "7", "2>pty"} << 0
                                        << "] 3/3";
    // The bar and its count take at most 19 of 20 columns.
    QTest::newRow("bar of three reads, 20 columns")
        << QStringList{} << QStringList{"read", "0", "5", "7", "2>pty20"} << 0 << "\r[#############] 3/3";
    // Standard output by another name is "-": the file it goes to gets the settings.
    QTest::newRow("read-all /dev/stdout into a file") << QStringList{} << QStringList{"read-all", "/dev/stdout", ">out.cfg"}
                                                      << 0 << "";
    QTest::newRow("read-all /dev/stdout into a pipe") << QStringList{} << QStringList{"read-all", "/dev/stdout"} << 0 << "";
    QTest::newRow("read-all /proc/self/fd/1 into a file")
        << QStringList{} << QStringList{"read-all", "/proc/self/fd/1", ">out.cfg"} << 0 << "";
    // A command that only reads ends at once, without a word, once nobody takes its output.
    QTest::newRow("read, output closed") << QStringList{} << QStringList{"read", "5", ">&-"} << 2 << "";
    QTest::newRow("show, output closed") << QStringList{} << QStringList{"show", "in.cfg", ">&-"} << 2 << "";
    QTest::newRow("check, reader of the output gone") << QStringList{"--think", "200"} << QStringList{"check", ">gone"}
                                                      << 2 << "";
    // A write still finishes and says what the unit took.
    QTest::newRow("write, output closed") << QStringList{} << QStringList{"write", "14=31", ">&-"} << 3
                                          << "cannot write the result to standard output: Bad file descriptor; "
                                             "1 of 1 written (item 14)";
}

// A command that only reads, its output gone: no line of its own, and ended
// before the line check's 20 reads; with output closed from the start, before any.
void TestCli::endedWithoutWord(Unit &unit, const QStringList &args, const Run &run)
{
    QVERIFY2(!run.err.contains("tessaro-cli:"), run.err.constData());
    if (args.contains(QStringLiteral(">gone")))
        QTRY_VERIFY_WITH_TIMEOUT(unit.trace().count("<- ") >= 1, 10000);
    else
        QTest::qWait(300); // what the unit got meanwhile reaches its trace
    QVERIFY2(unit.trace().count("<- ") < (args.contains(QStringLiteral(">&-")) ? 1 : 20), unit.trace().constData());
}

void TestCli::unitFailures()
{
    QFETCH(QStringList, unitOptions);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QVERIFY(FileBytes::write(path("in.cfg"), settingsFile(kUnitBulk)));
    QVERIFY(QFile::link(QStringLiteral("loop"), path("loop")));
    QDir::setCurrent(m_home->path());
    // "held": another program holds the port, with the lock the tool takes.
    const bool held = unitOptions.removeAll(QStringLiteral("held")) > 0;
    Unit unit(unitOptions);
    const int holder = held ? ::open(QFile::encodeName(unit.device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
    QVERIFY(!held || (holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0));
    const Run run = cli(unit.device, args);
    if (holder >= 0)
        ::close(holder);
    QCOMPARE(run.exitCode, exitCode);
    if ((args.contains(QStringLiteral(">gone")) || args.contains(QStringLiteral(">&-"))) && exitCode == 2)
        return endedWithoutWord(unit, args, run);
    if (args.contains(QStringLiteral(">out.cfg")))
        QCOMPARE(FileBytes::read(path("out.cfg")).count("\r\n"), 250);
    if (exitCode != 0) {
        // Standard error lost, the last line is on standard output.
        const bool errLost = args.contains(QStringLiteral("2>/dev/full")) || args.contains(QStringLiteral("2>gone"));
        const QByteArray &text = errLost ? run.out : run.err;
        const QByteArray lastLine = text.mid(text.lastIndexOf('\n', text.size() - 2) + 1);
        QVERIFY2(lastLine.startsWith("tessaro-cli: ") && lastLine.endsWith((message + '\n').toUtf8()),
                 (run.err + run.out).constData());
        QVERIFY(errLost || run.out.isEmpty() || args.contains(QStringLiteral("check")));
    } else if (message.isEmpty()) {
        QVERIFY(!run.err.contains("tessaro-cli:"));
    } else {
        QVERIFY2(utf8(run.err).contains(message), run.err.constData());
    }
    // A line check tells what the unit did: each answer it damaged once, and
    // no read sent twice (a wake-up and 20 reads).
    if (args.contains(QStringLiteral("check"))) {
        QTRY_COMPARE_WITH_TIMEOUT(unit.trace().count("<- "), 21, 5000);
        QCOMPARE(utf8(run.out).count(QStringLiteral(": checksum error\n")), int(unit.trace().count("(checksum)")));
        QVERIFY2(run.out.contains("\n20 reads: 15 answered, 5 checksum errors (25 %); answer time min/avg/max "),
                 run.out.constData());
    }
}

void TestCli::pagerCall()
{
    Unit unit;
    const Run run = cli(unit.device, {"call", "1234", "--bleep", "12", "--text", QStringLiteral("Brand café")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Test call sent\n"));
    QTRY_VERIFY(QString::fromLocal8Bit(unit.trace()).contains(
        QStringLiteral("unit: pager call: position 0, address \"1234\", text \"Brand café\", bleep code C")));
}

void TestCli::portWhateverTheNumber_data()
{
    QTest::addColumn<int>("compoort");
    QTest::addColumn<int>("pathLength"); // of a link to the device given as --port; 0: the device itself
    QTest::addColumn<bool>("bound");     // not a link: the device bound over a file there (needs root)
    QTest::newRow("-1") << -1 << 0 << false;
    QTest::newRow("-5") << -5 << 0 << false;
    QTest::newRow("32767") << 32767 << 0 << false;
    QTest::newRow("a link 600 characters long") << 0 << 600 << false;
    QTest::newRow("a device 600 characters long") << 0 << 600 << true;
}

// --port opens its device whatever port number the setup file holds.
void TestCli::portWhateverTheNumber()
{
    QFETCH(int, compoort);
    QFETCH(int, pathLength);
    QFETCH(bool, bound);
    QVERIFY(FileBytes::write(path("Tessaro.set"), "0        Compoort ->" + QByteArray::number(compoort)
                                                      + "\r\n1      Logfile ->2\r\n2       SetPath ->\r\n"
                                                        "3       UnitType ->3\r\n"));
    Unit unit;
    QString port = unit.device;
    if (pathLength > 0) {
        QString folder = m_home->path();
        while (folder.size() < pathLength - 60)
            folder += QStringLiteral("/") + QString(50, u'd');
        QVERIFY(QDir().mkpath(folder));
        port = folder + u'/' + QString(pathLength - folder.size() - 1, u'u');
        if (bound) {
            // Its real path is as long: the program finds a short name of its own.
            QVERIFY(FileBytes::write(port, ""));
            if (::mount(QFile::encodeName(unit.device).constData(), QFile::encodeName(port).constData(), nullptr,
                        MS_BIND, nullptr) != 0)
                QSKIP("needs a bind mount (root)");
        } else {
            QVERIFY(QFile::link(unit.device, port));
        }
        QCOMPARE(port.size(), pathLength);
    }
    auto unbind = qScopeGuard([&] {
        if (bound)
            ::umount(QFile::encodeName(port).constData());
    });
    const Run run = cli(port, {"read", "5"});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("5    ->4\n"));
}

void TestCli::portLostMidRead()
{
    // A unit that takes its time, so it can vanish between request and answer.
    Unit unit({"--think", "60000"});
    QProcess process;
    process.start(QStringLiteral(TESSARO_CLI_PATH), {"--port", unit.device, "--home", m_home->path(), "read", "5"});
    QTRY_VERIFY_WITH_TIMEOUT(unit.trace().contains("<- 01 09 01 00 02 77 1F 05 1E 3A"), 10000);
    unit.process.kill();
    // Ends on the loss, long before its time limit of 40 s.
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.endsWith(("tessaro-cli: Read item 5 (ESPA out max address length) failed: port lost (the serial device "
                           + unit.device + " disappeared)\n").toUtf8()),
             err.constData());
}

enum class Stopper { Signal, TimeLimit, PortLoss, ServerStopped, SignalInReadBack, SignalInCommission, PortLossInCommission };
Q_DECLARE_METATYPE(Stopper)

// A write-all stopped while an item's frame is out (the unit thinks 5 s over
// each answer): the tool's last line and the log's outcome line both name
// that item as sent without an answer, the items before it as written and
// the rest as not sent. Stopped in the read-back, one outcome line says how
// far the read-back came. With --json the document on standard output says
// the same: the last line's words, and as changed what the unit took.
void TestCli::stoppedMidWriteAll_data()
{
    QTest::addColumn<Stopper>("stopper");
    QTest::addColumn<QString>("think");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("line"); // in the tool's last line and the log's last line
    QTest::addColumn<bool>("json");
    const QString inHand = QStringLiteral("0 of 14 written; item 0 sent, not acknowledged: the unit may hold the new "
                                          "value; not sent: items 5 7 10 11 12 13 14 30 31 32 33 34 35");
    QTest::newRow("signal") << Stopper::Signal << "5000" << 130
                            << QStringLiteral("Write all settings stopped by a signal; ") + inHand << false;
    QTest::newRow("time limit") << Stopper::TimeLimit << "5000" << 1
                                << QStringLiteral("Write all settings stopped at the time limit; ") + inHand << false;
    QTest::newRow("time limit, json") << Stopper::TimeLimit << "5000" << 1
                                      << QStringLiteral("Write all settings stopped at the time limit; ") + inHand << true;
    QTest::newRow("port lost") << Stopper::PortLoss << "5000" << 1
                               << QStringLiteral("Write all settings aborted at item 0 (Diagnostic level): port lost; ")
            + inHand << false;
    // ser2net in front of the unit, ended: the connection is the port, and it is lost.
    QTest::newRow("device server stopped") << Stopper::ServerStopped << "5000" << 1
                                           << QStringLiteral("Write all settings aborted at item 0 (Diagnostic level): port lost; ")
            + inHand << false;
    QTest::newRow("signal in the read-back") << Stopper::SignalInReadBack << "200" << 130
                                             << "Write all settings: 14 written; read-back stopped by a signal after " << false;
    // The factory unit differs in all fourteen: commission writes them all, after its own read.
    // Which write is out when the signal lands depends on the machine's load.
    QTest::newRow("signal in a commission's writes") << Stopper::SignalInCommission << "200" << 130
                                                     << QStringLiteral("commission stopped by a signal; ") << false;
    QTest::newRow("signal in a commission's writes, json") << Stopper::SignalInCommission << "200" << 130
                                                           << QStringLiteral("commission stopped by a signal; ") << true;
    // Lost with the fourth write out: what the unit holds tells what it took.
    QTest::newRow("port lost in a commission's writes, json") << Stopper::PortLossInCommission << "200" << 1
                                                              << QStringLiteral("commission aborted at item ") << true;
}

void TestCli::stoppedMidWriteAll()
{
    QFETCH(Stopper, stopper);
    QFETCH(QString, think);
    QFETCH(int, exitCode);
    QFETCH(QString, line);
    QFETCH(bool, json);
    Unit unit({"--think", think});
    const Route route(stopper == Stopper::ServerStopped ? "rfc2217" : "", unit.device);
    QVERIFY2(!route.port.isEmpty(), qPrintable(route.why));
    QVERIFY(FileBytes::write(path("in.cfg"), settingsFile(kUnitBulk)));
    const bool commission = stopper == Stopper::SignalInCommission || stopper == Stopper::PortLossInCommission;
    QStringList args{"--port", route.port, "--home", m_home->path()};
    if (!commission)
        args << "--no-backup";
    if (stopper == Stopper::TimeLimit)
        args << "--timeout" << "3";
    if (json)
        args << "--json";
    QProcess process;
    process.start(QStringLiteral(TESSARO_CLI_PATH),
                  args + QStringList{commission ? "commission" : "write-all", path("in.cfg")});
    const QByteArray awaited = stopper == Stopper::SignalInReadBack ? "<- 01 09" : "<- 01 0D";
    // The port lost in a commission once the unit took a few writes.
    const int frames = stopper == Stopper::PortLossInCommission ? 4 : 1;
    QTRY_VERIFY_WITH_TIMEOUT(unit.trace().count(awaited) >= frames, 20000);
    if (stopper == Stopper::Signal || stopper == Stopper::SignalInReadBack || stopper == Stopper::SignalInCommission)
        ::kill(pid_t(process.processId()), SIGINT);
    else if (stopper == Stopper::PortLoss || stopper == Stopper::PortLossInCommission)
        unit.process.kill();
    else if (stopper == Stopper::ServerStopped)
        QVERIFY(route.server->stop());
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString err = utf8(process.readAllStandardError());
    const QString last = err.mid(err.lastIndexOf(u'\n', err.size() - 2) + 1);
    QVERIFY2(last.startsWith(u"tessaro-cli: ") && last.contains(line), qPrintable(err));
    if (json) {
        const QJsonObject document = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        QCOMPARE(document.value(u"outcome").toString() + u'\n', last.mid(13));
        const bool cancelled = exitCode == 130 || stopper == Stopper::TimeLimit;
        QCOMPARE(document.value(u"result").toString(), cancelled ? QStringLiteral("cancelled") : QStringLiteral("failed"));
        // What the unit took holds the file's value; the frame out at the end may have been taken too.
        QStringList taken;
        for (const QJsonValue &entry : document.value(u"changed").toArray())
            taken << QString::number(entry.toObject().value(u"item").toInt());
        QStringList held;
        for (int n : Items::kBulkItems) {
            if (unit.value(n) == kUnitBulk.value(n))
                held << QString::number(n);
        }
        QVERIFY2(held.mid(0, taken.size()) == taken && held.size() - taken.size() <= 1, qPrintable(held.join(u' ')));
        QVERIFY(last.contains(taken.isEmpty() ? QStringLiteral(" 0 of 14 written;") : taken.join(u' ') + u')'));
    }
    // One outcome line of the tool's own in the log, in the same words.
    const QString log = QString::fromLatin1(FileBytes::read(
        QDir(path("Log")).filePath(QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".log"))));
    const QRegularExpression outcomeLine(commission ? QStringLiteral("^\\d\\d:\\d\\d:\\d\\d commission")
                                                    : QStringLiteral("Write all settings"),
                                         QRegularExpression::MultilineOption);
    QCOMPARE(log.count(outcomeLine), 1);
    const QString logLine = line;
    QVERIFY2(log.contains(logLine), qPrintable(log));
}

void TestCli::reports_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("lineCount");      // of standard output; -1 for a JSON document
    QTest::addColumn<QStringList>("expected"); // each in standard output; JSON as compact text

    auto setting = [](int item, const char *legend, bool control, const QString &value, const char *choice) {
        const bool text = item >= 150;
        return QStringLiteral(R"({"choice":%1,"control":%2,"item":%3,"legend":"%4","value":%5})")
            .arg(choice ? QStringLiteral("\"%1\"").arg(QLatin1String(choice)) : QStringLiteral("null"),
                 control ? QStringLiteral("true") : QStringLiteral("false"))
            .arg(item)
            .arg(QLatin1String(legend), text ? '"' + value + '"' : value);
    };
    const QString item5 = setting(5, "ESPA out max address length:", true, "7", "Address length: 7 digits");
    const QString item160 = setting(160, "PagerAdres 6", true, QStringLiteral("Café"), nullptr);

    // a.cfg: the unit's bulk settings and "Café" in 160; b.cfg: 5 = 3, 160 "Cafe".
    QTest::newRow("show") << QStringList{"show", "a.cfg"} << 0 << 252
                          << QStringList{"\n5  ESPA out max address length: Address length: 7 digits\n",
                                         QStringLiteral("\n160  PagerAdres 6 \"Café\"\n"),
                                         QStringLiteral("\n161  PagerAdres 7 \"x[ESC][2Jy[BEL]\"\n"),
                                         "\n\nItems without a control:\n", "\n240  \"\"\n", "\n99  0\n"};
    QTest::newRow("show, json") << QStringList{"--json", "show", "a.cfg"} << 0 << -1
                                << QStringList{item5, item160, setting(240, "", false, "", nullptr)};
    QTest::newRow("diff, same files") << QStringList{"diff", "a.cfg", "a.cfg"} << 0 << 0 << QStringList{};
    QTest::newRow("diff, files") << QStringList{"diff", "a.cfg", "b.cfg"} << 1 << 6
                                 << QStringList{"5  ESPA out max address length:\n< Address length: 7 digits\n"
                                                "> Address length: 3 digits\n",
                                                QStringLiteral("160  PagerAdres 6\n< \"Café\"\n> \"Cafe\"\n")};
    QTest::newRow("diff, files, json") << QStringList{"--json", "diff", "a.cfg", "b.cfg"} << 1 << -1
                                       << QStringList{"{\"differences\":[{\"control\":true,\"first\":" + item5,
                                                      "\"first\":\"a.cfg\",\"second\":\"b.cfg\"}"};
    QTest::newRow("diff, unit, same") << QStringList{"diff", "a.cfg"} << 0 << 0 << QStringList{};
    QTest::newRow("diff, unit") << QStringList{"diff", "b.cfg"} << 1 << 3
                                << QStringList{"5  ESPA out max address length:\n< Address length: 3 digits\n"
                                               "> Address length: 7 digits\n"};
    QTest::newRow("diff, unit, json") << QStringList{"--json", "diff", "b.cfg"} << 1 << -1
                                      << QStringList{"\"second\":" + item5 + "}]", "\"second\":\"unit\""};
    QTest::newRow("read, json") << QStringList{"--json", "read", "5", "160"} << 0 << -1
                                << QStringList{"{\"settings\":[" + item5 + ',' + item160 + "]}"};
    QTest::newRow("read-all, json") << QStringList{"--json", "read-all"} << 0 << -1
                                    << QStringList{item5, setting(249, "", false, "", nullptr) + "]}"};
    // report: standard output stays empty; the report's text is checked (the
    // PDF's as pdftotext gives it). Every legend with its value, as the window shows them.
    const QStringList bulkRows = {
        "<td>0</td><td>Diagnostic level:</td><td>Debug info</td>",
        "<td>5</td><td>ESPA out max address length:</td><td>Address length: 7 digits</td>",
        "<td>ESPA out max text length:</td><td>Length: 120 characters</td>",
        "<td>ESPA in serial speed:</td><td>19200 baud</td>", "<td>ESPA in serial number of bits:</td><td>8 bits</td>",
        "<td>ESPA in serial number of stopbits:</td><td>2 stopbits</td>",
        "<td>ESPA in serial parity:</td><td>odd parity</td>",
        "<td>ESPA In Time-out:</td><td>Espa In Watchdog 45 sec</td>", "<td>ESPA out serial speed:</td><td>2400 baud</td>",
        "<td>ESPA out serial number of bits:</td><td>8 bits</td>",
        "<td>ESPA out serial number of stopbits:</td><td>2 stopbits</td>",
        "<td>ESPA out serial parity:</td><td>no parity</td>",
        "<td>ESPA out hardware handshake:</td><td>CTS/RTS HandShake</td>",
        "<td>ESPA out status request:</td><td>No request for status (Fire and forget)</td>"};
    QTest::newRow("report from a file, html")
        << QStringList{"report", "--from", "a.cfg", "--reference", "b.cfg", "--site", "Haven <3>", "--technician",
                       QStringLiteral("Jürgen"), "out.html"}
        << 0 << 0
        << bulkRows + QStringList{"<td>Haven &lt;3&gt;</td>", QStringLiteral("<td>Jürgen</td>"), "Settings file", "From the file a.cfg",
                                  "<th width=\"22%\">Reference: b.cfg</th>",
                                  "<tr class=\"differs\"><td>5</td><td>ESPA out max address length:</td><td>Address "
                                  "length: 7 digits</td><td>Address length: 3 digits</td><td>* differs</td></tr>",
                                  "1 of 14 settings differ",
                                  // Equal values carry no mark, the first and the last row as any other.
                                  "<td>Diagnostic level:</td><td>Debug info</td><td>Debug info</td><td></td></tr>",
                                  "<td>No request for status (Fire and forget)</td><td>No request for status (Fire and "
                                  "forget)</td><td></td></tr>\n</tbody>",
                                  // Event entry 6 from the file, and 7 with its control bytes shown, not obeyed.
                                  QStringLiteral("<td>6</td><td>0</td><td>&quot;Café&quot;</td>"),
                                  "<td>&quot;x[ESC][2Jy[BEL]&quot;</td>"};
    QTest::newRow("report from the unit, html")
        << QStringList{"report", "out.html"} << 0 << 0
        << bulkRows + QStringList{"<th>Unit</th><td>" + QString(), "were not read from the unit"};
    QTest::newRow("report from the unit, pdf")
        << QStringList{"report", "--reference", "b.cfg", "out.pdf"} << 0 << 0
        << QStringList{"Tessaro settings report", "Diagnostic level:", "ESPA out max address length:",
                       "ESPA out status request:", "Reference: b.cfg", "* differs", "Page 1 of 1"};
    // commission: only what differs from the unit is written; the last line says so.
    QTest::newRow("commission, nothing differs") << QStringList{"commission", "a.cfg"} << 0 << 1
                                                 << QStringList{"already as a.cfg: nothing written; backup Backups/"};
    const QString changedLine = "commissioned: 1 of 14 settings changed (item 5), 1 read back equal; backup Backups/";
    QTest::newRow("commission, json")
        << QStringList{"--json", "commission", "b.cfg"} << 0 << -1
        << QStringList{"\"changed\":[{\"after\":" + setting(5, "ESPA out max address length:", true, "3", "Address length: 3 digits")
                           + ",\"before\":" + item5 + ",\"item\":5,\"legend\":\"ESPA out max address length:\"}]",
                       "\"outcome\":\"" + changedLine, "\"result\":\"succeeded\""};
    // write takes --json as commission does: what the unit took, the result and the outcome line.
    QTest::newRow("write, json")
        << QStringList{"--json", "write", "5=3"} << 0 << -1
        << QStringList{"{\"backup\":\"\",\"changed\":[{\"after\":"
                           + setting(5, "ESPA out max address length:", true, "3", "Address length: 3 digits")
                           + ",\"item\":5,\"legend\":\"ESPA out max address length:\"}]",
                       "\"outcome\":\"Write item 5 (ESPA out max address length): done, 1 read back equal\"",
                       "\"result\":\"succeeded\"}"};
    QTest::newRow("commission, report") << QStringList{"commission", "--site", "Haven", "b.cfg", "--report", "out.html"}
                                        << 0 << 1 << QStringList{changedLine, ".cfg; report out.html\n", "<td>Haven</td>"};
    // A PDF needs the fonts of a report's own start.
    QTest::newRow("commission, report, pdf") << QStringList{"commission", "b.cfg", "--report", "out.pdf"} << 0 << 1
                                             << QStringList{changedLine, ".cfg; report out.pdf\n", "%PDF-"};
    // Rows of several lines and a long site: no row is cut at a page break.
    QTest::newRow("report from a file with long texts, pdf")
        << QStringList{"report", "--from", "c.cfg", "--site", QStringLiteral("Harbour office, north quay ").repeated(12),
                       "out.pdf"}
        << 0 << 0 << QStringList{"Tessaro settings report", "Page 1 of ", "Page 3 of 3"};
    // A site that brings the event entries' heading to the foot of page 1: it goes with its table.
    QTest::newRow("report from a file, heading at a page's foot, pdf")
        << QStringList{"report", "--from", "c.cfg", "--site", QStringLiteral("Harbour office, north quay ").repeated(115),
                       "out.pdf"}
        << 0 << 0 << QStringList{"Page 3 of 3"};
    // A text that is not ASCII, in a UTF-8 locale.
    QTest::newRow("check") << QStringList{"check", "--count", "3"} << 0 << 4
                           << QStringList{"read 1: ", " ms\nread 3: ", "\n3 reads: 3 answered, 0 failed (0 %); answer time "
                                                                      "min/avg/max "};
    QTest::newRow("check, json") << QStringList{"--json", "check", "--count", "2"} << 0 << -1
                                 << QStringList{"{\"exchanges\":[{\"answered\":true,\"ms\":",
                                                "\"read\":2}],\"summary\":{\"answerMs\":{\"avg\":",
                                                "\"answered\":2,\"failed\":0,\"failedPercent\":0,\"failures\":{},"
                                                "\"reads\":2,\"text\":\"2 reads: 2 answered, 0 failed (0 %); answer "
                                                "time min/avg/max "};
    QTest::newRow("read, non-ASCII text") << QStringList{"read", "160"} << 0 << 1
                                          << QStringList{QStringLiteral("160    ->Café\n")};
}

void TestCli::reports()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(int, lineCount);
    QFETCH(QStringList, expected);

    Settings a = kUnitBulk;
    a.insert(160, QStringLiteral("Café"));
    a.insert(161, QStringLiteral("x\x1b[2Jy\x07")); // a crafted file: shown, never obeyed
    Settings b = a;
    b.insert(5, "3");
    b.insert(160, "Cafe");
    QVERIFY(FileBytes::write(path("a.cfg"), settingsFile(a)));
    QVERIFY(FileBytes::write(path("b.cfg"), settingsFile(b)));
    // c.cfg: event entries of several lines, each text opening "fromNN" and closing "toNN".
    Settings c = a;
    for (int k = 1; k <= 39; ++k) {
        const QString n = QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
        c.insert(154 + k, QStringLiteral("from%1 pager address of a length to wrap to%1").arg(n));
        c.insert(193 + k, QStringLiteral("from%1 a fixed leading text of some length, on lines enough to%1").arg(n));
    }
    QVERIFY(FileBytes::write(path("c.cfg"), settingsFile(c)));
    QDir::setCurrent(m_home->path());
    Unit unit({}, a);

    const Run run = cli(unit.device, args);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(!run.err.contains("tessaro-cli:"), run.err.constData());
    QString out = utf8(run.out);
    if (lineCount < 0) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        out = QString::fromUtf8(document.toJson(QJsonDocument::Compact));
    } else {
        QCOMPARE(out.count(u'\n'), lineCount);
    }
    // A report: its text (Windows-1252 HTML, or the PDF's as pdftotext reads it).
    if (args.first() == QLatin1String("report")) {
        const QString report = path(args.constLast().toLatin1().constData());
        if (report.endsWith(QLatin1String(".pdf"))) {
            QVERIFY(FileBytes::read(report).startsWith("%PDF-"));
            if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
                || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
                QSKIP("pdfinfo and pdftotext (poppler-utils) are not installed: the PDF's pages and text go unchecked");
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {report});
            QVERIFY(info.waitForFinished(30000));
            static const QRegularExpression pages(QStringLiteral("\nPages:\\s+(\\d+)"));
            const QRegularExpressionMatch m = pages.match(QString::fromUtf8(info.readAllStandardOutput()));
            QVERIFY(m.hasMatch() && m.captured(1).toInt() >= 1);
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {report, QStringLiteral("-")});
            QVERIFY(text.waitForFinished(30000));
            // A legend may wrap within its cell: one blank for any run of white space.
            out += QString::fromUtf8(text.readAllStandardOutput()).simplified();
            QVERIFY(noRowCut(report, m.captured(1).toInt(), args.contains(QStringLiteral("c.cfg")) ? 78 : 0));
        } else {
            out += Cp1252::decode(FileBytes::read(report));
        }
        // Made from the file alone, the port not opened.
        if (args.contains(QStringLiteral("--from")))
            QVERIFY2(!unit.trace().contains("<-"), unit.trace().constData());
    }
    const bool changes = (args.contains(QStringLiteral("commission")) && args.contains(QStringLiteral("b.cfg")))
        || args.contains(QStringLiteral("write"));
    if (const qsizetype at = args.indexOf(QStringLiteral("--report")); at >= 0)
        out += Cp1252::decode(FileBytes::read(path(args.at(at + 1).toLatin1().constData())));
    for (const QString &e : std::as_const(expected))
        QVERIFY2(out.contains(e), qPrintable(e + QStringLiteral("\n--- not in ---\n") + out));
    // Nothing but reads reached the unit; a commission from b.cfg writes its one difference only.
    QTRY_COMPARE_WITH_TIMEOUT(unit.trace().count("<- 01 0D"), changes ? 1 : 0, 5000);
    QCOMPARE(unit.value(5), changes ? QStringLiteral("3") : QStringLiteral("7"));
}

// The site record in the report, from contents built here: the values before,
// written and read back of items 0 (not written), 5 and 7 (written).
void TestCli::siteRecord_data()
{
    QTest::addColumn<Settings>("readBack");    // item -> value read back; none for --no-verify
    QTest::addColumn<bool>("written");         // a write record at all
    QTest::addColumn<QString>("eventsSource");
    QTest::addColumn<QStringList>("expected"); // each in the HTML
    QTest::addColumn<QStringList>("absent");   // none in the HTML

    const QString heads = "<th width=\"7%\">Item</th><th width=\"24%\">Setting</th><th width=\"17%\">Value</th>"
                          "<th width=\"17%\">Before</th><th width=\"17%\">Written</th><th width=\"17%\">Read back</th>"
                          "</tr>";
    const QString item0 = "<td>0</td><td>Legend 0</td><td>2</td><td>2</td><td></td><td></td></tr>";
    const QString item7 = "<td>7</td><td>Legend 7</td><td>80</td><td>120</td><td>80</td><td>80</td></tr>";
    const QString outcome = "<p>Write changes: 2 written, 2 read back equal &lt;ok&gt;<br>Backup: 20261207-140509.cfg</p>";
    QTest::newRow("read back equal")
        << Settings{{5, "3"}, {7, "80"}} << true << QString()
        << QStringList{heads, item0, "<td>5</td><td>Legend 5</td><td>3</td><td>7</td><td>3</td><td>3</td></tr>", item7,
                       outcome}
        << QStringList{"not as written"};
    QTest::newRow("one read back otherwise")
        << Settings{{5, "4"}, {7, "80"}} << true << QString()
        << QStringList{heads, item0,
                       "<td>5</td><td>Legend 5</td><td>3</td><td>7</td><td>3</td><td class=\"otherwise\">4 * not as "
                       "written</td></tr>",
                       item7}
        << QStringList{"80 * not"};
    QTest::newRow("not read back")
        << Settings{} << true << QString()
        << QStringList{heads, "<td>7</td><td>Legend 7</td><td>80</td><td>120</td><td>80</td><td></td></tr>"}
        << QStringList{"not as written"};
    // Without a write, the report as before: no record, no events source.
    QTest::newRow("no write") << Settings{} << false << QString()
                              << QStringList{"<th width=\"43%\">Setting</th><th width=\"50%\">Value</th></tr>",
                                             "<td>0</td><td>Legend 0</td><td>2</td></tr>",
                                             "<h2>Event entries</h2>\n<table"}
                              << QStringList{"Before", "Read back", "Backup:"};
    QTest::newRow("events from a file")
        << Settings{} << false << QStringLiteral("From the file Haven <2>.cfg")
        << QStringList{"<h2>Event entries</h2>\n<p>From the file Haven &lt;2&gt;.cfg</p>\n<table"} << QStringList{};
}

void TestCli::siteRecord()
{
    QFETCH(Settings, readBack);
    QFETCH(bool, written);
    QFETCH(QString, eventsSource);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);

    auto setting = [](int n, const QString &value) {
        SettingsReport::Setting s;
        s.item = n;
        s.legend = QStringLiteral("Legend %1").arg(n);
        s.text = n >= 150;
        s.value = value;
        return s;
    };
    SiteReport::Contents contents;
    for (int n = 0; n < 250; ++n)
        contents.settings << setting(n, kUnitBulk.value(n, QStringLiteral("0")));
    contents.settings[5] = setting(5, "3");
    contents.settings[7] = setting(7, "80");
    contents.eventsSource = eventsSource;
    if (written) {
        SiteReport::Contents::WriteRecord record;
        for (int n : Items::kBulkItems)
            record.before.insert(n, setting(n, kUnitBulk.value(n)));
        record.written = {{5, setting(5, "3")}, {7, setting(7, "80")}};
        for (auto it = readBack.cbegin(); it != readBack.cend(); ++it)
            record.readBack.insert(it.key(), setting(it.key(), it.value()));
        record.outcome = QStringLiteral("Write changes: 2 written, 2 read back equal <ok>");
        record.backupName = QStringLiteral("20261207-140509.cfg");
        contents.write = record;
    }
    const QString html = SiteReport::html(contents);
    for (const QString &e : std::as_const(expected))
        QVERIFY2(html.contains(e), qPrintable(e + QStringLiteral("\n--- not in ---\n") + html));
    for (const QString &a : std::as_const(absent))
        QVERIFY2(!html.contains(a), qPrintable(a + QStringLiteral("\n--- in ---\n") + html));
}

void TestCli::findTwoUnitsAndASilentPort()
{
    Unit first({}, {{0, "2"}});
    Unit second;
    SilentTerminal silent(*m_home);
    QVERIFY(!first.device.isEmpty() && !second.device.isEmpty() && !silent.device.isEmpty());

    const Run run = cli(first.device, {"find", "--port", silent.device, "--port", second.device});
    QCOMPARE(run.exitCode, 0);
    const QStringList lines = utf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({"-  " + first.device + "  Diagnostic level: Debug info",
                                 "-  " + second.device + "  Diagnostic level: None"}));
    QVERIFY2(utf8(run.err).contains("Port - (" + silent.device + "): no answer\n"), run.err.constData());
    // Each unit got the wake-up and one read of item 0, nothing else.
    for (Unit *unit : {&first, &second}) {
        QTRY_VERIFY(unit->trace().contains("<- 01 09 01 00 02 77 1F 00 1E 3F"));
        const QByteArray trace = unit->trace();
        QCOMPARE(trace.count("<- "), 2);
        QVERIFY2(trace.contains("<- 01 01 80 7F") && trace.contains("<- 01 09 01 00 02 77 1F 00 1E 3F"), trace.constData());
    }

    const Run none = cli(silent.device, {"find"});
    QCOMPARE(none.exitCode, 1);
    QVERIFY(none.out.isEmpty());
    QVERIFY2(none.err.contains("tessaro-cli: no unit answered on "), none.err.constData());
}

void TestCli::bashCompletion_data()
{
    QTest::addColumn<QString>("line"); // after "tessaro-cli "; its last word is completed
    QTest::addColumn<QString>("candidates");
    QTest::newRow("every command") << "" << "call check commission diff find read read-all report restart show "
                                            "write write-all";
    QTest::newRow("a command begun") << "co" << "commission";
    QTest::newRow("the command after an option and its value") << "--com 3 --json sh" << "show";
    QTest::newRow("options of commission") << "commission --n" << "--no-verify";
    QTest::newRow("options of another command only") << "check --no" << "";
    QTest::newRow("settings files and folders") << "write-all " << "a.cfg b.SET sub/";
    QTest::newRow("--report: report files") << "commission a.cfg --report " << "r.pdf sub/";
    QTest::newRow("report's OUT") << "--home sub report " << "r.pdf sub/";
    QTest::newRow("diff's second file") << "diff a.cfg " << "a.cfg b.SET sub/";
    QTest::newRow("nothing after diff's two files") << "diff a.cfg b.SET " << "";
    QTest::newRow("items: nothing") << "read " << "";
}

// The completion sourced into a bash of its own, in a folder holding a.cfg,
// b.SET, c.txt, r.pdf and sub/; the candidates sorted.
void TestCli::bashCompletion()
{
    QFETCH(QString, line);
    QFETCH(QString, candidates);
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    if (bash.isEmpty())
        QSKIP("no bash");
    for (const char *name : {"a.cfg", "b.SET", "c.txt", "r.pdf"})
        QVERIFY(FileBytes::write(path(name), QByteArray()));
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("sub")));
    QProcess process;
    process.setWorkingDirectory(m_home->path());
    const QString script = QStringLiteral(
        "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _tessaro_cli; "
        "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort");
    QStringList words = line.split(u' ');
    words.prepend(QStringLiteral("tessaro-cli"));
    process.start(bash, QStringList{"--norc", "--noprofile", "-c", script, "bash", QStringLiteral(TESSARO_CLI_COMPLETION)}
                            + words);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).join(u' '),
             candidates);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
