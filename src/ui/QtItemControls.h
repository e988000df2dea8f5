#pragma once

#include "binding/ItemControls.h"

#include <QColor>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The item controls as widgets: the combo boxes ComboInstellingen (items 0-78),
// the text boxes TxtIntInput (100-143) and TxtTekstInput (150-232), their
// legends, the single read and write buttons and the test call's bleep list.
// All are made here without a parent; the window places each on its page.
// A control keeps its own visible flag whether or not its page is shown, so
// items on pages the operator cannot reach take part in every transfer.
class QtItemControls : public ItemControls
{
public:
    // Highest CHAR item with single read and write buttons.
    static constexpr int kLastButtonItem = 65;

    // The colour of a control that shows what the unit holds (Qt has no
    // inactive-caption role; this is the classic one).
    static QColor matchesUnitColour();

    // A push button as every dialog of the tool makes it: named, and the
    // default one while it has the focus (Enter presses it).
    static QPushButton *makeButton(const QString &caption, const QString &name);

    QtItemControls();
    ~QtItemControls() override;
    QtItemControls(const QtItemControls &) = delete;
    QtItemControls &operator=(const QtItemControls &) = delete;

    QComboBox *combo(int item) const;       // 0-78
    QLineEdit *textBox(int item) const;     // 100-143, 150-232
    QLabel *legendLabel(int item) const;    // every item with a control
    QPushButton *readButton(int item) const;  // CHAR 0-65; TEKST 150
    QPushButton *writeButton(int item) const; // CHAR 0-65; TEKST 150
    QComboBox *testBleepCombo() const { return m_testBleep; }
    bool singleButtonsVisible(int item) const;

    // ItemControls
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

private:
    QWidget *valueWidget(int item) const;

    std::array<QComboBox *, 79> m_combos{};
    std::array<bool, 79> m_comboShown{};
    std::array<QLineEdit *, 44> m_intBoxes{};
    std::array<QLineEdit *, 83> m_tekstBoxes{};
    std::array<QLabel *, 251> m_legends{};
    std::array<QPushButton *, kLastButtonItem + 1> m_readButtons{};
    std::array<QPushButton *, kLastButtonItem + 1> m_writeButtons{};
    std::array<bool, kLastButtonItem + 1> m_buttonsShown{};
    QPushButton *m_tekstReadButton = nullptr;
    QPushButton *m_tekstWriteButton = nullptr;
    QComboBox *m_testBleep = nullptr;
    std::array<Colour, 251> m_colours{};
};
