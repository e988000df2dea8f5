#include "HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace HomeFolder {

bool isWritableFolder(const QString &folder)
{
    // Permission bits do not tell (root writes everywhere, a read-only disk
    // refuses everyone): try to make a file.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tessaro-probe-XXXXXX")));
    return probe.open();
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
