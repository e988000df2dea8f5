#include "ModuleToUnit.h"

#include "ItemControls.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

using namespace ScreenDefinition;

namespace ModuleToUnit {
namespace {

void mark(const Stores &stores, ItemControls &controls, int n, bool equal)
{
    if (stores.itemRequest[n] != 0)
        return;
    controls.setColour(n, equal ? ItemControls::Colour::MatchesUnit : ItemControls::Colour::DiffersFromUnit);
}

} // namespace

bool matchesUnit(int n, const Value &shown, const Value &unit)
{
    if (hasTekstBox(n))
        return Values::textOf(shown) == Values::textOf(unit);
    const auto v = Values::strictNumberOf(unit);
    return v && *v == Values::numberOf(shown);
}

bool showsUnitValue(const ItemControls &controls, int n, const Value &unit)
{
    if (hasCombo(n))
        return matchesUnit(n, Values::integer(controls.comboIndex(n)), unit);
    if (hasIntBox(n))
        return matchesUnit(n, Values::number(Values::numericValueOfText(controls.text(n))), unit);
    return matchesUnit(n, Values::text(controls.text(n)), unit);
}

void MarkValueColours(const Stores &stores, ItemControls &controls)
{
    // Combo boxes, then INT boxes, then TEKST boxes: the items in ascending order.
    for (int n = 0; n <= kLastTekstBox; ++n) {
        if (hasControl(n))
            mark(stores, controls, n, showsUnitValue(controls, n, stores.unitValues[n]));
    }
}

void ClearComboSelections(ItemControls &controls)
{
    for (int n = 0; n <= kLastComboItem; ++n)
        controls.setComboSelectionLength(n, 0);
}

} // namespace ModuleToUnit
