#pragma once

#include "FileResult.h"

#include "model/Stores.h"

#include <QString>

#include <QList>
#include <QMap>

#include <optional>

class ItemControls;
struct Setup;

// The setup file and the settings files. Writers replace a file atomically:
// on any failure the old file stays as it was, byte for byte, and the result
// says what went wrong.
namespace LeesIniFile {

QString setupFilePath(const QString &homeFolder);
QString defaultSettingsPath(const QString &homeFolder);
// Where the settings-file dialogs start: SetPath, else Instellingen in the home folder.
QString settingsStartFolder(const Setup &setup, const QString &homeFolder);

// A missing or unreadable file reads as empty; a number outside 16 bits reads as 0.
void ReadSetupFile(Setup &setup, const QString &homeFolder);
FileResult WriteSetupFile(const Setup &setup, const QString &homeFolder);

// Takes the screen's values into the working and file values, then writes the
// 250 lines. A text with a line break or a character without a Windows-1252
// byte, or a number that is not finite, refuses the whole save. An empty path
// does nothing.
FileResult WriteSettingsFile(Stores &stores, ItemControls &controls, const QString &path);
// Writes the 250 lines from the given values, the screen untouched; refuses
// as WriteSettingsFile does. With homeFolder given, the file is one of the
// home folder's own (a backup) and is not written through a link out of it.
FileResult writeSettingsValues(const Stores::ValueStore &values, const QString &path,
                               const QString &homeFolder = QString());
// The 250 lines of a settings file for the given values, CR LF ended; a
// failure (naming path) refuses as writeSettingsValues does.
FileResult settingsContent(const Stores::ValueStore &values, const QString &path, QByteArray *content);
// Reads every item from the file into the file and working values, forgets the
// unit's values, and shows the result. A file that is missing or cannot be read
// to its end changes nothing and gives a failure. An empty path does nothing.
FileResult ReadSettingsFile(Stores &stores, ItemControls &controls, const QString &path);

FileResult WriteDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder);
// Like ReadSettingsFile, but a missing or unreadable file reads as empty (every
// item 0 or empty text), and a failure midway keeps the lines before it.
void ReadDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder);

// A line of a setup or settings file that carries a value: the number at its
// start and the text after its first "->".
struct Record
{
    int number = 0;
    QString valueText;
};
// Blanks and tabs within the first four characters are skipped, digits are
// read up to the first other character; no digits make the number 0. A line
// without "->" (an empty one included) carries nothing.
std::optional<Record> parseRecord(const QByteArray &line);

// The value text each item 0-249 has in a settings file, with its line number
// (1 for the first line); of two lines for one item the later counts. Items
// without a line are not in the map.
struct ValueLine
{
    int line = 0;
    QString text;
};
FileResult readValueLines(const QString &path, QMap<int, ValueLine> *lines);

// A value in a settings file that cannot be sent to the unit.
struct UnsendableValue
{
    int item = -1;
    int line = 0;
    QString text;
    QString problem; // why, naming the value
};
// The listed items' values in lines that cannot be sent; items without a line are left out.
QList<UnsendableValue> unsendableValues(const QMap<int, ValueLine> &lines, const QList<int> &items);

} // namespace LeesIniFile
