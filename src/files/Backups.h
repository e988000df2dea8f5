#pragma once

#include "model/Stores.h"

#include <QDateTime>
#include <QString>

// The unit's values kept before each write-all: ordinary settings files in
// the home folder's Backups folder, named by date, time and device, e.g.
// Backups/2026-12-07_104512_ttyUSB0.cfg.
namespace Backups {

QString folder(const QString &homeFolder);
// A device (a path or a name) as part of a file name: its last part, with
// anything but ASCII letters, digits, '-' and '_' as '_'; "unit" for none.
QString deviceFileTag(const QString &device);
// The file name for a backup taken at when from device (a path or a name).
QString fileName(const QDateTime &when, const QString &device);

struct Saved
{
    QString path;  // the file written
    QString error; // why nothing was written; empty when it was
    bool ok() const { return error.isEmpty(); }
};

// Writes values as a settings file in the folder, which is made when missing.
// A second backup within the same second gets a number after the time
// ("-2", "-3", ...): the file is created exclusively, so no backup ever
// replaces another, whichever program writes it. Refused through a link out
// of the home folder; a short write or a full disk leaves no file.
Saved save(const QString &homeFolder, const Stores::ValueStore &values, const QDateTime &when, const QString &device);

} // namespace Backups
