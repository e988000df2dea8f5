#pragma once

#include "FileResult.h"

#include <QString>

class ItemControls;
class Stores;
struct Setup;

// The setup file and the settings files. Writers replace a file atomically:
// on any failure the old file stays as it was, byte for byte, and the result
// says what went wrong.
namespace LeesIniFile {

QString setupFilePath(const QString &homeFolder);
QString defaultSettingsPath(const QString &homeFolder);
// Where the settings-file dialogs start: SetPath, else Instellingen in the home folder.
QString settingsStartFolder(const Setup &setup, const QString &homeFolder);

void ReadSetupFile(Setup &setup, const QString &homeFolder);
FileResult WriteSetupFile(const Setup &setup, const QString &homeFolder);

// Takes the screen's values into the working and file values, then writes the file.
FileResult WriteSettingsFile(Stores &stores, ItemControls &controls, const QString &path);
// Reads every item from the file into the file and working values, forgets the
// unit's values, and shows the result. A missing file reads as empty.
FileResult ReadSettingsFile(Stores &stores, ItemControls &controls, const QString &path);

FileResult WriteDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder);
void ReadDefaultSettings(Stores &stores, ItemControls &controls, const QString &homeFolder);

} // namespace LeesIniFile
