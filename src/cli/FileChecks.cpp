#include "FileChecks.h"

#include "binding/HeadlessItemControls.h"
#include "binding/Startup.h"
#include "files/LeesIniFile.h"
#include "files/TextFile.h"
#include "model/Items.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileChecks {
namespace {

// Large enough for any settings file (250 lines), small enough to read at once.
constexpr qint64 kMaxSettingsBytes = 1 << 20;

QString name(const QString &path)
{
    return TextFile::displayName(path);
}

#ifdef Q_OS_UNIX
// The system's reason for a path that cannot be reached, in the tool's words
// where they say more.
QString errnoText(int error)
{
    switch (error) {
    case ENOENT: return QStringLiteral("no such file or folder");
    case ELOOP: return QStringLiteral("the symbolic links loop");
    case EACCES: return QStringLiteral("permission denied");
    case ENOTDIR: return QStringLiteral("a file stands where the path needs a folder");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

// 0 when the path leads somewhere; else the system's error number.
int reachError(const QString &path, struct stat *st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0 ? 0 : errno;
}
#endif

} // namespace

QString reachProblem(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (const int error = reachError(path, &st); error != 0)
        return QStringLiteral("%1: %2").arg(name(path), errnoText(error));
#else
    if (!QFileInfo::exists(path))
        return QStringLiteral("%1: no such file or folder").arg(name(path));
#endif
    return QString();
}

QString inputProblem(const QString &path)
{
    if (const QString problem = reachProblem(path); !problem.isEmpty())
        return problem;
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1: a folder, not a file").arg(name(path));
    if (!info.isFile())
        return QStringLiteral("%1: not a regular file").arg(name(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(name(path), file.errorString().toLower());
    return QString();
}

bool holdsSettings(const QByteArray &content)
{
    for (const QByteArray &line : content.split('\n')) {
        qsizetype i = 0;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype digits = i;
        int number = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9' && number < Items::kItemCount)
            number = number * 10 + (line[i++] - '0');
        if (i > digits && number < Items::kItemCount && line.indexOf("->", i) >= 0)
            return true;
    }
    return false;
}

QString settingsFileProblem(const QString &path)
{
    if (const QString problem = inputProblem(path); !problem.isEmpty())
        return problem;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(name(path), file.errorString().toLower());
    if (!holdsSettings(file.read(kMaxSettingsBytes)))
        return QStringLiteral("%1 holds no settings").arg(name(path));
    return QString();
}

bool loadSettings(const QString &path, QList<SettingsReport::Setting> *settings, QString *error)
{
    if (path.isEmpty()) {
        *error = QStringLiteral("no settings file named");
        return false;
    }
    if (const QString problem = settingsFileProblem(path); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    HeadlessItemControls controls;
    Startup::FillChoiceLists(controls);
    Stores stores;
    const FileResult read = LeesIniFile::ReadSettingsFile(stores, controls, path);
    if (!read) {
        *error = read.error;
        return false;
    }
    *settings = SettingsReport::allSettings(stores, controls);
    return true;
}

QString outputProblem(const QString &path)
{
    const QFileInfo info(path);
#ifdef Q_OS_UNIX
    struct stat st = {};
    const int error = reachError(path, &st);
    // Not there yet is fine; a loop, a file in the way or no permission is not.
    if (error != 0 && error != ENOENT)
        return QStringLiteral("%1: %2").arg(name(path), errnoText(error));
    if (error == 0 && S_ISDIR(st.st_mode))
        return QStringLiteral("%1: a folder, not a file").arg(name(path));
    if (error == 0 && !S_ISREG(st.st_mode))
        return QStringLiteral("%1: not a regular file (a device, a pipe or a terminal); \"-\" writes to standard output")
            .arg(name(path));
#else
    if (info.isDir())
        return QStringLiteral("%1: a folder, not a file").arg(name(path));
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1: not a regular file; \"-\" writes to standard output").arg(name(path));
#endif
    if (const QString refusal = TextFile::sharedFolderLinkRefusal(path); !refusal.isEmpty())
        return QStringLiteral("%1: %2").arg(name(path), refusal);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1: the folder %2 does not exist").arg(name(path), name(folder));
    if (const QString problem = folderProblem(folder); !problem.isEmpty())
        return QStringLiteral("%1: cannot make files in its folder: %2").arg(name(path), problem);
    return QString();
}

bool isStandardOutput(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat named = {};
    struct stat output = {};
    return ::stat(QFile::encodeName(path).constData(), &named) == 0 && ::fstat(STDOUT_FILENO, &output) == 0
           && named.st_dev == output.st_dev && named.st_ino == output.st_ino;
#else
    return path.compare(QStringLiteral("CON"), Qt::CaseInsensitive) == 0;
#endif
}

QString folderProblem(const QString &folder)
{
#ifdef Q_OS_UNIX
    struct stat st = {};
    if (const int error = reachError(folder, &st); error != 0)
        return errnoText(error);
#endif
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("not a folder");
    // Permission bits do not tell (root writes everywhere, a read-only disk
    // refuses everyone): try to make a file.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tessaro-probe-XXXXXX")));
    if (probe.open())
        return QString();
    return probe.errorString().toLower();
}

} // namespace FileChecks
