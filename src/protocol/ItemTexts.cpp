#include "ItemTexts.h"

#include "binding/ItemControls.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

using Diverse::NumberText;

namespace ItemTexts {

QString controlText(const ItemControls &controls, int item)
{
    if (ScreenDefinition::hasCombo(item))
        return Diverse::visibleText(controls.comboText(item));
    return Diverse::visibleText(controls.text(item));
}

QString describeItem(const ItemControls &controls, int item)
{
    if (!controls.legendVisible(item))
        return QString();
    return QStringLiteral("[Item: ") + NumberText(item) + QStringLiteral(" Value: ") + controlText(controls, item)
        + QStringLiteral("] ");
}

QString itemTag(int item, const Value &value, bool readResult)
{
    QString shown;
    if (readResult || Items::kindOf(item) == Items::Kind::Tekst)
        shown = Diverse::visibleText(Values::textOf(value));
    else
        shown = QString::number(qlonglong(Values::roundHalfEven(Values::numberOf(value))));
    const bool tekstRead = readResult && Items::kindOf(item) == Items::Kind::Tekst;
    return QStringLiteral(" [Item: ") + NumberText(item)
        + (tekstRead ? QStringLiteral(" Waarde: ") : QStringLiteral(" Value: ")) + shown + QStringLiteral("] ");
}

} // namespace ItemTexts
