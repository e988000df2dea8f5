#include "FileBytes.h"
#include "testsupport/TmpfsMount.h"

#include "binding/HeadlessItemControls.h"
#include "binding/Startup.h"
#include "files/Backups.h"
#include "files/LeesIniFile.h"
#include "files/Preferences.h"
#include "files/Setup.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The stores and the controls as the window has them after start-up.
struct Screen
{
    Stores stores;
    HeadlessItemControls controls;
    Screen() { Startup::FillChoiceLists(controls); }
};

QList<QByteArray> linesOf(const QByteArray &content)
{
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A settings file in which every item holds a value its control can show.
QByteArray showableSettingsFile()
{
    const QList<QByteArray> texts = {
        "", "Hal 3, bed 2", "  leading", "trailing  ", "a->b", "->", "\xe9\x80\x8a\x9f \xa9",
        QByteArray("nul\0inside", 10), "\x81\x8d\x8f\x90\x9d", "x\ty",
    };
    QByteArray file;
    for (int i = 0; i < Items::kItemCount; ++i) {
        QByteArray value;
        if (Items::isListItem(i))
            value = QByteArray::number(i % (ScreenDefinition::displayLimit(i) + 1));
        else if (Items::isHexDigitItem(i))
            value = QByteArray::number(i % 16);
        else if (i < 79)
            value = "0"; // hidden: always saved as 0
        else if (i < 100)
            value = QByteArray::number(i * 3 - 250);
        else if (i <= 143)
            value = QByteArray::number((i - 100) * 750);
        else if (i < 150)
            value = QList<QByteArray>{"-32768", "32767", "100000", "-5", "0", "123456789012"}[i - 144];
        else
            value = texts[i % texts.size()];
        file += QByteArray::number(i) + "    ->" + value + "\r\n";
    }
    return file;
}

// Puts a folder or a FIFO in a file's place; false when the system has no FIFOs.
bool makeInPlace(const QString &kind, const QString &name)
{
    if (kind == u"folder")
        return QDir().mkdir(name);
#ifdef Q_OS_UNIX
    if (kind == u"fifo")
        return ::mkfifo(QFile::encodeName(name).constData(), 0600) == 0;
#endif
    return kind == u"missing";
}

} // namespace

class TestLeesIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writtenFileLayout();
    void wholeNumbers_data();
    void wholeNumbers();
    void refusedSave_data();
    void refusedSave();
    void textRoundTrip_data();
    void textRoundTrip();
    void readingRules_data();
    void readingRules();
    void readReplacesEveryItem();
    void loadAndSaveIsByteIdentical();
    void oddFiles_data();
    void oddFiles();
    void unreadableSettingsFile_data();
    void unreadableSettingsFile();
    void unreadableDefaultSettings();
    void numberTooLargeToHold_data();
    void numberTooLargeToHold();
    void overlongLineEndsReading();
    void emptyPath();
    void writeToMissingFolder();
    void saveCleansUpAfterInterruptedSave();
    void diskFaultKeepsOldFile_data();
    void diskFaultKeepsOldFile();
    void homeFilesNotThroughLinks_data();
    void homeFilesNotThroughLinks();
    void backupsNeverReplaceOneAnother_data();
    void backupsNeverReplaceOneAnother();

    void setupFileBytes();
    void readSetup_data();
    void readSetup();
    void setupRoundTrip();
    void setupPathWithLineBreakIsRefused();
    void settingsStartFolder();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLeesIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLeesIniFile::writtenFileLayout()
{
    Screen screen;
    screen.controls.setComboIndex(0, 0);
    screen.controls.setComboIndex(7, 20);
    screen.controls.setText(100, QStringLiteral("250"));
    screen.controls.setText(151, QStringLiteral("Hal 3, bed 2"));
    const QString file = path(QStringLiteral("unit.cfg"));
    QVERIFY(LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, file));

    const QByteArray content = FileBytes::read(file);
    QCOMPARE(content.count("\r\n"), 250);
    QCOMPARE(content.count('\n'), 250);
    QCOMPARE(content.count('\r'), 250);
    QVERIFY(content.endsWith("\r\n"));
    const QList<QByteArray> lines = linesOf(content);
    QCOMPARE(lines[0], QByteArray("0    ->0\r"));
    QCOMPARE(lines[1], QByteArray("1    ->0\r")); // hidden combo box
    QCOMPARE(lines[5], QByteArray("5    ->-1\r")); // nothing chosen
    QCOMPARE(lines[7], QByteArray("7    ->20\r"));
    QCOMPARE(lines[100], QByteArray("100    ->250\r"));
    QCOMPARE(lines[101], QByteArray("101    ->0\r")); // empty box
    QCOMPARE(lines[150], QByteArray("150    ->\r"));
    QCOMPARE(lines[151], QByteArray("151    ->Hal 3, bed 2\r"));
    QVERIFY(lines[249].startsWith("249    ->"));
    // The screen went into the working and the file values first.
    QCOMPARE(Values::textOf(screen.stores.workingValues[7]), QStringLiteral("20"));
    QCOMPARE(Values::textOf(screen.stores.fileValues[151]), QStringLiteral("Hal 3, bed 2"));
}

