#pragma once

#include "OneShotRequests.h"
#include "Outcome.h"
#include "ReplyCollector.h"
#include "UnitTextLimit.h"
#include "WriteAllSafeguards.h"
#include "files/Backups.h"
#include "model/Conversions.h"
#include "model/Stores.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

class Datacom;
class ItemControls;
class Logfile;
class OperatorView;
struct Setup;

// The transaction engine: one state machine advanced by InterfaceTick every
// 25 ms. Commands only leave requests; the idle state takes them in a fixed
// order and runs each as a transaction, one small step per tick. Time is
// counted in ticks; nothing here waits or reads a clock. How each command
// ended is told to the outcome listeners.
class Interface
{
public:
    enum class State : qint16 {
        NotStarted = 0,
        ReopenPort = 5,
        Idle = 10,
        // Pager call: ask the unit's buffer position, then send the call.
        PagerAskPosition = 150,
        PagerPositionStart = 151,
        PagerPositionLength = 152,
        PagerPositionRest = 153,
        PagerSendCall = 161,
        PagerCallStart = 162,
        PagerCallLength = 163,
        PagerCallRest = 164,
        // Restart of the converter.
        Restart = 180,
        RestartStart = 181,
        RestartLength = 182,
        RestartRest = 183,
        // One item: send, collect the start byte, the length byte, the rest, then the result.
        WriteItem = 310,
        WriteStart = 311,
        WriteLength = 312,
        WriteRest = 313,
        WriteResult = 314,
        ReadItem = 350,
        ReadStart = 351,
        ReadLength = 352,
        ReadRest = 353,
        ReadResult = 354,
    };

    // Whether a bulk transfer is under way, and which way it moves the items:
    // a read-all, or the reads around a write-all, read.
    enum class BulkTransfer : qint16 { None = 0, Reading = 1, Writing = 2 };

    // The transaction in hand: an item's read or write, or a service call.
    // The idle engine takes it; it ends when the engine is idle again.
    struct Transaction
    {
        Outcome::Command command; // ReadItem, WriteItem, LineCheck, PagerCall or Restart
        int item = -1;            // the item moved; -1 for a service call
        bool lineCheck() const { return command == Outcome::Command::LineCheck; }
        bool readsItem() const { return command == Outcome::Command::ReadItem || lineCheck(); }
        bool writesItem() const { return command == Outcome::Command::WriteItem; }
        bool movesItem() const { return readsItem() || writesItem(); }
    };

    // What the start-up sequence passes to the first tick.
    static constexpr int kStartCommand = 10;

    // Countdowns, in ticks of 25 ms.
    static constexpr int kReplyTimeout = 120;
    static constexpr int kWakeUpWait = 10;
    static constexpr int kReadProgMode = 80;
    static constexpr int kWriteProgMode = 200;
    static constexpr int kReopenRetry = 200;
    static constexpr int kMaxErrors = 3;
    // Unusable answers in a row (too long, naming another item) that count as
    // one failure of the item.
    static constexpr int kMaxUnusableAnswers = 10;

    Interface(Stores &stores, Datacom &datacom, ItemControls &controls, OperatorView &view, Logfile &log,
              const Setup &setup);

    // One step of the engine. The timer passes 0; start-up passes kStartCommand once.
    void InterfaceTick(int command);

