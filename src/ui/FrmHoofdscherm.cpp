#include "FrmHoofdscherm.h"

#include "model/Branding.h"
#include "model/Diverse.h"
#include "model/TestTimeScale.h"
#include "AccessibleTabBar.h"
#include "MainWindowPages.h"
#include "FrmAbout.h"
#include "FrmInstellingen.h"
#include "QtDialogs.h"
#include "QtItemControls.h"
#include "LinkStatusLine.h"
#include "SerialDeviceWatch.h"
#include "ShapeIndicator.h"
#include "StatusReport.h"
#include "TracePage.h"
#include "WriteChanges.h"
#include "WindowReport.h"
#include "SiteRecordFields.h"
#include "FileFolders.h"

#include "binding/ModUnitUpdate.h"
#include "binding/ModuleToUnit.h"
#include "model/ScreenDefinition.h"
#include "protocol/Session.h"
#include "protocol/WireTrace.h"
#include "report/SiteReport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

using namespace ScreenDefinition;
using namespace MainWindowPages;

const QColor FrmHoofdscherm::kTxLit(255, 128, 128);
const QColor FrmHoofdscherm::kTxDark(192, 0, 0);
const QColor FrmHoofdscherm::kRxLit(128, 255, 128);
const QColor FrmHoofdscherm::kRxDark(0, 192, 0);

