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
    QTest::newRow("read-only disk") << true;
    QTest::newRow("missing folder") << false;
}

void TestHomeFolder::unwritableProgramFolder()
{
    QFETCH(bool, readOnlyDisk);
    std::unique_ptr<TmpfsMount> disk;
    QString program = QStringLiteral("/nonexistent/tessaro/bin");
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