void TestLeesIniFile::wholeNumbers_data()
{
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("half down to even") << "2.5" << QByteArray("2");
    QTest::newRow("half up to even") << "3.5" << QByteArray("4");
    QTest::newRow("negative half") << "-2.5" << QByteArray("-2");
    QTest::newRow("negative zero") << "-0.4" << QByteArray("0");
    QTest::newRow("beyond 16 bits") << "100000" << QByteArray("100000");
    QTest::newRow("beyond 64 bits") << "1e20" << QByteArray("100000000000000000000");
}

void TestLeesIniFile::wholeNumbers()
{
    QFETCH(QString, boxText);
    QFETCH(QByteArray, written);
    Screen screen;
    screen.controls.setText(120, boxText);
    const QString file = path(QStringLiteral("n.cfg"));
    QVERIFY(LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, file));
    QCOMPARE(linesOf(FileBytes::read(file))[120], "120    ->" + written + "\r");

    Screen reader;
    QVERIFY(LeesIniFile::ReadSettingsFile(reader.stores, reader.controls, file));
    QCOMPARE(Values::numberOf(reader.stores.fileValues[120]), written.toDouble());
}

void TestLeesIniFile::refusedSave_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("boxText");
    QTest::newRow("line feed in text") << 175 << QStringLiteral("first\nsecond");
    QTest::newRow("carriage return in text") << 160 << QStringLiteral("first\rsecond");
    QTest::newRow("no Windows-1252 byte") << 200 << QStringLiteral("snow \u2603");
    QTest::newRow("outside the basic plane") << 150 << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("infinite number") << 130 << QStringLiteral("1e999");
}

void TestLeesIniFile::refusedSave()
{
    QFETCH(int, item);
    QFETCH(QString, boxText);
    const QString file = path(QStringLiteral("old.cfg"));
    const QByteArray old("7    ->3\r\n");
    QVERIFY(FileBytes::write(file, old));

    Screen screen;
    screen.controls.setText(item, boxText);
    const FileResult result = LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, file);
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QStringLiteral("item %1").arg(item)), qPrintable(result.error));
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(file)), qPrintable(result.error));
    QCOMPARE(FileBytes::read(file), old);
    QCOMPARE(FileBytes::names(m_dir->path()), QStringList{QStringLiteral("old.cfg")});
}

void TestLeesIniFile::textRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("separator") << QStringLiteral("->");
    QTest::newRow("separators") << QStringLiteral("a->b -> c->");
    QTest::newRow("commas and blanks") << QStringLiteral("  1,2,, 3,  ");
    QTest::newRow("empty") << QString();
    QTest::newRow("Windows-1252") << QStringLiteral("\u20ac\u00e9\u0160\u0178\u00ff");
    QTest::newRow("tab and NUL") << QStringLiteral("a\tb") + QChar(0) + QStringLiteral("c");
}

void TestLeesIniFile::textRoundTrip()
{
    QFETCH(QString, text);
    Screen writer;
    writer.controls.setText(160, text);
    const QString file = path(QStringLiteral("t.cfg"));
    QVERIFY(LeesIniFile::WriteSettingsFile(writer.stores, writer.controls, file));

    Screen reader;
    QVERIFY(LeesIniFile::ReadSettingsFile(reader.stores, reader.controls, file));
    QCOMPARE(Values::textOf(reader.stores.workingValues[160]), text);
    QCOMPARE(reader.controls.text(160), text);
}

void TestLeesIniFile::readingRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("expected"); // text form of the file value

    QTest::newRow("only line") << QByteArray("7    ->20\r\n") << 7 << "20";
    QTest::newRow("later line wins") << QByteArray("7->1\r\n7->2\r\n") << 7 << "2";
    QTest::newRow("no separator changes nothing") << QByteArray("7->5\r\n7    9\r\n") << 7 << "5";
    QTest::newRow("no number is item 0") << QByteArray("abc->9\r\n") << 0 << "9";
    QTest::newRow("sign is no number") << QByteArray("-5->9\r\n") << 0 << "9";
    QTest::newRow("leading blanks") << QByteArray("  12->4\r\n") << 12 << "4";
    QTest::newRow("blank within number") << QByteArray("1 2->4\r\n") << 12 << "4";
    QTest::newRow("only four characters") << QByteArray("12345->4\r\n") << 12 << "0";
    QTest::newRow("item 250 ignored") << QByteArray("250->4\r\n2->1\r\n") << 2 << "1";
    QTest::newRow("value not a number") << QByteArray("7->abc\r\n") << 7 << "0";
    QTest::newRow("value with blanks") << QByteArray("7->  20 \r\n") << 7 << "20";
    QTest::newRow("value with fraction") << QByteArray("7->2.5\r\n") << 7 << "2.5";
    QTest::newRow("hexadecimal value") << QByteArray("100->&H10\r\n") << 100 << "16";
    QTest::newRow("text with separator") << QByteArray("150->x->y\r\n") << 150 << "x->y";
    QTest::newRow("text with blanks") << QByteArray("150->  a, b  \r\n") << 150 << "  a, b  ";

    // Line ends and unusual bytes.
    QTest::newRow("372d3e310d382d3e320d") << QByteArray("7->1\r8->2\r") << 8 << "2";
    QTest::newRow("372d3e310a382d3e32") << QByteArray("7->1\n8->2") << 8 << "2";
    QTest::newRow("372d3e310a0d0d0a392d3e33") << QByteArray("7->1\n\r\r\n9->3") << 9 << "3";
    QTest::newRow("0d0a0d0a372d3e35") << QByteArray("\r\n\r\n7->5") << 7 << "5";
    QTest::newRow("3135302d3e610062") << QByteArray("150->a\0b", 8) << 150 << QStringLiteral("a") + QChar(0) + "b";
    QTest::newRow("003135302d3e31") << QByteArray("\0" "150->1", 7) << 0 << "1";
    QTest::newRow("3135302d3e808d9f") << QByteArray("150->\x80\x8d\x9f") << 150 << "\u20ac\u008d\u0178";
    QTest::newRow("372d3eff") << QByteArray("7->\xff") << 7 << "0";
}

