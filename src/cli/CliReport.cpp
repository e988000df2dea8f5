// report: the settings report, from a settings file or from the unit.
#include "CliRunner.h"

#include "FileChecks.h"

#include "files/TextFile.h"
#include "model/Items.h"
#include "protocol/Session.h"

#include <QFileInfo>

// The report from a settings file: no port, the system's clock.
ExitStatus CliRunner::reportFromFile()
{
    if (const ExitStatus checked = checkFiles(); checked != ExitStatus::Done)
        return checked;
    SiteReport::Contents contents;
    QString error;
    if (!FileChecks::loadSettings(m_request.from, &contents.settings, &error))
        return fail(ExitStatus::Usage, error);
    contents.when = QDateTime::currentDateTime();
    contents.sourceLabel = QStringLiteral("Settings file");
    contents.source = TextFile::displayName(QFileInfo(m_request.from).absoluteFilePath());
    contents.eventsSource = QStringLiteral("From the file %1").arg(QFileInfo(m_request.from).fileName());
    return saveReport(contents, m_request.file);
}

// The report of the fourteen settings as read-all reads them, and with
// --events the event entries one item at a time.
ExitStatus CliRunner::reportFromUnit()
{
    Session &s = *m_session;
    s.engine.requestReadAll();
    if (const ExitStatus status = readRequested(bulkItems()); status != ExitStatus::Done)
        return status;
    SiteReport::Contents contents;
    if (m_request.events) {
        for (int n : SiteReport::eventItems())
            s.engine.requestRead(n);
        if (const ExitStatus status = readRequested(SiteReport::eventItems()); status != ExitStatus::Done)
            return status;
        contents.eventsSource = QStringLiteral("Read from the unit");
    } else {
        contents.eventsNotRead = QStringLiteral("The event entries were not read from the unit "
                                                "(tessaro-cli report --events reads them).");
    }
    unitSource(contents);
    return saveReport(contents, m_request.file);
}

// The settings as the unit holds them now, and which unit: the device and
// port, or the --port device as given.
void CliRunner::unitSource(SiteReport::Contents &contents)
{
    Session &s = *m_session;
    contents.settings = SettingsReport::allSettings(s.stores, m_controls);
    contents.when = s.now();
    const LinkState &link = s.datacom.linkState();
    contents.sourceLabel = QStringLiteral("Unit");
    contents.source = m_request.device.isEmpty() ? link.deviceText() : link.device();
}

// The header fields of the command line, the reference, and the file.
ExitStatus CliRunner::saveReport(SiteReport::Contents &contents, const QString &path)
{
    contents.site = m_request.site;
    contents.technician = m_request.technician.value_or(SiteReport::defaultTechnician());
    if (!m_request.reference.isEmpty()) {
        QList<SettingsReport::Setting> reference;
        QString error;
        if (!FileChecks::loadSettings(m_request.reference, &reference, &error))
            return fail(ExitStatus::Usage, error);
        contents.comparedHeading = QStringLiteral("Reference: ") + QFileInfo(m_request.reference).fileName();
        for (int n : Items::kBulkItems)
            contents.compared.insert(n, reference.at(n));
    }
    m_view.finish();
    const FileResult saved = SiteReport::save(path, contents);
    return saved ? ExitStatus::Done : fail(ExitStatus::Usage, saved.error);
}
