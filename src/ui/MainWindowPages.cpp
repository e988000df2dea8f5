// The building of the main window: its menu, tabs, pages, the serial port
// frame and the status bar. The window's behaviour is in FrmHoofdscherm.cpp.

#include "FrmHoofdscherm.h"

#include "FocusSign.h"
#include "MainWindowPages.h"
#include "NewestInView.h"
#include "QtItemControls.h"
#include "ShapeIndicator.h"
#include "SiteRecordFields.h"
#include "TracePage.h"
#include "TypingLimitValidator.h"
#include "WheelGuard.h"

#include "model/Branding.h"

#include "model/ScreenDefinition.h"
#include "protocol/Session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace ScreenDefinition;
using namespace MainWindowPages;

namespace {

const char *const kItemPageCaptions[kItemPageCount] = {
    "&General settings",    "Instellingen BMC",   "ES&PA settings",
    "Niet gebruikte CHAR",  "Niet gebruikte INT", "Niet gebruikte TEKST",
    "Button CHAR",          "Button INT",         "Button TEKST",
    "Tab 9",
};

// Items whose single buttons sit in the two service frames; the buttons of the
// other CHAR items 0-65 are on the hidden page "Button CHAR".
constexpr int kGeneralFrameButtons[] = {25, 30, 31};
constexpr int kPagingFrameButtons[] = {10, 11, 12, 13, 14};

QGroupBox *makeFrame(const QString &caption, const char *name)
{
    auto *frame = new QGroupBox(caption);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

QLabel *makeLabel(const QString &text, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A page whose content may be larger than the window: it scrolls instead of
// making the whole window as large as its largest hidden page.
QWidget *scrolling(QWidget *content)
{
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    // Not a tab stop of its own: it would take the focus without showing it.
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidget(content);
    return area;
}

// Legends on the left, controls at their natural width.
QFormLayout *makeForm(QWidget *parent = nullptr)
{
    auto *form = new QFormLayout(parent);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    return form;
}

// Legends without their controls, in columns.
void addLegendGrid(QVBoxLayout *layout, QtItemControls &controls, int first, int last, int columns = 4)
{
    auto *grid = new QGridLayout;
    int i = 0;
    for (int n = first; n <= last; ++n, ++i)
        grid->addWidget(controls.legendLabel(n), i / columns, i % columns);
    layout->addLayout(grid);
}

// Legend and control of each item, one row each.
void addItemRows(QFormLayout *form, QtItemControls &controls, std::initializer_list<int> items)
{
    for (int n : items) {
        QWidget *control = controls.combo(n);
        if (!control)
            control = controls.textBox(n);
        form->addRow(controls.legendLabel(n), control);
    }
}

void addItemRange(QFormLayout *form, QtItemControls &controls, int first, int last)
{
    for (int n = first; n <= last; ++n)
        addItemRows(form, controls, {n});
}

// A row of a service frame: the item number and its two buttons.
void addButtonRow(QGridLayout *grid, int row, int item, QPushButton *read, QPushButton *write)
{
    grid->addWidget(new QLabel(QString::number(item)), row, 0);
    grid->addWidget(read, row, 1);
    grid->addWidget(write, row, 2);
}

// "Algemeen": the diagnostic level and the service frame of its buttons, which it returns.
QGroupBox *addGeneralPage(QVBoxLayout *layout, QtItemControls &c)
{
    auto *form = makeForm();
    addItemRows(form, c, {0});
    layout->addLayout(form);
    auto *frame = makeFrame(QString(), "FrameCmdButtonsAlgemeen");
    auto *grid = new QGridLayout(frame);
    int row = 0;
    for (int n : kGeneralFrameButtons)
        addButtonRow(grid, row++, n, c.readButton(n), c.writeButton(n));
    addButtonRow(grid, row, kFirstTekstBox, c.readButton(kFirstTekstBox), c.writeButton(kFirstTekstBox));
    layout->addWidget(frame, 0, Qt::AlignLeft);
    return frame;
}

// The two ESPA ports side by side.
void addEspaPage(QVBoxLayout *layout, QtItemControls &c)
{
    auto *row = new QHBoxLayout;
    auto *espaIn = makeFrame(QStringLiteral("ESPA in settings: "), "FrameEspaIn");
    addItemRows(makeForm(espaIn), c, {10, 11, 12, 13, 14});
    auto *espaOut = makeFrame(QStringLiteral("ESPA out settings: "), "FrameEspaOut");
    addItemRows(makeForm(espaOut), c, {5, 7, 30, 31, 32, 33, 34, 35});
    row->addWidget(espaIn, 0, Qt::AlignTop);
    row->addWidget(espaOut, 0, Qt::AlignTop);
    row->addStretch();
    layout->addLayout(row);
}

// "Button CHAR": the read and write buttons of the items without a frame of their own.
void addButtonCharPage(QVBoxLayout *layout, QtItemControls &c)
{
    auto inFrame = [](int n) {
        return std::find(std::begin(kGeneralFrameButtons), std::end(kGeneralFrameButtons), n)
                   != std::end(kGeneralFrameButtons)
            || std::find(std::begin(kPagingFrameButtons), std::end(kPagingFrameButtons), n)
                   != std::end(kPagingFrameButtons);
    };
    auto *grid = new QGridLayout;
    int i = 0;
    for (int n = 0; n <= QtItemControls::kLastButtonItem; ++n) {
        if (inFrame(n))
            continue;
        c.readButton(n)->setText(QStringLiteral("Lezen"));
        c.writeButton(n)->setText(QStringLiteral("Schrijven"));
        const int column = (i % 3) * 3;
        grid->addWidget(new QLabel(QString::number(n)), i / 3, column);
        grid->addWidget(c.readButton(n), i / 3, column + 1);
        grid->addWidget(c.writeButton(n), i / 3, column + 2);
        ++i;
    }
    layout->addLayout(grid);
    addLegendGrid(layout, c, bleepItem(2), bleepItem(kPagerEntries));
}

} // namespace

// ---------------------------------------------------------------- building

void FrmHoofdscherm::buildWindow()
{
    setWindowTitle(Branding::windowCaption());

    QMenuBar *menu = menuBar();
    connect(menu->addAction(QStringLiteral("&Setup")), &QAction::triggered, this, &FrmHoofdscherm::Setup_Click);
    connect(menu->addAction(QStringLiteral("&Quit")), &QAction::triggered, this, &FrmHoofdscherm::Quit_Click);
    connect(menu->addAction(QStringLiteral("&About")), &QAction::triggered, this, &FrmHoofdscherm::About_Click);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);

    m_ssTab1 = new QTabWidget;
    m_ssTab1->setObjectName(QStringLiteral("SSTab1"));
    m_logArea = static_cast<QScrollArea *>(scrolling(buildStatusPage()));
    // At a large scale factor the 25 lines are taller than the page: the newest
    // stays in view. Queued: the scroll area sizes its viewport after the range.
    connect(m_logArea->verticalScrollBar(), &QScrollBar::rangeChanged, this, &FrmHoofdscherm::showNewestLogLine,
            Qt::QueuedConnection);
    m_ssTab1->addTab(m_logArea, QStringLiteral("Stat&us"));
    m_ssTab1->addTab(buildSetupPage(), QStringLiteral("S&etup"));
    m_ssTab1->addTab(scrolling(buildFilePage()), QStringLiteral("&File"));
    m_ssTab1->addTab(buildUnitPage(), QStringLiteral("U&nit"));
    m_ssTab1->addTab(scrolling(buildServicePage()), QStringLiteral("Ser&vice"));
    // The frame trace, shown in service mode only.
    m_tracePage = new TracePage(*this, m_session->logfile.logFolder());
    m_tracePage->setObjectName(QStringLiteral("TracePage"));
    m_ssTab1->addTab(m_tracePage, QStringLiteral("&Trace"));
    m_ssTab1->setTabVisible(kTraceTab, false);
    layout->addWidget(m_ssTab1, 1);

    layout->addLayout(buildPortFrame(central));

    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    if (auto *grip = statusBar()->findChild<QSizeGrip *>())
        grip->setAccessibleName(QStringLiteral("Window size"));

    for (QTabWidget *tabs : {m_ssTab1, m_ssTab2, m_ssTab3})
        connect(tabs, &QTabWidget::currentChanged, this, &FrmHoofdscherm::SSTab_Click);

    connectSingleButtons();

    // The preferred size, or less on a small screen (title bar and frame
    // left room); the pages scroll where the window is smaller than they are.
    const QSize preferred(1000, 740);
    const QSize decoration(16, 48);
    const QSize available = screen() ? screen()->availableGeometry().size() - decoration : preferred;
    resize(preferred.boundedTo(available).expandedTo(minimumSizeHint()));
}

// Below the tabs: the status line, the serial port frame with its
// indicators, and the hidden test button.
QBoxLayout *FrmHoofdscherm::buildPortFrame(QWidget *central)
{
    auto *bottom = new QHBoxLayout;
    // Room before the frame: a stretch, not an empty label a screen reader would find.
    bottom->addStretch(1);
    m_frmCommunicatie = makeFrame(m_session->datacom.caption, "FrmCommunicatie");
    auto *leds = new QHBoxLayout(m_frmCommunicatie);
    m_shpTx = new ShapeIndicator(kTxDark);
    m_shpTx->setObjectName(QStringLiteral("ShpTx"));
    m_shpTx->setAccessibleName(indicatorName(m_shpTx, false));
    m_shpRx = new ShapeIndicator(kRxDark);
    m_shpRx->setObjectName(QStringLiteral("ShpRx"));
    m_shpRx->setAccessibleName(indicatorName(m_shpRx, false));
    leds->addWidget(m_shpTx);
    leds->addWidget(new QLabel(QStringLiteral("TxD")));
    leds->addSpacing(12);
    leds->addWidget(m_shpRx);
    leds->addWidget(new QLabel(QStringLiteral("RxD")));
    leds->addStretch();
    bottom->addWidget(m_frmCommunicatie);
    // Never shown: a window of its own that is never opened, so it stays out
    // of what the accessibility tree tells of the main window too.
    auto *command2 = QtItemControls::makeButton(QStringLiteral("TestButton"), QStringLiteral("Command2"));
    command2->setParent(central, Qt::Window);
    command2->setVisible(false);
    connect(command2, &QPushButton::clicked, this, &FrmHoofdscherm::Command2_Click);
    return bottom;
}

void FrmHoofdscherm::connectSingleButtons()
{
    // The single buttons report their index.
    for (int n = 0; n <= QtItemControls::kLastButtonItem; ++n) {
        connect(m_controls->readButton(n), &QPushButton::clicked, this, [this, n] { CmdReadSingleSetting_Click(n); });
        connect(m_controls->writeButton(n), &QPushButton::clicked, this, [this, n] { CmdWriteSingleSetting_Click(n); });
    }
    connect(m_controls->readButton(kFirstTekstBox), &QPushButton::clicked, this,
            [this] { CmdReadSingleTekstSetting_Click(0); });
    connect(m_controls->writeButton(kFirstTekstBox), &QPushButton::clicked, this,
            [this] { CmdWriteSingleTekstSetting_Click(0); });
}

QWidget *FrmHoofdscherm::buildStatusPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("LogLines"));
    page->setAccessibleName(QStringLiteral("Log"));
    page->setAccessibleDescription(QStringLiteral("The last %1 lines of the log, the newest at the bottom")
                                       .arg(m_text2.size()));
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(0);
    for (int i = 0; i < int(m_text2.size()); ++i) {
        auto *line = new QLineEdit(QStringLiteral("12345"));
        line->setObjectName(QStringLiteral("Text2_") + QString::number(i));
        line->setAccessibleName(QStringLiteral("Log line %1").arg(i + 1));
        line->setReadOnly(true);
        // One stop for the tab key, the newest line; the arrow keys move
        // between the lines (see eventFilter), Ctrl+C copies the selection.
        line->setFocusPolicy(i + 1 == int(m_text2.size()) ? Qt::StrongFocus : Qt::ClickFocus);
        line->installEventFilter(this);
        m_text2[i] = line;
        layout->addWidget(line);
    }
    layout->addStretch();
    return page;
}

