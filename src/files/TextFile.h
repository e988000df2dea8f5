#pragma once

#include "FileResult.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Line-by-line reading and all-or-nothing replacing of the tool's text files.
namespace TextFile {

enum class ReadStatus {
    Complete,   // every line was delivered
    Missing,    // no such file: nothing was delivered
    NotAFile,   // a folder, a pipe, a device: refused before opening, nothing was delivered
    CannotOpen, // nothing was delivered
    ReadError   // the lines before the failure (or an overlong line) were delivered
};

struct ReadOutcome
{
    ReadStatus status = ReadStatus::Complete;
    QString error; // names the file and the reason; empty when complete
};

// Calls onLine for every line of the file, without its line end. CR LF, a lone
// CR and a lone LF each end a line; a last line without a line end counts too.
// Empty lines are delivered as well. A line over 16 MB ends the reading. Only
// a regular file is opened: a folder, a pipe or a device is refused at once.
ReadOutcome forEachLine(const QString &path, const std::function<void(const QByteArray &line)> &onLine);

// Replaces the file with content through a temporary file in the same folder,
// "<name>.tessaro-save-XXXXXX", renamed over the old one only when every byte
// reached the disk; such temporaries of this file left by an interrupted save
// are removed first. The new file gets the old one's mode and, where the
// process may give it, its owner and group. A link is followed; a folder, a
// pipe or a device in the file's place is refused. On failure the old file is untouched and the result
// names the file (as "the <what>") and the reason. A file of the home folder
// (homeFolder given) is not written through a link that leads out of the
// home folder or to a file of another owner (see HomeFolder::linkRefusal).
FileResult replaceAtomically(const QString &path, const QByteArray &content, const QString &what,
                             const QString &homeFolder = QString());

// Makes a new file at path and writes content into it; an existing file or
// link at path is never opened or replaced: then *taken is set and nothing
// is written. A short write or a full disk removes the file again, so a
// failure leaves no file behind. On failure the result names the file (as
// "the <what>") and the reason.
FileResult writeNew(const QString &path, const QByteArray &content, const QString &what, bool *taken);

// Why a link at path is not followed for writing, as the kernel's
// protected-symlinks rule has it: a link in a world-writable sticky folder
// (/tmp) that belongs neither to the user nor to the folder's owner is a
// trap laid for whoever writes through it. Empty when it may be followed.
QString sharedFolderLinkRefusal(const QString &path);

// The path as the operator knows it (native separators).
QString displayName(const QString &path);

} // namespace TextFile