    // Command side: each leaves a request and starts a fresh error count.
    void requestRead(int item);
    void requestWrite(int item);       // takes the item's screen value first
    void requestStoredWrite(int item); // sends the working value as it is
    void requestReadAll();
    void requestWriteAll();
    void requestPagerCall();
    void requestRestart();
    // A read that stores what the unit holds as its value only: the working
    // value and the screen stay as they are (the backup and the read-back use it).
    void requestUnitRead(int item);
    // One read of item 0 that measures the line: scheduled as any read of it
    // (wake-up included), on the port as it is, never retried, never counted
    // in ErrorCount, and storing the unit's value only. Told as a LineCheck
    // outcome.
    void requestLineCheck();
    // Commissioning: one read of the bulk items (kept as the backup, and the
    // values before), then writes of only the bulk items whose target value
    // differs from what was read, in bulk order, then their read-back. Told as
    // a Commission outcome. With confirmFirst the engine holds after the read
    // and tells the changes to the changes listener; confirmChanges(true)
    // goes on, confirmChanges(false) ends the command with nothing written.
    struct Change
    {
        int item = -1;
        Value before; // what the unit holds
        Value after;  // the target's value
    };
    using ChangesListener = std::function<void(const QList<Change> &changes)>;
    void requestCommission(const Stores::ValueStore &target, bool confirmFirst);
    void setChangesListener(ChangesListener listener) { m_changesListener = std::move(listener); }
    // Goes on with the writes of the changes told (true), or ends the
    // commission with nothing written (false). The values written are the
    // target given to requestCommission. Nothing happens unless it holds.
    void confirmChanges(bool go);
    // Holding after a commission's read until confirmChanges.
    bool holdsForConfirmation() const { return m_commissionHeld; }
    // The last commission's changes as its read found them, in bulk order.
    const QList<Change> &changes() const { return m_changes; }
    // A line check read asked for and not sent yet is dropped, untold; one
    // under way runs to its end.
    void dropLineCheck() { m_oneShots.take(Outcome::Command::LineCheck); }
    // The operator's Cancel: drops every request and ends a bulk transfer.
    void cancelByOperator();
    // Stops the command under way for a cause (the operator's Cancel, a
    // signal, a time limit): every request goes at once, a transaction whose
    // request has not gone out with them, and its outcome says what the unit
    // took. On Cancel the frame out runs to its end and the outcome, told
    // then, names that item by its answer; on any other cause it is let go
    // and counts as sent without an answer.
    void stop(Outcome::Stop cause);
    // After the operator reopened the port: an engine never started starts
    // now, one waiting for its port takes it at once.
    void takeReopenedPort();

    // The safeguards of every write, both on unless switched off: before a
    // write-all the unit's bulk settings are kept in a backup file, and after
    // a write that ended well the written items are read back and compared.
    void setBackup(bool on) { m_writeAll.setBackup(on); }
    bool backup() const { return m_writeAll.backup(); }
    void setReadBack(bool on) { m_writeAll.setReadBack(on); }
    bool readBack() const { return m_writeAll.readBack(); }
    // Saves the backup of a write-all (the session names it by clock and device).
    // Without a saver no backup is kept.
    using BackupSaver = WriteAllSafeguards::BackupSaver;
    void setBackupSaver(BackupSaver saver) { m_writeAll.setBackupSaver(std::move(saver)); }

    void CancelRequests();
    void UpdateProgressBar(int n);
    void ReadUnitText();

    // Frame operations.
    int SendReadRequest(int item);
    int SendWriteRequest(int item, const Value &value);
    void SendWakeUp();

    // Idle with nothing left to do: no item requested, no bulk transfer, no command waiting.
    bool isQuiet() const;
    // A transfer or command under way that closing the port would break: a
    // transaction in hand, or requests the idle engine is taking one by one.
    // An engine never started or waiting for its port is not busy.
    bool isBusy() const;

    // The "[Item: n Value: C] " description of an item with a visible legend.
    QString DescribeItem(int item) const;

    // Told once of the ending of every command: read-all, write-all, a single
    // item's read or write, the pager call, the restart, a line check read.
    // The number returned takes the listener off again, for a listener that
    // goes before the engine does.
    int addOutcomeListener(OutcomeListener listener);
    void removeOutcomeListener(int id);

