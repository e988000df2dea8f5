#include "ModuleToUnit.h"

#include "ItemControls.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

using namespace ScreenDefinition;

namespace ModuleToUnit {
namespace {

// A unit value that is a text but not a number counts as different.
bool equalsNumber(double shown, const Value &unit)
{
    const auto v = Values::strictNumberOf(unit);
    return v && *v == shown;
}

void mark(const Stores &stores, ItemControls &controls, int n, bool equal)
{
    if (stores.itemRequest[n] != 0)
        return;
    controls.setColour(n, equal ? ItemControls::Colour::MatchesUnit : ItemControls::Colour::DiffersFromUnit);
}

} // namespace

void MarkValueColours(const Stores &stores, ItemControls &controls)
{
    for (int n = 0; n <= kLastComboItem; ++n)
        mark(stores, controls, n, equalsNumber(controls.comboIndex(n), stores.unitValues[n]));
    for (int n = kFirstIntBox; n <= kLastIntBox; ++n)
        mark(stores, controls, n,
             equalsNumber(Values::numericValueOfText(controls.text(n)), stores.unitValues[n]));
    for (int n = kFirstTekstBox; n <= kLastTekstBox; ++n)
        mark(stores, controls, n, controls.text(n) == Values::textOf(stores.unitValues[n]));
}

void ClearComboSelections(ItemControls &controls)
{
    for (int n = 0; n <= kLastComboItem; ++n)
        controls.setComboSelectionLength(n, 0);
}

} // namespace ModuleToUnit
