#include "Backups.h"

#include "HomeFolder.h"
#include "LeesIniFile.h"
#include "TextFile.h"

#include <QDir>
#include <QFileInfo>

namespace Backups {
namespace {

// Names tried for one second and device before giving up.
constexpr int kMostPerSecond = 1000;

} // namespace

QString folder(const QString &homeFolder)
{
    return QDir(homeFolder).filePath(QStringLiteral("Backups"));
}

QString deviceFileTag(const QString &device)
{
    // Only what every file system takes: a device path becomes its last part.
    QString name = QFileInfo(device).fileName();
    for (QChar &c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_')
            c = u'_';
    }
    return name.isEmpty() ? QStringLiteral("unit") : name;
}

QString fileName(const QDateTime &when, const QString &device)
{
    return when.toString(QStringLiteral("yyyy-MM-dd_HHmmss")) + QLatin1Char('_') + deviceFileTag(device)
        + QStringLiteral(".cfg");
}

Saved save(const QString &homeFolder, const Stores::ValueStore &values, const QDateTime &when, const QString &device)
{
    const QString dir = folder(homeFolder);
    if (!QDir().mkpath(dir))
        return {QString(), QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(dir))};
    const QString name = fileName(when, device);
    QString path = QDir(dir).filePath(name);
    QByteArray content;
    if (const FileResult built = LeesIniFile::settingsContent(values, path, &content); !built)
        return {QString(), built.error};
    if (const QString reason = HomeFolder::linkRefusal(homeFolder, path); !reason.isEmpty())
        return {QString(), QStringLiteral("Could not save the backup \"%1\": %2. No file was written.")
                               .arg(TextFile::displayName(path), reason)};
    // The file system decides which name is free, at the creation itself:
    // runs in the same second on devices of the same name each get their own.
    for (int n = 1; n <= kMostPerSecond; ++n) {
        if (n > 1)
            path = QDir(dir).filePath(QFileInfo(name).completeBaseName() + QStringLiteral("-%1.cfg").arg(n));
        bool taken = false;
        const FileResult written = TextFile::writeNew(path, content, QStringLiteral("backup"), &taken);
        if (written)
            return {path, QString()};
        if (!taken)
            return {QString(), written.error};
    }
    return {QString(), QStringLiteral("Could not save the backup \"%1\": %2 backups of this second exist already. "
                                      "No file was written.")
                           .arg(TextFile::displayName(QDir(dir).filePath(name)))
                           .arg(kMostPerSecond)};
}

} // namespace Backups