QWidget *FrmHoofdscherm::buildSetupPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    m_ssTab2 = new QTabWidget;
    m_ssTab2->setObjectName(QStringLiteral("SSTab2"));
    for (int p = 0; p < kItemPageCount; ++p)
        m_ssTab2->addTab(buildItemPage(p), QString::fromLatin1(kItemPageCaptions[p]));
    layout->addWidget(m_ssTab2, 1);
    auto *line1 = new QFrame;
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::HLine);
    line1->setFrameShadow(QFrame::Sunken);
    line1->setAccessibleName(QStringLiteral("End of the settings pages"));
    layout->addWidget(line1);
    return page;
}

QWidget *FrmHoofdscherm::buildItemPage(int p)
{
    QtItemControls &c = *m_controls;
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    switch (p) {
    case kGeneralPage: m_frameCmdButtonsAlgemeen = addGeneralPage(layout, c); break;
    case kEspaPage: addEspaPage(layout, c); break;
    case kUnusedCharPage: {
        auto *form = makeForm();
        addItemRows(form, c, {1, 2, 3, 4, 6, 8, 9, 16});
        addItemRange(form, c, 20, 29);
        addItemRange(form, c, 36, 39);
        addItemRows(form, c, {150});
        layout->addLayout(form);
        break;
    }
    case kUnusedIntPage: {
        auto *form = makeForm();
        addItemRange(form, c, 100, 104);
        layout->addLayout(form);
        addLegendGrid(layout, c, eventItem(2), kLastIntBox);
        break;
    }
    case kUnusedTekstPage: {
        auto *form = makeForm();
        addItemRange(form, c, 151, 154);
        layout->addLayout(form);
        addLegendGrid(layout, c, addressItem(2), addressItem(kPagerEntries));
        break;
    }
    case kButtonCharPage: addButtonCharPage(layout, c); break;
    case kButtonTekstPage: {
        auto *form = makeForm();
        addItemRows(form, c, {15, 17, 18, 19});
        layout->addLayout(form);
        addLegendGrid(layout, c, leadingTextItem(2), leadingTextItem(kPagerEntries));
        break;
    }
    case kPagerPage: layout->addWidget(buildPagerTable()); break;
    default: // "Instellingen BMC" and "Button INT" are empty
        break;
    }
    layout->addStretch();
    return scrolling(content);
}

