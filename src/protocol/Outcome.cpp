#include "Outcome.h"

#include "binding/ItemControls.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QFileInfo>

namespace {

const QString kBackupFolder = QStringLiteral("Backups/");

QString commandName(Outcome::Command command)
{
    switch (command) {
    case Outcome::Command::ReadAll: return QStringLiteral("Read all settings");
    case Outcome::Command::WriteAll: return QStringLiteral("Write all settings");
    case Outcome::Command::ReadItem: return QStringLiteral("Read");
    case Outcome::Command::WriteItem: return QStringLiteral("Write");
    case Outcome::Command::PagerCall: return QStringLiteral("Test call");
    case Outcome::Command::Restart: return QStringLiteral("Restart");
    case Outcome::Command::LineCheck: return QStringLiteral("Line check read");
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

// "ESPA out parity: written even parity, the unit holds no parity".
QString mismatchText(const Outcome::Mismatch &m, const ItemControls &controls)
{
    QString name = controls.legendVisible(m.item) ? controls.legendName(m.item) : QString();
    if (name.isEmpty())
        name = QStringLiteral("item %1").arg(m.item);
    return QStringLiteral("%1: written %2, the unit holds %3")
        .arg(name, valueWords(m.item, m.written), valueWords(m.item, m.held));
}

// What the read-back found, after the count written.
QString readBackText(const Outcome &outcome, const ItemControls &controls)
{
    QString text;
    if (outcome.readBackEqual >= 0)
        text += QStringLiteral(", %1 read back equal").arg(outcome.readBackEqual);
    for (const Outcome::Mismatch &m : outcome.mismatches)
        text += QStringLiteral("; ") + mismatchText(m, controls);
    return text;
}

QString backupText(const Outcome &outcome)
{
    if (outcome.backupPath.isEmpty())
        return QString();
    return QStringLiteral("; backup ") + kBackupFolder + QFileInfo(outcome.backupPath).fileName();
}

} // namespace

QString valueWords(int item, const Value &value)
{
    if (Values::isEmpty(value))
        return QStringLiteral("nothing");
    if (Items::kindOf(item) == Items::Kind::Tekst)
        return QLatin1Char('"') + Diverse::visibleText(Values::textOf(value)) + QLatin1Char('"');
    const auto number = Values::strictNumberOf(value);
    if (!number)
        return QLatin1Char('"') + Diverse::visibleText(Values::textOf(value)) + QLatin1Char('"');
    const double whole = Values::roundHalfEven(*number);
    const QStringList choices = ScreenDefinition::choiceList(item);
    if (whole >= 0 && whole < choices.size())
        return choices.at(int(whole));
    return Values::doubleText(whole);
}

QString outcomeText(const Outcome &outcome, const ItemControls &controls)
{
    using Command = Outcome::Command;
    const bool bulk = outcome.command == Command::ReadAll || outcome.command == Command::WriteAll;
    const bool single = outcome.command == Command::ReadItem || outcome.command == Command::WriteItem;
    QString subject = commandName(outcome.command);
    if (single)
        subject += QLatin1Char(' ') + itemName(outcome.item, controls);

    const QString why = outcome.backupError.isEmpty() ? LinkState::failureText(outcome.failure) : outcome.backupError;
    switch (outcome.result) {
    case Outcome::Result::Succeeded:
        switch (outcome.command) {
        case Command::ReadAll: return QStringLiteral("%1: %2 read").arg(subject).arg(outcome.itemCount);
        case Command::WriteAll:
            return QStringLiteral("%1: %2 written").arg(subject).arg(outcome.itemCount) + readBackText(outcome, controls)
                + backupText(outcome);
        case Command::PagerCall: return QStringLiteral("Test call sent");
        case Command::Restart: return QStringLiteral("Restart acknowledged by the unit");
        case Command::LineCheck: return subject + QStringLiteral(": answered");
        case Command::ReadItem: return subject + QStringLiteral(": done");
        case Command::WriteItem: return subject + QStringLiteral(": done") + readBackText(outcome, controls);
        }
        break;
    case Outcome::Result::Cancelled: return subject + QStringLiteral(" cancelled");
    case Outcome::Result::NotStarted: return QStringLiteral("%1 not started: %2").arg(subject, why);
    case Outcome::Result::Failed:
        break;
    }
    if (outcome.stage == Outcome::Stage::Backup)
        return QStringLiteral("%1: could not back up the unit's settings: %2; nothing was written").arg(subject, why);
    if (outcome.stage == Outcome::Stage::ReadBack) {
        QString text = outcome.command == Command::WriteAll
            ? QStringLiteral("%1: %2 written").arg(subject).arg(outcome.itemCount)
            : subject + QStringLiteral(": written");
        if (outcome.mismatches.isEmpty())
            text += QStringLiteral("; read back failed at %1: %2").arg(itemName(outcome.item, controls), why);
        else
            text += readBackText(outcome, controls);
        return text + backupText(outcome);
    }
    if (bulk && outcome.item >= 0)
        return QStringLiteral("%1 aborted at %2: %3").arg(subject, itemName(outcome.item, controls), why)
            + backupText(outcome);
    return QStringLiteral("%1 failed: %2").arg(subject, why) + backupText(outcome);
}

QString outcomeLogText(const Outcome &outcome, const ItemControls &controls)
{
    const bool transferBroken = outcome.result == Outcome::Result::Failed || outcome.result == Outcome::Result::Cancelled;
    if (outcome.command != Outcome::Command::WriteAll || !transferBroken || outcome.stage != Outcome::Stage::Transfer)
        return outcomeText(outcome, controls);
    // Which settings the unit took before the write-all ended.
    QStringList numbers;
    for (int n : outcome.items)
        numbers << Diverse::NumberText(n);
    QString text = QStringLiteral("Write all settings: %1 of %2 written")
                       .arg(outcome.items.size())
                       .arg(Items::kBulkItems.size());
    if (!numbers.isEmpty())
        text += QStringLiteral(" (items %1)").arg(numbers.join(QLatin1Char(' ')));
    if (outcome.result == Outcome::Result::Cancelled)
        text += QStringLiteral("; cancelled");
    else if (outcome.item >= 0)
        text += QStringLiteral("; aborted at item %1: %2").arg(outcome.item).arg(LinkState::failureText(outcome.failure));
    else
        text += QStringLiteral("; ") + LinkState::failureText(outcome.failure);
    return text + backupText(outcome);
}

bool writeWentWrong(const Outcome &outcome)
{
    if (outcome.command != Outcome::Command::WriteAll && outcome.command != Outcome::Command::WriteItem)
        return false;
    return outcome.result != Outcome::Result::Succeeded || !outcome.mismatches.isEmpty()
        || !outcome.unanswered.isEmpty();
}

QString takenText(const Outcome &outcome)
{
    const auto numbers = [](const QList<int> &items) {
        QStringList list;
        for (int n : items)
            list << Diverse::NumberText(n);
        return list.join(QLatin1Char(' '));
    };
    const qsizetype total = outcome.items.size() + outcome.unanswered.size() + outcome.notSent.size();
    QString text = QStringLiteral("%1 of %2 written").arg(outcome.items.size()).arg(total);
    if (!outcome.items.isEmpty())
        text += QStringLiteral(" (items %1)").arg(numbers(outcome.items));
    if (outcome.unanswered.size() == 1)
        text += QStringLiteral("; item %1 sent, not acknowledged: the unit may hold the new value")
                    .arg(outcome.unanswered.first());
    else if (!outcome.unanswered.isEmpty())
        text += QStringLiteral("; items %1 sent, not acknowledged: the unit may hold the new values")
                    .arg(numbers(outcome.unanswered));
    if (!outcome.notSent.isEmpty())
        text += QStringLiteral("; not sent: item%1 %2")
                    .arg(outcome.notSent.size() == 1 ? QString() : QStringLiteral("s"), numbers(outcome.notSent));
    return text;
}
