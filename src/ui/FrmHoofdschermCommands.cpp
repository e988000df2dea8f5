#include "FrmHoofdscherm.h"

#include "model/Branding.h"
#include "FileValueMarks.h"
#include "QtItemControls.h"
#include "StatusReport.h"
#include "WriteChanges.h"
#include "SiteRecordFields.h"
#include "WindowReport.h"

#include "files/Backups.h"
#include "files/LeesIniFile.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"
#include "report/SiteReport.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>

// The window's commands: the unit's transfers, the settings files, the
// report and the service buttons. Each leaves a request for the engine or
// finishes its file work within the click.

using namespace ScreenDefinition;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSettingsFilter = QStringLiteral("cfg (*.cfg) | *.cfg");
const QString kReportFilter = QStringLiteral("PDF (*.pdf) | *.pdf | HTML (*.html) | *.html");
// The button that commissions the unit, as the window names its command.
const QString kWriteChanges = QStringLiteral("Write changes");

// The values in a settings file that could not go to the unit, in the file's
// order: those of the items a write-all sends and of the text boxes. Items
// 40-78 are never shown and hold -1 in the tool's own files: not checked.
QList<LeesIniFile::UnsendableValue> unsendableIn(const QString &path)
{
    QMap<int, LeesIniFile::ValueLine> lines;
    if (!LeesIniFile::readValueLines(path, &lines))
        return {};
    QList<int> items(Items::kBulkItems.begin(), Items::kBulkItems.end());
    for (int n = kFirstTekstBox; n <= kLastTekstBox; ++n)
        items << n;
    QList<LeesIniFile::UnsendableValue> found = LeesIniFile::unsendableValues(lines, items);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto &a, const auto &b) { return a.line < b.line; });
    return found;
}

// "Write all settings", or "Write item 14 (ESPA In Time-out)" for a single write.
QString writeSubject(int item, const QtItemControls &controls)
{
    if (item < 0)
        return QStringLiteral("Write all settings");
    QString subject = QStringLiteral("Write item %1").arg(item);
    if (controls.legendVisible(item) && !controls.legendName(item).isEmpty())
        subject += QStringLiteral(" (%1)").arg(controls.legendName(item));
    return subject;
}

// The box after a write that ended otherwise than asked: how it ended, what
// the unit took and what not, what it holds otherwise, and where the backup is.
QString failedWriteText(const Outcome &outcome, const QtItemControls &controls)
{
    // The differing values are listed below, one a line: the first line
    // does not run them all together as the status bar does.
    QString heading = outcomeText(outcome, controls);
    if (!outcome.mismatches.isEmpty())
        heading = (outcome.command == Outcome::Command::Commission
                       ? kWriteChanges
                       : writeSubject(outcome.command == Outcome::Command::WriteAll ? -1 : outcome.item, controls))
            + QStringLiteral(": the unit holds otherwise than written");
    QStringList lines{heading};
    if (!outcome.items.isEmpty() || !outcome.unanswered.isEmpty() || !outcome.notSent.isEmpty())
        lines << QString() << takenText(outcome);
    if (!outcome.mismatches.isEmpty()) {
        lines << QString() << QStringLiteral("Read back otherwise than written:");
        for (const Outcome::Mismatch &m : outcome.mismatches)
            lines << mismatchText(m, controls);
    }
    if (!outcome.backupPath.isEmpty())
        lines << QString() << QStringLiteral("The unit's settings before the write are kept in ")
                + Diverse::visibleText(QDir::toNativeSeparators(outcome.backupPath));
    return lines.join(kCrLf);
}

} // namespace

void FrmHoofdscherm::warnOfFailedWrite(const Outcome &outcome)
{
    // A write refused before anything was sent did not go wrong: the status bar
    // says why. Nor did changes the operator declined at their confirmation.
    const bool declined = outcome.command == Outcome::Command::Commission && outcome.result == Outcome::Result::Cancelled
        && outcome.items.isEmpty() && outcome.unanswered.isEmpty() && outcome.refused.isEmpty();
    if (m_ended || !writeWentWrong(outcome) || outcome.result == Outcome::Result::NotStarted || declined)
        return;
    messageBox(failedWriteText(outcome, *m_controls), Branding::kTitleBy, Icon::Critical, Buttons::Ok);
}

// ---------------------------------------------------------------- commands

void FrmHoofdscherm::CmdLeesAlles_Click()
{
    m_session->engine.requestReadAll();
}

bool FrmHoofdscherm::refuseUnsendable(const QList<int> &items, const QString &subject)
{
    const QString why = m_status->fileMarks().refusal(items);
    if (why.isEmpty())
        return false;
    m_status->showMessage(subject + QStringLiteral(" not started: ") + why);
    return true;
}

