#include "Outcome.h"

#include "binding/ItemControls.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"

#include <QFileInfo>

namespace {

const QString kBackupFolder = QStringLiteral("Backups/");

QString commandName(Outcome::Command command, FrontEnd frontEnd)
{
    switch (command) {
    case Outcome::Command::ReadAll: return QStringLiteral("Read all settings");
    case Outcome::Command::WriteAll: return QStringLiteral("Write all settings");
    case Outcome::Command::ReadItem: return QStringLiteral("Read");
    case Outcome::Command::WriteItem: return QStringLiteral("Write");
    case Outcome::Command::PagerCall: return QStringLiteral("Test call");
    case Outcome::Command::Restart: return QStringLiteral("Restart");
    case Outcome::Command::LineCheck: return QStringLiteral("Line check read");
    case Outcome::Command::Commission:
        return frontEnd == FrontEnd::CommandLine ? QStringLiteral("commission") : QStringLiteral("Write changes");
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

QString numbersText(const QList<int> &items)
{
    QStringList list;
    for (int n : items)
        list << Diverse::NumberText(n);
    return list.join(QLatin1Char(' '));
}

// "item 7" or "items 7 10 13".
QString itemsText(const QList<int> &items)
{
    return (items.size() == 1 ? QStringLiteral("item ") : QStringLiteral("items ")) + numbersText(items);
}

// Texts written without a read-back, as the operator reads it.
QString notReadBackText(const Outcome &outcome)
{
    QString text;
    for (int n : outcome.notReadBack)
        text += QStringLiteral("; item %1: written, not read back: longer than an answer carries").arg(n);
    return text;
}

// What the read-back found, after the count written.
QString readBackText(const Outcome &outcome, const ItemControls &controls)
{
    QString text;
    if (outcome.readBackEqual >= 0)
        text += QStringLiteral(", %1 read back equal").arg(outcome.readBackEqual);
    for (const Outcome::Mismatch &m : outcome.mismatches)
        text += QStringLiteral("; ") + mismatchText(m, controls);
    return text + notReadBackText(outcome);
}

QString backupText(const Outcome &outcome)
{
    if (outcome.backupPath.isEmpty())
        return QString();
    return QStringLiteral("; backup ") + kBackupFolder + QFileInfo(outcome.backupPath).fileName();
}

// Two parts joined into one sentence: a full stop ending the first goes.
QString joined(QString first, const QString &second)
{
    while (first.endsWith(QLatin1Char('.')))
        first.chop(1);
    return first + QStringLiteral("; ") + second;
}

// A write of several items: a write-all, or a commission's writes.
bool isBulkWrite(const Outcome &outcome)
{
    return outcome.command == Outcome::Command::WriteAll || outcome.command == Outcome::Command::Commission;
}

bool isWrite(const Outcome &outcome)
{
    return isBulkWrite(outcome) || outcome.command == Outcome::Command::WriteItem;
}

// A commission that ended as asked: "6 of 14 settings changed (items 7 10 13
// 14 30 33), 6 read back equal", or nothing to change.
QString commissionedWords(const Outcome &outcome, const ItemControls &controls)
{
    if (outcome.items.isEmpty())
        return QString();
    return QStringLiteral("%1 of %2 settings changed (%3)")
               .arg(outcome.items.size())
               .arg(Items::kBulkItems.size())
               .arg(itemsText(outcome.items))
        + readBackText(outcome, controls);
}

// A write whose writing ended early: the three groups say what the unit took.
bool writingEndedEarly(const Outcome &outcome)
{
    const bool broken = outcome.result == Outcome::Result::Failed || outcome.result == Outcome::Result::Cancelled;
    return isWrite(outcome) && broken && outcome.stage == Outcome::Stage::Transfer;
}

// The items the read-back reads: those written, or every bulk item for a
// commission, whose final read covers what it did not write.
int readBackTotal(const Outcome &outcome)
{
    return outcome.readBackItems.isEmpty() ? outcome.itemCount : int(outcome.readBackItems.size());
}

// How the read-back stands when it was cut: "5 of 14 read back".
QString readBackCutText(const Outcome &outcome)
{
    if (outcome.readBackRead < 0)
        return QString();
    return QStringLiteral("%1 of %2 read back").arg(outcome.readBackRead).arg(readBackTotal(outcome));
}

// "Write all settings: 14 written", or "Write item 5 (...): written".
QString writtenText(const Outcome &outcome, const QString &subject)
{
    return isBulkWrite(outcome) ? QStringLiteral("%1: %2 written").arg(subject).arg(outcome.itemCount)
                                : subject + QStringLiteral(": written");
}

// The outcome of a write stopped in its backup read or its read-back.
QString stoppedAroundWriting(const Outcome &outcome, const QString &subject)
{
    const QString stop = stopText(outcome.stop);
    if (outcome.stage == Outcome::Stage::Backup)
        return QStringLiteral("%1 %2 during the backup read; nothing was written").arg(subject, stop);
    return QStringLiteral("%1; read-back %2 after %3 of %4")
        .arg(writtenText(outcome, subject), stop)
        .arg(qMax(outcome.readBackRead, 0))
        .arg(readBackTotal(outcome));
}

// The words of a command that failed: in the backup read, in the read-back,
// a read-all the port left, or aborted at an item.
QString failedText(const Outcome &outcome, const ItemControls &controls, const QString &subject, const QString &why)
{
    using Command = Outcome::Command;
    const bool bulk = outcome.command == Command::ReadAll || isBulkWrite(outcome);
    if (outcome.stage == Outcome::Stage::Backup)
        return joined(QStringLiteral("%1: could not back up the unit's settings: %2").arg(subject, why),
                      QStringLiteral("nothing was written"));
    if (outcome.stage == Outcome::Stage::ReadBack) {
        QString text = writtenText(outcome, subject);
        if (outcome.mismatches.isEmpty()) {
            // Cut between two reads, no item was under way: the count says how far it came.
            text += outcome.item >= 0
                ? QStringLiteral("; read back failed at %1: %2").arg(itemName(outcome.item, controls), why)
                : QStringLiteral("; read back failed: ") + why;
            if (outcome.readBackRead >= 0)
                text += QStringLiteral(" (%1)").arg(readBackCutText(outcome));
            return text + notReadBackText(outcome);
        }
        return text + readBackText(outcome, controls);
    }
    // A read-all the port left: how far it came.
    if (outcome.command == Command::ReadAll && outcome.failure == Outcome::Failure::PortLost)
        return QStringLiteral("%1 failed after %2 of %3: %4")
            .arg(subject)
            .arg(outcome.itemCount)
            .arg(Items::kBulkItems.size())
            .arg(why);
    if (bulk && outcome.item >= 0)
        return QStringLiteral("%1 aborted at %2: %3").arg(subject, itemName(outcome.item, controls), why);
    return QStringLiteral("%1 failed: %2").arg(subject, why);
}

// The outcome's words without the backup's path.
QString headText(const Outcome &outcome, const ItemControls &controls, FrontEnd frontEnd)
{
    using Command = Outcome::Command;
    const bool single = outcome.command == Command::ReadItem || outcome.command == Command::WriteItem;
    QString subject = commandName(outcome.command, frontEnd);
    if (single)
        subject += QLatin1Char(' ') + itemName(outcome.item, controls);

    QString why = outcome.backupError;
    if (why.isEmpty())
        why = outcome.unsendable.isEmpty() ? LinkState::failureText(outcome.failure) : outcome.unsendable;
    switch (outcome.result) {
    case Outcome::Result::Succeeded:
        switch (outcome.command) {
        case Command::ReadAll: return QStringLiteral("%1: %2 read").arg(subject).arg(outcome.itemCount);
        case Command::WriteAll:
            return QStringLiteral("%1: %2 written").arg(subject).arg(outcome.itemCount) + readBackText(outcome, controls);
        case Command::PagerCall: return QStringLiteral("Test call sent");
        case Command::Restart: return QStringLiteral("Restart acknowledged by the unit");
        case Command::LineCheck: return subject + QStringLiteral(": answered");
        case Command::ReadItem: return subject + QStringLiteral(": done");
        case Command::WriteItem: return subject + QStringLiteral(": done") + readBackText(outcome, controls);
        case Command::Commission:
            if (outcome.items.isEmpty())
                return subject + QStringLiteral(": the unit already holds these settings; nothing written");
            return subject + QStringLiteral(": ") + commissionedWords(outcome, controls);
        }
        break;
    case Outcome::Result::Cancelled:
        if (isWrite(outcome) && outcome.stage != Outcome::Stage::Transfer)
            return stoppedAroundWriting(outcome, subject);
        return subject + QLatin1Char(' ') + stopText(outcome.stop);
    case Outcome::Result::NotStarted: return QStringLiteral("%1 not started: %2").arg(subject, why);
    case Outcome::Result::Failed:
        break;
    }
    return failedText(outcome, controls, subject, why);
}

} // namespace

// "ESPA out parity: written even parity, the unit holds no parity".
QString mismatchText(const Outcome::Mismatch &m, const ItemControls &controls)
{
    QString name = controls.legendVisible(m.item) ? controls.legendName(m.item) : QString();
    if (name.isEmpty())
        name = QStringLiteral("item %1").arg(m.item);
    if (m.notWritten)
        return QStringLiteral("%1: should be %2, the unit holds %3, not written by this command")
            .arg(name, valueWords(m.item, m.written), valueWords(m.item, m.held));
    return QStringLiteral("%1: written %2, the unit holds %3")
        .arg(name, valueWords(m.item, m.written), valueWords(m.item, m.held));
}

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

QString outcomeText(const Outcome &outcome, const ItemControls &controls, FrontEnd frontEnd)
{
    return headText(outcome, controls, frontEnd) + backupText(outcome);
}

QString outcomeLogText(const Outcome &outcome, const ItemControls &controls, FrontEnd frontEnd)
{
    QString text = headText(outcome, controls, frontEnd);
    if (writingEndedEarly(outcome))
        text += QStringLiteral("; ") + takenText(outcome);
    else if (outcome.command == Outcome::Command::ReadAll && outcome.result == Outcome::Result::Cancelled)
        text += QStringLiteral(" after %1 of %2").arg(outcome.itemCount).arg(Items::kBulkItems.size());
    return text + backupText(outcome);
}

bool writeWentWrong(const Outcome &outcome)
{
    if (!isWrite(outcome))
        return false;
    return outcome.result != Outcome::Result::Succeeded || !outcome.mismatches.isEmpty()
        || !outcome.unanswered.isEmpty();
}

QString takenText(const Outcome &outcome)
{
    const qsizetype total =
        outcome.items.size() + outcome.unanswered.size() + outcome.refused.size() + outcome.notSent.size();
    QString text = QStringLiteral("%1 of %2 written").arg(outcome.items.size()).arg(total);
    if (!outcome.items.isEmpty())
        text += QStringLiteral(" (%1)").arg(itemsText(outcome.items));
    if (outcome.unanswered.size() == 1)
        text += QStringLiteral("; item %1 sent, not acknowledged: the unit may hold the new value")
                    .arg(outcome.unanswered.first());
    else if (!outcome.unanswered.isEmpty())
        text += QStringLiteral("; items %1 sent, not acknowledged: the unit may hold the new values")
                    .arg(numbersText(outcome.unanswered));
    if (outcome.refused.size() == 1)
        text += QStringLiteral("; item %1 refused by the unit: it keeps its old value").arg(outcome.refused.first());
    else if (!outcome.refused.isEmpty())
        text += QStringLiteral("; items %1 refused by the unit: it keeps their old values").arg(numbersText(outcome.refused));
    if (!outcome.notSent.isEmpty())
        text += QStringLiteral("; not sent: ") + itemsText(outcome.notSent);
    return text + notReadBackText(outcome);
}

QString stopText(Outcome::Stop stop)
{
    switch (stop) {
    case Outcome::Stop::Operator: return QStringLiteral("cancelled");
    case Outcome::Stop::Signal: return QStringLiteral("stopped by a signal");
    case Outcome::Stop::TimeLimit: return QStringLiteral("stopped at the time limit");
    }
    return QString();
}

QString commissionedText(const Outcome &outcome, const ItemControls &controls, const QString &fileName)
{
    if (outcome.command != Outcome::Command::Commission || outcome.result != Outcome::Result::Succeeded
        || !outcome.mismatches.isEmpty())
        return outcomeText(outcome, controls, FrontEnd::CommandLine);
    if (outcome.items.isEmpty())
        return QStringLiteral("already as %1: nothing written").arg(fileName) + backupText(outcome);
    return QStringLiteral("commissioned: ") + commissionedWords(outcome, controls) + backupText(outcome);
}
