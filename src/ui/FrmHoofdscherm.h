#pragma once

#include "FileFolders.h"

#include "files/FileResult.h"
#include "files/Logfile.h"
#include "files/Preferences.h"
#include "model/Diverse.h"
#include "protocol/OperatorView.h"
#include "protocol/Outcome.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class FrmAbout;
class FrmInstellingen;
class Port;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QScrollArea;
class QPushButton;
class QTabWidget;
class QLabel;
class QTimer;
class QtItemControls;
class QtOperatorDialogs;
class TracePage;
class WriteChanges;
class WindowReport;
class SiteRecordFields;
class WireTrace;
class SerialDeviceWatch;
class Session;
class ShapeIndicator;
class StatusReport;

// The main window frmHoofdscherm: the tabs with the log window, the item
// pages, the file, unit and service commands; the four timers that drive the
// engine, the indicators, the colours and the start-up refresh. It is the
// operator view of the engine: the progress box, the progress bar, the
// test-call fields, message boxes, file dialogs and the beep.
class FrmHoofdscherm : public QMainWindow, public OperatorView
{
    Q_OBJECT

public:
    struct Options
    {
        QString homeFolder;
        QString commandLine;  // searched for "/LOG" and "/DEBUG"
        Logfile::Clock clock; // empty: the system clock
        QString portOption = QStringLiteral("--port"); // the option that set the port's device for this run
        std::function<QStringList()> serialDevices;    // the serial ports present; empty: the system's
        QString runDevice; // the device or network address named for this run; empty: none
        // Points the port at a device or a network address from its next open
        // on (empty: the system's numbering); false, with the reason, when a
        // network address does not parse. Unset: the port dialog's network
        // port cannot be used.
        std::function<bool(const QString &device, QString *error)> setPortDevice;
    };

    // Indicator colours, lit and dark.
    static const QColor kTxLit;
    static const QColor kTxDark;
    static const QColor kRxLit;
    static const QColor kRxDark;

    static constexpr int kAfhandelMs = 25;
    static constexpr int kLedMs = 250;
    static constexpr int kUpdateVenstersMs = 100;
    static constexpr int kStartRefreshMs = 300;

    // Builds the window and runs the start-up sequence. Message boxes, file
    // dialogs and beeps go to dialogs, by default Qt's over this window (tests
    // answer them with their own).
    FrmHoofdscherm(const Options &options, Port &port, OperatorDialogs *dialogs = nullptr,
                   QWidget *parent = nullptr);
    ~FrmHoofdscherm() override;


    void UpdateMessageWindow();
    // Scrolls the log lines so that the newest, the last that is not empty, is in view.
    void showNewestLogLine();
    void SetupScreens();
    // Service mode (DebugMode 2) shows the two service frames and enables "Save as default".
    void applyDebugMode();
    // Connects the frame trace to the port while service mode or the logging
    // category tessaro.wire wants it, and disconnects it otherwise.
    void updateTracing();

    // The engine's outcomes, after the status bar has told them: a write that
    // ended otherwise than asked gets a box of its own, as the status bar
    // alone is too easy to miss.
    void warnOfFailedWrite(const Outcome &outcome);

    // OperatorView
    void appendProgress(const QString &piece) override;
    void clearProgress() override;
    void setProgressBar(const ProgressBar &bar) override;
    Answer messageBox(const QString &text, const QString &title, Icon icon, Buttons buttons) override;
    void setNextMessageDetails(const QString &details) override;
    QString testPagerAddress() const override;
    QString testPagerDisplayInfo() const override;
    void beep() override;
    std::optional<QString> chooseFile(bool save, const QString &proposedName, const QString &startFolder,
                                      const QString &filter) override;
    std::optional<QString> chooseNewestFile(const QString &proposedName, const QString &startFolder,
                                            const QString &filter) override;

public slots:
    void TmrAfhandel_Timer();
    void LedTimer_Timer();
    void TmrUpdateVensters_Timer();
    void TimerStartRefresh_Timer();

    void CmdLeesAlles_Click();
    void CmdSchrijfAlles_Click();
    // "Write changes": only the settings that differ from the unit's, after a confirmation.
    void CmdWriteChanges_Click();
    void CmdCancelReadWrite_Click();
    // "Read back after writing": the engine's switch, remembered per user.
    void ChkReadBack_Click(bool on);
    void CmdWisLogVenster_Click();
    void CmdReadSingleSetting_Click(int index);
    void CmdWriteSingleSetting_Click(int index);
    void CmdReadSingleTekstSetting_Click(int index);
    void CmdWriteSingleTekstSetting_Click(int index);
    void Command2_Click();
    void CmdInstellingenLezen_Click();
    void CmdInstellingenOpslaan_Click();
    void CmdLezenUnitgegevens_Click();
    void CmdOpslaanUnitGegevens_Click();
    void CmdRestoreBackup_Click();
    // "Report...": the screen's settings for the site's records, as PDF or HTML.
    void CmdReport_Click();
    void CmdReOpenCom_Click();
    void CmdTestHerstart_Click();
    void CmdTestOproepPager_Click();
    void TxtTestPagerAdres_DblClick();
    void TxtTestPagerDisplayInfo_DblClick();
    void SSTab_Click();
    void Setup_Click();
    void Quit_Click();
    void About_Click();

signals:
    // Quit was confirmed or the window was closed: the port is closed and
    // nothing more is to be handled.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The tests look inside through this probe alone.
    friend class WindowProbe;

