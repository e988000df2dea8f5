#include "FrmHoofdscherm.h"

#include "model/Branding.h"
#include "FileValueMarks.h"
#include "QtItemControls.h"
#include "StatusReport.h"

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
        heading = writeSubject(outcome.command == Outcome::Command::WriteAll ? -1 : outcome.item, controls)
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
    // A write refused before anything was sent did not go wrong: the status bar says why.
    if (m_ended || !writeWentWrong(outcome) || outcome.result == Outcome::Result::NotStarted)
        return;
    messageBox(failedWriteText(outcome, *m_controls), Branding::kTitleBy, Icon::Critical, Buttons::Ok);
}

// ---------------------------------------------------------------- commands

void FrmHoofdscherm::CmdLeesAlles_Click()
{
    m_session->engine.requestReadAll();
}

bool FrmHoofdscherm::refuseUnsendable(const QList<int> &items, int item)
{
    const QString why = m_status->fileMarks().refusal(items);
    if (why.isEmpty())
        return false;
    m_status->showMessage(writeSubject(item, *m_controls) + QStringLiteral(" not started: ") + why);
    return true;
}

void FrmHoofdscherm::CmdSchrijfAlles_Click()
{
    // A value from a file that its control could not show would go as the
    // control's value, which the file never held.
    if (refuseUnsendable(QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end())))
        return;
    setNextMessageDetails(m_status->writeAllDetails());
    if (messageBox(QStringLiteral("Overwrite all settings in the converter.") + kCrLf + QStringLiteral("Are you sure?"),
                   Branding::kTitleBy, Icon::None, Buttons::OkCancel)
        != Answer::Ok)
        return;
    m_session->engine.requestWriteAll();
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
    const FileResult written = m_preferences.write(m_session->homeFolder);
    // The choice holds for this run all the same; a box on every click would be too much.
    if (!written)
        m_status->showMessage(QStringLiteral("The choice could not be kept for the next start: ")
                              + Diverse::visibleText(written.error));
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
    if (refuseUnsendable({index}, index))
        return;
    m_session->engine.requestWrite(index);
}

void FrmHoofdscherm::CmdReadSingleTekstSetting_Click(int index)
{
    m_session->engine.requestRead(kFirstTekstBox + index);
}

void FrmHoofdscherm::CmdWriteSingleTekstSetting_Click(int index)
{
    if (refuseUnsendable({kFirstTekstBox + index}, kFirstTekstBox + index))
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

void FrmHoofdscherm::CmdLezenUnitgegevens_Click()
{
    const auto path = chooseFile(false, QStringLiteral("*.cfg"),
                                 LeesIniFile::settingsStartFolder(m_session->setup, m_session->homeFolder),
                                 kSettingsFilter);
    if (!path) {
        beep();
        return;
    }
    loadSettingsFile(*path);
}

void FrmHoofdscherm::loadSettingsFile(const QString &path)
{
    m_status->beforeFileLoad();
    const FileResult read = LeesIniFile::ReadSettingsFile(m_session->stores, *m_controls, path);
    m_status->fileLoaded(path, read.ok, read.ok ? unsendableIn(path) : QList<LeesIniFile::UnsendableValue>());
    if (!read.ok) {
        // The reason (missing, a folder, not a regular file, ...) goes in the box's details.
        setNextMessageDetails(read.error);
        messageBox(QStringLiteral("Error reading setup-file"), Branding::kTitleBy, Icon::Critical, Buttons::Ok);
    }
}

void FrmHoofdscherm::CmdOpslaanUnitGegevens_Click()
{
    const auto path = chooseFile(true, QStringLiteral("NieuweInstellingen"),
                                 LeesIniFile::settingsStartFolder(m_session->setup, m_session->homeFolder),
                                 kSettingsFilter);
    if (!path) {
        beep();
        return;
    }
    const FileResult written = LeesIniFile::WriteSettingsFile(m_session->stores, *m_controls, *path);
    m_status->fileSaved(*path, written.ok);
    reportFileResult(written);
}

void FrmHoofdscherm::CmdRestoreBackup_Click()
{
    // The unit's settings as they were before a write-all: loaded like any
    // settings file, written back by "Write all settings to unit".
    const QString folder = Backups::folder(m_session->homeFolder);
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
    loadSettingsFile(*path);
}

void FrmHoofdscherm::CmdReport_Click()
{
    Session &s = *m_session;
    const QDateTime when = s.now();
    const LinkState &link = s.datacom.linkState();
    const auto path = chooseFile(true, SiteReport::proposedFileName(when.date(), link.device()),
                                 LeesIniFile::settingsStartFolder(s.setup, s.homeFolder), kReportFilter);
    if (!path) {
        beep();
        return;
    }
    // The site is left for the technician to write in; the rest is known.
    SiteReport::Contents contents;
    contents.when = when;
    contents.technician = SiteReport::defaultTechnician();
    contents.sourceLabel = QStringLiteral("Unit");
    contents.source = link.device().isEmpty()
        ? QStringLiteral("serial port %1, not open").arg(Datacom::portNumberFor(s.setup.Compoort))
        : link.deviceText();
    contents.settings = SettingsReport::allSettings(s.stores, *m_controls);
    // Beside the screen's values, the unit's where they are known.
    const UnitMemory &unit = m_status->unitMemory();
    QList<int> known;
    Stores::ValueStore values;
    for (int n : Items::kBulkItems) {
        if (unit.known(n)) {
            known << n;
            values[n] = unit.value(n);
        }
    }
    if (!known.isEmpty()) {
        const QList<SettingsReport::Setting> inUnit = SettingsReport::fromValues(values, known);
        contents.comparedHeading = QStringLiteral("In the unit");
        for (int n : std::as_const(known))
            contents.compared.insert(n, inUnit.at(n));
    }
    const FileResult saved = SiteReport::save(*path, contents);
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
