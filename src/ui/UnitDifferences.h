#pragma once

#include "protocol/OperatorView.h"

#include "model/Items.h"
#include "model/Stores.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QTabWidget;
class QtItemControls;
class QWidget;

// The values last known to be in the unit since start-up. The stores forget
// the unit's values when a settings file is loaded; the unit itself does not,
// so what was read before a load still tells what a write would change.
class UnitMemory
{
public:
    UnitMemory();

    // Takes every unit value the stores know now.
    void take(const Stores &stores);
    // Nothing is known any more: the port reached another device, or may have reached another unit.
    void forget();
    bool known(int item) const;
    const Value &value(int item) const { return m_values[item]; }
    // No value known for any item that read-all and write-all cover.
    bool bulkUnknown() const;

    // A stored unit value that stands for a real value (not empty, not the -1 of "no value known").
    static bool isKnown(const Value &value);

private:
    Stores::ValueStore m_values;
};

// How the screen compares with the unit, in the operator's words.
namespace UnitDifferences {

struct Change
{
    int item = -1;
    QString name;     // the legend without its colon
    QString unitText; // what the unit holds
    QString newText;  // what the screen shows
};

// The item's value as the operator reads it on its control: a list item by
// its list entry, a number in decimal, a text as it is.
QString valueText(const QtItemControls &controls, int item, const Value &value);

// The settings "Write all settings to unit" would change: its items whose
// screen value differs from the value known in the unit. Items without a
// known unit value are left out.
QList<Change> writeAllChanges(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit);
// The details for the write-all confirmation: the changes one a line, or
// that none will change, or that the unit's values are not known yet.
QString writeAllDetails(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit);

// The write-all confirmation's added line: "6 of the 14 settings differ from
// the unit's last read values", or that none were read in this run.
QString writeAllSummary(const Stores &stores, const QtItemControls &controls, const UnitMemory &unit);

// Items with a control and a known unit value whose control shows something else.
int differingCount(const QtItemControls &controls, const UnitMemory &unit);

} // namespace UnitDifferences

// Keeps each item control's tooltip on the unit's value while the control
// shows something else, and a mark that needs no colour: its legend in bold
// with the same tooltip, and the count of such settings on the tabs of their
// pages ("ESPA settings (3)"). It compares with the unit values the control
// colours compare with, so a bold legend is a control coloured as differing
// from a value known to be in the unit; a loaded file makes the stores forget
// them, and the marks go with the colours. Recomputed for one control when it
// changes, for all when the unit's values may have changed and after each
// recolouring; a widget is touched only when its mark changes.
class UnitValueTips : public QObject
{
    Q_OBJECT

public:
    UnitValueTips(const QtItemControls &controls, const Stores &stores, QObject *parent = nullptr);

    void refreshAll();
    void refresh(int item);
    // A text that goes before the unit's value in an item's tooltip, e.g.
    // what a settings file held that the control could not show.
    void setFirstTip(std::function<QString(int)> firstTip) { m_firstTip = std::move(firstTip); }
    // The tab widgets whose pages hold item controls: their captions count
    // the differing settings, and are their own again when none differ.
    void countOnTabs(const QList<QTabWidget *> &tabs);

private:
    void showCounts();

    struct TabPlace
    {
        QTabWidget *tabs = nullptr;
        int index = -1;
    };
    const QtItemControls &m_controls;
    const Stores &m_stores;
    std::function<QString(int)> m_firstTip;
    std::array<bool, Items::kItemCount> m_differs{};
    std::array<TabPlace, Items::kItemCount> m_places{};
    QList<QTabWidget *> m_tabs;
    QList<QStringList> m_captions; // each tab widget's own captions
};
