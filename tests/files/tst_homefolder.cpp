#include "testsupport/TmpfsMount.h"

#include "files/HomeFolder.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestHomeFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void givenFolderIsCreated();
    void writableProgramFolder();
    void unwritableProgramFolder_data();
    void unwritableProgramFolder();
};

void TestHomeFolder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestHomeFolder::givenFolderIsCreated()
{
    QTemporaryDir dir;
    const QString given = dir.filePath(QStringLiteral("a/b"));
    QCOMPARE(HomeFolder::choose(given, dir.path()), given);
    QVERIFY(QFileInfo(given).isDir());
}

void TestHomeFolder::writableProgramFolder()
{
    QTemporaryDir dir;
    QCOMPARE(HomeFolder::choose(QString(), dir.path()), dir.path());
    // The write probe leaves nothing behind.
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    QCOMPARE(HomeFolder::resolve(), QCoreApplication::applicationDirPath());
}

void TestHomeFolder::unwritableProgramFolder_data()
{
    QTest::addColumn<bool>("readOnlyDisk");
    QTest::addColumn<bool>("installed");
    QTest::newRow("read-only disk") << true << false;
    QTest::newRow("missing folder") << false << false;
    // An installed program (bin/ beside share/doc/tessaro/) never keeps its
    // files among the system's programs, even when it could (root).
    QTest::newRow("installed, writable") << false << true;
}

void TestHomeFolder::unwritableProgramFolder()
{
    QFETCH(bool, readOnlyDisk);
    QFETCH(bool, installed);
    std::unique_ptr<TmpfsMount> disk;
    QString program = QStringLiteral("/nonexistent/tessaro/bin");
    QTemporaryDir prefix;
    if (installed) {
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/doc/tessaro")));
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
        program = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(HomeFolder::isWritableFolder(program));
    }
    if (readOnlyDisk) {
        disk = std::make_unique<TmpfsMount>();
        if (!disk->isMounted())
            QSKIP(qPrintable(QStringLiteral("needs a tmpfs mount: ") + disk->error()));
        QVERIFY(disk->remountReadOnly());
        program = disk->path();
    }
    // The same folder for the desktop tool and the command-line tool.
    const QString appData = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(QStringLiteral("Tessaro"));
    QCOMPARE(HomeFolder::choose(QString(), program), appData);
    QVERIFY(QFileInfo(appData).isDir());
    QVERIFY(HomeFolder::isWritableFolder(appData));
}

QTEST_GUILESS_MAIN(TestHomeFolder)
#include "tst_homefolder.moc"
