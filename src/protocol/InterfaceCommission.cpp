// Commissioning in the engine: the unit's bulk values read once (the backup
// and the values before), then only the items whose target differs written,
// in bulk order, and read back as a write-all's are.

#include "Interface.h"

#include "model/Conversions.h"
#include "model/Items.h"

// The values written are the target's, taken now; the read before them
// stores the unit's values only.
void Interface::requestCommission(const Stores::ValueStore &target, bool confirmFirst)
{
    if (!requestOneShot(Command::Commission))
        return;
    m_writeAll.confirm(target);
    m_confirmFirst = confirmFirst;
}

// On the port just reopened: the read is always made (it decides what to
// write); it is kept as a backup when backups are on.
void Interface::startCommission()
{
    m_errorCount = 0;
    m_changes.clear();
    m_writeAll.plan({});
    m_writeAll.setPhase(WritePhase::Backup);
    m_allMode = BulkTransfer::Reading;
    for (int item : Items::kBulkItems)
        requestUnitRead(item);
}

// The read has every bulk item: keep it, find what differs, and write it, hold
// for the confirmation, or end with nothing to write.
void Interface::commissionReadDone()
{
    if (m_writeAll.keepsBackup() && !keepBackup())
        return;
    QList<int> planned;
    for (int item : Items::kBulkItems) {
        const Value &target = m_writeAll.confirmed(item);
        const Value &held = m_stores.unitValues[item];
        if (!Conversions::sameValue(item, target, held)) {
            planned << item;
            m_changes << Change{item, held, target};
        }
    }
    m_writeAll.plan(planned);
    if (planned.isEmpty()) {
        m_writeAll.setPhase(WritePhase::Writing);
        finish(Outcome::Result::Succeeded, -1, Failure::None);
        // The one who would have confirmed hears that there is nothing to confirm.
        m_changesToTell = m_confirmFirst;
        return;
    }
    if (!m_confirmFirst) {
        writeChanges();
        return;
    }
    // Held as writing with nothing sent: a stop now names every change as not sent.
    m_writeAll.setPhase(WritePhase::Writing);
    m_allMode = BulkTransfer::Writing;
    m_commissionHeld = true;
    m_changesToTell = true;
}

void Interface::writeChanges()
{
    startWriting();
}

// Outside the tick's work, so a modal box shown by the listener finds the
// engine at rest. Without a listener nobody can confirm: nothing is written.
void Interface::tellChanges()
{
    if (!m_commissionHeld) {
        // Nothing differs: told as an empty list; the command has ended.
        if (m_changesListener && m_changes.isEmpty())
            m_changesListener(m_changes);
        return;
    }
    if (m_changesListener)
        m_changesListener(m_changes);
    else
        confirmChanges(false);
}

void Interface::confirmChanges(bool go)
{
    if (!std::exchange(m_commissionHeld, false))
        return;
    if (go) {
        writeChanges();
        return;
    }
    whileWorking([this] {
        m_allMode = BulkTransfer::None;
        finish(Outcome::Result::Cancelled, -1, Failure::None);
    });
}

bool Interface::bulkWrite() const
{
    return m_command == Command::WriteAll || m_command == Command::Commission;
}