void TestLeesIniFile::readingRules()
{
    QFETCH(QByteArray, file);
    QFETCH(int, item);
    QFETCH(QString, expected);
    const QString name = path(QStringLiteral("r.cfg"));
    QVERIFY(FileBytes::write(name, file));
    Screen screen;
    QVERIFY(LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, name));
    QCOMPARE(Values::textOf(screen.stores.fileValues[item]), expected);
    QCOMPARE(Values::textOf(screen.stores.workingValues[item]), expected);
}

void TestLeesIniFile::readReplacesEveryItem()
{
    Screen screen;
    for (int i = 0; i < Items::kItemCount; ++i) {
        screen.stores.workingValues[i] = Values::integer(9);
        screen.stores.unitValues[i] = Values::integer(9);
    }
    const QString file = path(QStringLiteral("one.cfg"));
    QVERIFY(FileBytes::write(file, "7    ->20\r\n"));
    QVERIFY(LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, file));

    for (int i = 0; i < Items::kItemCount; ++i) {
        QVERIFY(std::holds_alternative<qint16>(screen.stores.unitValues[i]));
        QCOMPARE(Values::numberOf(screen.stores.unitValues[i]), -1.0);
        if (i < 150) {
            QVERIFY(std::holds_alternative<double>(screen.stores.workingValues[i]));
            QCOMPARE(Values::numberOf(screen.stores.workingValues[i]), i == 7 ? 20.0 : 0.0);
        } else {
            QCOMPARE(screen.stores.workingValues[i], Values::text(QString()));
        }
    }
    QCOMPARE(screen.controls.comboIndex(7), 20);
    QCOMPARE(screen.controls.comboIndex(5), 0);
}

void TestLeesIniFile::loadAndSaveIsByteIdentical()
{
    const QByteArray original = showableSettingsFile();
    const QString in = path(QStringLiteral("in.cfg"));
    const QString out = LeesIniFile::defaultSettingsPath(m_dir->path());
    QVERIFY(FileBytes::write(in, original));
    Screen screen;
    QVERIFY(LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, in));
    QVERIFY(LeesIniFile::WriteDefaultSettings(screen.stores, screen.controls, m_dir->path()));
    const QByteArray saved = FileBytes::read(out);
    const QList<QByteArray> want = linesOf(original);
    const QList<QByteArray> got = linesOf(saved);
    QCOMPARE(got.size(), want.size());
    for (int i = 0; i < want.size(); ++i)
        QCOMPARE(got[i], want[i]);
    QCOMPARE(saved, original);
}

void TestLeesIniFile::oddFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("length"); // of the item's text form

    const QByteArray mega(1024 * 1024, 'm');
    QTest::newRow("1 MB text value") << QByteArray("7->1\r\n200->" + mega + "\r\n") << 200 << int(mega.size());
    QTest::newRow("1 MB junk without line end") << QByteArray("7->1\r\n" + mega) << 7 << 1;
    QTest::newRow("1 MB of NUL bytes") << QByteArray(1024 * 1024, '\0') << 0 << 1;
    QByteArray everyByte;
    for (int round = 0; round < 64; ++round) {
        for (int b = 0; b < 256; ++b)
            everyByte.append(char((b * 37 + round) & 0xff));
    }
    QTest::newRow("every byte value") << everyByte << 150 << 0;
}

void TestLeesIniFile::oddFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(int, item);
    QFETCH(int, length);
    const QString name = path(QStringLiteral("odd.cfg"));
    QVERIFY(FileBytes::write(name, file));
    Screen screen;
    QVERIFY(LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, name));
    QCOMPARE(Values::textOf(screen.stores.workingValues[item]).size(), length);
}

void TestLeesIniFile::unreadableSettingsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << "does not exist";
    QTest::newRow("a folder") << "folder" << "is a folder";
#ifdef Q_OS_UNIX
    // Opening a FIFO for reading would wait for a writer for ever.
    QTest::newRow("a FIFO") << "fifo" << "not a regular file";
#endif
}

void TestLeesIniFile::unreadableSettingsFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString name = path(QStringLiteral("picked.cfg"));
    QVERIFY(makeInPlace(kind, name));
    Screen screen;
    screen.stores.fileValues[7] = Values::integer(4);
    screen.stores.workingValues[7] = Values::integer(5);
    screen.stores.unitValues[7] = Values::integer(6);
    screen.controls.setComboIndex(7, 5);
    const Stores before = screen.stores;

    const FileResult result = LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, name);
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(name)), qPrintable(result.error));
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QVERIFY(screen.stores.fileValues == before.fileValues);
    QVERIFY(screen.stores.workingValues == before.workingValues);
    QVERIFY(screen.stores.unitValues == before.unitValues);
    QCOMPARE(screen.controls.comboIndex(7), 5);

    // Nor is a save put in its place.
    if (kind != u"missing") {
        const FileResult saved = LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, name);
        QVERIFY(!saved);
        QVERIFY2(saved.error.contains(reason), qPrintable(saved.error));
        QVERIFY(!QFileInfo(name).isFile());
        QCOMPARE(FileBytes::names(m_dir->path()), QStringList{QStringLiteral("picked.cfg")});
    }
}

