// The commands that read: read-all, read, show and diff.
#include "CliRunner.h"

#include "Console.h"
#include "FileChecks.h"
#include "ItemArguments.h"

#include "files/LeesIniFile.h"
#include "model/Items.h"
#include "protocol/Session.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

ExitStatus CliRunner::readAll()
{
    Session &s = *m_session;
    if (!m_request.base.isEmpty()) {
        if (const FileResult read = LeesIniFile::ReadSettingsFile(s.stores, m_controls, m_request.base); !read)
            return fail(ExitStatus::Usage, read.error);
    }
    s.engine.requestReadAll();
    if (const ExitStatus status = readRequested(bulkItems()); status != ExitStatus::Done)
        return status;

    // The desktop tool's own writer, from what the controls show.
    if (m_request.file != QLatin1String("-")) {
        const FileResult saved = LeesIniFile::WriteSettingsFile(s.stores, m_controls, m_request.file);
        if (!saved)
            return fail(ExitStatus::Usage, saved.error);
        if (!m_request.json)
            return ExitStatus::Done;
    }
    if (m_request.json) {
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(SettingsReport::allSettings(s.stores, m_controls)));
        return printJson(document);
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("read-all.cfg"));
    const FileResult saved = folder.isValid() ? LeesIniFile::WriteSettingsFile(s.stores, m_controls, path)
                                              : FileResult::failure(QStringLiteral("no temporary folder"));
    QFile file(path);
    if (!saved || !file.open(QIODevice::ReadOnly))
        return fail(ExitStatus::Usage, saved ? file.errorString() : saved.error);
    m_view.finish();
    return Console::write(stdout, file.readAll()) ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::readItems()
{
    for (int n : std::as_const(m_request.items))
        m_session->engine.requestRead(n);
    if (const ExitStatus status = readRequested(m_request.items); status != ExitStatus::Done)
        return status;
    if (m_request.json) {
        QList<SettingsReport::Setting> settings;
        for (int n : std::as_const(m_request.items))
            settings << SettingsReport::setting(m_session->stores, m_controls, n);
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(settings));
        return printJson(document);
    }
    m_view.finish();
    bool written = true;
    for (int n : std::as_const(m_request.items))
        written = written && Console::writeLine(stdout, ItemArguments::record(n, heldValueText(n)));
    return written ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::show()
{
    QList<SettingsReport::Setting> settings;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &settings, &error))
        return fail(ExitStatus::Usage, error);
    if (m_request.json) {
        QJsonObject document;
        document.insert(QStringLiteral("settings"), SettingsReport::toJson(settings));
        return printJson(document);
    }
    bool written = true;
    for (const QString &line : SettingsReport::showLines(settings))
        written = written && Console::writeLine(stdout, line);
    return written ? ExitStatus::Done : outputFailed();
}

ExitStatus CliRunner::diffFiles()
{
    QList<SettingsReport::Setting> first;
    QList<SettingsReport::Setting> second;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &first, &error) || !FileChecks::loadSettings(m_request.secondFile, &second, &error))
        return fail(ExitStatus::Trouble, error);
    QList<int> items;
    for (int n = 0; n < Items::kItemCount; ++n)
        items << n;
    return printDifferences(first, second, items, m_request.secondFile);
}

// The file against the fourteen settings read-all reads, as the window would
// show them after "Read all settings from unit"; nothing is saved.
ExitStatus CliRunner::diffUnit()
{
    QList<SettingsReport::Setting> file;
    QString error;
    if (!FileChecks::loadSettings(m_request.file, &file, &error))
        return fail(ExitStatus::Trouble, error);
    Session &s = *m_session;
    s.engine.requestReadAll();
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    if (transferOutcome(bulkItems(), false) != ExitStatus::Done)
        return ExitStatus::Trouble;
    return printDifferences(file, SettingsReport::fromValues(s.stores.unitValues, bulkItems()), bulkItems(),
                            QStringLiteral("unit"));
}

ExitStatus CliRunner::printDifferences(const QList<SettingsReport::Setting> &first,
                                       const QList<SettingsReport::Setting> &second, const QList<int> &items,
                                       const QString &secondName)
{
    const QList<SettingsReport::Difference> found = SettingsReport::differences(first, second, items);
    const ExitStatus verdict = found.isEmpty() ? ExitStatus::Done : ExitStatus::Differences;
    if (m_request.json) {
        QJsonArray list;
        for (const SettingsReport::Difference &d : found)
            list.append(SettingsReport::toJson(d));
        QJsonObject document;
        document.insert(QStringLiteral("first"), m_request.file);
        document.insert(QStringLiteral("second"), secondName);
        document.insert(QStringLiteral("differences"), list);
        return printJson(document) == ExitStatus::Done ? verdict : ExitStatus::Trouble;
    }
    m_view.finish();
    bool written = true;
    for (const QString &line : SettingsReport::diffLines(found))
        written = written && Console::writeLine(stdout, line);
    return written ? verdict : outputFailed();
}

// Runs the reads left for the engine: how they ended.
ExitStatus CliRunner::readRequested(const QList<int> &items)
{
    runUntilQuiet();
    if (m_signal != 0)
        return interrupted();
    return transferOutcome(items, false);
}
