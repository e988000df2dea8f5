#pragma once

#include "Outcome.h"
#include "files/Backups.h"
#include "model/Stores.h"

#include <QList>
#include <QString>

#include <functional>

// What a write-all keeps beside its writes: the values the operator
// confirmed, the backup of the unit's bulk settings before anything is
// written, and the comparison of the read-back after it. The engine runs the
// reads and writes; this knows what they are for and judges what they found.
class WriteAllSafeguards
{
public:
    // Where a write-all stands: reading for the backup, writing, reading back.
    enum class Phase { None, Backup, Writing, ReadBack };
    // Saves the backup (the session names it by clock and device).
    using BackupSaver = std::function<Backups::Saved(const Stores::ValueStore &values)>;

    // Both safeguards are on unless switched off; without a saver no backup is kept.
    void setBackup(bool on) { m_backupOn = on; }
    bool backup() const { return m_backupOn; }
    void setReadBack(bool on) { m_readBackOn = on; }
    bool readBack() const { return m_readBackOn; }
    void setBackupSaver(BackupSaver saver) { m_backupSaver = std::move(saver); }
    bool keepsBackup() const { return m_backupOn && m_backupSaver; }

    // The values sent, taken when the operator confirmed: whatever the screen
    // or a read does in between.
    void confirm(const Stores::ValueStore &values) { m_confirmed = values; }
    const Value &confirmed(int item) const { return m_confirmed[item]; }

    // The items the writing is to send: every bulk item for a write-all, the
    // differing ones for a commission.
    void plan(const QList<int> &items) { m_planned = items; }
    const QList<int> &planned() const { return m_planned; }

    Phase phase() const { return m_phase; }
    void setPhase(Phase phase) { m_phase = phase; }
    // The reads before and after the writing, which are not what a write-all moved.
    bool reading() const { return m_phase == Phase::Backup || m_phase == Phase::ReadBack; }
    // The stage an outcome told now ends in.
    Outcome::Stage stage() const;

    // Saves the unit's bulk values, the other items as confirmed, and keeps the path.
    Backups::Saved saveBackup(const Stores::ValueStore &unitValues);
    const QString &backupPath() const { return m_backupPath; }
    void forgetBackupPath() { m_backupPath.clear(); }

    // Compares what the unit gave back for the items read with what was
    // confirmed; a difference makes the outcome a failure of the read-back.
    // An item read and not moved was not written by this command.
    void judgeReadBack(const QList<int> &moved, const QList<int> &read, const Stores::ValueStore &unitValues,
                       Outcome &outcome) const;

private:
    bool m_backupOn = true;
    bool m_readBackOn = true;
    BackupSaver m_backupSaver;
    Phase m_phase = Phase::None;
    Stores::ValueStore m_confirmed;
    QList<int> m_planned;
    QString m_backupPath;
};
