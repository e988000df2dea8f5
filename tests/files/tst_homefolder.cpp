#include "testsupport/TmpfsMount.h"

#include "files/HomeFolder.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstHomeFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fromArguments_data();
    void fromArguments();
    void givenFolderIsCreated();
    void writableProgramFolder();
    void unwritableProgramFolder_data();
    void unwritableProgramFolder();
};

void TstHomeFolder::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TstHomeFolder::fromArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");
    QTest::newRow("separate") << QStringList{"tessaro", "/LOG", "--home", "/srv/t"} << "/srv/t";
    QTest::newRow("joined") << QStringList{"tessaro", "--home=/srv/a b"} << "/srv/a b";
    QTest::newRow("absent") << QStringList{"tessaro", "/DEBUG"} << "";
    QTest::newRow("without folder") << QStringList{"tessaro", "--home"} << "";
    QTest::newRow("program name only") << QStringList{"--home"} << "";
}

void TstHomeFolder::fromArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QCOMPARE(HomeFolder::fromArguments(arguments), folder);
}

void TstHomeFolder::givenFolderIsCreated()
{
    QTemporaryDir dir;
    const QString given = dir.filePath(QStringLiteral("a/b"));
    QCOMPARE(HomeFolder::choose(given, dir.path()), given);
    QVERIFY(QFileInfo(given).isDir());
}

void TstHomeFolder::writableProgramFolder()
{
    QTemporaryDir dir;
    QCOMPARE(HomeFolder::choose(QString(), dir.path()), dir.path());
    // The write probe leaves nothing behind.
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    QCOMPARE(HomeFolder::resolve(), QCoreApplication::applicationDirPath());
}

void TstHomeFolder::unwritableProgramFolder_data()
{
    QTest::addColumn<bool>("readOnlyDisk");
    QTest::addColumn<bool>("installed");
    QTest::newRow("read-only disk") << true << false;
    QTest::newRow("missing folder") << false << false;
    // An installed program (bin/ beside share/doc/tessaro/) never keeps its
    // files among the system's programs, even when it could (root).
    QTest::newRow("installed, writable") << false << true;
}

void TstHomeFolder::unwritableProgramFolder()
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

QTEST_GUILESS_MAIN(TstHomeFolder)
#include "tst_homefolder.moc"