void TestLeesIniFile::unreadableDefaultSettings()
{
    // Missing, a folder or a FIFO in its place: each reads as an empty file, at once.
    for (const QString &kind : {QStringLiteral("missing"), QStringLiteral("folder"), QStringLiteral("fifo")}) {
        const QString name = LeesIniFile::defaultSettingsPath(m_dir->path());
        QDir().rmdir(name);
        QFile::remove(name);
        if (!makeInPlace(kind, name))
            continue; // no FIFOs here
        Screen screen;
        screen.controls.setText(150, QStringLiteral("old"));
        screen.stores.unitValues[7] = Values::integer(3);
        LeesIniFile::ReadDefaultSettings(screen.stores, screen.controls, m_dir->path());
        QCOMPARE(Values::numberOf(screen.stores.workingValues[7]), 0.0);
        QCOMPARE(Values::numberOf(screen.stores.unitValues[7]), -1.0);
        QCOMPARE(screen.stores.workingValues[150], Values::text(QString()));
        QCOMPARE(screen.controls.text(150), QString());
        QCOMPARE(screen.controls.comboIndex(7), 0);
        // The setup file alike.
        const QString setupName = LeesIniFile::setupFilePath(m_dir->path());
        QDir().rmdir(setupName);
        QFile::remove(setupName);
        QVERIFY(makeInPlace(kind, setupName));
        Setup setup{4, 2, QStringLiteral("x"), 3};
        LeesIniFile::ReadSetupFile(setup, m_dir->path());
        QCOMPARE(setup.Compoort, 0);
        QCOMPARE(setup.SetPath, QString());
    }
}

void TestLeesIniFile::numberTooLargeToHold_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("item without a control") << 95 << QByteArray("1e999");
    QTest::newRow("INT item without a box") << 146 << QByteArray("-1e999");
    QTest::newRow("400 digits") << 3 << QByteArray("1") + QByteArray(400, '0');
    QTest::newRow("INT box") << 120 << QByteArray("1e400");
}

// A number beyond a double is no value the tool can hold, show or save again:
// a picked file holding one is refused whole, the default file reads it as 0,
// and either way the next save succeeds.
void TestLeesIniFile::numberTooLargeToHold()
{
    QFETCH(int, item);
    QFETCH(QByteArray, value);
    const QByteArray content = "7    ->2\r\n" + QByteArray::number(item) + "    ->" + value + "\r\n";
    const QString picked = path(QStringLiteral("picked.cfg"));
    QVERIFY(FileBytes::write(picked, content));
    QVERIFY(FileBytes::write(LeesIniFile::defaultSettingsPath(m_dir->path()), content));

    Screen screen;
    screen.controls.setComboIndex(7, 5);
    screen.stores.workingValues[7] = Values::integer(5);
    const Stores before = screen.stores;
    const FileResult refused = LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, picked);
    QVERIFY(!refused);
    QVERIFY2(refused.error.contains(QStringLiteral("item %1").arg(item)), qPrintable(refused.error));
    QVERIFY(screen.stores.workingValues == before.workingValues);
    QCOMPARE(screen.controls.comboIndex(7), 5);
    QVERIFY(LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, path(QStringLiteral("a.cfg"))));

    LeesIniFile::ReadDefaultSettings(screen.stores, screen.controls, m_dir->path());
    QCOMPARE(Values::numberOf(screen.stores.workingValues[item]), 0.0);
    QCOMPARE(screen.controls.comboIndex(7), 2);
    const FileResult saved = LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, path(QStringLiteral("b.cfg")));
    QVERIFY2(saved, qPrintable(saved.error));
}

void TestLeesIniFile::overlongLineEndsReading()
{
    // Not a settings file: a picked one is refused whole, the default one keeps the lines before.
    const QString file = LeesIniFile::defaultSettingsPath(m_dir->path());
    QVERIFY(FileBytes::write(file, "7->1\r\n150->" + QByteArray(17 * 1024 * 1024, 'x') + "\r\n8->2\r\n"));
    Screen picked;
    QVERIFY(!LeesIniFile::ReadSettingsFile(picked.stores, picked.controls, file));
    QCOMPARE(picked.stores.workingValues[7], Values::integer(-1));
    Screen start;
    LeesIniFile::ReadDefaultSettings(start.stores, start.controls, m_dir->path());
    QCOMPARE(Values::numberOf(start.stores.workingValues[7]), 1.0);
    QCOMPARE(Values::numberOf(start.stores.workingValues[8]), 0.0);
    QCOMPARE(start.stores.workingValues[150], Values::text(QString()));
}

