#include "FileBytes.h"
#include "testsupport/TmpfsMount.h"

#include "files/Logfile.h"
#include "files/Setup.h"
#include "model/Diverse.h"

#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QDateTime kAfternoon(QDate(2024, 3, 7), QTime(14, 5, 9));

// A Logfile on a folder with a clock the test sets.
struct Log
{
    Setup setup;
    Diverse::LogLines lines;
    QDateTime now = kAfternoon;
    Logfile logfile;

    explicit Log(const QString &home)
        : logfile(setup, lines, home, [this] { return now; })
    {
        setup.Logfile = 2;
    }
};

} // namespace

class TestLogfile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void lineAndFile_data();
    void lineAndFile();
    void linesAppendInOrder();
    void dayChangeAtMidnight();
    void switchedOffDoesNothing();
    void unwritableLogFolder_data();
    void unwritableLogFolder();
    void tornLineIsClosedFirst();
    void shortAppendIsTakenBack();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestLogfile::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
}

void TestLogfile::lineAndFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("windowLine");
    QTest::addColumn<QByteArray>("fileBytes");
    QTest::newRow("message") << "Reading of all settings was successfull."
                             << "14:05:09 Reading of all settings was successfull."
                             << QByteArray("14:05:09 Reading of all settings was successfull.\r\n");
    QTest::newRow("empty") << "" << "14:05:09 " << QByteArray("14:05:09 \r\n");
    QTest::newRow("Windows-1252") << "\u20ac \u00e9" << "14:05:09 \u20ac \u00e9" << QByteArray("14:05:09 \x80 \xe9\r\n");
    QTest::newRow("no Windows-1252 byte") << "snow \u2603!" << "14:05:09 snow \u2603!"
                                          << QByteArray("14:05:09 snow ?!\r\n");
    QTest::newRow("line breaks inside the text") << "a\r\nb" << "14:05:09 a[CR][LF]b"
                                                 << QByteArray("14:05:09 a[CR][LF]b\r\n");
    QTest::newRow("escape codes inside the text")
        << QStringLiteral("Received from unit: 1=\x1b]0;x\x07\x1b[2J") + QChar(0) + QStringLiteral("\r\n") + QChar(0x9D) + QChar(0x9B)
        << "14:05:09 Received from unit: 1=[ESC]]0;x[BEL][ESC][2J[NULL][CR][LF][9D][9B]"
        << QByteArray("14:05:09 Received from unit: 1=[ESC]]0;x[BEL][ESC][2J[NULL][CR][LF][9D][9B]\r\n");
}

void TestLogfile::lineAndFile()
{
    QFETCH(QString, text);
    QFETCH(QString, windowLine);
    QFETCH(QByteArray, fileBytes);
    Log log(m_home->path());
    QVERIFY(!QFileInfo::exists(m_home->filePath(QStringLiteral("Log"))));
    log.logfile.WriteLogLine(text);
    QCOMPARE(log.lines.count(), 1);
    QCOMPARE(log.lines.line(0), windowLine);
    QCOMPARE(log.logfile.fileNameFor(kAfternoon.date()), m_home->filePath(QStringLiteral("Log/07032024.log")));
    QCOMPARE(FileBytes::read(m_home->filePath(QStringLiteral("Log/07032024.log"))), fileBytes);
}

void TestLogfile::linesAppendInOrder()
{
    Log log(m_home->path());
    log.logfile.WriteLogLine(QStringLiteral("one"));
    log.now = log.now.addSecs(3600);
    log.logfile.WriteLogLine(QStringLiteral("two"));
    QCOMPARE(FileBytes::read(m_home->filePath(QStringLiteral("Log/07032024.log"))),
             QByteArray("14:05:09 one\r\n15:05:09 two\r\n"));
    QCOMPARE(log.lines.line(1), QStringLiteral("15:05:09 two"));
}

