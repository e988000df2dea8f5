#pragma once

class ItemControls;
class Stores;

// Colours each item control by whether it shows what the unit holds.
namespace ModuleToUnit {

void MarkValueColours(const Stores &stores, ItemControls &controls);
void ClearComboSelections(ItemControls &controls);

} // namespace ModuleToUnit