void TestLeesIniFile::emptyPath()
{
    Screen screen;
    screen.stores.workingValues[7] = Values::integer(5);
    QVERIFY(LeesIniFile::ReadSettingsFile(screen.stores, screen.controls, QString()));
    QCOMPARE(screen.stores.workingValues[7], Values::integer(5));
    QVERIFY(LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, QString()));
    QCOMPARE(screen.stores.workingValues[7], Values::integer(5)); // not even taken from the screen
    QVERIFY(FileBytes::names(m_dir->path()).isEmpty());
}

void TestLeesIniFile::writeToMissingFolder()
{
    Screen screen;
    const QString folder = path(QStringLiteral("gone"));
    const FileResult result =
        LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, folder + QStringLiteral("/unit.cfg"));
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QStringLiteral("does not exist")), qPrintable(result.error));
    QVERIFY(!QFileInfo::exists(folder));
    Setup setup;
    QVERIFY(!LeesIniFile::WriteSetupFile(setup, folder));
}

// A save killed between writing its temporary and renaming it leaves the
// temporary behind, complete. The next save of that file removes it, and
// nothing else: not another file's temporary, not a name of another shape,
// not a link or a folder. The saved file keeps its permissions and its owner;
// a link to it stays a link.
void TestLeesIniFile::saveCleansUpAfterInterruptedSave()
{
    const QString target = path(QStringLiteral("unit.cfg"));
    QVERIFY(FileBytes::write(target, "old"));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
#ifdef Q_OS_UNIX
    // Another user's file, saved over by root, stays that user's.
    constexpr uid_t kOtherUser = 4242;
    constexpr gid_t kOtherGroup = 4343;
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(QFile::encodeName(target).constData(), kOtherUser, kOtherGroup), 0);
    auto keepsOwner = [&] {
        return !root || (QFileInfo(target).ownerId() == kOtherUser && QFileInfo(target).groupId() == kOtherGroup);
    };
#else
    auto keepsOwner = [] { return true; };
#endif

    const QStringList stale = {
        QStringLiteral("unit.cfg.tessaro-save-k3x9q0"),
        QStringLiteral("unit.cfg.tessaro-save-AB12cd.Zz09yx"),
    };
    const QStringList kept = {
        QStringLiteral("other.cfg.tessaro-save-k3x9q0"), // another file's
        QStringLiteral("unit.cfg.tessaro-save-k3x9q"),   // other shapes
        QStringLiteral("unit.cfg.tessaro-save-k3x9q0x"),
        QStringLiteral("unit.cfg.tessaro-save-k3x9q!"),
        QStringLiteral("unit.cfg.k3x9q0"),
        QStringLiteral("unit.cfg.backup"),
        QStringLiteral("xunit.cfg.tessaro-save-k3x9q0"),
    };
    for (const QString &name : stale + kept)
        QVERIFY(FileBytes::write(path(name), "0    ->1\r\n"));
    QVERIFY(QFile::link(target, path(QStringLiteral("unit.cfg.tessaro-save-link00"))));
    QVERIFY(QDir().mkdir(path(QStringLiteral("unit.cfg.tessaro-save-fold00"))));

    Screen screen;
    screen.controls.setComboIndex(7, 3);
    const FileResult saved = LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, target);
    QVERIFY2(saved, qPrintable(saved.error));

    QStringList expected = kept;
    expected << QStringLiteral("unit.cfg") << QStringLiteral("unit.cfg.tessaro-save-fold00")
             << QStringLiteral("unit.cfg.tessaro-save-link00");
    expected.sort();
    QCOMPARE(FileBytes::names(m_dir->path()), expected);
    QVERIFY(FileBytes::read(target).contains("\r\n7    ->3\r\n"));
    QCOMPARE(QFile::permissions(target) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(keepsOwner());

    // Saved through a link, the file it names is replaced.
    const QString link = path(QStringLiteral("link.cfg"));
    QVERIFY(QFile::link(target, link));
    screen.controls.setComboIndex(7, 4);
    QVERIFY(LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, link));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(FileBytes::read(target).contains("\r\n7    ->4\r\n"));
    QVERIFY(keepsOwner());
}

void TestLeesIniFile::diskFaultKeepsOldFile_data()
{
    QTest::addColumn<bool>("setupFile");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("backup"); // a new backup beside the settings file: none is left
    QTest::newRow("settings file, full disk") << false << false << false;
    QTest::newRow("settings file, read-only disk") << false << true << false;
    QTest::newRow("setup file, full disk") << true << false << false;
    QTest::newRow("setup file, read-only disk") << true << true << false;
    QTest::newRow("backup, full disk") << false << false << true;
}

