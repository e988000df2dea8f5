#include "FrmAbout.h"

#include "DialogFocus.h"

#include "model/Branding.h"

#include "model/Diverse.h"
#include "protocol/Interface.h"
#include "protocol/OperatorView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The maker's mark: a tessera of four tiles, one lit, beside the maker's name.
class LogoImage : public QWidget
{
public:
    LogoImage()
    {
        setObjectName(QStringLiteral("Image1"));
        setAccessibleName(Branding::kMakerName + QStringLiteral(" logo"));
        setFixedSize(260, 84);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor deep(23, 64, 112);
        const QColor light(84, 158, 214);
        const QColor accent(236, 140, 36);
        const qreal tile = 30;
        const qreal gap = 4;
        const QPointF origin(8, (height() - 2 * tile - gap) / 2);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 2; ++col) {
                const QRectF r(origin.x() + col * (tile + gap), origin.y() + row * (tile + gap), tile, tile);
                p.setPen(Qt::NoPen);
                p.setBrush(row == 0 && col == 1 ? accent : (row + col) % 2 ? light : deep);
                p.drawRoundedRect(r, 5, 5);
            }
        }
        QFont name = font();
        name.setPointSizeF(name.pointSizeF() * 2.1);
        name.setBold(true);
        p.setFont(name);
        p.setPen(deep);
        const QRectF text(origin.x() + 2 * tile + gap + 14, 0, width() - 2 * tile - 40, height());
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, Branding::kMakerName);
    }
};

} // namespace

LogoFrame::LogoFrame(QWidget *parent)
    : QFrame(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void LogoFrame::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit doubleClicked();
    event->accept();
}

void LogoFrame::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            emit doubleClicked();
            event->accept();
            return;
        }
    }
    QFrame::keyPressEvent(event);
}

void LogoFrame::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (!hasFocus())
        return;
    // A highlight-coloured border, as the read-only text boxes show (FocusSign.h):
    // the style's own focus rectangle is hard to see on the logo's panel.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

FrmAbout::FrmAbout(Interface &engine, std::function<void()> applyDebugMode, OperatorView &view, QWidget *parent)
    : QWidget(parent, Qt::Dialog), m_engine(engine), m_applyDebugMode(std::move(applyDebugMode)), m_view(view)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    auto *frameLogo = new LogoFrame;
    frameLogo->setObjectName(QStringLiteral("FrameLogo"));
    frameLogo->setFrameShape(QFrame::StyledPanel);
    frameLogo->setAccessibleName(Branding::kMakerName);
    frameLogo->setAccessibleDescription(Branding::kMakerName + QStringLiteral(" \u00A9 ") + Branding::kMakerYear
                                        + QStringLiteral(", ") + Branding::kWebDomain);
    auto *logoLayout = new QVBoxLayout(frameLogo);
    logoLayout->addWidget(new LogoImage, 0, Qt::AlignHCenter);
    auto *maker = new QLabel(Branding::kMakerName + QStringLiteral(" \u00A9 ") + Branding::kMakerYear);
    maker->setObjectName(QStringLiteral("LblMaker"));
    auto *visit = new QLabel(QStringLiteral("Visit us at ") + Branding::kWebDomain);
    visit->setObjectName(QStringLiteral("LblVisit"));
    for (QLabel *label : {maker, visit}) {
        label->setAlignment(Qt::AlignHCenter);
        logoLayout->addWidget(label);
    }

    m_label4 = new QLabel;
    m_label4->setObjectName(QStringLiteral("Label4"));
    auto *cmdSluit = new QPushButton(QStringLiteral("&Close"));
    cmdSluit->setObjectName(QStringLiteral("CmdSluit"));
    cmdSluit->setAutoDefault(true);
    cmdSluit->setDefault(true);
    connect(cmdSluit, &QPushButton::clicked, this, &FrmAbout::CmdSluit_Click);
    connect(frameLogo, &LogoFrame::doubleClicked, this, &FrmAbout::FrameLogo_DblClick);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_label4);
    bottom->addStretch();
    bottom->addWidget(cmdSluit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameLogo);
    layout->addLayout(bottom);
    cmdSluit->setFocus();

    Form_Load();
}

QString FrmAbout::versionLine()
{
    return QStringLiteral("Software version: ") + Diverse::NumberText(TESSARO_VERSION_MAJOR) + u'.'
        + Diverse::NumberText(TESSARO_VERSION_MINOR);
}

void FrmAbout::Form_Load()
{
    m_label4->setText(versionLine());
}

void FrmAbout::CmdSluit_Click()
{
    hide();
    close();
}

void FrmAbout::FrameLogo_DblClick()
{
    int mode = m_engine.DebugMode() + 1;
    if (mode > 2)
        mode = 0;
    m_engine.setDebugMode(mode);
    m_applyDebugMode();
}

void FrmAbout::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CmdSluit_Click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrmAbout::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        QTimer::singleShot(0, this, &FrmAbout::Form_Deactivate);
    QWidget::changeEvent(event);
}

void FrmAbout::Form_Deactivate()
{
    takeFocusBack(this, m_view);
}
