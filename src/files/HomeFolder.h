#pragma once

#include <QString>

// The folder that holds Tessaro.set, default.set and Log/: the given folder
// when there is one (--home), else the program's folder when it is writable,
// else the per-user application data folder. The folder is created if missing.
namespace HomeFolder {

QString resolve(const QString &overrideFolder = QString());

// "--home DIR" or "--home=DIR" from a command line; empty when absent.
QString fromArguments(const QStringList &arguments);

} // namespace HomeFolder
