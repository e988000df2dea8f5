#pragma once

#include "model/Value.h"

class ItemControls;
class Stores;

// Moves values between the working values and the item controls.
namespace ModUnitUpdate {

// Puts working value n on its control, when that control is visible. A value
// the control cannot show becomes integer 0.
void ShowValue(Stores &stores, ItemControls &controls, int n);
// Selects list position v (with the item's display limit) for a list item or
// a hex-digit item; other items keep what they show. False when the combo box
// has no such position.
bool ShowListChoice(ItemControls &controls, int n, int v);
void ShowAllValues(Stores &stores, ItemControls &controls);
// The value item n's control holds, as taking it gives it; empty for an item
// without a control.
Value screenValue(const ItemControls &controls, int n);
// Sets working value n from its control.
void TakeValue(Stores &stores, const ItemControls &controls, int n);
void TakeAllValues(Stores &stores, const ItemControls &controls);

} // namespace ModUnitUpdate
