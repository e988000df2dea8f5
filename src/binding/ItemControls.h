#pragma once

#include <QString>

// What the binding needs of the item controls, addressed by item number:
// the combo boxes of CHAR items 0-78, the text boxes of INT items 100-143 and
// TEKST items 150-232, their legends and the single read/write buttons, and
// the test call's bleep-code list. The window implements it with widgets; the
// headless set serves tests and the command-line tool.
class ItemControls
{
public:
    enum class Colour {
        MatchesUnit,    // inactive-caption colour: the control shows what the unit holds
        DiffersFromUnit // window-text colour
    };

    virtual ~ItemControls() = default;

    // Combo boxes, items 0-78.
    virtual bool comboVisible(int item) const = 0;
    virtual void setComboVisible(int item, bool visible) = 0;
    virtual void clearComboList(int item) = 0;
    virtual void addComboEntry(int item, const QString &entry) = 0;
    virtual int comboCount(int item) const = 0;
    virtual int comboIndex(int item) const = 0;        // -1: nothing chosen
    // -1 chooses nothing; false, and nothing changes, when the list has no such position.
    virtual bool setComboIndex(int item, int index) = 0;
    virtual QString comboText(int item) const = 0;      // the chosen entry, "" for none
    virtual void setComboSelectionLength(int item, int length) = 0;

    // Text boxes, items 100-143 and 150-232.
    virtual bool textVisible(int item) const = 0;
    virtual QString text(int item) const = 0;
    virtual void setText(int item, const QString &text) = 0;

    // Every item with a control.
    virtual Colour colour(int item) const = 0;
    virtual void setColour(int item, Colour colour) = 0;
    virtual bool legendVisible(int item) const = 0;
    virtual QString legendText(int item) const = 0;
    // The legend as a name in a sentence: trimmed, without its closing colon.
    QString legendName(int item) const
    {
        QString name = legendText(item).trimmed();
        if (name.endsWith(u':'))
            name.chop(1);
        return name.trimmed();
    }

    // Single read and write buttons of CHAR items.
    virtual void setSingleButtonsVisible(int item, bool visible) = 0;

    // The test call's bleep-code list.
    virtual void setTestBleepVisible(bool visible) = 0;
    virtual void clearTestBleepList() = 0;
    virtual void addTestBleepEntry(const QString &entry) = 0;
    virtual void setTestBleepIndex(int index) = 0;
    virtual int testBleepIndex() const = 0;
};