    // Read access for the window and tests (the inner variables: EngineProbe in the tests).
    qint16 ErrorCount() const { return m_errorCount; }
    // The item of the last item transaction taken, in hand or ended.
    qint16 CurrentItem() const { return m_lastItem; }
    const std::optional<Transaction> &transaction() const { return m_transaction; }
    BulkTransfer AllMode() const { return m_allMode; }
    // A read-all, write-all, pager call or restart asked for and not taken yet.
    bool requested(Outcome::Command command) const { return m_oneShots.requested(command); }

    // Whose words the log's outcome lines use (a commission is "Write
    // changes" in the window, "commission" on the command line).
    void setFrontEnd(FrontEnd frontEnd) { m_frontEnd = frontEnd; }

    // 0 normal, 1 after "/LOG", 2 service mode.
    int DebugMode() const { return m_debugMode; }
    void setDebugMode(int mode) { m_debugMode = mode; }

    // Ticks taken so far; for measuring, not for deciding anything.
    quint64 tickCount() const { return m_ticks; }

private:
    friend class EngineProbe; // the tests' view of the inner variables

    // How collecting an answer stands after a tick.
    enum class Answer { Pending, Complete, NoStart, NoLength, NoRest, TooLong, ChecksumError };
    // The three states that collect one answer.
    struct Collecting
    {
        State start;
        State length;
        State rest;
    };
    using Failure = Outcome::Failure;
    using Command = Outcome::Command;

    using WritePhase = WriteAllSafeguards::Phase;

    bool running() const;
    void work(int command);
    void step(int command);
    void whileWorking(const std::function<void()> &work);
    void stopCommand(Outcome::Stop cause);
    bool itemInHand() const;
    std::optional<Outcome> stoppedOutcome(Outcome::Stop cause) const;
    bool frameOut() const;
    void letGoOfTransaction();
    void takePort();
    void settleStop();
    void countDown();
    void reopenPort();
    void idle();
    void portLost();
    void bulkTransferDone();
    void takeCommand();
    bool startCommand(Command command);
    bool reopenForCommand();
    void startItem(int item, bool write);
    void sendItem(const Transaction &transaction);
    void lineCheckDone(Failure failure);
    void reportRead(int item, const Value &value, bool unitOnly);
    void abortItems(int item, bool write);
    void abortTransfer(const QString &text);

    bool requestOneShot(Command command);
    bool refuseWhenClosed(Command command, int item = -1);
    bool dropCommands();
    void startReadAll();
    void startWriteAll();
    bool keepBackup();
    void startWriting();
    void writeAllPhaseDone();
    void readBackDone(int item, const Value &held);
    void startCommission();
    void commissionReadDone();
    void writeChanges();
    void tellChanges();
    bool bulkWrite() const;
    Outcome itemOutcome(int item, Outcome::Result result, Failure failure) const;
    void setRequest(int item, qint16 kind);
    void addTakenGroups(Outcome &outcome) const;
    QList<int> readBackItems() const;
    int readBackCount() const;
    QString readBackWords(int item, const Value &held) const;

    void prepareAnswer();
    Answer collectAnswer(const Collecting &states);
    Answer collectRest();
    bool sendFrame(const QByteArray &body);

    void writeStart();
    void writeCollect();
    void writeResult();
    void writeFailed(const QString &piece, Failure failure);
    void readStart();
    void readCollect();
    void readResult();
    void otherItemAnswered();
    void readFailed(const QString &piece, Failure failure);
    // An answer that is no use for the current item; true when it counts as a failure.
    bool unusableAnswer();

    void startServiceCall(Command command);
    void sendServiceRequest(const QByteArray &body, State collectState);
    void pagerCollectPosition();
    void pagerSendCall();
    void pagerCollectCall();
    void restartCollect();
    struct ServiceTexts;
    Failure serviceFailure(Answer answer, const ServiceTexts &texts);
    void finishServiceCall(Answer answer, const ServiceTexts &texts);

