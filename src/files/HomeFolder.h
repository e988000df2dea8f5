#pragma once

#include <QString>
#include <QStringList>

// The folder that holds Tessaro.set, default.set and Log/: the given folder
// when there is one (--home), else the program's folder when it is writable
// and not an installed program's (a build tree, a copied folder), else the
// per-user data folder "Tessaro", shared by every program of the tool. The
// folder is created if missing.
namespace HomeFolder {

QString resolve(const QString &overrideFolder = QString());

// The same choice with the program's folder given.
QString choose(const QString &overrideFolder, const QString &programFolder);

// True for PREFIX/bin of an installation (share/doc/tessaro beside it).
bool isInstalledProgramFolder(const QString &folder);

// True when a file can actually be created in the folder.
bool isWritableFolder(const QString &folder);

// Why the home folder's own file at path (the daily log, Tessaro.set,
// default.set, a backup) must not be written through the link that stands
// for it or for a folder on its way: the file it leads to lies outside the
// home folder, or belongs to another owner than the link. Empty when the file
// may be written.
QString linkRefusal(const QString &homeFolder, const QString &path);

} // namespace HomeFolder