void TestLeesIniFile::diskFaultKeepsOldFile()
{
    QFETCH(bool, setupFile);
    QFETCH(bool, readOnly);
    QFETCH(bool, backup);
    TmpfsMount disk;
    if (!disk.isMounted())
        QSKIP(qPrintable(QStringLiteral("needs a tmpfs mount: ") + disk.error()));

    Screen screen;
    Setup setup{1, 2, QStringLiteral("/data/cfg"), 3};
    const QString file = setupFile ? LeesIniFile::setupFilePath(disk.path()) : disk.filePath(QStringLiteral("unit.cfg"));
    auto save = [&] {
        return setupFile ? LeesIniFile::WriteSetupFile(setup, disk.path())
                         : LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, file);
    };
    QVERIFY(save());
    const QByteArray old = FileBytes::read(file);
    QVERIFY(!old.isEmpty());

    if (backup)
        QVERIFY(QDir(disk.path()).mkdir(QStringLiteral("Backups")));
    if (readOnly)
        QVERIFY2(disk.remountReadOnly(), qPrintable(disk.error()));
    else
        QVERIFY(disk.fill());
    const QStringList namesBefore = FileBytes::names(disk.path());

    setup.SetPath = QStringLiteral("/somewhere/else/entirely");
    screen.controls.setComboIndex(7, 99);
    screen.controls.setText(200, QString(1000, u'z'));
    if (backup) {
        QVERIFY(QDir(disk.path()).exists(QStringLiteral("Backups")));
        const Backups::Saved kept = Backups::save(disk.path(), screen.stores.fileValues, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)),
                                                  QStringLiteral("/dev/ttyUSB0"));
        QVERIFY(!kept.ok());
        QVERIFY(kept.path.isEmpty());
        QVERIFY2(kept.error.contains(QStringLiteral("No file was written")), qPrintable(kept.error));
        QCOMPARE(FileBytes::names(Backups::folder(disk.path())), QStringList());
        return;
    }
    const FileResult result = save();
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(file)), qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("unchanged")), qPrintable(result.error));
    QCOMPARE(FileBytes::read(file), old);
    QCOMPARE(FileBytes::names(disk.path()), namesBefore);
}


void TestLeesIniFile::homeFilesNotThroughLinks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("link"); // "out" of the home folder, to "another owner"'s file, or "inside" it
    QTest::addColumn<QString>("reason"); // empty: saved through the link
    const QString out = QStringLiteral("it is a link that leads out of the home folder");
    QTest::newRow("Tessaro.set links out") << "setup" << "out" << out;
    QTest::newRow("default.set links out") << "default" << "out" << out;
    QTest::newRow("Backups links out") << "backup" << "out" << out;
    QTest::newRow("Preferences.ini links out") << "preferences" << "out" << out;
    QTest::newRow("default.set links to another owner's file")
        << "default" << "another owner" << "it is a link to a file of another owner";
    QTest::newRow("default.set links to a file of the home folder") << "default" << "inside" << "";
    // Beside the home folder, under a name that begins as its own does.
    QTest::newRow("default.set links to a folder named alike") << "default" << "alike" << out;
    QTest::newRow("default.set links out, to no file yet") << "default" << "out, to nothing" << out;
    QTest::newRow("home given through a link, default.set links inside") << "default" << "inside, home by link" << "";
    QTest::newRow("a settings file the operator names") << "settings" << "out" << "";
    QTest::newRow("a settings file through another user's link in a shared folder")
        << "settings" << "shared" << "it is another user's link in the shared folder";
    QTest::newRow("a settings file through the folder owner's link in a shared folder")
        << "settings" << "shared, folder owner's" << "";
}

