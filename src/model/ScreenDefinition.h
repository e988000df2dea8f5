#pragma once

#include <QString>
#include <QStringList>

// Which items the screens offer, under which legends, and the choice lists of
// the CHAR items. One definition serves the window and the headless controls,
// so both hold identical lists.
namespace ScreenDefinition {

// Items with a value control: CHAR 0-78 (combo boxes), INT 100-143 and
// TEKST 150-232 (text boxes).
constexpr int kLastComboItem = 78;
constexpr int kFirstIntBox = 100;
constexpr int kLastIntBox = 143;
constexpr int kFirstTekstBox = 150;
constexpr int kLastTekstBox = 232;
constexpr int kPagerEntries = 39;

constexpr bool hasCombo(int n) { return n >= 0 && n <= kLastComboItem; }
constexpr bool hasIntBox(int n) { return n >= kFirstIntBox && n <= kLastIntBox; }
constexpr bool hasTekstBox(int n) { return n >= kFirstTekstBox && n <= kLastTekstBox; }
constexpr bool hasControl(int n) { return hasCombo(n) || hasIntBox(n) || hasTekstBox(n); }

// The legend of an item with a control; empty for any other number.
QString legend(int n);

// The entries of an active CHAR item's choice list, value 0 first; empty for
// the inactive CHAR items and every other number. Items 40-78 get the bleep codes.
QStringList choiceList(int n);

// "BleepCode: 0" ... "BleepCode: F", also the test call's list.
QStringList bleepCodeEntries();

// Highest list position a combo box shows for item n (a higher value shows
// position 0); -1 for items without a list rule.
int displayLimit(int n);

// Most characters the operator may type into a TEKST box; 0 for no limit.
int typingLimit(int n);

// Pager table entry k (1-39) and its four items.
constexpr int bleepItem(int k) { return 39 + k; }
constexpr int eventItem(int k) { return 104 + k; }
constexpr int addressItem(int k) { return 154 + k; }
constexpr int leadingTextItem(int k) { return 193 + k; }

} // namespace ScreenDefinition