    void buildWindow();
    QBoxLayout *buildPortFrame(QWidget *central);
    void connectSingleButtons();
    QWidget *buildStatusPage();
    QWidget *buildSetupPage();
    QWidget *buildFilePage();
    QWidget *buildUnitPage();
    // Read all, write all, Write changes and the read-back switch.
    QHBoxLayout *buildTransferButtons();
    QWidget *buildServicePage();
    QWidget *buildItemPage(int page);
    QWidget *buildPagerTable();
    QWidget *buildPagerPage(int firstEntry);
    QTimer *makeTimer(const char *name, int intervalMs, void (FrmHoofdscherm::*handler)());
    void Form_Load(const QString &commandLine);
    void stepIndicator(bool &activity, bool &lit, ShapeIndicator *shape, const QColor &litColour,
                       const QColor &darkColour);
    // "Transmit: active", "Receive: idle": the indicator's state in words.
    QString indicatorName(const ShapeIndicator *shape, bool active) const;
    // Up and Down move the focus between the log lines.
    bool moveInLog(QObject *line, int key);
    void reportFileResult(const FileResult &result);
    // Loads a settings file the operator chose onto the screen and tells how it went.
    void loadSettingsFile(const QString &path);
    // The default settings file read at start-up: its values the controls
    // could not show are marked and named, as after any load.
    void markDefaultSettings();
    // Refuses a write of items while one of them holds a file's value its
    // control could not show, and tells so, naming the command by subject
    // ("Write all settings", "Write changes", "Write item 14 (...)").
    bool refuseUnsendable(const QList<int> &items, const QString &subject);
    // Keeps the preferences for the next start; a failure is told on the status bar only.
    void keepPreferences(const FileResult &written);
    // The port dialog's network port (empty: none, the numbered port or this
    // run's device again): used from the next open and kept for the next start.
    bool chooseNetworkPort(const QString &address, QString *error);
    // Where a file dialog starts, and the chosen file's folder kept for the next.
    QString startFolder(FileFolders::Use use, const QString &fallback) const;
    std::optional<QString> chooseSettingsFile(bool save, const QString &proposedName);
    void rememberFolder(FileFolders::Use use, const QString &chosenFile);
    void endProgram();

    std::unique_ptr<QtOperatorDialogs> m_qtDialogs;
    OperatorDialogs *m_dialogs;
    std::unique_ptr<QtItemControls> m_controls;
    std::unique_ptr<Session> m_session;

    QTabWidget *m_ssTab1 = nullptr;
    QTabWidget *m_ssTab2 = nullptr;
    QTabWidget *m_ssTab3 = nullptr;
    std::array<QLineEdit *, Diverse::LogLines::kLineCount> m_text2{};
    QScrollArea *m_logArea = nullptr;
    QPlainTextEdit *m_txtProgress = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QGroupBox *m_frmCommunicatie = nullptr;
    ShapeIndicator *m_shpTx = nullptr;
    ShapeIndicator *m_shpRx = nullptr;
    QGroupBox *m_frameCmdButtonsAlgemeen = nullptr;
    QGroupBox *m_frameCmdButtonsPaging = nullptr;
    QPushButton *m_cmdInstellingenOpslaan = nullptr;
    QCheckBox *m_chkReadBack = nullptr;
    Preferences m_preferences; // as last read or written
    QLineEdit *m_txtTestPagerAdres = nullptr;
    QLineEdit *m_txtTestPagerDisplayInfo = nullptr;
    TracePage *m_tracePage = nullptr;
    // The frame trace the service page "Trace" and the logging category
    // tessaro.wire show; it is fed only while one of them wants it.
    std::unique_ptr<WireTrace> m_wireTrace;
    bool m_tracing = false;

    QTimer *m_tmrAfhandel = nullptr;
    QTimer *m_ledTimer = nullptr;
    QTimer *m_tmrUpdateVensters = nullptr;
    QTimer *m_timerStartRefresh = nullptr;

    QPointer<FrmInstellingen> m_instellingen; // the open dialogs, or null
    QPointer<FrmAbout> m_about;
    StatusReport *m_status = nullptr;
    // Offers a serial device plugged in while the port waits for its own.
    SerialDeviceWatch *m_deviceWatch = nullptr;
    WriteChanges *m_writeChanges = nullptr;
    WindowReport *m_report = nullptr;
    SiteRecordFields *m_siteFields = nullptr;
    std::unique_ptr<FileFolders> m_folders;

    bool m_txLedOn = false;
    bool m_rxLedOn = false;
    bool m_ended = false;
    bool m_engineHeld = false; // while the port dialog's Find unit has the port
    QString m_portOption;
    QString m_runDevice;
    std::function<bool(const QString &, QString *)> m_setPortDevice;
    bool m_networkInUse = false; // the port dialog's network port is the port's device
};
