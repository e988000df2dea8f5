#pragma once

#include "model/Value.h"

#include <QString>

#include <optional>

// Item numbers and values as a command line gives them, checked against what
// each item's kind and choice list can carry before anything reaches the unit.
namespace ItemArguments {

// "5" gives item 5. Nothing, and why, for anything but a whole number 0-249.
std::optional<int> parseItem(const QString &text, QString *error);

// The value of "ITEM=VALUE": the list position for an item with a choice list,
// a number 0-255 for the other CHAR items, 0-32767 for an INT item, the text
// itself for a TEKST item. Nothing, and why, for a value the item cannot carry.
std::optional<Value> parseValue(int n, const QString &text, QString *error);

// Whether the tool can take the unit's answer for item n: the CHAR items
// without a choice list and items 149 and 249 have no conversion, so a read of
// them always fails.
bool isReadable(int n);

// A value as a settings file holds it: CHAR and INT items as whole numbers,
// TEKST items as their text.
QString valueText(int n, const Value &value);

// One settings-file record: "N    ->VALUE".
QString record(int n, const QString &valueText);

} // namespace ItemArguments
