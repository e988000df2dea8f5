#include "Preferences.h"

#include "TextFile.h"

#include "model/Cp1252.h"

#include <QDir>

namespace {

const QString kReadBack = QStringLiteral("ReadBack");

// "1" and "0" only: anything else keeps the default.
void takeSwitch(const QString &value, bool &target)
{
    if (value == u'1')
        target = true;
    else if (value == u'0')
        target = false;
}

// The texts kept by name; a text line is written only when it holds something.
struct TextKey
{
    const char *name;
    QString Preferences::*member;
};
constexpr TextKey kTextKeys[] = {
    {"SettingsFolder", &Preferences::settingsFolder}, {"ReportFolder", &Preferences::reportFolder},
    {"RestoreFolder", &Preferences::restoreFolder},   {"Site", &Preferences::site},
    {"Technician", &Preferences::technician},         {"NetworkPort", &Preferences::networkPort},
};

} // namespace

QString Preferences::filePath(const QString &homeFolder)
{
    return QDir(homeFolder).filePath(QStringLiteral("Preferences.ini"));
}

Preferences Preferences::read(const QString &homeFolder)
{
    Preferences preferences;
    TextFile::forEachLine(filePath(homeFolder), [&](const QByteArray &line) {
        const QString text = Cp1252::decode(line);
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0)
            return;
        const QString name = text.left(equals).trimmed();
        const QString value = text.mid(equals + 1).trimmed();
        if (name.compare(kReadBack, Qt::CaseInsensitive) == 0)
            takeSwitch(value, preferences.readBack);
        for (const TextKey &key : kTextKeys) {
            if (name.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0)
                preferences.*key.member = value;
        }
    });
    return preferences;
}

FileResult Preferences::write(const QString &homeFolder) const
{
    QString content = kReadBack + u'=' + (readBack ? u'1' : u'0') + QStringLiteral("\r\n");
    for (const TextKey &key : kTextKeys) {
        // A line break in a value would end its line early: kept out.
        QString value = this->*key.member;
        value.remove(u'\r').remove(u'\n');
        if (!value.trimmed().isEmpty())
            content += QLatin1String(key.name) + u'=' + value.trimmed() + QStringLiteral("\r\n");
    }
    return TextFile::replaceAtomically(filePath(homeFolder), Cp1252::encodeLossy(content),
                                       QStringLiteral("preferences file"), homeFolder);
}
