#pragma once

#include "model/Value.h"

class ItemControls;
class Stores;

// Colours each item control by whether it shows what the unit holds.
namespace ModuleToUnit {

void MarkValueColours(const Stores &stores, ItemControls &controls);
// Whether a value shown for item n is what the unit holds, as the colours
// compare them: numbers for list and INT items, texts for TEKST items; a unit
// value that is a text but no number differs.
bool matchesUnit(int n, const Value &shown, const Value &unit);
// Whether item n's control shows unit value n, compared as the colours
// compare: a combo box by its list position, a text box by its text.
bool showsUnitValue(const ItemControls &controls, int n, const Value &unit);
void ClearComboSelections(ItemControls &controls);

} // namespace ModuleToUnit