void FrmHoofdscherm::CmdSchrijfAlles_Click()
{
    // A value from a file that its control could not show would go as the
    // control's value, which the file never held.
    if (refuseUnsendable(QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end()), writeSubject(-1, *m_controls)))
        return;
    setNextMessageDetails(m_status->writeAllDetails());
    // The box's own text, then how many settings the write changes.
    if (messageBox(QStringLiteral("Overwrite all settings in the converter.") + kCrLf + QStringLiteral("Are you sure?")
                       + kCrLf + kCrLf + m_status->writeAllSummary(),
                   Branding::kTitleBy, Icon::None, Buttons::OkCancel)
        != Answer::Ok)
        return;
    m_session->engine.requestWriteAll();
}

void FrmHoofdscherm::CmdWriteChanges_Click()
{
    if (refuseUnsendable(QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end()), kWriteChanges))
        return;
    m_report->commissionAsked(m_writeChanges->start());
}

void FrmHoofdscherm::CmdCancelReadWrite_Click()
{
    m_session->engine.cancelByOperator();
}

void FrmHoofdscherm::ChkReadBack_Click(bool on)
{
    m_session->engine.setReadBack(on);
    if (m_preferences.readBack == on)
        return;
    m_preferences.readBack = on;
    keepPreferences(m_preferences.write(m_session->homeFolder));
}

void FrmHoofdscherm::keepPreferences(const FileResult &written)
{
    // The choice holds for this run all the same; a box on every click would be too much.
    if (!written)
        m_status->showMessage(QStringLiteral("The choice could not be kept for the next start: ")
                              + Diverse::visibleText(written.error));
}

bool FrmHoofdscherm::chooseNetworkPort(const QString &address, QString *error)
{
    // No address and none in use: the port keeps its device (the numbered port, or this run's).
    if (!address.isEmpty() || m_networkInUse) {
        if (!m_setPortDevice) {
            if (error)
                *error = QStringLiteral("this program cannot open network ports");
            return false;
        }
        if (!m_setPortDevice(address.isEmpty() ? m_runDevice : address, error))
            return false;
        m_networkInUse = !address.isEmpty();
    }
    if (m_preferences.networkPort != address) {
        m_preferences.networkPort = address;
        keepPreferences(m_preferences.write(m_session->homeFolder));
    }
    return true;
}

QString FrmHoofdscherm::startFolder(FileFolders::Use use, const QString &fallback) const
{
    return m_folders->start(use, fallback);
}

void FrmHoofdscherm::rememberFolder(FileFolders::Use use, const QString &chosenFile)
{
    keepPreferences(m_folders->remember(use, chosenFile));
}

void FrmHoofdscherm::CmdWisLogVenster_Click()
{
    clearProgress();
}

void FrmHoofdscherm::CmdReadSingleSetting_Click(int index)
{
    m_session->engine.requestRead(index);
}

void FrmHoofdscherm::CmdWriteSingleSetting_Click(int index)
{
    if (refuseUnsendable({index}, writeSubject(index, *m_controls)))
        return;
    m_session->engine.requestWrite(index);
}

void FrmHoofdscherm::CmdReadSingleTekstSetting_Click(int index)
{
    m_session->engine.requestRead(kFirstTekstBox + index);
}

void FrmHoofdscherm::CmdWriteSingleTekstSetting_Click(int index)
{
    if (refuseUnsendable({kFirstTekstBox + index}, writeSubject(kFirstTekstBox + index, *m_controls)))
        return;
    m_session->engine.requestWrite(kFirstTekstBox + index);
}

void FrmHoofdscherm::Command2_Click()
{
    // Sends item 18 as the working values hold it, without taking the screen.
    m_session->engine.requestStoredWrite(18);
}

void FrmHoofdscherm::CmdInstellingenLezen_Click()
{
    if (messageBox(QStringLiteral("Default instellingen uit file lezen.") + kCrLf
                       + QStringLiteral("Dit betekend dat alle wijzigingen tot nu toe gemaakt, worden overschreven.")
                       + kCrLf + QStringLiteral("Zeker weten? "),
                   Branding::kTitleVan, Icon::None, Buttons::OkCancel)
        == Answer::Cancel)
        return;
    m_status->beforeFileLoad();
    LeesIniFile::ReadDefaultSettings(m_session->stores, *m_controls, m_session->homeFolder);
    const QString path = LeesIniFile::defaultSettingsPath(m_session->homeFolder);
    m_status->fileLoaded(path, true, unsendableIn(path));
}

void FrmHoofdscherm::markDefaultSettings()
{
    const QString path = LeesIniFile::defaultSettingsPath(m_session->homeFolder);
    const QList<LeesIniFile::UnsendableValue> unsendable = unsendableIn(path);
    if (!unsendable.isEmpty())
        m_status->fileLoaded(path, true, unsendable);
}

void FrmHoofdscherm::CmdInstellingenOpslaan_Click()
{
    if (messageBox(QStringLiteral("Default instellingen naar file schrijven.") + kCrLf
                       + QStringLiteral("Hierbij wordt het oude default instellingen-file overschreven.") + kCrLf
                       + QStringLiteral("Zeker weten? "),
                   Branding::kTitleVan, Icon::None, Buttons::OkCancel)
        == Answer::Cancel)
        return;
    const FileResult written = LeesIniFile::WriteDefaultSettings(m_session->stores, *m_controls, m_session->homeFolder);
    m_status->fileSaved(LeesIniFile::defaultSettingsPath(m_session->homeFolder), written.ok);
    reportFileResult(written);
}

