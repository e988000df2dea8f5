#include "ModUnitUpdate.h"

#include "ItemControls.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

using namespace ScreenDefinition;

namespace ModUnitUpdate {

bool ShowListChoice(ItemControls &controls, int n, int v)
{
    const int limit = displayLimit(n);
    if (limit < 0)
        return true;
    return controls.setComboIndex(n, v > limit ? 0 : v);
}

void ShowValue(Stores &stores, ItemControls &controls, int n)
{
    if (!hasControl(n))
        return;
    Value &working = stores.workingValues[n];
    if (hasCombo(n)) {
        if (!controls.comboVisible(n))
            return;
        const auto v = Values::roundToInt16(Values::numberOf(working));
        if (!v || !ShowListChoice(controls, n, *v)) {
            working = Values::integer(0);
            ShowListChoice(controls, n, 0); // an empty list keeps showing nothing
        }
        return;
    }
    if (hasIntBox(n)) {
        if (!controls.textVisible(n))
            return;
        std::optional<qint16> v = qint16(0);
        if (!Values::isEmpty(working)) {
            const auto number = Values::strictNumberOf(working);
            v = number ? Values::roundToInt16(*number) : std::nullopt;
        }
        if (!v) {
            working = Values::integer(0);
            v = 0;
        }
        controls.setText(n, *v > 0 ? Diverse::NumberText(*v) : QString());
        return;
    }
    if (hasTekstBox(n)) {
        if (controls.textVisible(n))
            controls.setText(n, Values::textOf(working));
    }
}

void ShowAllValues(Stores &stores, ItemControls &controls)
{
    for (int n = 0; n < Items::kItemCount; ++n)
        ShowValue(stores, controls, n);
}

Value screenValue(const ItemControls &controls, int n)
{
    if (hasCombo(n))
        return controls.comboVisible(n) ? Values::integer(controls.comboIndex(n)) : Values::integer(0);
    if (hasIntBox(n))
        return controls.textVisible(n) ? Values::number(Values::numericValueOfText(controls.text(n)))
                                       : Values::integer(0);
    if (hasTekstBox(n))
        return Values::text(controls.textVisible(n) ? controls.text(n) : QString());
    return Value();
}

void TakeValue(Stores &stores, const ItemControls &controls, int n)
{
    if (hasControl(n))
        stores.workingValues[n] = screenValue(controls, n);
}

void TakeAllValues(Stores &stores, const ItemControls &controls)
{
    for (int n = 0; n < Items::kItemCount; ++n)
        TakeValue(stores, controls, n);
}

} // namespace ModUnitUpdate
