#pragma once

#include "binding/HeadlessItemControls.h"

#include <QStringList>

// Headless item controls that also show what the screen would: the list
// entries, selection lengths and button rows, and hide a text box on demand.
class TestItemControls : public HeadlessItemControls
{
public:
    QStringList comboEntries(int item) const
    {
        const Combo *c = combo(item);
        return c ? c->entries : QStringList();
    }
    int comboSelectionLength(int item) const
    {
        const Combo *c = combo(item);
        return c ? c->selectionLength : 0;
    }
    bool singleButtonsVisible(int item) const
    {
        const Combo *c = combo(item);
        return c && c->buttonsVisible;
    }
    void setTextVisible(int item, bool visible)
    {
        if (Box *b = box(item))
            b->visible = visible;
    }
    QStringList testBleepEntries() const { return testBleep().entries; }
};
