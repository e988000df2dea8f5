// The safeguards of a write-all in the engine: the unit's values kept in a
// backup before the first byte, the writing, and the read-back of what the
// unit took, compared with what was sent. A single write's read-back ends here too.

#include "Interface.h"

#include "model/Conversions.h"
#include "model/Items.h"
#include "model/Stores.h"

// The backup read or the read-back of a write-all has every item.
void Interface::writeAllPhaseDone()
{
    m_allMode = BulkTransfer::None;
    if (m_writeAll.phase() == WritePhase::Backup) {
        if (m_command == Command::Commission)
            commissionReadDone();
        else if (keepBackup())
            startWriting();
        return;
    }
    Outcome outcome = commandOutcome(Outcome::Result::Succeeded, -1, Failure::None);
    m_writeAll.judgeReadBack(m_movedItems, readBackItems(), m_stores.unitValues, outcome);
    finishWith(outcome);
}

// A write-all taken by the idle engine, on the port it has just reopened:
// the unit's values are kept first, read now from the unit behind the port,
// never from what an earlier read found (the port may lead elsewhere now).
// A reopen before the writes drops them with the rest of the command.
void Interface::startWriteAll()
{
    m_errorCount = 0;
    m_writeAll.plan(QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end()));
    if (!m_writeAll.keepsBackup()) {
        startWriting();
        return;
    }
    m_writeAll.setPhase(WritePhase::Backup);
    m_allMode = BulkTransfer::Reading;
    for (int item : Items::kBulkItems)
        requestUnitRead(item);
}

// Saves the unit's bulk values, the other items as confirmed; false (and the
// write-all ended, nothing written) when the file cannot be saved.
bool Interface::keepBackup()
{
    const Backups::Saved saved = m_writeAll.saveBackup(m_stores.unitValues);
    if (saved.ok())
        return true;
    m_writeAll.setPhase(WritePhase::Backup);
    Outcome outcome = commandOutcome(Outcome::Result::Failed, -1, Failure::None);
    outcome.backupError = saved.error;
    finishWith(outcome);
    return false;
}

void Interface::startWriting()
{
    m_writeAll.setPhase(WritePhase::Writing);
    m_allMode = BulkTransfer::Writing;
    m_errorCount = 0;
    for (int item : m_writeAll.planned())
        setRequest(item, Items::kWriteRequest);
}

// A single write's read-back: the write's outcome, equal or not.
void Interface::readBackDone(int item, const Value &held)
{
    const Value written = *m_requests[item].readBackOf;
    m_requests[item].readBackOf.reset();
    Outcome outcome{Command::WriteItem, Outcome::Result::Succeeded, item, Failure::None, 1};
    outcome.items = {item};
    if (Conversions::sameValue(item, written, held)) {
        outcome.readBackEqual = 1;
    } else {
        outcome.readBackEqual = 0;
        outcome.result = Outcome::Result::Failed;
        outcome.stage = Outcome::Stage::ReadBack;
        outcome.mismatches << Outcome::Mismatch{item, written, held};
    }
    tell(outcome);
}