QWidget *FrmHoofdscherm::buildPagerTable()
{
    QtItemControls &c = *m_controls;
    auto *table = new QWidget;
    auto *layout = new QVBoxLayout(table);
    layout->setContentsMargins(0, 0, 0, 0);

    // The column headings are the legends of entry 1.
    auto *headings = new QHBoxLayout;
    for (int n : {bleepItem(1), addressItem(1), leadingTextItem(1), eventItem(1)})
        headings->addWidget(c.legendLabel(n), 1);
    layout->addLayout(headings);

    m_ssTab3 = new QTabWidget;
    m_ssTab3->setObjectName(QStringLiteral("SSTab3"));
    m_ssTab3->addTab(buildPagerPage(27), QStringLiteral("27 t/m 39"));
    m_ssTab3->addTab(buildPagerPage(14), QStringLiteral("14 t/m 26"));
    m_ssTab3->addTab(buildPagerPage(1), QStringLiteral("1 t/m 13"));
    layout->addWidget(m_ssTab3);
    return table;
}

QWidget *FrmHoofdscherm::buildPagerPage(int firstEntry)
{
    QtItemControls &c = *m_controls;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *grid = new QGridLayout;
    for (int k = firstEntry; k < firstEntry + 13; ++k) {
        const int row = k - firstEntry;
        grid->addWidget(new QLabel(QString::number(k)), row, 0);
        grid->addWidget(c.combo(bleepItem(k)), row, 1);
        grid->addWidget(c.textBox(addressItem(k)), row, 2);
        grid->addWidget(c.textBox(leadingTextItem(k)), row, 3);
        grid->addWidget(c.textBox(eventItem(k)), row, 4);
    }
    layout->addLayout(grid);
    if (firstEntry == 1) {
        m_frameCmdButtonsPaging = makeFrame(QString(), "FrameCmdButtonsPaging");
        auto *buttons = new QGridLayout(m_frameCmdButtonsPaging);
        int row = 0;
        for (int n : kPagingFrameButtons) {
            buttons->addWidget(new QLabel(QString::number(n)), row, 0);
            buttons->addWidget(c.readButton(n), row, 1);
            buttons->addWidget(c.writeButton(n), row, 2);
            ++row;
        }
        layout->addWidget(m_frameCmdButtonsPaging, 0, Qt::AlignLeft);
    }
    layout->addStretch();
    return page;
}

