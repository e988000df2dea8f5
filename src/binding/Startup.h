#pragma once

class ItemControls;

// Applies the screen definition to the item controls.
namespace Startup {

// Shows the active CHAR items with their choice lists, hides the others, and
// fills the hex-digit items' and the test call's bleep-code lists.
void FillChoiceLists(ItemControls &controls);

} // namespace Startup
