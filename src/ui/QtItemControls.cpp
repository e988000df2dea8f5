#include "QtItemControls.h"

#include "TypingLimitValidator.h"
#include "WheelGuard.h"
#include "model/ScreenDefinition.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace ScreenDefinition;

QPushButton *QtItemControls::makeButton(const QString &caption, const QString &name)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(true);
    return button;
}

namespace {

QString indexed(const char *family, int index)
{
    return QString::fromLatin1(family) + u'_' + QString::number(index);
}

QComboBox *makeCombo(const QString &name)
{
    auto *combo = new QComboBox;
    combo->setObjectName(name);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setMaxVisibleItems(16);
    WheelGuard::install(combo);
    return combo;
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Text, colour);
        palette.setColor(group, QPalette::ButtonText, colour);
    }
    widget->setPalette(palette);
}

bool hasTextColour(const QWidget *widget, const QColor &colour)
{
    const QPalette &palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        if (palette.color(group, QPalette::Text) != colour || palette.color(group, QPalette::ButtonText) != colour)
            return false;
    }
    return true;
}

// A control not yet placed on the window must not pop up as a window of its own.
void applyVisible(QWidget *widget, bool visible)
{
    if (widget->parentWidget() || !visible)
        widget->setVisible(visible);
}

} // namespace

QColor QtItemControls::matchesUnitColour()
{
    return QColor(122, 150, 223);
}

QtItemControls::QtItemControls()
{
    m_colours.fill(Colour::DiffersFromUnit);
    m_comboShown.fill(true);
    m_buttonsShown.fill(true);

    for (int n = 0; n <= kLastComboItem; ++n)
        m_combos[n] = makeCombo(indexed("ComboInstellingen", n));
    for (int n = kFirstIntBox; n <= kLastIntBox; ++n) {
        auto *box = new QLineEdit;
        box->setObjectName(indexed("TxtIntInput", n - kFirstIntBox));
        // No length limit and no code-page check, only the control bytes.
        TypingLimitValidator::install(box, 0, false);
        WheelGuard::install(box);
        m_intBoxes[n - kFirstIntBox] = box;
    }
    for (int n = kFirstTekstBox; n <= kLastTekstBox; ++n) {
        auto *box = new QLineEdit;
        box->setObjectName(indexed("TxtTekstInput", n - kFirstTekstBox));
        TypingLimitValidator::install(box, typingLimit(n));
        WheelGuard::install(box);
        m_tekstBoxes[n - kFirstTekstBox] = box;
    }
    for (int n = 0; n < int(m_legends.size()); ++n) {
        if (!hasControl(n))
            continue;
        const char *family = hasCombo(n) ? "TxtLegendaCharInput"
                             : hasIntBox(n) ? "TxtLegendaIntInput"
                                            : "TxtLegendaTekstInput";
        const int base = hasCombo(n) ? 0 : hasIntBox(n) ? kFirstIntBox : kFirstTekstBox;
        auto *label = new QLabel(legend(n));
        label->setObjectName(indexed(family, n - base));
        label->setBuddy(valueWidget(n));
        m_legends[n] = label;
    }
    for (int n = 0; n <= kLastButtonItem; ++n) {
        m_readButtons[n] = makeButton(QStringLiteral("Read"), indexed("CmdReadSingleSetting", n));
        m_writeButtons[n] = makeButton(QStringLiteral("PROGRAM"), indexed("CmdWriteSingleSetting", n));
    }
    m_tekstReadButton = makeButton(QStringLiteral("Lezen"), indexed("CmdReadSingleTekstSetting", 0));
    m_tekstWriteButton = makeButton(QStringLiteral("Schrijven"), indexed("CmdWriteSingleTekstSetting", 0));
    m_testBleep = makeCombo(QStringLiteral("ComboTestBleepCode"));
}

QtItemControls::~QtItemControls()
{
    // The window owns every control it placed; one never placed is ours.
    auto release = [](QWidget *widget) {
        if (widget && !widget->parent())
            delete widget;
    };
    for (auto *w : m_combos) release(w);
    for (auto *w : m_intBoxes) release(w);
    for (auto *w : m_tekstBoxes) release(w);
    for (auto *w : m_legends) release(w);
    for (auto *w : m_readButtons) release(w);
    for (auto *w : m_writeButtons) release(w);
    release(m_tekstReadButton);
    release(m_tekstWriteButton);
    release(m_testBleep);
}

QComboBox *QtItemControls::combo(int item) const
{
    return hasCombo(item) ? m_combos[item] : nullptr;
}

QLineEdit *QtItemControls::textBox(int item) const
{
    if (hasIntBox(item))
        return m_intBoxes[item - kFirstIntBox];
    if (hasTekstBox(item))
        return m_tekstBoxes[item - kFirstTekstBox];
    return nullptr;
}

