#pragma once

#include "SettingsReport.h"

#include "files/FileResult.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

// The settings as installed, for a site's records: a header (when, where, who,
// from which unit or file, which tool), the fourteen bulk settings with the
// value the screen shows, optionally beside other values with a mark where
// they differ, and the 39 event entries. One HTML text serves both the HTML
// file and the PDF, which adds "Page N of M" to every page.
namespace SiteReport {

enum class Format { Pdf, Html, Unknown };
// By the file name's extension, .pdf or .html in any case.
Format formatOf(const QString &path);

struct Contents
{
    QDateTime when;
    QString site;
    QString technician;
    QString sourceLabel; // "Unit" or "Settings file"
    QString source;      // the device and port, or the file
    QList<SettingsReport::Setting> settings; // items 0-249, as the screen shows them
    // The bulk items' values to compare with, where known, under this heading
    // ("Reference: FILE", "In the unit"); an empty heading compares nothing.
    QString comparedHeading;
    QMap<int, SettingsReport::Setting> compared;
    // Why the event table holds no values (they were not read); empty when it does.
    QString eventsNotRead;
    // Where the event entries' values come from: "Read from the unit", "As
    // shown on the screen, not read from the unit", "From the file FILE".
    QString eventsSource;

    // After a write in this run, or from a commission: the site record.
    struct WriteRecord
    {
        QMap<int, SettingsReport::Setting> before;   // the unit's values before (the backup)
        QMap<int, SettingsReport::Setting> written;  // the items written, as written
        QMap<int, SettingsReport::Setting> readBack; // what those read back as, where read back
        QString outcome;                             // the outcome line
        QString backupName;                          // the backup's file name; empty for none
    };
    std::optional<WriteRecord> write;
};

// The items of the 39 event entries, entry by entry: bleep code, event,
// pager address, fixed leading text.
QList<int> eventItems();

// The bulk items among items that differ from the compared values.
int differingCount(const Contents &contents);

// The whole report as one self-contained HTML document (inline CSS).
QString html(const Contents &contents);
// The report as a PDF, A4, with "Page N of M" at the foot of every page.
// Needs a QGuiApplication (fonts).
QByteArray pdf(const Contents &contents);
// Writes the report as its extension asks, replacing the file atomically.
FileResult save(const QString &path, const Contents &contents);

// The tool's name and version, "Tessaro 1.0".
QString toolVersion();
// The user's full name: on Unix the first field of the account's GECOS entry,
// else (or when empty) the login name from the environment.
QString defaultTechnician();
// "2026-12-07_ttyUSB0.pdf": the date and the device as a file name takes it.
QString proposedFileName(const QDate &date, const QString &device);

} // namespace SiteReport