    // Outcomes.
    void begin(Command command);
    void noteFailure(int item, Failure failure);
    void finish(Outcome::Result result, int item, Failure failure);
    void finishWith(const Outcome &outcome);
    Outcome commandOutcome(Outcome::Result result, int item, Failure failure) const;
    void itemDone(int item, bool write, bool succeeded, Failure failure = Failure::None);
    void reportPortLost();
    void tell(const Outcome &outcome);
    void tellPending();
    int firstRequestedItem() const; // -1 when none is
    Command itemCommand(int item) const;
    void tellAnswered();

    bool portOpen() const;
    void log(const QString &text);

    Stores &m_stores;
    Datacom &m_datacom;
    ItemControls &m_controls;
    OperatorView &m_view;
    Logfile &m_log;
    const Setup &m_setup;

    State m_state = State::NotStarted;
    qint16 m_waitTicks = 0;
    qint16 m_replyTicks = 0;
    qint16 m_progModeTicks = 0;
    OneShotRequests m_oneShots;
    BulkTransfer m_allMode = BulkTransfer::None;
    qint16 m_errorCount = 0;
    std::optional<Transaction> m_transaction;
    qint16 m_lastItem = 0;
    ReplyCollector m_reply; // the answer being collected
    qint16 m_bufferPosition = 0;
    QString m_unitTextLine;
    int m_debugMode = 0;
    FrontEnd m_frontEnd = FrontEnd::Window;

    QString m_refusal; // why the last SendWriteRequest refused its value
    QString m_unsendable; // "item 110: ..." of a value the running command could not send
    bool m_sentWhole = true; // whether the port took the last request whole
    quint64 m_ticks = 0;

    // The bulk or service command running, for its outcome; empty between
    // commands and for single items, which report one by one.
    std::optional<Command> m_command;
    int m_lastFailureItem = -1;
    Failure m_lastFailure = Failure::None;
    int m_refusedItem = -1; // an item of a bulk write that could not be sent
    int m_unusableItem = -1;
    int m_unusableCount = 0;
    UnitTextLimit m_unitTextLimit;
    std::vector<std::pair<int, OutcomeListener>> m_outcomeListeners;
    int m_nextListenerId = 0;
    // Outcomes wait here while the engine works (a tick, a stop): listeners
    // hear them once its state is final, so none finds work of the command
    // that ended, and a modal box one shows may let the engine tick again.
    std::vector<Outcome> m_toTell;
    bool m_working = false;
    QString m_abortText; // the abort box, shown once the tick's work is done
    // A Cancel that came with a frame out: its outcome, told once that
    // transaction has ended, and how the unit answered it.
    struct PendingStop
    {
        Outcome outcome;
        int item = -1;
    };
    std::optional<PendingStop> m_pendingStop;
    enum class InHandAnswer { None, Acknowledged, Refused, Read };
    InHandAnswer m_inHandAnswer = InHandAnswer::None;

    ChangesListener m_changesListener;
    bool m_confirmFirst = false;   // the commission asked holds for confirmation after its read
    bool m_commissionHeld = false; // holding: ticks do nothing for it until confirmChanges
    bool m_changesToTell = false;  // the changes go to the listener at the end of this tick
    QList<Change> m_changes;       // the commission's changes, in bulk order
    WriteAllSafeguards m_writeAll;
    QList<int> m_movedItems; // the items a bulk transfer moved, in order
    // What the engine knows of each item's request. Its kind is the
    // ItemRequest flag in the stores (none, read, write), which the window
    // and the binding read; the rest lives here, one record per item.
    struct RequestRecord
    {
        bool unitOnly = false;           // a read that stores the unit's value only
        std::optional<Value> readBackOf; // a read-back of a single write: the value written
        bool sent = false;               // a frame of this request went out
        bool answered = false;           // the last frame sent got a whole answer
    };
    std::array<RequestRecord, Items::kStoreSize> m_requests{};
    // Single writes the unit acknowledged since the engine was last quiet:
    // the first group of a multi-item write that ends early.
    QList<int> m_singleWritten;
};