QWidget *FrmHoofdscherm::buildFilePage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *frame1 = makeFrame(QStringLiteral("All settings: "), "Frame1");
    auto *frame1Layout = new QHBoxLayout(frame1);
    auto *save = QtItemControls::makeButton(QStringLiteral("Save t&o file"), QStringLiteral("CmdOpslaanUnitGegevens"));
    auto *read = QtItemControls::makeButton(QStringLiteral("&Read from file"), QStringLiteral("CmdLezenUnitgegevens"));
    auto *restore = QtItemControls::makeButton(QStringLiteral("Restore a &backup..."), QStringLiteral("CmdRestoreBackup"));
    restore->setToolTip(QStringLiteral("Load the unit's settings as they were before a write-all"));
    frame1Layout->addWidget(save);
    frame1Layout->addWidget(read);
    frame1Layout->addWidget(restore);
    auto *report = QtItemControls::makeButton(QStringLiteral("Re&port..."), QStringLiteral("CmdReport"));
    report->setToolTip(QStringLiteral("Save the settings on the screen as a PDF or HTML report for the site's records"));
    frame1Layout->addWidget(report);
    frame1Layout->addStretch();
    connect(report, &QPushButton::clicked, this, &FrmHoofdscherm::CmdReport_Click);
    connect(save, &QPushButton::clicked, this, &FrmHoofdscherm::CmdOpslaanUnitGegevens_Click);
    connect(read, &QPushButton::clicked, this, &FrmHoofdscherm::CmdLezenUnitgegevens_Click);
    connect(restore, &QPushButton::clicked, this, &FrmHoofdscherm::CmdRestoreBackup_Click);

    auto *frame2 = makeFrame(QStringLiteral("Unit settings: "), "Frame2");
    auto *frame2Layout = new QHBoxLayout(frame2);
    auto *readDefault = QtItemControls::makeButton(QStringLiteral("Rea&d default from file"), QStringLiteral("CmdInstellingenLezen"));
    m_cmdInstellingenOpslaan = QtItemControls::makeButton(QStringLiteral("Save as defau&lt"), QStringLiteral("CmdInstellingenOpslaan"));
    frame2Layout->addWidget(readDefault);
    frame2Layout->addWidget(m_cmdInstellingenOpslaan);
    frame2Layout->addStretch();
    connect(readDefault, &QPushButton::clicked, this, &FrmHoofdscherm::CmdInstellingenLezen_Click);
    connect(m_cmdInstellingenOpslaan, &QPushButton::clicked, this, &FrmHoofdscherm::CmdInstellingenOpslaan_Click);

    m_siteFields = new SiteRecordFields;
    layout->addWidget(frame1);
    layout->addWidget(m_siteFields);
    layout->addWidget(frame2);
    layout->addStretch();
    return page;
}