FrmHoofdscherm::FrmHoofdscherm(const Options &options, Port &port, OperatorDialogs *dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_qtDialogs(dialogs ? nullptr : std::make_unique<QtOperatorDialogs>(this))
    , m_dialogs(dialogs ? dialogs : m_qtDialogs.get())
    , m_controls(std::make_unique<QtItemControls>())
    , m_portOption(options.portOption)
    , m_runDevice(options.runDevice)
    , m_setPortDevice(options.setPortDevice)
{
    setObjectName(QStringLiteral("frmHoofdscherm"));
    AccessibleTabBar::install();
    Logfile::Clock clock = options.clock ? options.clock : Logfile::Clock([] { return QDateTime::currentDateTime(); });
    m_wireTrace = std::make_unique<WireTrace>(clock);
    m_session = std::make_unique<Session>(options.homeFolder, clock, port, *m_controls, *this);

    buildWindow();
    m_status = new StatusReport(*this, *m_frmCommunicatie, *m_session, *m_controls, clock);
    m_status->countDifferencesOn({m_ssTab2, m_ssTab3});
    // After the status bar's listener, so the bar tells it before the box shows.
    m_session->engine.addOutcomeListener([this](const Outcome &outcome) { warnOfFailedWrite(outcome); });
    m_writeChanges = new WriteChanges(*m_session, *m_controls, *this, this);
    m_report = new WindowReport(*m_session, *m_controls, m_status->unitMemory(), this);
    m_folders = std::make_unique<FileFolders>(m_preferences, m_session->homeFolder);
    // Before the port is first opened, so an absent one is watched from the start.
    m_deviceWatch = new SerialDeviceWatch(m_session->datacom.linkState(), options.serialDevices, this);
    connect(m_deviceWatch, &SerialDeviceWatch::newDevicesChanged, this, [this](const QStringList &devices) {
        m_status->linkLine()->setOffer(devices.isEmpty() ? QString() : devices.last());
        if (m_instellingen)
            m_instellingen->setFirstDevices(devices);
    });

    // The timers run from the window's creation; their first ticks come from
    // the event loop, after the start-up sequence has returned.
    m_tmrAfhandel = makeTimer("TmrAfhandel", kAfhandelMs, &FrmHoofdscherm::TmrAfhandel_Timer);
    m_tmrAfhandel->setTimerType(Qt::PreciseTimer);
    m_ledTimer = makeTimer("LedTimer", kLedMs, &FrmHoofdscherm::LedTimer_Timer);
    m_tmrUpdateVensters = makeTimer("TmrUpdateVensters", kUpdateVenstersMs, &FrmHoofdscherm::TmrUpdateVensters_Timer);
    m_timerStartRefresh = makeTimer("TimerStartRefresh", kStartRefreshMs, &FrmHoofdscherm::TimerStartRefresh_Timer);

    Form_Load(options.commandLine);
}

FrmHoofdscherm::~FrmHoofdscherm()
{
    m_session->datacom.setByteListener({});
    // The dialogs refer to the session: they go first.
    delete m_instellingen;
    delete m_about;
}

QTimer *FrmHoofdscherm::makeTimer(const char *name, int intervalMs, void (FrmHoofdscherm::*handler)())
{
    auto *timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(TestTimeScale::scaledMs(intervalMs));
    connect(timer, &QTimer::timeout, this, handler);
    timer->start();
    return timer;
}

void FrmHoofdscherm::Form_Load(const QString &commandLine)
{
    m_session->datacom.setCaptionListener([this](const QString &caption) { m_frmCommunicatie->setTitle(caption); });
    // The operator's choices live outside Tessaro.set. A network port chosen
    // in the port dialog is opened from the start, unless this run names a device.
    m_preferences = Preferences::read(m_session->homeFolder);
    QString unusable;
    if (m_runDevice.isEmpty() && !m_preferences.networkPort.isEmpty() && m_setPortDevice)
        m_networkInUse = m_setPortDevice(m_preferences.networkPort, &unusable);
    m_session->InitProgram(commandLine, [this] { UpdateMessageWindow(); }, [this] { SetupScreens(); });
    // A remembered address mended by hand into something else is said, not passed over.
    if (!unusable.isEmpty()) {
        m_session->logfile.WriteLogLine(QStringLiteral("Network port \"%1\" not used: %2")
                                            .arg(Diverse::visibleText(m_preferences.networkPort), unusable));
    }
    markDefaultSettings();
    m_chkReadBack->setChecked(m_preferences.readBack);
    m_session->engine.setReadBack(m_preferences.readBack);
    m_siteFields->setSite(m_preferences.site);
    m_siteFields->setTechnician(m_preferences.technician.isEmpty() ? SiteReport::defaultTechnician()
                                                                   : m_preferences.technician);
}

// ---------------------------------------------------------------- start-up and timers

void FrmHoofdscherm::UpdateMessageWindow()
{
    // Only the lines that changed: a selection in the others is kept for copying.
    const Diverse::LogLines &lines = m_session->logLines;
    bool changed = false;
    for (int i = 0; i < int(m_text2.size()); ++i) {
        if (m_text2[i]->text() == lines.line(i))
            continue;
        m_text2[i]->setText(lines.line(i));
        changed = true;
    }
    if (changed)
        showNewestLogLine();
}

void FrmHoofdscherm::showNewestLogLine()
{
    int newest = int(m_text2.size()) - 1;
    while (newest > 0 && m_text2[newest]->text().isEmpty())
        --newest;
    // The whole line: QScrollArea::ensureWidgetVisible would show only its text cursor.
    QScrollBar *bar = m_logArea->verticalScrollBar();
    const int top = m_text2[newest]->mapTo(m_logArea->widget(), QPoint(0, 0)).y();
    const int bottom = top + m_text2[newest]->height();
    const int height = m_logArea->viewport()->height();
    if (top < bar->value())
        bar->setValue(top);
    else if (bottom > bar->value() + height)
        bar->setValue(bottom - height);
}

void FrmHoofdscherm::SetupScreens()
{
    for (int p = 0; p < kItemPageCount; ++p)
        m_ssTab2->setTabVisible(p, p == kGeneralPage || p == kEspaPage);
    applyDebugMode();
    m_ssTab1->setTabVisible(kServiceTab, true);
    m_ssTab3->setCurrentIndex(2);
    m_ssTab2->setCurrentIndex(kGeneralPage);
    m_ssTab1->setCurrentIndex(0);
}

void FrmHoofdscherm::applyDebugMode()
{
    const bool service = m_session->engine.DebugMode() == 2;
    m_frameCmdButtonsAlgemeen->setVisible(service);
    m_frameCmdButtonsPaging->setVisible(service);
    m_cmdInstellingenOpslaan->setEnabled(service);
    m_ssTab1->setTabVisible(kTraceTab, service);
    m_status->setServiceMode(service);
    updateTracing();
}

void FrmHoofdscherm::updateTracing()
{
    const bool service = m_session->engine.DebugMode() == 2;
    const bool wanted = service || WireTrace::loggingEnabled();
    // Lines go to the page only in service mode; the trace itself logs them
    // to the category when that is on.
    m_wireTrace->setListener(service ? WireTrace::Listener([this](const WireTrace::Line &line) {
        m_tracePage->addLine(line);
    })
                                     : WireTrace::Listener());
    if (wanted == m_tracing)
        return;
    m_tracing = wanted;
    if (wanted) {
        m_session->datacom.setByteListener(
            [trace = m_wireTrace.get()](Datacom::Direction direction, quint8 byte) { trace->take(direction, byte); });
    } else {
        m_session->datacom.setByteListener({});
        m_wireTrace->flush();
    }
}

void FrmHoofdscherm::TmrAfhandel_Timer()
{
    // A message box runs a nested event loop in which this timer fires
    // again; the engine itself takes no tick while its work is under way.
    if (m_ended || m_engineHeld)
        return;
    m_session->engine.InterfaceTick(0);
}

void FrmHoofdscherm::LedTimer_Timer()
{
    if (m_ended)
        return;
    if (m_session->setup.Logfile > 0)
        UpdateMessageWindow();
    stepIndicator(m_session->datacom.txActivity, m_txLedOn, m_shpTx, kTxLit, kTxDark);
    stepIndicator(m_session->datacom.rxActivity, m_rxLedOn, m_shpRx, kRxLit, kRxDark);
}

void FrmHoofdscherm::stepIndicator(bool &activity, bool &lit, ShapeIndicator *shape, const QColor &litColour,
                                   const QColor &darkColour)
{
    // In words: active while traffic is seen, idle from the first tick without.
    const QString name = indicatorName(shape, activity);
    if (shape->accessibleName() != name)
        shape->setAccessibleName(name);
    if (!activity)
        return;
    if (!lit) {
        lit = true;
        shape->setFillColour(litColour);
    } else {
        lit = false;
        activity = false;
        shape->setFillColour(darkColour);
    }
}

QString FrmHoofdscherm::indicatorName(const ShapeIndicator *shape, bool active) const
{
    return (shape == m_shpTx ? QStringLiteral("Transmit: ") : QStringLiteral("Receive: "))
        + (active ? QStringLiteral("active") : QStringLiteral("idle"));
}

void FrmHoofdscherm::TmrUpdateVensters_Timer()
{
    if (m_ended)
        return;
    ModuleToUnit::MarkValueColours(m_session->stores, *m_controls);
    m_status->coloursMarked();
    m_session->datacom.CheckComLink();
}

void FrmHoofdscherm::TimerStartRefresh_Timer()
{
    m_timerStartRefresh->stop();
    if (m_ended)
        return;
    ModUnitUpdate::ShowAllValues(m_session->stores, *m_controls);
}

void FrmHoofdscherm::Quit_Click()
{
    if (messageBox(QStringLiteral("Do you want to quit the program?"), Branding::webTitle(), Icon::None,
                   Buttons::OkCancel)
        != Answer::Ok)
        return;
    m_session->datacom.CloseComPort();
    endProgram();
}

void FrmHoofdscherm::endProgram()
{
    m_ended = true;
    for (QTimer *timer : {m_tmrAfhandel, m_ledTimer, m_tmrUpdateVensters, m_timerStartRefresh})
        timer->stop();
    // Whatever state a dialog is in, it goes with the program.
    delete m_instellingen;
    delete m_about;
    close();
    emit programEnded();
}

void FrmHoofdscherm::closeEvent(QCloseEvent *event)
{
    if (!m_ended) {
        // Closing the window ends the program as Quit does, without asking.
        m_session->datacom.CloseComPort();
        endProgram();
    }
    event->accept();
}

// ---------------------------------------------------------------- the operator view

void FrmHoofdscherm::appendProgress(const QString &piece)
{
    m_txtProgress->moveCursor(QTextCursor::End);
    m_txtProgress->insertPlainText(QtDialogs::withNewlines(piece));
    m_txtProgress->moveCursor(QTextCursor::End);
    m_txtProgress->ensureCursorVisible();
}

void FrmHoofdscherm::clearProgress()
{
    m_txtProgress->clear();
}

void FrmHoofdscherm::setProgressBar(const ProgressBar &bar)
{
    m_progressBar->setRange(bar.minimum, bar.maximum);
    m_progressBar->setValue(bar.value);
    m_progressBar->setVisible(bar.visible);
}

OperatorView::Answer FrmHoofdscherm::messageBox(const QString &text, const QString &title, Icon icon,
                                                Buttons buttons)
{
    // The focus goes back to the button that asked, or else to where it was:
    // the window would otherwise put it on its first button.
    QPointer<QWidget> opener = qobject_cast<QAbstractButton *>(sender());
    if (!opener)
        opener = QApplication::focusWidget() ? QApplication::focusWidget() : focusWidget();
    const Answer answer = m_dialogs->messageBox(text, title, icon, buttons);
    if (opener && opener->isEnabled() && opener->isVisibleTo(opener->window()))
        opener->setFocus(Qt::OtherFocusReason);
    return answer;
}

void FrmHoofdscherm::setNextMessageDetails(const QString &details)
{
    m_dialogs->setNextMessageDetails(details);
}

QString FrmHoofdscherm::testPagerAddress() const
{
    return m_txtTestPagerAdres->text();
}

QString FrmHoofdscherm::testPagerDisplayInfo() const
{
    return m_txtTestPagerDisplayInfo->text();
}

void FrmHoofdscherm::beep()
{
    m_dialogs->beep();
}

std::optional<QString> FrmHoofdscherm::chooseFile(bool save, const QString &proposedName, const QString &startFolder,
                                                  const QString &filter)
{
    return m_dialogs->chooseFile(save, proposedName, startFolder, filter);
}

std::optional<QString> FrmHoofdscherm::chooseNewestFile(const QString &proposedName, const QString &startFolder,
                                                        const QString &filter)
{
    return m_dialogs->chooseNewestFile(proposedName, startFolder, filter);
}

void FrmHoofdscherm::reportFileResult(const FileResult &result)
{
    if (!result.ok)
        messageBox(result.error, Branding::kTitleBy, Icon::Critical, Buttons::Ok);
}


bool FrmHoofdscherm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && moveInLog(watched, static_cast<QKeyEvent *>(event)->key()))
        return true;
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_txtTestPagerAdres) {
            TxtTestPagerAdres_DblClick();
            return true;
        }
        if (watched == m_txtTestPagerDisplayInfo) {
            TxtTestPagerDisplayInfo_DblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool FrmHoofdscherm::moveInLog(QObject *line, int key)
{
    if (key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    const auto at = std::find(m_text2.begin(), m_text2.end(), line);
    if (at == m_text2.end())
        return false;
    const int to = int(at - m_text2.begin()) + (key == Qt::Key_Up ? -1 : 1);
    if (to < 0 || to >= int(m_text2.size()))
        return true;
    m_text2[to]->setFocus(Qt::OtherFocusReason);
    m_logArea->ensureWidgetVisible(m_text2[to], 0, 0);
    return true;
}

void FrmHoofdscherm::SSTab_Click()
{
    ModuleToUnit::ClearComboSelections(*m_controls);
}

void FrmHoofdscherm::Setup_Click()
{
    if (!m_instellingen) {
        m_instellingen = new FrmInstellingen(*m_session, *this, this);
        m_instellingen->setRunPortOption(m_portOption);
        m_instellingen->setFirstDevices(m_deviceWatch->newDevices());
        m_instellingen->setEngineHold([this](bool hold) { m_engineHeld = hold; });
        m_instellingen->setNetworkPortChooser(
            [this](const QString &address, QString *error) { return chooseNetworkPort(address, error); });
        m_instellingen->setNetworkPort(m_preferences.networkPort);
    }
    m_instellingen->show();
    m_instellingen->raise();
    m_instellingen->activateWindow();
}

void FrmHoofdscherm::About_Click()
{
    if (!m_about)
        m_about = new FrmAbout(m_session->engine, [this] { applyDebugMode(); }, *this, this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}
