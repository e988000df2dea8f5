#include "FileFolders.h"

#include "files/Preferences.h"

#include <QFileInfo>

QString &FileFolders::remembered(Use use) const
{
    switch (use) {
    case Use::Settings: return m_preferences.settingsFolder;
    case Use::Report: return m_preferences.reportFolder;
    case Use::Restore: break;
    }
    return m_preferences.restoreFolder;
}

QString FileFolders::start(Use use, const QString &fallback) const
{
    // The configured settings folder comes first while it is there.
    if (use == Use::Settings && QFileInfo(fallback).isDir())
        return fallback;
    const QString &last = remembered(use);
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : fallback;
}

FileResult FileFolders::remember(Use use, const QString &chosenFile)
{
    const QString folder = QFileInfo(chosenFile).absolutePath();
    QString &last = remembered(use);
    if (last == folder)
        return FileResult::success();
    last = folder;
    return m_preferences.write(m_home);
}