QHBoxLayout *FrmHoofdscherm::buildTransferButtons()
{
    auto *transfer = new QHBoxLayout;
    auto *readAll = QtItemControls::makeButton(QStringLiteral("&Read all settings from unit"), QStringLiteral("CmdLeesAlles"));
    auto *writeAll = QtItemControls::makeButton(QStringLiteral("&Write all settings to unit"), QStringLiteral("CmdSchrijfAlles"));
    // Beside write-all: only the settings that differ from the unit's, confirmed first.
    auto *writeChanges = QtItemControls::makeButton(QStringLiteral("Write c&hanges"), QStringLiteral("CmdWriteChanges"));
    writeChanges->setToolTip(QStringLiteral("Read the unit, list the settings that will change, and write only those"));
    m_chkReadBack = new QCheckBox(QStringLiteral("Read &back after writing"));
    m_chkReadBack->setObjectName(QStringLiteral("ChkReadBack"));
    m_chkReadBack->setAccessibleName(QStringLiteral("Read back after writing"));
    m_chkReadBack->setToolTip(QStringLiteral("After a write, read the written settings back from the unit "
                                             "and tell those it holds otherwise"));
    m_chkReadBack->setChecked(true);
    transfer->addWidget(readAll);
    transfer->addWidget(writeAll);
    transfer->addWidget(writeChanges);
    transfer->addSpacing(12);
    transfer->addWidget(m_chkReadBack);
    transfer->addStretch();
    connect(readAll, &QPushButton::clicked, this, &FrmHoofdscherm::CmdLeesAlles_Click);
    connect(writeAll, &QPushButton::clicked, this, &FrmHoofdscherm::CmdSchrijfAlles_Click);
    connect(writeChanges, &QPushButton::clicked, this, &FrmHoofdscherm::CmdWriteChanges_Click);
    connect(m_chkReadBack, &QCheckBox::toggled, this, &FrmHoofdscherm::ChkReadBack_Click);
    return transfer;
}