QWidget *QtItemControls::valueWidget(int item) const
{
    if (QComboBox *c = combo(item))
        return c;
    return textBox(item);
}

QLabel *QtItemControls::legendLabel(int item) const
{
    return hasControl(item) ? m_legends[item] : nullptr;
}

QPushButton *QtItemControls::readButton(int item) const
{
    if (item == kFirstTekstBox)
        return m_tekstReadButton;
    return item >= 0 && item <= kLastButtonItem ? m_readButtons[item] : nullptr;
}

QPushButton *QtItemControls::writeButton(int item) const
{
    if (item == kFirstTekstBox)
        return m_tekstWriteButton;
    return item >= 0 && item <= kLastButtonItem ? m_writeButtons[item] : nullptr;
}

bool QtItemControls::singleButtonsVisible(int item) const
{
    return item >= 0 && item <= kLastButtonItem && m_buttonsShown[item];
}

bool QtItemControls::comboVisible(int item) const
{
    return hasCombo(item) && m_comboShown[item];
}

void QtItemControls::setComboVisible(int item, bool visible)
{
    if (!hasCombo(item))
        return;
    m_comboShown[item] = visible;
    applyVisible(m_combos[item], visible);
}

void QtItemControls::clearComboList(int item)
{
    if (QComboBox *c = combo(item))
        c->clear();
}

void QtItemControls::addComboEntry(int item, const QString &entry)
{
    if (QComboBox *c = combo(item))
        c->addItem(entry);
}

int QtItemControls::comboCount(int item) const
{
    const QComboBox *c = combo(item);
    return c ? c->count() : 0;
}

int QtItemControls::comboIndex(int item) const
{
    const QComboBox *c = combo(item);
    return c ? c->currentIndex() : -1;
}

bool QtItemControls::setComboIndex(int item, int index)
{
    QComboBox *c = combo(item);
    if (!c || index < -1 || index >= c->count())
        return false;
    c->setCurrentIndex(index);
    return true;
}

QString QtItemControls::comboText(int item) const
{
    const QComboBox *c = combo(item);
    return c && c->currentIndex() >= 0 ? c->itemText(c->currentIndex()) : QString();
}

void QtItemControls::setComboSelectionLength(int item, int length)
{
    // The lists take no typing, so only an editable box has a highlight to remove.
    QComboBox *c = combo(item);
    if (c && length == 0 && c->lineEdit())
        c->lineEdit()->deselect();
}

bool QtItemControls::textVisible(int item) const
{
    // The INT and TEKST boxes are never hidden.
    return textBox(item) != nullptr;
}

QString QtItemControls::text(int item) const
{
    const QLineEdit *box = textBox(item);
    return box ? box->text() : QString();
}

void QtItemControls::setText(int item, const QString &text)
{
    if (QLineEdit *box = textBox(item)) {
        box->setText(text);
        box->setCursorPosition(0); // a long text shows its beginning
    }
}

ItemControls::Colour QtItemControls::colour(int item) const
{
    return hasControl(item) ? m_colours[item] : Colour::DiffersFromUnit;
}

void QtItemControls::setColour(int item, Colour colour)
{
    if (!hasControl(item))
        return;
    m_colours[item] = colour;
    // Judged by the palette the control has now, not by the colour last set:
    // a style sheet set or cleared on it (a file value's mark) brings back
    // the palette it had before, with an earlier colour.
    QWidget *widget = valueWidget(item);
    const QColor wanted = colour == Colour::MatchesUnit ? matchesUnitColour()
                                                        : QApplication::palette().color(QPalette::WindowText);
    if (!hasTextColour(widget, wanted))
        setTextColour(widget, wanted);
}

bool QtItemControls::legendVisible(int item) const
{
    // No operation hides a legend.
    return hasControl(item);
}

QString QtItemControls::legendText(int item) const
{
    const QLabel *label = legendLabel(item);
    return label ? label->text() : QString();
}

void QtItemControls::setSingleButtonsVisible(int item, bool visible)
{
    if (item < 0 || item > kLastButtonItem)
        return;
    m_buttonsShown[item] = visible;
    applyVisible(m_readButtons[item], visible);
    applyVisible(m_writeButtons[item], visible);
}

void QtItemControls::setTestBleepVisible(bool visible)
{
    applyVisible(m_testBleep, visible);
}

void QtItemControls::clearTestBleepList()
{
    m_testBleep->clear();
}

void QtItemControls::addTestBleepEntry(const QString &entry)
{
    m_testBleep->addItem(entry);
}

void QtItemControls::setTestBleepIndex(int index)
{
    if (index >= -1 && index < m_testBleep->count())
        m_testBleep->setCurrentIndex(index);
}

int QtItemControls::testBleepIndex() const
{
    return m_testBleep->currentIndex();
}
