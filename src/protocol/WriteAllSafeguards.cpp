#include "WriteAllSafeguards.h"

#include "model/Conversions.h"
#include "model/Items.h"

Outcome::Stage WriteAllSafeguards::stage() const
{
    if (m_phase == Phase::Backup)
        return Outcome::Stage::Backup;
    if (m_phase == Phase::ReadBack)
        return Outcome::Stage::ReadBack;
    return Outcome::Stage::Transfer;
}

Backups::Saved WriteAllSafeguards::saveBackup(const Stores::ValueStore &unitValues)
{
    Stores::ValueStore values = m_confirmed;
    for (int item : Items::kBulkItems)
        values[item] = unitValues[item];
    const Backups::Saved saved = m_backupSaver(values);
    if (saved.ok())
        m_backupPath = saved.path;
    return saved;
}

void WriteAllSafeguards::judgeReadBack(const QList<int> &moved, const QList<int> &read,
                                       const Stores::ValueStore &unitValues, Outcome &outcome) const
{
    outcome.stage = Outcome::Stage::Transfer;
    outcome.readBackEqual = 0;
    outcome.readBackItems = read;
    for (int item : read) {
        const Value &asked = m_confirmed[item];
        const Value &held = unitValues[item];
        const bool written = moved.contains(item);
        if (!Conversions::sameValue(item, asked, held))
            outcome.mismatches << Outcome::Mismatch{item, asked, held, !written};
        else if (written)
            ++outcome.readBackEqual;
    }
    if (!outcome.mismatches.isEmpty()) {
        outcome.result = Outcome::Result::Failed;
        outcome.stage = Outcome::Stage::ReadBack;
        outcome.item = outcome.mismatches.first().item;
    }
}