void TestLogfile::dayChangeAtMidnight()
{
    Log log(m_home->path());
    log.now = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59));
    log.logfile.WriteLogLine(QStringLiteral("old year"));
    log.now = QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0));
    log.logfile.WriteLogLine(QStringLiteral("new year"));
    QCOMPARE(FileBytes::read(m_home->filePath(QStringLiteral("Log/31122023.log"))),
             QByteArray("23:59:59 old year\r\n"));
    QCOMPARE(FileBytes::read(m_home->filePath(QStringLiteral("Log/01012024.log"))),
             QByteArray("00:00:00 new year\r\n"));
}

void TestLogfile::switchedOffDoesNothing()
{
    Log log(m_home->path());
    log.setup.Logfile = 0;
    log.logfile.WriteLogLine(QStringLiteral("nowhere"));
    QCOMPARE(log.lines.count(), 0);
    QVERIFY(FileBytes::names(m_home->path()).isEmpty());
}

void TestLogfile::unwritableLogFolder_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("notice"); // the one window line that tells, empty for none
    QTest::newRow("Log is a file") << "file" << "";
    QTest::newRow("home folder missing below a file") << "missing" << "";
    QTest::newRow("read-only disk") << "read-only" << "";
    QTest::newRow("log file is a folder") << "folder" << "";
    QTest::newRow("log file links out of the home folder") << "link out" << "it is a link that leads out of the home folder";
    QTest::newRow("Log folder links out of the home folder") << "folder out" << "it is a link that leads out of the home folder";
    QTest::newRow("log file links to another owner's file") << "other owner" << "it is a link to a file of another owner";
    QTest::newRow("log file is a FIFO") << "fifo" << "it is not a regular file (a pipe, a device or a socket)";
}

void TestLogfile::unwritableLogFolder()
{
    QFETCH(QString, fault);
    QFETCH(QString, notice);
    std::unique_ptr<TmpfsMount> disk;
    QTemporaryDir elsewhere;
    QString home = m_home->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    const QString logFile = QDir(home).filePath(QStringLiteral("Log/07032024.log"));
    // A file the log must not reach, and its bytes.
    QString victim;
    const QByteArray victimBytes = "someone else's file\n";
    if (fault == u"file") {
        QVERIFY(FileBytes::write(QDir(home).filePath(QStringLiteral("Log")), "not a folder"));
    } else if (fault == u"missing") {
        QVERIFY(FileBytes::write(m_home->filePath(QStringLiteral("plain")), "x"));
        home = m_home->filePath(QStringLiteral("plain/home"));
    } else if (fault == u"folder") {
        QVERIFY(QDir().mkpath(logFile));
    } else if (fault == u"link out") {
        victim = elsewhere.filePath(QStringLiteral("victim.log"));
        QVERIFY(QDir(home).mkdir(QStringLiteral("Log")));
        QVERIFY(QFile::link(victim, logFile));
    } else if (fault == u"folder out") {
        victim = elsewhere.filePath(QStringLiteral("07032024.log"));
        QVERIFY(QFile::link(elsewhere.path(), QDir(home).filePath(QStringLiteral("Log"))));
    } else if (fault == u"fifo") {
#ifdef Q_OS_UNIX
        QVERIFY(QDir(home).mkdir(QStringLiteral("Log")));
        QCOMPARE(::mkfifo(QFile::encodeName(logFile).constData(), 0600), 0);
#else
        QSKIP("needs a FIFO");
#endif
    } else if (fault == u"other owner") {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            QSKIP("needs root, to give a file to another user");
        victim = QDir(home).filePath(QStringLiteral("theirs.log"));
        QVERIFY(QDir(home).mkdir(QStringLiteral("Log")));
        QVERIFY(FileBytes::write(victim, victimBytes));
        QCOMPARE(::chown(QFile::encodeName(victim).constData(), 4242, 4242), 0);
        QVERIFY(QFile::link(victim, logFile));
#else
        QSKIP("owners are a Unix matter here");
#endif
    } else {
        disk = std::make_unique<TmpfsMount>();
        if (!disk->isMounted())
            QSKIP(qPrintable(QStringLiteral("needs a tmpfs mount: ") + disk->error()));
        QVERIFY(disk->remountReadOnly());
        home = disk->path();
    }
    if (!victim.isEmpty() && !QFileInfo::exists(victim))
        QVERIFY(FileBytes::write(victim, victimBytes));

    // Told in the window once, not on the program's standard error each time.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    Log log(home);
    log.logfile.WriteLogLine(QStringLiteral("lost in the file"));
    log.now = log.now.addSecs(1); // the file is tried afresh
    log.logfile.WriteLogLine(QStringLiteral("and again"));
    QStringList lines;
    for (int i = 0; i < log.lines.count(); ++i)
        lines << log.lines.line(i);
    QStringList expected{QStringLiteral("14:05:09 lost in the file"), QStringLiteral("14:05:10 and again")};
    if (!notice.isEmpty())
        expected.insert(1, QStringLiteral("14:05:09 The log file %1 is not written: %2.")
                               .arg(QDir::toNativeSeparators(log.logfile.fileNameFor(kAfternoon.date())), notice));
    QCOMPARE(lines, expected);
    if (victim.isEmpty())
        QVERIFY(!QFileInfo(log.logfile.fileNameFor(kAfternoon.date())).isFile());
    else
        QCOMPARE(FileBytes::read(victim), victimBytes);
}

