#include "FrmInstellingen.h"

#include "DialogFocus.h"
#include "LineCheckChart.h"
#include "QtItemControls.h"

#include "model/Branding.h"
#include "model/TestTimeScale.h"

#include "files/LeesIniFile.h"
#include "link/NetworkAddress.h"
#include "model/Diverse.h"
#include "protocol/OperatorView.h"
#include "protocol/Session.h"
#include "protocol/UnitProbe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

const QColor FrmInstellingen::kLockedText(192, 192, 192);

namespace {

// The line check's summary, shown once it has words: empty, a screen reader
// would find a label without a name.
void showCheckSummary(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, colour);
        palette.setColor(group, QPalette::ButtonText, colour);
    }
    widget->setPalette(palette);
}

} // namespace

FrmInstellingen::FrmInstellingen(Session &session, OperatorView &view, QWidget *parent)
    : QWidget(parent, Qt::Dialog), m_session(session), m_view(view)
    , m_searchMaker([](const QList<PortCandidate> &candidates) { return std::make_unique<UnitSearch>(candidates); })
{
    setObjectName(QStringLiteral("frmInstellingen"));
    setWindowTitle(QStringLiteral("Instellingen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    QGridLayout *fields = buildFields();
    m_cmdWijzigen = QtItemControls::makeButton(QStringLiteral("C&hange"), QStringLiteral("CmdWijzigen"));
    m_cmdClose = QtItemControls::makeButton(QStringLiteral("C&lose"), QStringLiteral("CmdClose"));
    m_cmdSave = QtItemControls::makeButton(QStringLiteral("&Save"), QStringLiteral("CmdSave"));
    m_cmdCancel = QtItemControls::makeButton(QStringLiteral("&Cancel"), QStringLiteral("CmdCancel"));
    m_cmdFindUnit = QtItemControls::makeButton(QStringLiteral("&Find unit"), QStringLiteral("CmdFindUnit"));
    m_cmdCheckLine = QtItemControls::makeButton(QStringLiteral("Chec&k line"), QStringLiteral("CmdCheckLine"));
    m_cmdCheckLine->setToolTip(QStringLiteral("%1 reads of the unit's first setting on the open port: how many are "
                                              "answered, and how fast")
                                   .arg(kCheckReads));
    m_checkSummary = new QLabel;
    m_checkSummary->setObjectName(QStringLiteral("LblCheckLine"));
    m_checkSummary->setWordWrap(true);
    m_checkSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_checkSummary->hide(); // until a check has something to say
    m_checkChart = new LineCheckChart;
    m_checkChart->hide();
    m_searchTimer = new QTimer(this);
    m_searchTimer->setInterval(TestTimeScale::scaledMs(25));
    connect(m_searchTimer, &QTimer::timeout, this, &FrmInstellingen::searchTick);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdWijzigen);
    buttons->addWidget(m_cmdSave);
    buttons->addWidget(m_cmdCancel);
    buttons->addWidget(m_cmdFindUnit);
    buttons->addWidget(m_cmdCheckLine);
    buttons->addStretch();
    buttons->addWidget(m_cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(m_checkSummary);
    layout->addWidget(m_checkChart);
    connectControls();

    setEditing(false);
    Form_Load();
}

// The port list with the device it reaches, the network port beside it, and
// the path to the settings files.
QGridLayout *FrmInstellingen::buildFields()
{
    m_comboCom = new QComboBox;
    m_comboCom->setObjectName(QStringLiteral("ComboCom"));
    m_comboCom->setPlaceholderText(QStringLiteral("Com")); // shown while no entry is chosen
    m_device = new QLabel;
    m_device->setObjectName(QStringLiteral("LblDevice"));
    m_txtSetPath = new QLineEdit;
    m_txtSetPath->setObjectName(QStringLiteral("TxtSetPath"));
    m_txtSetPath->setMinimumWidth(280);
    // A port on a serial device server, in place of the numbered port.
    m_txtNetworkPort = new QLineEdit;
    m_txtNetworkPort->setObjectName(QStringLiteral("TxtNetworkPort"));
    m_txtNetworkPort->setMinimumWidth(220);
    auto *labelNetwork = new QLabel(QStringLiteral("or a network port: rfc2217://host:port"));
    labelNetwork->setObjectName(QStringLiteral("LblNetworkPort"));
    labelNetwork->setBuddy(m_txtNetworkPort);
    m_txtNetworkPort->setAccessibleName(labelNetwork->text());
    auto *label1 = new QLabel(QStringLiteral("Co&mPort:"));
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setBuddy(m_comboCom);
    auto *label2 = new QLabel(QStringLiteral("&Path to settings:"));
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setBuddy(m_txtSetPath);

    auto *fields = new QGridLayout;
    fields->addWidget(label1, 0, 0);
    fields->addWidget(m_comboCom, 0, 1);
    fields->addWidget(m_device, 0, 2);
    auto *network = new QHBoxLayout;
    network->addWidget(labelNetwork);
    network->addWidget(m_txtNetworkPort, 1);
    fields->addLayout(network, 1, 1, 1, 2);
    fields->addWidget(label2, 2, 0);
    fields->addWidget(m_txtSetPath, 2, 1, 1, 2);
    fields->setColumnStretch(2, 1);
    return fields;
}

void FrmInstellingen::connectControls()
{
    // Tab order as the operator works: fields, then the buttons left to right.
    setTabOrder(m_comboCom, m_txtNetworkPort);
    setTabOrder(m_txtNetworkPort, m_txtSetPath);
    setTabOrder(m_txtSetPath, m_cmdWijzigen);
    setTabOrder(m_cmdWijzigen, m_cmdSave);
    setTabOrder(m_cmdSave, m_cmdCancel);
    setTabOrder(m_cmdCancel, m_cmdFindUnit);
    setTabOrder(m_cmdFindUnit, m_cmdCheckLine);
    setTabOrder(m_cmdCheckLine, m_cmdClose);

    connect(m_cmdWijzigen, &QPushButton::clicked, this, &FrmInstellingen::CmdWijzigen_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, &FrmInstellingen::CmdSave_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &FrmInstellingen::CmdCancel_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &FrmInstellingen::CmdClose_Click);
    connect(m_cmdFindUnit, &QPushButton::clicked, this, &FrmInstellingen::CmdFindUnit_Click);
    connect(m_cmdCheckLine, &QPushButton::clicked, this, &FrmInstellingen::CmdCheckLine_Click);
    connect(m_comboCom, &QComboBox::currentIndexChanged, this, &FrmInstellingen::showDevice);
}

FrmInstellingen::~FrmInstellingen()
{
    // The engine outlives the dialog: the check's driver takes its listeners off as it goes.
}

void FrmInstellingen::Form_Load()
{
    m_comboCom->clear();
    LockCombo();
    for (int n = 1; n <= kPortCount; ++n)
        m_comboCom->addItem(QStringLiteral("Com") + QString::number(n));
    UpdateCombo();
}

void FrmInstellingen::LockCombo()
{
    m_comboCom->setEnabled(false);
    m_txtSetPath->setReadOnly(true);
    m_txtNetworkPort->setReadOnly(true);
    setTextColour(m_comboCom, kLockedText);
    setTextColour(m_txtSetPath, kLockedText);
    setTextColour(m_txtNetworkPort, kLockedText);
}

void FrmInstellingen::UnlockCombo()
{
    m_comboCom->setEnabled(true);
    m_txtSetPath->setReadOnly(false);
    m_txtNetworkPort->setReadOnly(false);
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    setTextColour(m_comboCom, windowText);
    setTextColour(m_txtSetPath, windowText);
    setTextColour(m_txtNetworkPort, windowText);
}

void FrmInstellingen::UpdateCombo()
{
    const int index = m_session.setup.Compoort;
    m_comboCom->setCurrentIndex(index >= kPortCount ? 0 : qMax(index, -1));
    m_txtSetPath->setText(m_session.setup.SetPath);
    m_txtNetworkPort->setText(m_networkPort);
    m_shownPortIndex = m_comboCom->currentIndex();
    m_shownSetPath = m_txtSetPath->text();
    m_loadedCompoort = m_session.setup.Compoort;
    m_loadedSetPath = m_session.setup.SetPath;
    showDevice();
}

void FrmInstellingen::ComboToSettings()
{
    m_session.setup.Compoort = qint16(m_comboCom->currentIndex());
    m_session.setup.SetPath = m_txtSetPath->text();
}

void FrmInstellingen::setNetworkPort(const QString &address)
{
    m_networkPort = address;
    m_txtNetworkPort->setText(address);
    showDevice();
}

std::optional<QString> FrmInstellingen::enteredNetworkPort()
{
    const QString text = m_txtNetworkPort->text().trimmed();
    if (text.isEmpty())
        return QString();
    QString why;
    if (const auto address = NetworkAddress::parse(text, &why))
        return address->text();
    m_view.messageBox(QStringLiteral("The network port \"%1\" cannot be used: %2.")
                          .arg(Diverse::visibleText(text), why),
                      Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
    m_txtNetworkPort->setFocus();
    return std::nullopt;
}

bool FrmInstellingen::isEditing() const
{
    return m_cmdSave->isEnabled();
}

// Viewing: Change and Close; editing: Save and Cancel.
void FrmInstellingen::setEditing(bool editing)
{
    m_cmdCancel->setEnabled(editing);
    m_cmdSave->setEnabled(editing);
    m_cmdClose->setEnabled(!editing);
    m_cmdWijzigen->setEnabled(!editing);
    // A greyed button says when it can be used.
    const QString afterChange = QStringLiteral("Available after Change");
    const QString afterSave = QStringLiteral("Available after Save or Cancel");
    m_cmdCancel->setToolTip(editing ? QString() : afterChange);
    m_cmdSave->setToolTip(editing ? QString() : afterChange);
    m_cmdClose->setToolTip(editing ? afterSave : QString());
    m_cmdWijzigen->setToolTip(editing ? afterSave : QString());
}

void FrmInstellingen::showDevice()
{
    // Which device the chosen number reaches on this system.
    const int index = m_comboCom->currentIndex();
    const Port &port = m_session.datacom.port();
    const QString device = index >= 0 ? port.deviceName(index + 1) : QString();
    // The network port stored here is reached by every number.
    if (port.opensAnyNumber() && !device.isEmpty() && device == m_networkPort) {
        m_device->setText(QStringLiteral("= %1 (network port)").arg(device));
        return;
    }
    // A device named for this run is reached by every number: no mapping to show.
    if (port.opensAnyNumber() && !device.isEmpty()) {
        m_device->setText(QStringLiteral("%1 %2 (this run)").arg(m_runPortOption, device));
        return;
    }
    m_device->setText(device.isEmpty() ? QStringLiteral("(no such port)") : QStringLiteral("= ") + device);
}

void FrmInstellingen::CmdWijzigen_Click()
{
    setEditing(true);
    UnlockCombo();
    m_comboCom->setFocus();
}

void FrmInstellingen::CmdCancel_Click()
{
    setEditing(false);
    LockCombo();
    UpdateCombo();
    m_cmdWijzigen->setFocus();
}

void FrmInstellingen::CmdSave_Click()
{
    // Nothing changes under a running transfer; the dialog stays as it is.
    if (m_session.refuseWhileBusy())
        return;
    // A network port that does not parse: nothing is stored, the operator mends it.
    const std::optional<QString> network = enteredNetworkPort();
    if (!network)
        return;
    setEditing(false);
    LockCombo();
    const bool portChanged = m_comboCom->currentIndex() != m_shownPortIndex;
    const bool pathChanged = m_txtSetPath->text() != m_shownSetPath;
    ComboToSettings();
    // Another window on the same home folder may have saved its own choice
    // since this dialog showed its values: what was not changed here is taken
    // from the file as it is now, so that choice stays.
    if (QFileInfo(LeesIniFile::setupFilePath(m_session.homeFolder)).isFile()) {
        Setup onDisk;
        LeesIniFile::ReadSetupFile(onDisk, m_session.homeFolder);
        if (!portChanged && onDisk.Compoort != m_loadedCompoort)
            m_session.setup.Compoort = onDisk.Compoort;
        if (!pathChanged && onDisk.SetPath != m_loadedSetPath)
            m_session.setup.SetPath = onDisk.SetPath;
    }
    UpdateCombo();
    const FileResult written = LeesIniFile::WriteSetupFile(m_session.setup, m_session.homeFolder);
    if (!written.ok)
        m_view.messageBox(written.error, Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
    m_session.reloadDefaultSettings();
    // The network port when one is given, else the numbered port.
    QString why;
    if (m_chooseNetworkPort && !m_chooseNetworkPort(*network, &why))
        m_view.messageBox(why, Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
    else
        setNetworkPort(*network);
    // Closes and opens the port; an engine that never started, because the
    // port failed at start-up, starts on this successful open.
    m_session.reopenComPort();
    m_cmdWijzigen->setFocus();
}

void FrmInstellingen::CmdClose_Click()
{
    hide();
    close();
}

// Tries the ports one after another, only on the operator's click: other
// devices may hang on other ports. The tool's own port is closed meanwhile so
// its device can be tried too, and opened again afterwards; a port found is
// chosen, to be stored with Save.
void FrmInstellingen::CmdFindUnit_Click()
{
    if (isSearching() || isChecking() || m_session.refuseWhileBusy())
        return;
    m_search = m_searchMaker(searchCandidates());
    if (!m_search)
        return;
    m_wasEditing = isEditing();
    for (QPushButton *b : {m_cmdWijzigen, m_cmdSave, m_cmdCancel, m_cmdClose, m_cmdFindUnit})
        b->setEnabled(false);
    m_comboCom->setEnabled(false);
    m_device->setText(QStringLiteral("Searching..."));
    // An engine finding its port closed opens it again at once, taking the
    // device from under the probe: it waits until the search is done.
    if (m_engineHold)
        m_engineHold(true);
    m_session.datacom.CloseComPort();
    m_searchTimer->start();
}

QList<PortCandidate> FrmInstellingen::searchCandidates() const
{
    // The tool's own device is tried early: most often the unit is there.
    // Its port is closed for the search, so it is tried like any other.
    // A network port is no serial device: not tried.
    QStringList first = m_firstDevices;
    const QString own = m_session.datacom.port().deviceName(qMax(int(m_session.setup.Compoort), 0) + 1);
    if (!NetworkAddress::isNetworkText(own))
        first << own;
    return UnitSearch::systemCandidates({}, first, m_portSources);
}

bool FrmInstellingen::isSearching() const
{
    return m_search != nullptr;
}

void FrmInstellingen::searchTick()
{
    if (m_search && !m_search->tick())
        searchDone();
}

void FrmInstellingen::searchDone()
{
    m_searchTimer->stop();
    const QList<UnitSearch::Found> found = m_search->found();
    m_search.reset();
    m_cmdFindUnit->setEnabled(true);
    m_session.reopenComPort();
    if (m_engineHold)
        m_engineHold(false);
    setEditing(m_wasEditing);
    if (m_wasEditing)
        UnlockCombo();
    else
        LockCombo();
    Port &own = m_session.datacom.port();
    for (const UnitSearch::Found &f : found) {
        // This run's device (--port, --simulate) is reached by any number.
        if (own.opensAnyNumber() && f.port.device == own.deviceName(1)) {
            m_device->setText(QStringLiteral("%1 %2 (this run): unit found (%3)").arg(m_runPortOption, f.port.device, f.answer));
            return;
        }
    }
    for (const UnitSearch::Found &f : found) {
        if (f.port.portNumber < 1 || f.port.portNumber > kPortCount) {
            // A device without a number (a stable link alone) is named: --port reaches it.
            m_device->setText(QStringLiteral("%1: unit found (%2), use --port %1").arg(f.port.device, f.answer));
            continue;
        }
        // Chosen for Save, as if the operator had picked it.
        if (!isEditing())
            CmdWijzigen_Click();
        m_comboCom->setCurrentIndex(f.port.portNumber - 1);
        m_txtNetworkPort->clear(); // Save opens the port found, not a network port
        m_device->setText(QStringLiteral("= %1: unit found (%2)").arg(f.port.device, f.answer));
        return;
    }
    if (!found.isEmpty())
        return;
    showDevice();
    m_device->setText(m_device->text() + QStringLiteral("   (no unit found)"));
}

// The engine reads item 0 again and again on the port it holds, a read only
// asked for when the last has ended; the port's own traffic times each
// answer. A second click stops the check.
void FrmInstellingen::CmdCheckLine_Click()
{
    if (isChecking()) {
        endCheck(QStringLiteral("Line check stopped: ") + m_check->check().summary());
        return;
    }
    if (isSearching() || m_session.refuseWhileBusy())
        return;
    // The port chosen but not saved is not the one the engine holds.
    if (m_comboCom->currentIndex() != m_shownPortIndex || m_txtNetworkPort->text().trimmed() != m_networkPort) {
        showCheckSummary(m_checkSummary, QStringLiteral("Check line tests the open port: save the chosen port first."));
        return;
    }
    m_checkClock.start();
    m_check = std::make_unique<LineCheckDriver>(m_session.engine, m_session.datacom.port(), kCheckReads,
                                                [this] { return m_checkClock.elapsed(); });
    m_check->setExchangeListener([this](int, const LineCheck::Exchange &) {
        m_checkChart->setCheck(m_check->check());
        showCheckSummary(m_checkSummary, m_check->check().summary());
    });
    m_check->setEndListener([this](LineCheckDriver::Ending ending) { checkEnded(ending); });
    m_wasEditing = isEditing();
    for (QPushButton *b : {m_cmdWijzigen, m_cmdSave, m_cmdCancel, m_cmdFindUnit})
        b->setEnabled(false);
    m_cmdCheckLine->setText(QStringLiteral("Stop chec&k"));
    showCheckSummary(m_checkSummary, QStringLiteral("Checking the line..."));
    m_checkChart->setCheck(m_check->check());
    m_checkChart->show();
    m_check->start();
}

void FrmInstellingen::checkEnded(LineCheckDriver::Ending ending)
{
    if (ending == LineCheckDriver::Ending::Refused) {
        // A network port still connecting is not closed: it needs only a moment.
        endCheck(m_session.datacom.isConnecting()
                     ? QStringLiteral("Line check not started: the port is still connecting; try again once it is open.")
                     : QStringLiteral("Line check not started: the serial port is not open."));
    } else if (ending == LineCheckDriver::Ending::Done) {
        endCheck(m_check->check().summary());
    } else {
        endCheck(QStringLiteral("Line check stopped: ") + m_check->check().summary());
    }
}

// The next read, asked for and not sent yet, goes; a read in hand when the
// check is stopped runs to its end in the engine, its outcome no longer taken.
void FrmInstellingen::endCheck(const QString &text)
{
    m_check->stop();
    showCheckSummary(m_checkSummary, text);
    m_cmdCheckLine->setText(QStringLiteral("Chec&k line"));
    m_cmdFindUnit->setEnabled(true);
    setEditing(m_wasEditing);
}

void FrmInstellingen::closeEvent(QCloseEvent *event)
{
    if (isChecking())
        endCheck(QString());
    if (isSearching()) {
        m_view.beep();
        event->ignore();
        return;
    }
    // Out of editing only by Save or Cancel, also with the window's own close button.
    if (isEditing()) {
        m_view.beep();
        event->ignore();
        return;
    }
    event->accept();
}

void FrmInstellingen::keyPressEvent(QKeyEvent *event)
{
    // Escape does what the state offers: Cancel while editing, else Close.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (isEditing())
            CmdCancel_Click();
        else
            CmdClose_Click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrmInstellingen::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        QTimer::singleShot(0, this, &FrmInstellingen::Form_Deactivate);
    QWidget::changeEvent(event);
}

void FrmInstellingen::Form_Deactivate()
{
    takeFocusBack(this, m_view);
}
