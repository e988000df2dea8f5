#include "Outcome.h"

#include "binding/ItemControls.h"
#include "model/Items.h"

namespace {

QString commandName(Outcome::Command command)
{
    switch (command) {
    case Outcome::Command::ReadAll: return QStringLiteral("Read all settings");
    case Outcome::Command::WriteAll: return QStringLiteral("Write all settings");
    case Outcome::Command::ReadItem: return QStringLiteral("Read");
    case Outcome::Command::WriteItem: return QStringLiteral("Write");
    case Outcome::Command::PagerCall: return QStringLiteral("Test call");
    case Outcome::Command::Restart: return QStringLiteral("Restart");
    }
    return QString();
}

QString itemName(int item, const ItemControls &controls)
{
    QString name = QStringLiteral("item %1").arg(item);
    if (item >= 0 && item < Items::kItemCount && controls.legendVisible(item)) {
        const QString legend = controls.legendName(item);
        if (!legend.isEmpty())
            name += QStringLiteral(" (%1)").arg(legend);
    }
    return name;
}

} // namespace

QString outcomeText(const Outcome &outcome, const ItemControls &controls)
{
    using Command = Outcome::Command;
    const bool bulk = outcome.command == Command::ReadAll || outcome.command == Command::WriteAll;
    const bool single = outcome.command == Command::ReadItem || outcome.command == Command::WriteItem;
    QString subject = commandName(outcome.command);
    if (single)
        subject += QLatin1Char(' ') + itemName(outcome.item, controls);

    switch (outcome.result) {
    case Outcome::Result::Succeeded:
        switch (outcome.command) {
        case Command::ReadAll: return QStringLiteral("%1: %2 read").arg(subject).arg(outcome.itemCount);
        case Command::WriteAll: return QStringLiteral("%1: %2 written").arg(subject).arg(outcome.itemCount);
        case Command::PagerCall: return QStringLiteral("Test call sent");
        case Command::Restart: return QStringLiteral("Restart acknowledged by the unit");
        case Command::ReadItem:
        case Command::WriteItem: return subject + QStringLiteral(": done");
        }
        break;
    case Outcome::Result::Cancelled: return subject + QStringLiteral(" cancelled");
    case Outcome::Result::Failed:
        break;
    }
    const QString why = LinkState::failureText(outcome.failure);
    if (bulk && outcome.item >= 0)
        return QStringLiteral("%1 aborted at %2: %3").arg(subject, itemName(outcome.item, controls), why);
    return QStringLiteral("%1 failed: %2").arg(subject, why);
}
