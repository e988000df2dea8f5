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

void WriteAllSafeguards::judgeReadBack(const QList<int> &moved, const Stores::ValueStore &unitValues,
                                       Outcome &outcome) const
{
    outcome.stage = Outcome::Stage::Transfer;
    outcome.readBackEqual = 0;
    for (int item : moved) {
        const Value &written = m_confirmed[item];
        const Value &held = unitValues[item];
        if (Conversions::sameValue(item, written, held))
            ++outcome.readBackEqual;
        else
            outcome.mismatches << Outcome::Mismatch{item, written, held};
    }
    if (!outcome.mismatches.isEmpty()) {
        outcome.result = Outcome::Result::Failed;
        outcome.stage = Outcome::Stage::ReadBack;
        outcome.item = outcome.mismatches.first().item;
    }
}