// The home folder's own files are not written where a link laid in the home
// folder leads; a file the operator names may be anywhere.
void TestLeesIniFile::homeFilesNotThroughLinks()
{
    QFETCH(QString, file);
    QFETCH(QString, link);
    QFETCH(QString, reason);
    QTemporaryDir elsewhere;
    QString home = path(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    if (link == u"inside, home by link") {
        QVERIFY(QFile::link(home, path(QStringLiteral("home-link"))));
        home = path(QStringLiteral("home-link"));
    }
    const QString name = file == u"setup"     ? LeesIniFile::setupFilePath(home)
                         : file == u"default" ? LeesIniFile::defaultSettingsPath(home)
                         : file == u"backup"  ? Backups::folder(home)
                         : file == u"preferences" ? Preferences::filePath(home)
                                              : QDir(home).filePath(QStringLiteral("unit.cfg"));
    QString victim = elsewhere.filePath(QStringLiteral("victim"));
    if (link == u"another owner") {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            QSKIP("needs root, to give a file to another user");
        victim = QDir(home).filePath(QStringLiteral("theirs.set"));
        QVERIFY(FileBytes::write(victim, "theirs"));
        QCOMPARE(::chown(QFile::encodeName(victim).constData(), 4242, 4242), 0);
#else
        QSKIP("owners are a Unix matter here");
#endif
    } else if (link.startsWith(u"shared")) {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            QSKIP("needs root, to give a link to another user");
        QVERIFY(FileBytes::write(victim, "theirs"));
        QCOMPARE(::chmod(QFile::encodeName(home).constData(), 01777), 0);
        // The folder's owner is the user (root): the link belongs to a third user, or to the folder's owner.
        if (link == u"shared, folder owner's")
            QCOMPARE(::chown(QFile::encodeName(home).constData(), 4343, 4343), 0);
#else
        QSKIP("sticky folders are a Unix matter");
#endif
    } else if (link == u"alike") {
        QVERIFY(QDir().mkpath(home + QStringLiteral("2")));
        victim = home + QStringLiteral("2/default.set");
        QVERIFY(FileBytes::write(victim, "theirs"));
    } else if (link == u"out, to nothing") {
        // Nothing to keep: the file the link would make must not appear.
    } else if (link.startsWith(u"inside")) {
        victim = QDir(home).filePath(QStringLiteral("kept/default.set"));
        QVERIFY(QDir(home).mkdir(QStringLiteral("kept")));
        QVERIFY(FileBytes::write(victim, "theirs"));
    } else if (file != u"backup") {
        QVERIFY(FileBytes::write(victim, "theirs"));
    }
    QVERIFY(QFile::link(file == u"backup" ? elsewhere.path() : victim, name));
#ifdef Q_OS_UNIX
    if (link.startsWith(u"shared")) {
        const uid_t owner = link == u"shared" ? 4242 : 4343;
        QCOMPARE(::lchown(QFile::encodeName(name).constData(), owner, owner), 0);
    }
#endif

    Screen screen;
    FileResult saved;
    if (file == u"setup") {
        saved = LeesIniFile::WriteSetupFile(Setup{1, 2, QString(), 3}, home);
    } else if (file == u"default") {
        saved = LeesIniFile::WriteDefaultSettings(screen.stores, screen.controls, home);
    } else if (file == u"preferences") {
        saved = Preferences().write(home);
    } else if (file == u"backup") {
        const Backups::Saved backup = Backups::save(home, screen.stores.fileValues, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)),
                                                    QStringLiteral("/dev/ttyUSB0"));
        saved = backup.ok() ? FileResult::success() : FileResult::failure(backup.error);
    } else {
        saved = LeesIniFile::WriteSettingsFile(screen.stores, screen.controls, name);
    }
    if (reason.isEmpty()) {
        QVERIFY2(saved, qPrintable(saved.error));
        QVERIFY(FileBytes::read(victim).contains("\r\n249    ->"));
        return;
    }
    QVERIFY(!saved);
    QVERIFY2(saved.error.contains(reason), qPrintable(saved.error));
    if (file == u"backup" || link == u"out, to nothing")
        QCOMPARE(FileBytes::names(elsewhere.path()), QStringList());
    else
        QCOMPARE(FileBytes::read(victim), QByteArray("theirs"));
    QVERIFY(QFileInfo(name).isSymLink());
}
void TestLeesIniFile::backupsNeverReplaceOneAnother_data()
{
    QTest::addColumn<QStringList>("present"); // names in Backups before
    QTest::addColumn<int>("saves");           // at once, each from its own thread
    QTest::addColumn<QStringList>("kept");    // the new names
    auto n = [](const char *suffix) { return QStringLiteral("2026-01-02_030405_unit") + QLatin1String(suffix); };
    QTest::newRow("first of the second") << QStringList() << 1 << QStringList{n(".cfg")};
    QTest::newRow("second of the second") << QStringList{n(".cfg")} << 1 << QStringList{n("-2.cfg")};
    QTest::newRow("after -2 and a link to nothing at -3")
        << QStringList{n(".cfg"), n("-2.cfg"), n("-3.cfg>")} << 1 << QStringList{n("-4.cfg")};
    QStringList twelve{n(".cfg")};
    for (int i = 2; i <= 12; ++i)
        twelve << n(qPrintable(QStringLiteral("-%1.cfg").arg(i)));
    QTest::newRow("twelve runs at once on d0/unit, d1/unit, ...") << QStringList() << 12 << twelve;
}

// Runs in the same second on devices of the same name each keep their own
// complete file, under the name the file system gave it; nothing present is touched.
void TestLeesIniFile::backupsNeverReplaceOneAnother()
{
    QFETCH(QStringList, present);
    QFETCH(int, saves);
    QFETCH(QStringList, kept);
    const QString home = m_dir->path();
    const QString folder = Backups::folder(home);
    QVERIFY(QDir().mkpath(folder));
    for (const QString &name : std::as_const(present)) {
        if (name.endsWith(u'>'))
            QVERIFY(QFile::link(QDir(folder).filePath(QStringLiteral("gone")), QDir(folder).filePath(name.chopped(1))));
        else
            QVERIFY(FileBytes::write(QDir(folder).filePath(name), "kept before"));
    }
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5));
    std::vector<Backups::Saved> results(saves);
    std::vector<std::unique_ptr<QThread>> threads;
    QSemaphore start;
    for (int t = 0; t < saves; ++t) {
        threads.push_back(std::unique_ptr<QThread>(QThread::create([&, t] {
            Stores::ValueStore values;
            values.fill(Values::integer(0));
            values[14] = Values::integer(t);
            start.acquire();
            results[t] = Backups::save(home, values, when, QStringLiteral("/dev/d%1/unit").arg(t));
        })));
        threads.back()->start();
    }
    start.release(saves);
    for (const auto &thread : threads)
        QVERIFY(thread->wait(30000));

    QStringList all = (kept + present).replaceInStrings(QStringLiteral(">"), QString());
    all.sort();
    QCOMPARE(FileBytes::names(folder), all);
    QStringList paths;
    for (int t = 0; t < saves; ++t) {
        QVERIFY2(results[t].ok(), qPrintable(results[t].error));
        paths << results[t].path;
        QMap<int, LeesIniFile::ValueLine> lines;
        QVERIFY(LeesIniFile::readValueLines(results[t].path, &lines).ok);
        QCOMPARE(lines.size(), 250);
        QCOMPARE(lines.value(14).text, QString::number(t));
    }
    paths.removeDuplicates();
    QCOMPARE(paths.size(), saves);
    for (const QString &name : std::as_const(present)) {
        if (!name.endsWith(u'>'))
            QCOMPARE(FileBytes::read(QDir(folder).filePath(name)), QByteArray("kept before"));
    }
}