// A settings file to read or save, from the settings folder or the one last
// used; a cancelled dialog beeps, a chosen file's folder is remembered.
std::optional<QString> FrmHoofdscherm::chooseSettingsFile(bool save, const QString &proposedName)
{
    const auto path = chooseFile(save, proposedName,
                                 startFolder(FileFolders::Use::Settings,
                                             LeesIniFile::settingsStartFolder(m_session->setup, m_session->homeFolder)),
                                 kSettingsFilter);
    if (!path) {
        beep();
        return std::nullopt;
    }
    rememberFolder(FileFolders::Use::Settings, *path);
    return path;
}

void FrmHoofdscherm::CmdLezenUnitgegevens_Click()
{
    if (const auto path = chooseSettingsFile(false, QStringLiteral("*.cfg")))
        loadSettingsFile(*path);
}

void FrmHoofdscherm::loadSettingsFile(const QString &path)
{
    m_status->beforeFileLoad();
    const FileResult read = LeesIniFile::ReadSettingsFile(m_session->stores, *m_controls, path);
    m_status->fileLoaded(path, read.ok, read.ok ? unsendableIn(path) : QList<LeesIniFile::UnsendableValue>());
    if (read.ok)
        m_report->fileLoaded(path);
    if (!read.ok) {
        // The reason (missing, a folder, not a regular file, ...) goes in the box's details.
        setNextMessageDetails(read.error);
        messageBox(QStringLiteral("Error reading setup-file"), Branding::kTitleBy, Icon::Critical, Buttons::Ok);
    }
}

void FrmHoofdscherm::CmdOpslaanUnitGegevens_Click()
{
    const auto path = chooseSettingsFile(true, QStringLiteral("NieuweInstellingen"));
    if (!path)
        return;
    const FileResult written = LeesIniFile::WriteSettingsFile(m_session->stores, *m_controls, *path);
    m_status->fileSaved(*path, written.ok);
    reportFileResult(written);
}

void FrmHoofdscherm::CmdRestoreBackup_Click()
{
    // The unit's settings as they were before a write-all: loaded like any
    // settings file, written back by "Write all settings to unit".
    const QString folder = startFolder(FileFolders::Use::Restore, Backups::folder(m_session->homeFolder));
    if (!QFileInfo(folder).isDir()) {
        m_status->showMessage(QStringLiteral("No backup to restore: the folder %1 does not exist yet")
                                  .arg(Diverse::visibleText(QDir::toNativeSeparators(folder))));
        return;
    }
    const auto path = chooseNewestFile(QStringLiteral("*.cfg"), folder, kSettingsFilter);
    if (!path) {
        beep();
        return;
    }
    rememberFolder(FileFolders::Use::Restore, *path);
    loadSettingsFile(*path);
}

void FrmHoofdscherm::CmdReport_Click()
{
    Session &s = *m_session;
    const auto path = chooseFile(true, SiteReport::proposedFileName(s.now().date(), s.datacom.linkState().device()),
                                 startFolder(FileFolders::Use::Report, LeesIniFile::settingsStartFolder(s.setup, s.homeFolder)),
                                 kReportFilter);
    if (!path) {
        beep();
        return;
    }
    // The site and the technician as written in beside the button, kept for the next report.
    m_preferences.site = m_siteFields->site();
    m_preferences.technician = m_siteFields->technician();
    rememberFolder(FileFolders::Use::Report, *path);
    keepPreferences(m_preferences.write(s.homeFolder));
    const FileResult saved = SiteReport::save(*path, m_report->contents(m_siteFields->site(), m_siteFields->technician()));
    m_status->showMessage(Diverse::visibleText(saved ? QStringLiteral("Report saved to ") + QDir::toNativeSeparators(*path)
                                                     : saved.error));
}

void FrmHoofdscherm::CmdReOpenCom_Click()
{
    if (m_session->refuseWhileBusy())
        return;
    m_session->reopenComPort();
}

void FrmHoofdscherm::CmdTestHerstart_Click()
{
    if (messageBox(QStringLiteral("Restart the converter.") + kCrLf + kCrLf + QStringLiteral("Are you sure? "),
                   Branding::webTitle(), Icon::None, Buttons::OkCancel)
        != Answer::Ok)
        return;
    m_session->engine.requestRestart();
}

void FrmHoofdscherm::CmdTestOproepPager_Click()
{
    if (m_txtTestPagerAdres->text().isEmpty()) {
        messageBox(QStringLiteral("Please enter address of pager"), Branding::webTitle(), Icon::Critical, Buttons::Ok);
        return;
    }
    m_session->engine.requestPagerCall();
}

void FrmHoofdscherm::TxtTestPagerAdres_DblClick()
{
    m_txtTestPagerAdres->clear();
}

void FrmHoofdscherm::TxtTestPagerDisplayInfo_DblClick()
{
    m_txtTestPagerDisplayInfo->clear();
}
