#pragma once

#include "report/SettingsReport.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the command line checks of its files and folders before the port
// opens, each problem in one line, "NAME: WHY", naming link loops,
// permissions and missing files as what they are. Empty when all is well.
namespace FileChecks {

// A path that leads nowhere: "NAME: WHY" (no such file, the symbolic links
// loop, permission denied); empty when it leads somewhere.
QString reachProblem(const QString &path);

// A file to read: there, reachable, a regular file that can be opened.
QString inputProblem(const QString &path);

// Whether at least one line is a settings record: a number 0-249, a label or
// blanks, "->" and the value.
bool holdsSettings(const QByteArray &content);

// A settings file to read: inputProblem, then "FILE holds no settings".
QString settingsFileProblem(const QString &path);

// A settings file as the window shows it after "Read from file": checked as
// settingsFileProblem does, then read; false and why when it cannot be.
bool loadSettings(const QString &path, QList<SettingsReport::Setting> *settings, QString *error);

// Where read-all saves: a regular file or none yet, in a folder where files
// can be made (not a device, a pipe or /dev/null).
QString outputProblem(const QString &path);

// The path names the very file standard output is (/dev/stdout,
// /proc/self/fd/1, a link to the terminal or the file it goes to).
bool isStandardOutput(const QString &path);

// Why no file can be made in the folder.
QString folderProblem(const QString &folder);

} // namespace FileChecks