QWidget *FrmHoofdscherm::buildUnitPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(buildTransferButtons());

    m_txtProgress = new QPlainTextEdit;
    m_txtProgress->setObjectName(QStringLiteral("TxtProgress"));
    m_txtProgress->setAccessibleName(QStringLiteral("Progress"));
    m_txtProgress->setAccessibleDescription(QStringLiteral("What the transfers with the unit did, the newest at the bottom"));
    m_txtProgress->setReadOnly(true);
    m_txtProgress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A day of traffic stays within bounds; the oldest lines go first.
    m_txtProgress->setMaximumBlockCount(5000);
    QPalette palette = m_txtProgress->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
        palette.setColor(group, QPalette::Text, Qt::blue);
    }
    m_txtProgress->setPalette(palette);
    showFocusFrame(m_txtProgress);
    keepNewestInView(m_txtProgress);
    layout->addWidget(m_txtProgress, 1);

    auto *logButtons = new QHBoxLayout;
    auto *clear = QtItemControls::makeButton(QStringLiteral("&Clear log"), QStringLiteral("CmdWisLogVenster"));
    auto *cancel = QtItemControls::makeButton(QStringLiteral("Cance&l"), QStringLiteral("CmdCancelReadWrite"));
    logButtons->addWidget(clear);
    logButtons->addWidget(cancel);
    logButtons->addStretch();
    connect(clear, &QPushButton::clicked, this, &FrmHoofdscherm::CmdWisLogVenster_Click);
    connect(cancel, &QPushButton::clicked, this, &FrmHoofdscherm::CmdCancelReadWrite_Click);
    layout->addLayout(logButtons);

    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("ProgressBarProgrammeren"));
    m_progressBar->setAccessibleName(QStringLiteral("Transfer progress"));
    // Its room is kept while it is hidden, so Cancel stays where it was when it appears.
    QSizePolicy keepRoom = m_progressBar->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_progressBar->setSizePolicy(keepRoom);
    setProgressBar(ProgressBar{});
    layout->addWidget(m_progressBar);
    return page;
}

