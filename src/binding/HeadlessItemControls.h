#pragma once

#include "ItemControls.h"

#include <QStringList>

#include <array>

// Item controls without a screen: plain state, same rules as the widgets
// (a combo box takes only positions -1 .. count-1; legends are always visible).
class HeadlessItemControls : public ItemControls
{
public:
    HeadlessItemControls();

    bool comboVisible(int item) const override;
    void setComboVisible(int item, bool visible) override;
    void clearComboList(int item) override;
    void addComboEntry(int item, const QString &entry) override;
    int comboCount(int item) const override;
    int comboIndex(int item) const override;
    bool setComboIndex(int item, int index) override;
    QString comboText(int item) const override;
    void setComboSelectionLength(int item, int length) override;

    bool textVisible(int item) const override;
    QString text(int item) const override;
    void setText(int item, const QString &text) override;

    Colour colour(int item) const override;
    void setColour(int item, Colour colour) override;
    bool legendVisible(int item) const override;
    QString legendText(int item) const override;

    void setSingleButtonsVisible(int item, bool visible) override;

    void setTestBleepVisible(bool visible) override;
    void clearTestBleepList() override;
    void addTestBleepEntry(const QString &entry) override;
    void setTestBleepIndex(int index) override;
    int testBleepIndex() const override;

protected:
    // The state behind the controls, for a subclass that shows more of it.
    struct Combo
    {
        bool visible = true;
        QStringList entries;
        int index = -1;
        int selectionLength = 0;
        bool buttonsVisible = true;
    };
    struct Box
    {
        bool visible = true;
        QString text;
    };

    Combo *combo(int item);
    const Combo *combo(int item) const;
    Box *box(int item);
    const Box *box(int item) const;
    const Combo &testBleep() const { return m_testBleep; }

private:
    std::array<Combo, 79> m_combos;
    std::array<Box, 44> m_intBoxes;
    std::array<Box, 83> m_tekstBoxes;
    std::array<Colour, 251> m_colours;
    Combo m_testBleep;
};