void TestLeesIniFile::setupFileBytes()
{
    QVERIFY(LeesIniFile::WriteSetupFile(Setup{0, 2, QString(), 3}, m_dir->path()));
    QCOMPARE(FileBytes::read(path(QStringLiteral("Tessaro.set"))),
             QByteArray("0        Compoort ->0\r\n"
                        "1      Logfile ->2\r\n"
                        "2       SetPath ->\r\n"
                        "3       UnitType ->3\r\n"));
    QVERIFY(LeesIniFile::WriteSetupFile(Setup{-4, 0, QStringLiteral("C:\\Data, 2024\\h\u00e9 "), 32767},
                                        m_dir->path()));
    QCOMPARE(FileBytes::read(path(QStringLiteral("Tessaro.set"))),
             QByteArray("0        Compoort ->-4\r\n"
                        "1      Logfile ->0\r\n"
                        "2       SetPath ->C:\\Data, 2024\\h\xe9 \r\n"
                        "3       UnitType ->32767\r\n"));
}

void TestLeesIniFile::readSetup_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file
    QTest::addColumn<int>("compoort");
    QTest::addColumn<int>("logfile");
    QTest::addColumn<QString>("setPath");
    QTest::addColumn<int>("unitType");

    QTest::newRow("no file") << QByteArray() << 0 << 0 << "" << 0;
    QTest::newRow("other order and labels") << QByteArray("3 type ->5\r\n2 p->C:\\x\r\n0 port->2\r\n1->1\r\n")
                                            << 2 << 1 << "C:\\x" << 5;
    QTest::newRow("later line wins") << QByteArray("0->1\r\n0->3\r\n") << 3 << 0 << "" << 0;
    QTest::newRow("halves to even") << QByteArray("0->2.5\r\n1->3.5\r\n3->-1.5\r\n") << 2 << 4 << "" << -2;
    QTest::newRow("out of 16 bits") << QByteArray("0->40000\r\n1->-32769\r\n3->-32768\r\n") << 0 << 0 << ""
                                    << -32768;
    QTest::newRow("not a number") << QByteArray("0->COM3\r\n") << 0 << 0 << "" << 0;
    QTest::newRow("path with separator and commas")
        << QByteArray("2       SetPath -> a->b, c \r\n") << 0 << 0 << " a->b, c " << 0;
    QTest::newRow("other numbers ignored") << QByteArray("4->7\r\n12->7\r\n") << 0 << 0 << "" << 0;
    QTest::newRow("302d3e310a312d3e320d332d3e33") << QByteArray("0->1\n1->2\r3->3") << 1 << 2 << "" << 3;
}

void TestLeesIniFile::readSetup()
{
    QFETCH(QByteArray, file);
    QFETCH(int, compoort);
    QFETCH(int, logfile);
    QFETCH(QString, setPath);
    QFETCH(int, unitType);
    if (!file.isEmpty())
        QVERIFY(FileBytes::write(LeesIniFile::setupFilePath(m_dir->path()), file));
    Setup setup{9, 9, QStringLiteral("stale"), 9};
    LeesIniFile::ReadSetupFile(setup, m_dir->path());
    QCOMPARE(int(setup.Compoort), compoort);
    QCOMPARE(int(setup.Logfile), logfile);
    QCOMPARE(setup.SetPath, setPath);
    QCOMPARE(int(setup.UnitType), unitType);
}

void TestLeesIniFile::setupRoundTrip()
{
    const Setup written{-32768, 2, QStringLiteral("  D:\\cfg, old -> new  "), 3};
    QVERIFY(LeesIniFile::WriteSetupFile(written, m_dir->path()));
    Setup read;
    LeesIniFile::ReadSetupFile(read, m_dir->path());
    QCOMPARE(read.Compoort, written.Compoort);
    QCOMPARE(read.Logfile, written.Logfile);
    QCOMPARE(read.SetPath, written.SetPath);
    QCOMPARE(read.UnitType, written.UnitType);
}

void TestLeesIniFile::setupPathWithLineBreakIsRefused()
{
    QVERIFY(LeesIniFile::WriteSetupFile(Setup{0, 2, QString(), 3}, m_dir->path()));
    const QByteArray old = FileBytes::read(LeesIniFile::setupFilePath(m_dir->path()));
    const FileResult result = LeesIniFile::WriteSetupFile(Setup{0, 2, QStringLiteral("a\nb"), 3}, m_dir->path());
    QVERIFY(!result);
    QVERIFY2(result.error.contains(QStringLiteral("Tessaro.set")), qPrintable(result.error));
    QCOMPARE(FileBytes::read(LeesIniFile::setupFilePath(m_dir->path())), old);
}

void TestLeesIniFile::settingsStartFolder()
{
    Setup setup;
    QCOMPARE(LeesIniFile::settingsStartFolder(setup, QStringLiteral("/opt/tessaro")),
             QStringLiteral("/opt/tessaro/Instellingen"));
    QCOMPARE(LeesIniFile::settingsStartFolder(setup, QStringLiteral("/opt/tessaro/")),
             QStringLiteral("/opt/tessaro/Instellingen"));
    setup.SetPath = QStringLiteral("/data/units");
    QCOMPARE(LeesIniFile::settingsStartFolder(setup, QStringLiteral("/opt/tessaro")), setup.SetPath);
}

QTEST_GUILESS_MAIN(TestLeesIniFile)
#include "tst_leesinifile.moc"