QWidget *FrmHoofdscherm::buildServicePage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);

    auto *reopenFrame = makeFrame(QStringLiteral("Re-open ComPort: "), "FrameOpnieuwOpenenComPoort");
    auto *reopenLayout = new QHBoxLayout(reopenFrame);
    auto *reopen = QtItemControls::makeButton(QStringLiteral("&Open ComPort"), QStringLiteral("CmdReOpenCom"));
    reopenLayout->addWidget(reopen);
    reopenLayout->addStretch();
    connect(reopen, &QPushButton::clicked, this, &FrmHoofdscherm::CmdReOpenCom_Click);

    auto *restartFrame = makeFrame(QStringLiteral("Restart the converter: "), "FrameHerstartConverter");
    auto *restartLayout = new QHBoxLayout(restartFrame);
    auto *restart = QtItemControls::makeButton(QStringLiteral("&Restart"), QStringLiteral("CmdTestHerstart"));
    restartLayout->addWidget(restart);
    restartLayout->addStretch();
    connect(restart, &QPushButton::clicked, this, &FrmHoofdscherm::CmdTestHerstart_Click);

    auto *callFrame = makeFrame(QStringLiteral("Send call to ESPA out: "), "FramePagerOproepen");
    auto *callForm = makeForm(callFrame);
    m_txtTestPagerAdres = new QLineEdit;
    m_txtTestPagerAdres->setObjectName(QStringLiteral("TxtTestPagerAdres"));
    TypingLimitValidator::install(m_txtTestPagerAdres, 10);
    WheelGuard::install(m_txtTestPagerAdres);
    m_txtTestPagerAdres->installEventFilter(this);
    m_txtTestPagerDisplayInfo = new QLineEdit;
    m_txtTestPagerDisplayInfo->setObjectName(QStringLiteral("TxtTestPagerDisplayInfo"));
    TypingLimitValidator::install(m_txtTestPagerDisplayInfo, 40);
    WheelGuard::install(m_txtTestPagerDisplayInfo);
    m_txtTestPagerDisplayInfo->setMinimumWidth(m_txtTestPagerDisplayInfo->fontMetrics().averageCharWidth() * 44);
    m_txtTestPagerDisplayInfo->installEventFilter(this);
    QComboBox *bleep = m_controls->testBleepCombo();
    const QStringList legends = {QStringLiteral("A&ddress:"), QStringLiteral("&Bleepcode:"), QStringLiteral("&Message:")};
    const QList<QWidget *> fields = {m_txtTestPagerAdres, bleep, m_txtTestPagerDisplayInfo};
    for (int i = 0; i < 3; ++i) {
        QLabel *legend = makeLabel(legends.at(i), fields.at(i));
        legend->setObjectName(QStringLiteral("TxtLegendaTestOproepAdres_") + QString::number(i));
        callForm->addRow(legend, fields.at(i));
    }
    auto *call = QtItemControls::makeButton(QStringLiteral("&Call"), QStringLiteral("CmdTestOproepPager"));
    callForm->addRow(QString(), call);
    connect(call, &QPushButton::clicked, this, &FrmHoofdscherm::CmdTestOproepPager_Click);

    layout->addWidget(reopenFrame);
    layout->addWidget(restartFrame);
    layout->addWidget(callFrame);
    layout->addStretch();
    return page;
}

