#pragma once

#include "link/LinkState.h"
#include "model/Value.h"

#include <QList>
#include <QString>

#include <functional>

// How a command given to the engine ended, reported once when it ends: the
// facts from which the operator's texts are made, for the window's status
// bar, the command-line tool's verdict and the log's closing line.
struct Outcome
{
    // LineCheck: one read of item 0 that measures the line, never retried.
    // Commission: one bulk read (the backup and the values before), writes of
    // the bulk items that differ from the target only, and their read-back.
    enum class Command { ReadAll, WriteAll, ReadItem, WriteItem, PagerCall, Restart, LineCheck, Commission };
    // NotStarted: refused when given, nothing was sent (the port is closed).
    enum class Result { Succeeded, Failed, Cancelled, NotStarted };
    // Where a write ended: the backup read before it, the writing, or the
    // read-back after it.
    enum class Stage { Transfer, Backup, ReadBack };
    // What stopped a command that was Cancelled: the operator's Cancel, a
    // signal to the command-line tool, or its time limit.
    enum class Stop { Operator, Signal, TimeLimit };
    using Failure = LinkState::Failure;

    // An item the unit holds otherwise than it was written; notWritten: an
    // item the command found equal and did not write, held otherwise at its end.
    struct Mismatch
    {
        int item = -1;
        Value written;
        Value held;
        bool notWritten = false;
        bool operator==(const Mismatch &) const = default;
    };

    Outcome() = default;
    Outcome(Command command, Result result, int item = -1, Failure failure = Failure::None, int itemCount = 0)
        : command(command), result(result), item(item), failure(failure), itemCount(itemCount)
    {
    }

    Command command = Command::ReadItem;
    Result result = Result::Succeeded;
    int item = -1;                     // the item concerned, or of the last failure; -1 for none
    Failure failure = Failure::None;   // kind of the last failure when Failed
    int itemCount = 0;                 // items moved by a bulk transfer
    Stage stage = Stage::Transfer;
    Stop stop = Stop::Operator;        // what stopped it, when Cancelled
    QList<int> items;                  // the items the unit took (writes: acknowledged) or gave (reads), in order
    // A write that ended early, besides the items written: those whose frame
    // went out without an answer (the unit may hold the new value) and those
    // never sent. A read-all: the bulk items not read.
    QList<int> unanswered;
    QList<int> notSent;
    // Answered with a refusal (NACK): the unit keeps its old value.
    QList<int> refused;
    // Why a value was not sent: the frame builders refused it ("item 110:
    // 40000 is outside 0-32767"); empty when every value could be sent.
    QString unsendable;
    // Written and not read back: a text longer than an answer carries.
    QList<int> notReadBack;
    int readBackEqual = -1;            // items read back equal to what was written; -1: no read-back
    // A read-back cut short (stopped, port lost): items read back of those
    // written; -1 when it was not cut.
    int readBackRead = -1;
    QList<Mismatch> mismatches;        // items read back different
    QList<int> readBackItems;          // the items the read-back after the writes read
    QString backupPath;                // write-all: where the unit's values were kept before writing
    QString backupError;               // write-all: why the backup could not be saved

    bool operator==(const Outcome &) const = default;
};

using OutcomeListener = std::function<void(const Outcome &)>;

// Whose words name a command: the window names it by its button ("Write
// changes"), the command-line tool by its command ("commission").
enum class FrontEnd { Window, CommandLine };

// Whether a write ended other than as asked: a read-back that differs or was
// cut, cancelled, stopped, failed, or an item sent without an answer.
bool writeWentWrong(const Outcome &outcome);

// The three groups of a write that ended early, in the same words on every
// front end: "8 of 14 written (items 0 5 7 10 11 12 13 14); item 30 sent, not
// acknowledged: the unit may hold the new value; not sent: items 31 32 33 34 35".
// Items the unit refused are a group of their own ("refused by the unit: item 13").
QString takenText(const Outcome &outcome);

// What stopped a command, in words: "cancelled", "stopped by a signal",
// "stopped at the time limit".
QString stopText(Outcome::Stop stop);

class ItemControls;

// The outcome in a few words for a status line, e.g. "Read all settings: 14
// read" or "Write all settings aborted at item 11 (ESPA in serial speed): no
// answer". Items are named by their legend where they have one.
QString outcomeText(const Outcome &outcome, const ItemControls &controls, FrontEnd frontEnd = FrontEnd::Window);

// The outcome as the log's closing line of a command: the status line's words,
// and for a write that did not end well which items the unit took, e.g.
// "Write all settings: 6 of 14 written (items 0 5 7 10 11 12); aborted at
// item 13: port lost".
QString outcomeLogText(const Outcome &outcome, const ItemControls &controls, FrontEnd frontEnd = FrontEnd::Window);

// A commission's last line for the command-line tool, naming the settings
// file: "commissioned: 6 of 14 settings changed (items 7 10 13 14 30 33), 6
// read back equal; backup Backups/..." or "already as SITE.cfg: nothing
// written; backup ...". Any other ending in the status line's words, the
// command named "commission".
QString commissionedText(const Outcome &outcome, const ItemControls &controls, const QString &fileName);

// An item read back otherwise than written, e.g. "ESPA out parity: written
// even parity, the unit holds no parity".
QString mismatchText(const Outcome::Mismatch &m, const ItemControls &controls);

// A value as the operator reads it: a list item by its choice text, a number
// in decimal, a text as it is.
QString valueWords(int item, const Value &value);
