#include "HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace HomeFolder {

bool isWritableFolder(const QString &folder)
{
    // Permission bits do not tell (root writes everywhere, a read-only disk
    // refuses everyone): try to make a file.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tessaro-probe-XXXXXX")));
    return probe.open();
}

QString linkRefusal(const QString &homeFolder, const QString &path)
{
    const QString home = QFileInfo(homeFolder).canonicalFilePath();
    if (home.isEmpty())
        return QString(); // no home folder: nothing gets written there anyway
    const QFileInfo info(path);
    QString reached; // where a write would land, every link resolved
    if (info.exists()) {
        reached = info.canonicalFilePath();
    } else {
        // A link to nothing yet creates its target; a missing file, itself.
        const QFileInfo file(info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath());
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (folder.isEmpty())
            return info.isSymLink() ? QStringLiteral("it is a link that leads out of the home folder") : QString();
        reached = folder + u'/' + file.fileName();
    }
    if (!reached.startsWith(home + u'/'))
        return QStringLiteral("it is a link that leads out of the home folder");
#ifdef Q_OS_UNIX
    // Made by someone else than the file's owner: a trap laid for whoever writes it.
    struct stat link;
    if (info.isSymLink() && info.exists() && ::lstat(QFile::encodeName(path).constData(), &link) == 0
        && link.st_uid != info.ownerId())
        return QStringLiteral("it is a link to a file of another owner");
#endif
    return QString();
}

bool isInstalledProgramFolder(const QString &folder)
{
    // `cmake --install` and the Debian package put the programs in PREFIX/bin
    // and the documentation in PREFIX/share/doc/tessaro; a build tree has no
    // such folder beside its bin.
    const QDir programs(folder);
    return programs.dirName() == QStringLiteral("bin")
           && QFileInfo(programs.filePath(QStringLiteral("../share/doc/tessaro"))).isDir();
}

QString choose(const QString &overrideFolder, const QString &programFolder)
{
    QString folder;
    if (!overrideFolder.isEmpty())
        folder = QDir(overrideFolder).absolutePath();
    else if (!programFolder.isEmpty() && !isInstalledProgramFolder(programFolder) && isWritableFolder(programFolder))
        folder = QDir(programFolder).absolutePath();
    else // one folder for every program of the tool, whatever its own name
        folder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                     .filePath(QStringLiteral("Tessaro"));
    QDir().mkpath(folder);
    return folder;
}

QString resolve(const QString &overrideFolder)
{
    return choose(overrideFolder, QCoreApplication::applicationDirPath());
}

} // namespace HomeFolder
