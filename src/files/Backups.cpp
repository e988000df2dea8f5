#include "Backups.h"

#include "LeesIniFile.h"

#include <QDir>
#include <QFileInfo>

namespace Backups {

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
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(dir).filePath(QFileInfo(name).completeBaseName() + QStringLiteral("-%1.cfg").arg(n));
    const FileResult written = LeesIniFile::writeSettingsValues(values, path, homeFolder);
    if (!written)
        return {QString(), written.error};
    return {path, QString()};
}

} // namespace Backups
