#pragma once

#include "model/Value.h"

#include <QString>

class ItemControls;

// How an item is named in the progress box and the log.
namespace ItemTexts {

// What the item's control shows, control characters by name: a text from the
// unit or a file stays on its line and never reaches a terminal as a command.
QString controlText(const ItemControls &controls, int item);
// "[Item: n Value: C] " for an item with a visible legend, else empty.
QString describeItem(const ItemControls &controls, int item);
// " [Item: n Value: v] " before a line of the progress box in service mode
// and of the log; a text item read is tagged "Waarde".
QString itemTag(int item, const Value &value, bool readResult);

} // namespace ItemTexts
