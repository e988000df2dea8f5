#include "UnitDifferences.h"

#include "QtDialogs.h"
#include "QtItemControls.h"

#include "binding/ModUnitUpdate.h"
#include "binding/ModuleToUnit.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

using namespace ScreenDefinition;

// ---------------------------------------------------------------- UnitMemory

UnitMemory::UnitMemory()
{
    m_values.fill(Values::integer(-1));
}

bool UnitMemory::isKnown(const Value &value)
{
    if (Values::isEmpty(value))
        return false;
    const auto *integer = std::get_if<qint16>(&value);
    return !integer || *integer != -1;
}

void UnitMemory::take(const Stores &stores)
{
    for (int n = 0; n < Items::kStoreSize; ++n) {
        if (isKnown(stores.unitValues[n]))
            m_values[n] = stores.unitValues[n];
    }
}

void UnitMemory::forget()
{
    m_values.fill(Values::integer(-1));
}

bool UnitMemory::known(int item) const
{
    return item >= 0 && item < Items::kStoreSize && isKnown(m_values[item]);
}

bool UnitMemory::bulkUnknown() const
{
    for (int n : Items::kBulkItems) {
        if (known(n))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- comparing

namespace UnitDifferences {
namespace {

QString itemName(const QtItemControls &controls, int item)
{
    const QString name = controls.legendName(item);
    return name.isEmpty() ? QStringLiteral("Item %1").arg(item) : name;
}

QString settingsCount(int count)
{
    return count == 1 ? QStringLiteral("1 setting") : QStringLiteral("%1 settings").arg(count);
}

} // namespace

QString valueText(const QtItemControls &controls, int item, const Value &value)
{
    if (hasCombo(item)) {
        const auto number = Values::strictNumberOf(value);
        const QComboBox *combo = controls.combo(item);
        if (number && *number >= 0 && *number < combo->count() && *number == int(*number))
            return combo->itemText(int(*number));
        if (number && *number == -1)
            return QStringLiteral("(nothing chosen)");
    }
    const QString text = Values::textOf(value);
    return text.isEmpty() ? QStringLiteral("(empty)") : text;
}

QList<Change> writeAllChanges(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit)
{
    // What the write will send: the screen as taking all values gives it.
    Stores taken = stores;
    ModUnitUpdate::TakeAllValues(taken, controls);
    QList<Change> changes;
    for (int n : Items::kBulkItems) {
        if (!unit.known(n) || ModuleToUnit::matchesUnit(n, taken.workingValues[n], unit.value(n)))
            continue;
        changes.append({n, itemName(controls, n), valueText(controls, n, unit.value(n)),
                        valueText(controls, n, taken.workingValues[n])});
    }
    return changes;
}

QString writeAllDetails(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit)
{
    if (unit.bulkUnknown())
        return QStringLiteral("The unit's values are not known yet: nothing was read from the unit since start-up.");
    const QList<Change> changes = writeAllChanges(stores, controls, unit);
    QStringList lines;
    if (changes.isEmpty())
        lines << QStringLiteral("No setting will change: the unit holds these values already.");
    else
        lines << settingsCount(int(changes.size())) + QStringLiteral(" will change:");
    for (const Change &change : changes)
        lines << QStringLiteral("%1: %2 \u2192 %3").arg(change.name, change.unitText, change.newText);
    QStringList unknown;
    for (int n : Items::kBulkItems) {
        if (!unit.known(n))
            unknown << itemName(controls, n);
    }
    if (!unknown.isEmpty())
        lines << QString() << QStringLiteral("Not known in the unit: ") + unknown.join(QStringLiteral(", "));
    return lines.join(u'\n');
}

QString writeAllSummary(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit)
{
    if (unit.bulkUnknown())
        return QStringLiteral("The unit's values have not been read in this run.");
    const qsizetype count = writeAllChanges(stores, controls, unit).size();
    return QStringLiteral("%1 of the %2 settings %3 from the unit's last read values")
        .arg(count)
        .arg(Items::kBulkItems.size())
        .arg(count == 1 ? QStringLiteral("differs") : QStringLiteral("differ"));
}

int differingCount(const QtItemControls &controls, const UnitMemory &unit)
{
    int count = 0;
    for (int n = 0; n < Items::kItemCount; ++n) {
        if (hasControl(n) && unit.known(n) && !ModuleToUnit::matchesUnit(n, ModUnitUpdate::screenValue(controls, n), unit.value(n)))
            ++count;
    }
    return count;
}

} // namespace UnitDifferences

// ---------------------------------------------------------------- tooltips

UnitValueTips::UnitValueTips(const QtItemControls &controls, const Stores &stores, QObject *parent)
    : QObject(parent), m_controls(controls), m_stores(stores)
{
    for (int n = 0; n < Items::kItemCount; ++n) {
        if (hasCombo(n))
            connect(controls.combo(n), &QComboBox::currentIndexChanged, this, [this, n] { refresh(n); });
        else if (hasControl(n))
            connect(controls.textBox(n), &QLineEdit::textChanged, this, [this, n] { refresh(n); });
    }
}

void UnitValueTips::refreshAll()
{
    for (int n = 0; n < Items::kItemCount; ++n)
        refresh(n);
}

void UnitValueTips::refresh(int item)
{
    if (!hasControl(item))
        return;
    const Value &held = m_stores.unitValues[item];
    const bool differs = UnitMemory::isKnown(held) && !ModuleToUnit::showsUnitValue(m_controls, item, held);
    const QString unitTip =
        differs ? QStringLiteral("In the unit: ") + UnitDifferences::valueText(m_controls, item, held) : QString();
    QStringList tips{m_firstTip ? m_firstTip(item) : QString(), unitTip};
    tips.removeAll(QString());
    QWidget *control = hasCombo(item) ? static_cast<QWidget *>(m_controls.combo(item)) : m_controls.textBox(item);
    if (const QString tip = tips.join(u'\n'); control->toolTip() != tip)
        control->setToolTip(tip);
    // Seen without telling colours apart: the legend in bold, read out by its tooltip.
    QLabel *legend = m_controls.legendLabel(item);
    if (legend && (legend->font().bold() != differs || legend->toolTip() != unitTip)) {
        QFont font = legend->font();
        font.setBold(differs);
        legend->setFont(font);
        legend->setToolTip(unitTip);
    }
    if (m_differs[item] != differs) {
        m_differs[item] = differs;
        showCounts();
    }
}

void UnitValueTips::countOnTabs(const QList<QTabWidget *> &tabs)
{
    m_tabs = tabs;
    m_captions.clear();
    for (QTabWidget *widget : tabs) {
        QStringList captions;
        for (int i = 0; i < widget->count(); ++i) {
            captions << widget->tabText(i);
            for (int n = 0; n < Items::kItemCount; ++n) {
                QWidget *control = !hasControl(n) ? nullptr
                    : hasCombo(n)                 ? static_cast<QWidget *>(m_controls.combo(n))
                                                  : m_controls.textBox(n);
                if (control && widget->widget(i)->isAncestorOf(control))
                    m_places[n] = {widget, i};
            }
        }
        m_captions << captions;
    }
    showCounts();
}

void UnitValueTips::showCounts()
{
    for (qsizetype t = 0; t < m_tabs.size(); ++t) {
        QTabWidget *widget = m_tabs[t];
        for (int i = 0; i < widget->count(); ++i) {
            int count = 0;
            for (int n = 0; n < Items::kItemCount; ++n)
                count += m_differs[n] && m_places[n].tabs == widget && m_places[n].index == i ? 1 : 0;
            const QString caption = m_captions[t].value(i);
            widget->setTabText(i, count == 0 ? caption : QStringLiteral("%1 (%2)").arg(caption).arg(count));
        }
    }
}
