#include "Logfile.h"

#include "HomeFolder.h"
#include "Setup.h"

#include "model/Cp1252.h"
#include "model/Diverse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";

// Read access lets the append check how the file ends; without it the line is appended as it is.
bool openForAppend(QFile &file, bool *canRead)
{
    *canRead = file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered);
    return *canRead || file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool endsWithLineEnd(QFile &file, qint64 size)
{
    char last = 0;
    return file.seek(size - 1) && file.read(&last, 1) == 1 && last == '\n';
}

} // namespace

Logfile::Logfile(const Setup &setup, Diverse::LogLines &lines, const QString &homeFolder, Clock clock)
    : m_setup(setup)
    , m_lines(lines)
    , m_homeFolder(homeFolder)
    , m_clock(std::move(clock))
{
}

Logfile::~Logfile() = default;

void Logfile::WriteLogLine(const QString &text)
{
    const QDateTime now = m_clock();
    if (m_setup.Logfile == 0) {
        closeFile();
        return;
    }
    // One call, one line: every control character (a line break, an escape
    // code in a text read back from the unit) is shown by its name, in the
    // window as in the file, so neither a line break nor a terminal that
    // shows the file acts on it.
    const QString shown = Diverse::visibleText(text);
    const QString line = now.time().toString(QStringLiteral("HH:mm:ss")) + u' ' + shown;
    m_lines.AddLogLine(line);
    if (m_lineListener)
        m_lineListener(shown);
    // A line the file cannot take is lost without a word; the window shows it.
    appendLine(fileNameFor(now.date()), now, Cp1252::encodeLossy(line) + kLineEnd.toByteArray());
    if (!m_refusalToTell.isEmpty())
        showOnly(now, std::exchange(m_refusalToTell, QString()));
}

void Logfile::showOnly(const QDateTime &now, const QString &text)
{
    const QString shown = Diverse::visibleText(text);
    m_lines.AddLogLine(now.time().toString(QStringLiteral("HH:mm:ss")) + u' ' + shown);
    if (m_lineListener)
        m_lineListener(shown);
}

QString Logfile::refusalOf(const QString &path) const
{
    // A pipe or a device takes no appended line and has no end to look at
    // (and opening a pipe may wait for a reader); a folder fails to open by itself.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return QStringLiteral("it is not a regular file (a pipe, a device or a socket)");
    return HomeFolder::linkRefusal(m_homeFolder, path);
}

QString Logfile::logFolder() const
{
    return QDir(m_homeFolder).filePath(QStringLiteral("Log"));
}

QString Logfile::fileNameFor(const QDate &date) const
{
    return QDir(logFolder()).filePath(date.toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".log"));
}

void Logfile::closeFile()
{
    m_file.reset();
    m_openPath.clear();
    m_endAfterLastLine = -1;
}

bool Logfile::openFile(const QString &path)
{
    if (const QString reason = refusalOf(path); !reason.isEmpty()) {
        if (m_refusedPath != path) {
            m_refusedPath = path;
            m_refusalToTell = QStringLiteral("The log file %1 is not written: %2.")
                                  .arg(QDir::toNativeSeparators(path), reason);
        }
        return false;
    }
    m_refusedPath.clear();
    auto file = std::make_unique<QFile>(path);
    bool canRead = false;
    if (!openForAppend(*file, &canRead)) {
        // The first line ever: make the folder and try once more.
        const QString folder = logFolder();
        if (QFileInfo::exists(folder) || !QDir().mkpath(folder) || !openForAppend(*file, &canRead))
            return false;
    }
    m_file = std::move(file);
    m_openPath = path;
    m_canRead = canRead;
    m_endAfterLastLine = -1;
    return true;
}

bool Logfile::appendLine(const QString &path, const QDateTime &now, const QByteArray &bytes)
{
    // Another day, or another second: the file is opened afresh.
    const QDateTime second = now.addMSecs(-now.time().msec());
    if (m_file && (m_openPath != path || m_openedAt != second))
        closeFile();
    if (!m_file) {
        if (!openFile(path))
            return false;
        m_openedAt = second;
    }
    QFile &file = *m_file;
    const qint64 oldSize = file.size();
    QByteArray out;
    // A line torn off earlier (by us or by another program writing the same
    // file) must not run into this one. The file as our last line left it
    // ends with a line end.
    if (m_canRead && oldSize > 0 && oldSize != m_endAfterLastLine && !endsWithLineEnd(file, oldSize))
        out = kLineEnd.toByteArray();
    out += bytes;
    // Unbuffered, so a full disk shows as a short count; a half line is taken back.
    const qint64 written = file.write(out);
    if (written == out.size()) {
        m_endAfterLastLine = oldSize + written;
        return true;
    }
    if (written > 0)
        file.resize(oldSize);
    closeFile();
    return false;
}
