#include "HeadlessItemControls.h"

#include "model/ScreenDefinition.h"

using namespace ScreenDefinition;

HeadlessItemControls::HeadlessItemControls()
{
    m_colours.fill(Colour::DiffersFromUnit);
}

HeadlessItemControls::Combo *HeadlessItemControls::combo(int item)
{
    return hasCombo(item) ? &m_combos[item] : nullptr;
}

const HeadlessItemControls::Combo *HeadlessItemControls::combo(int item) const
{
    return hasCombo(item) ? &m_combos[item] : nullptr;
}

HeadlessItemControls::Box *HeadlessItemControls::box(int item)
{
    if (hasIntBox(item))
        return &m_intBoxes[item - kFirstIntBox];
    if (hasTekstBox(item))
        return &m_tekstBoxes[item - kFirstTekstBox];
    return nullptr;
}

const HeadlessItemControls::Box *HeadlessItemControls::box(int item) const
{
    return const_cast<HeadlessItemControls *>(this)->box(item);
}

bool HeadlessItemControls::comboVisible(int item) const
{
    const Combo *c = combo(item);
    return c && c->visible;
}

void HeadlessItemControls::setComboVisible(int item, bool visible)
{
    if (Combo *c = combo(item))
        c->visible = visible;
}

void HeadlessItemControls::clearComboList(int item)
{
    if (Combo *c = combo(item)) {
        c->entries.clear();
        c->index = -1;
    }
}

void HeadlessItemControls::addComboEntry(int item, const QString &entry)
{
    if (Combo *c = combo(item))
        c->entries << entry;
}

int HeadlessItemControls::comboCount(int item) const
{
    const Combo *c = combo(item);
    return c ? int(c->entries.size()) : 0;
}

int HeadlessItemControls::comboIndex(int item) const
{
    const Combo *c = combo(item);
    return c ? c->index : -1;
}

bool HeadlessItemControls::setComboIndex(int item, int index)
{
    Combo *c = combo(item);
    if (!c || index < -1 || index >= c->entries.size())
        return false;
    c->index = index;
    return true;
}

QString HeadlessItemControls::comboText(int item) const
{
    const Combo *c = combo(item);
    return c && c->index >= 0 ? c->entries.at(c->index) : QString();
}

void HeadlessItemControls::setComboSelectionLength(int item, int length)
{
    if (Combo *c = combo(item))
        c->selectionLength = length;
}

bool HeadlessItemControls::textVisible(int item) const
{
    const Box *b = box(item);
    return b && b->visible;
}

QString HeadlessItemControls::text(int item) const
{
    const Box *b = box(item);
    return b ? b->text : QString();
}

void HeadlessItemControls::setText(int item, const QString &text)
{
    if (Box *b = box(item))
        b->text = text;
}

ItemControls::Colour HeadlessItemControls::colour(int item) const
{
    return item >= 0 && item < int(m_colours.size()) ? m_colours[item] : Colour::DiffersFromUnit;
}

void HeadlessItemControls::setColour(int item, Colour colour)
{
    if (hasControl(item))
        m_colours[item] = colour;
}

bool HeadlessItemControls::legendVisible(int item) const
{
    return hasControl(item);
}

QString HeadlessItemControls::legendText(int item) const
{
    return legend(item);
}

void HeadlessItemControls::setSingleButtonsVisible(int item, bool visible)
{
    if (Combo *c = combo(item))
        c->buttonsVisible = visible;
}

void HeadlessItemControls::setTestBleepVisible(bool visible)
{
    m_testBleep.visible = visible;
}

void HeadlessItemControls::clearTestBleepList()
{
    m_testBleep.entries.clear();
    m_testBleep.index = -1;
}

void HeadlessItemControls::addTestBleepEntry(const QString &entry)
{
    m_testBleep.entries << entry;
}

void HeadlessItemControls::setTestBleepIndex(int index)
{
    if (index >= -1 && index < m_testBleep.entries.size())
        m_testBleep.index = index;
}

int HeadlessItemControls::testBleepIndex() const
{
    return m_testBleep.index;
}
