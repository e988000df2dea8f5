#include "HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
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

QString choose(const QString &overrideFolder, const QString &programFolder)
{
    QString folder;
    if (!overrideFolder.isEmpty())
        folder = QDir(overrideFolder).absolutePath();
    else if (!programFolder.isEmpty() && isWritableFolder(programFolder))
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
