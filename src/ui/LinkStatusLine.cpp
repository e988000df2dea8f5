#include "LinkStatusLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {

const QString kSeparator = QStringLiteral(" \u00B7 ");

// The device a port number reaches, when it says more than the number does
// (on Windows port 3 is COM3, so the number alone says it).
QString portText(const LinkState &link)
{
    if (link.portNumber() == 0 && link.device().isEmpty())
        return QString();
    QString text = QStringLiteral("Com %1").arg(link.portNumber());
    const QString device = link.device();
    if (!device.isEmpty() && device.compare(QStringLiteral("COM%1").arg(link.portNumber()), Qt::CaseInsensitive) != 0)
        text += QStringLiteral(" = ") + device;
    return text;
}

// What the last exchange got: "no answer" only when nothing came back.
QString failureWords(LinkState::Failure failure)
{
    using Failure = LinkState::Failure;
    switch (failure) {
    case Failure::None:
    case Failure::NoAnswer: return QStringLiteral("no answer from the unit");
    case Failure::UnusableAnswer: return QStringLiteral("unusable answer from the unit");
    case Failure::OtherItem: return QStringLiteral("answered for another item");
    case Failure::CutShort: return QStringLiteral("answer cut short");
    case Failure::Checksum: return QStringLiteral("checksum error");
    case Failure::TooLong:
    case Failure::Nack:
    case Failure::Refused:
    case Failure::PortLost:
    case Failure::PortWriteFailed:
    case Failure::PortClosed: break;
    }
    return LinkState::failureText(failure);
}

QString stateText(const LinkState &link)
{
    switch (link.state()) {
    case LinkState::State::Open: return QStringLiteral("port open");
    case LinkState::State::Connecting: return QStringLiteral("connecting");
    case LinkState::State::Answering: return QStringLiteral("unit answering");
    case LinkState::State::NotAnswering: return failureWords(link.lastFailure());
    case LinkState::State::Closed:
        // Its device is not there (yet): the engine opens it by itself once it is.
        if (link.problem() == Port::Problem::NoSuchDevice)
            return QStringLiteral("waiting for the device");
        return link.reason().isEmpty() ? QStringLiteral("port closed") : QStringLiteral("port closed: ") + link.reason();
    }
    return QString();
}

struct Look
{
    QStyle::StandardPixmap icon;
    QColor colour;
    const char *iconName; // what the icon says, for a screen reader
};

Look lookOf(LinkState::State state)
{
    switch (state) {
    case LinkState::State::Open: return {QStyle::SP_MessageBoxInformation, QColor(0, 64, 160), "Information"};
    // Under way, neither open nor failed.
    case LinkState::State::Connecting: return {QStyle::SP_BrowserReload, QColor(0, 64, 160), "Connecting"};
    case LinkState::State::Answering: return {QStyle::SP_DialogApplyButton, QColor(0, 120, 0), "Good"};
    case LinkState::State::NotAnswering: return {QStyle::SP_MessageBoxWarning, QColor(160, 90, 0), "Warning"};
    case LinkState::State::Closed: break;
    }
    return {QStyle::SP_MessageBoxCritical, QColor(176, 0, 0), "Error"};
}

} // namespace

LinkStatusLine::LinkStatusLine(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LinkStatusLine"));
    setAccessibleName(QStringLiteral("Link state"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_icon = new QLabel;
    m_icon->setObjectName(QStringLiteral("LinkStatusIcon"));
    m_text = new QLabel;
    m_text->setObjectName(QStringLiteral("LinkStatusText"));
    m_text->setTextFormat(Qt::PlainText);
    // Reached with the tab key too, so its words can be copied without a mouse.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFocusPolicy(Qt::StrongFocus);
    // A long reason must not make the window wider than the screen: the line
    // may be cut short, its tooltip holds it whole.
    m_text->setMinimumWidth(m_text->fontMetrics().averageCharWidth() * 24);
    layout->addWidget(m_icon);
    layout->addWidget(m_text, 1);
}

QString LinkStatusLine::text(const LinkState &link)
{
    QString port = portText(link);
    if (link.state() != LinkState::State::Closed && link.anotherDevice())
        port += kSeparator + QStringLiteral("another device than before");
    else if (link.state() != LinkState::State::Closed && link.valuesToReadAgain())
        port += kSeparator + QStringLiteral("values must be read again");
    return port.isEmpty() ? stateText(link) : port + kSeparator + stateText(link);
}

QString LinkStatusLine::shownText() const
{
    return m_text->text();
}

void LinkStatusLine::setOffer(const QString &device)
{
    m_offer = device.isEmpty() ? QString() : QStringLiteral("New serial device %1 \u2014 press Find unit").arg(device);
    showText();
}

void LinkStatusLine::showText()
{
    m_text->setText(m_offer.isEmpty() ? m_stateText : m_stateText + kSeparator + m_offer);
    m_text->setToolTip(m_text->text() + m_tip);
}

void LinkStatusLine::showState(const LinkState &link)
{
    m_stateText = text(link);
    if (link.state() == LinkState::State::Closed && !link.reason().isEmpty()) {
        m_lastTry = link.reason();
        m_lastTryDevice = link.device();
    } else if (link.state() != LinkState::State::Connecting) {
        m_lastTry.clear();
    } else if (!m_lastTry.isEmpty() && link.device() == m_lastTryDevice) {
        m_stateText += kSeparator + QStringLiteral("last try: ") + m_lastTry;
    }
    m_tip.clear();
    if (link.state() == LinkState::State::Answering && link.lastAnswer().isValid())
        m_tip = QStringLiteral("\nLast good answer at %1").arg(link.lastAnswer().toString(QStringLiteral("HH:mm:ss")));
    showText();
    // Icon and colour change with the kind of state only.
    if (m_shown && m_state == link.state())
        return;
    m_shown = true;
    m_state = link.state();
    const Look look = lookOf(m_state);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    m_icon->setPixmap(style()->standardIcon(look.icon, nullptr, this).pixmap(size, size));
    m_icon->setAccessibleName(QString::fromLatin1(look.iconName));
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, look.colour);
    m_text->setPalette(palette);
}
