#pragma once

#include "FileResult.h"

#include <QString>

// The operator's own choices in the window, kept per user beside Tessaro.set
// (whose lines are fixed) in Preferences.ini: one "Name=value" line each,
// CR LF, Windows-1252. A missing or unreadable file, or a line not
// understood, leaves the defaults.
struct Preferences
{
    bool readBack = true; // "Read back after writing"
    // The folders last used in the file dialogs; empty: none yet.
    QString settingsFolder;
    QString reportFolder;
    QString restoreFolder;
    // The report's site and technician as last written in.
    QString site;
    QString technician;
    // The network port chosen in the port dialog (rfc2217://HOST:PORT,
    // tcp://HOST:PORT), opened in place of the numbered serial port; empty: none.
    QString networkPort;

    static QString filePath(const QString &homeFolder);
    static Preferences read(const QString &homeFolder);
    // Replaces the file whole; on failure the old one stays.
    FileResult write(const QString &homeFolder) const;
};
