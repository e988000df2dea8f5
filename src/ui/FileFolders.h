#pragma once

#include "files/FileResult.h"

#include <QString>

struct Preferences;
struct Setup;

// Where the window's file dialogs start. The settings dialogs keep the
// configured folder (SetPath, else "Instellingen" in the program's folder)
// when it exists, and else the folder last used for settings files; the
// report and restore dialogs start in the folder last used for them. The
// folders last used are kept per user in the preferences.
class FileFolders
{
public:
    enum class Use { Settings, Report, Restore };

    FileFolders(Preferences &preferences, const QString &homeFolder) : m_preferences(preferences), m_home(homeFolder) {}

    // fallback: where the dialog starts when no remembered folder exists.
    QString start(Use use, const QString &fallback) const;
    // Keeps the folder of a file chosen in a dialog for the next one.
    FileResult remember(Use use, const QString &chosenFile);

private:
    QString &remembered(Use use) const;

    Preferences &m_preferences;
    QString m_home;
};