void TestLogfile::tornLineIsClosedFirst()
{
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("Log")));
    const QString file = m_home->filePath(QStringLiteral("Log/07032024.log"));
    QVERIFY(FileBytes::write(file, "09:00:00 half a li"));
    Log log(m_home->path());
    log.logfile.WriteLogLine(QStringLiteral("next"));
    QCOMPARE(FileBytes::read(file), QByteArray("09:00:00 half a li\r\n14:05:09 next\r\n"));

    // Torn by another writer while the file is held open between two lines.
    QFile other(file);
    QVERIFY(other.open(QIODevice::WriteOnly | QIODevice::Append));
    QCOMPARE(other.write("torn"), 4);
    other.close();
    log.logfile.WriteLogLine(QStringLiteral("same second"));
    QVERIFY(FileBytes::read(file).endsWith("14:05:09 next\r\ntorn\r\n14:05:09 same second\r\n"));

    // Deleted by the operator: from the next second on the lines go to a new file.
    QVERIFY(QFile::remove(file));
    log.now = log.now.addSecs(1);
    log.logfile.WriteLogLine(QStringLiteral("later"));
    QCOMPARE(FileBytes::read(file), QByteArray("14:05:10 later\r\n"));
}

void TestLogfile::shortAppendIsTakenBack()
{
    TmpfsMount disk;
    if (!disk.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs mount: ") + disk.error()));
    QVERIFY(QDir(disk.path()).mkdir(QStringLiteral("Log")));
    const QString file = disk.filePath(QStringLiteral("Log/07032024.log"));
    // Ten bytes short of a page: a longer line fits only in part.
    const QByteArray old = QByteArray(4096 - 12, 'o') + "\r\n";
    QVERIFY(FileBytes::write(file, old));
    QVERIFY(disk.fill());

    Log log(disk.path());
    log.logfile.WriteLogLine(QStringLiteral("a line much longer than the room that is left"));
    QCOMPARE(log.lines.count(), 1);
    QCOMPARE(FileBytes::read(file), old);

    QVERIFY(disk.removeFiller());
    log.logfile.WriteLogLine(QStringLiteral("after"));
    QCOMPARE(FileBytes::read(file), old + "14:05:09 after\r\n");
}

QTEST_GUILESS_MAIN(TestLogfile)
#include "tst_logfile.moc"
