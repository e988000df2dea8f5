#include "Interface.h"

#include "Frames.h"
#include "ItemTexts.h"
#include "OperatorView.h"
#include "binding/ItemControls.h"
#include "binding/ModUnitUpdate.h"
#include "files/Logfile.h"
#include "files/Setup.h"
#include "link/Datacom.h"
#include "model/Branding.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/Stores.h"

#include <QScopedValueRollback>

using Diverse::NumberText;
using ItemTexts::controlText;
using ItemTexts::itemTag;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

Interface::Interface(Stores &stores, Datacom &datacom, ItemControls &controls, OperatorView &view,
                     Logfile &log, const Setup &setup)
    : m_stores(stores), m_datacom(datacom), m_controls(controls), m_view(view), m_log(log), m_setup(setup)
{
}

// ---------------------------------------------------------------- commands

void Interface::requestRead(int item)
{
    if (item < 0 || item >= Items::kItemCount || refuseWhenClosed(Command::ReadItem, item))
        return;
    requestUnitRead(item);
    m_requests[item].unitOnly = false;
}

void Interface::requestWrite(int item)
{
    if (item < 0 || item >= Items::kItemCount || refuseWhenClosed(Command::WriteItem, item))
        return;
    ModUnitUpdate::TakeValue(m_stores, m_controls, item);
    requestStoredWrite(item);
}

void Interface::requestStoredWrite(int item)
{
    if (item < 0 || item >= Items::kItemCount || refuseWhenClosed(Command::WriteItem, item))
        return;
    // Writes asked for together end together: what the unit took of them.
    if (isQuiet()) {
        m_singleWritten.clear();
        m_unsendable.clear();
    }
    // A write asked for again replaces a read-back still waiting.
    if (m_requests[item].readBackOf) {
        m_requests[item].readBackOf.reset();
        Outcome outcome{Command::WriteItem, Outcome::Result::Succeeded, item, Failure::None, 1};
        outcome.items = {item};
        tell(outcome);
    }
    setRequest(item, Items::kWriteRequest);
    m_errorCount = 0;
}

void Interface::requestReadAll()
{
    requestOneShot(Command::ReadAll);
}

// The values sent are the ones on the screen now, when the operator confirmed.
void Interface::requestWriteAll()
{
    if (!requestOneShot(Command::WriteAll))
        return;
    ModUnitUpdate::TakeAllValues(m_stores, m_controls);
    m_writeAll.confirm(m_stores.workingValues);
}

void Interface::requestPagerCall()
{
    requestOneShot(Command::PagerCall);
}

void Interface::requestRestart()
{
    requestOneShot(Command::Restart);
}

// Unlike the other one-shot commands it leaves the error count alone.
void Interface::requestLineCheck()
{
    if (!refuseWhenClosed(Command::LineCheck, 0))
        m_oneShots.request(Command::LineCheck);
}

bool Interface::requestOneShot(Command command)
{
    if (refuseWhenClosed(command))
        return false;
    m_oneShots.request(command);
    m_errorCount = 0;
    return true;
}

// A command given while the port is closed would wait for a unit, perhaps
// another one: it is refused at once and told as not started.
bool Interface::refuseWhenClosed(Command command, int item)
{
    if (running() && portOpen())
        return false;
    tell(Outcome{command, Outcome::Result::NotStarted, item, Failure::PortClosed, 0});
    return true;
}

void Interface::cancelByOperator()
{
    m_view.appendProgress(kCrLf + QStringLiteral("Geannuleerd!") + kCrLf);
    stop(Outcome::Stop::Operator);
}

void Interface::stop(Outcome::Stop cause)
{
    whileWorking([&] { stopCommand(cause); });
}

// Work that may end a command: its outcomes are told once the work is done.
void Interface::whileWorking(const std::function<void()> &work)
{
    {
        const QScopedValueRollback working(m_working, true);
        work();
    }
    tellPending();
}

// Drop, settle, build, tell: the outcome is built from the requests as they
// stand, every request goes, and only then is anyone told.
void Interface::stopCommand(Outcome::Stop cause)
{
    // Waiting for its port, the engine already told the loss: the requests
    // left only go.
    if (!running()) {
        dropCommands();
        return;
    }
    // A transaction whose request has not gone out is not under way: it
    // goes with the rest (a wake-up alone changes nothing in the unit).
    if (itemInHand() && !frameOut())
        letGoOfTransaction();
    std::optional<Outcome> outcome = stoppedOutcome(cause);
    dropCommands();
    m_command.reset();
    if (!outcome)
        return;
    const bool itemOut = itemInHand();
    if (itemOut && cause == Outcome::Stop::Operator) {
        // The operator's Cancel lets the transaction under way run to its
        // end; its answer decides how the outcome names the item.
        m_pendingStop = PendingStop{*outcome, m_transaction->item};
        m_inHandAnswer = InHandAnswer::None;
        return;
    }
    if (itemOut)
        letGoOfTransaction();
    tell(*outcome);
}

// What was stopped: the bulk transfer, else a command waiting, else the
// first single item waiting; nothing when nothing was.
std::optional<Outcome> Interface::stoppedOutcome(Outcome::Stop cause) const
{
    std::optional<Outcome> outcome;
    if (m_allMode != BulkTransfer::None && m_command) {
        outcome = commandOutcome(Outcome::Result::Cancelled, -1, Failure::None);
    } else if (const std::optional<Command> command = m_oneShots.cancelled()) {
        outcome = Outcome{*command, Outcome::Result::Cancelled};
    } else if (const int item = firstRequestedItem(); item >= 0) {
        outcome = itemOutcome(item, Outcome::Result::Cancelled, Failure::None);
    }
    if (outcome)
        outcome->stop = cause;
    return outcome;
}

// An item's read or write in hand; a line check runs to its end whatever stops.
bool Interface::itemInHand() const
{
    return m_transaction && m_transaction->movesItem() && !m_transaction->lineCheck();
}

// Whether the request of the transaction in hand has gone out: the engine
// is collecting its answer or judging it.
bool Interface::frameOut() const
{
    switch (m_state) {
    case State::WriteStart:
    case State::WriteLength:
    case State::WriteRest:
    case State::WriteResult:
    case State::ReadStart:
    case State::ReadLength:
    case State::ReadRest:
    case State::ReadResult: return true;
    default: return false;
    }
}

// The engine stops waiting for the answer to the frame out: it counts as
// sent without one, and what may still come is not taken as its answer.
void Interface::letGoOfTransaction()
{
    m_state = State::Idle;
    m_transaction.reset();
    m_reply.clear();
}

// A Cancel waiting for the transaction in hand: once it has ended, the
// outcome names its item by the answer, and is told.
void Interface::settleStop()
{
    if (!m_pendingStop || (running() && m_state != State::Idle))
        return;
    PendingStop pending = *std::exchange(m_pendingStop, std::nullopt);
    Outcome &outcome = pending.outcome;
    switch (std::exchange(m_inHandAnswer, InHandAnswer::None)) {
    case InHandAnswer::Acknowledged:
        if (outcome.unanswered.removeOne(pending.item)) {
            outcome.items << pending.item;
            ++outcome.itemCount;
        }
        break;
    case InHandAnswer::Refused:
        if (outcome.unanswered.removeOne(pending.item))
            outcome.refused << pending.item;
        break;
    case InHandAnswer::Read:
        if (outcome.readBackRead >= 0) {
            ++outcome.readBackRead;
        } else if (outcome.command == Command::ReadAll && !outcome.items.contains(pending.item)) {
            outcome.items << pending.item;
            ++outcome.itemCount;
        }
        break;
    case InHandAnswer::None: break;
    }
    tell(outcome);
}

// Every request goes: the items', the one-shot commands' and the phases of a
// write-all. True when any was waiting.
bool Interface::dropCommands()
{
    const bool items = m_stores.clearAllRequests();
    const bool oneShots = m_oneShots.clear();
    m_allMode = BulkTransfer::None;
    m_writeAll.setPhase(WritePhase::None);
    m_commissionHeld = false;
    m_changesToTell = false;
    // A read under way runs to its end; what it stores stays the unit's only.
    const bool readingUnitOnly =
        m_transaction && m_transaction->readsItem() && m_requests[m_transaction->item].unitOnly;
    m_requests.fill(RequestRecord{});
    if (readingUnitOnly)
        m_requests[m_transaction->item].unitOnly = true;
    return items || oneShots;
}

void Interface::takeReopenedPort()
{
    whileWorking([this] { takePort(); });
}

void Interface::takePort()
{
    if (m_datacom.ComPortIsOpen() != 1)
        return;
    // Reopened under a command: the port may lead to another unit now, so
    // nothing further of it is sent (a write-all past its backup read
    // included), and its outcome says so.
    if (running() && isBusy()) {
        reportPortLost();
        dropCommands();
        m_command.reset();
        return;
    }
    if (m_state == State::NotStarted) {
        work(kStartCommand);
    } else if (m_state == State::ReopenPort) {
        // Waiting for the port, which is open now: no need to wait for the next try.
        m_waitTicks = 0;
        reopenPort();
    }
}

bool Interface::isQuiet() const
{
    return m_state == State::Idle && !m_stores.anyRequest() && m_allMode == BulkTransfer::None && !m_oneShots.any()
        && !m_commissionHeld;
}

bool Interface::isBusy() const
{
    return running() && !isQuiet();
}

// Started and holding its port: not waiting for the start or for the port.
bool Interface::running() const
{
    return m_state != State::NotStarted && m_state != State::ReopenPort;
}

void Interface::CancelRequests()
{
    dropCommands();
    m_view.appendProgress(kCrLf + QStringLiteral("Cancelled!") + kCrLf);
}

// ---------------------------------------------------------------- outcomes

void Interface::begin(Command command)
{
    m_command = command;
    m_lastFailureItem = -1;
    m_lastFailure = Failure::None;
    m_refusedItem = -1;
    m_unsendable.clear();
    m_movedItems.clear();
    m_writeAll.forgetBackupPath();
}

void Interface::noteFailure(int item, Failure failure)
{
    m_lastFailureItem = item;
    m_lastFailure = failure;
    if (failure != Failure::Refused && failure != Failure::Nack)
        m_datacom.linkState().setNotAnswering(failure);
}

// The running command's outcome as it stands, with the phase a write-all is in.
Outcome Interface::commandOutcome(Outcome::Result result, int item, Failure failure) const
{
    Outcome outcome{m_command.value_or(Command::ReadAll), result, item, failure, int(m_movedItems.size())};
    outcome.items = m_movedItems;
    outcome.backupPath = m_writeAll.backupPath();
    outcome.stage = m_writeAll.stage();
    outcome.unsendable = m_unsendable;
    if (bulkWrite() && result != Outcome::Result::Succeeded) {
        addTakenGroups(outcome);
        if (m_writeAll.phase() == WritePhase::ReadBack) {
            outcome.readBackRead = readBackCount();
            outcome.readBackItems = readBackItems();
        }
    }
    return outcome;
}

// A request of its kind, asked for now: not sent yet.
void Interface::setRequest(int item, qint16 kind)
{
    m_stores.itemRequest[item] = kind;
    RequestRecord &record = m_requests[item];
    record.unitOnly = false;
    record.sent = false;
    record.answered = false;
}

// The groups of a write that ends now, from the request records: written
// (acknowledged), sent without an answer (the frame out now, or one that got
// none before), refused by the unit (answered with NACK), and not sent.
void Interface::addTakenGroups(Outcome &outcome) const
{
    QList<int> asked;
    if (bulkWrite()) {
        if (m_writeAll.phase() != WritePhase::Writing) {
            // Before the writing nothing was sent; after it everything was taken.
            if (m_writeAll.phase() == WritePhase::Backup)
                outcome.notSent = QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end());
            return;
        }
        outcome.items = m_movedItems;
        asked = m_writeAll.planned();
    } else {
        outcome.items = m_singleWritten;
        for (int item = 0; item < Items::kStoreSize; ++item) {
            if (m_stores.itemRequest[item] == Items::kWriteRequest)
                asked << item;
        }
    }
    for (int item : std::as_const(asked)) {
        if (outcome.items.contains(item))
            continue;
        const RequestRecord &record = m_requests[item];
        if (!record.sent)
            outcome.notSent << item;
        else if (!record.answered)
            outcome.unanswered << item;
        else
            outcome.refused << item;
    }
}

// What the read-back after the writes reads: what a write-all wrote; for a
// commission every bulk item, so that done means the unit holds the target.
QList<int> Interface::readBackItems() const
{
    if (m_command == Command::Commission)
        return QList<int>(Items::kBulkItems.begin(), Items::kBulkItems.end());
    return m_movedItems;
}

// The items of a write-all's read-back read so far.
int Interface::readBackCount() const
{
    int read = 0;
    for (int item : readBackItems()) {
        if (m_stores.itemRequest[item] != Items::kReadRequest)
            ++read;
    }
    return read;
}

void Interface::finish(Outcome::Result result, int item, Failure failure)
{
    if (m_command)
        finishWith(commandOutcome(result, item, failure));
}

void Interface::finishWith(const Outcome &outcome)
{
    m_command.reset();
    m_writeAll.setPhase(WritePhase::None);
    m_commissionHeld = false;
    m_changesToTell = false;
    tell(outcome);
}

// An item transaction that ended with its request cleared. Inside a bulk
// transfer it only counts; on its own it is a command of its own.
void Interface::itemDone(int item, bool write, bool succeeded, Failure failure)
{
    if (succeeded && item == m_unusableItem)
        m_unusableItem = -1;
    if (m_allMode != BulkTransfer::None) {
        // The reads around a write-all are not what it moved.
        if (m_writeAll.reading())
            return;
        if (succeeded) {
            m_movedItems << item;
        } else {
            m_refusedItem = item;
        }
        return;
    }
    Outcome outcome{write ? Command::WriteItem : Command::ReadItem,
                    succeeded ? Outcome::Result::Succeeded : Outcome::Result::Failed, item, failure, succeeded ? 1 : 0};
    if (write && succeeded) {
        outcome.items = {item};
        if (!Conversions::answerCarries(item, m_stores.workingValues[item]))
            outcome.notReadBack = {item};
    } else if (write) {
        // Refused before it was sent: its request is gone, the item not sent.
        outcome.unsendable = m_unsendable;
        addTakenGroups(outcome);
        outcome.notSent << item;
        std::sort(outcome.notSent.begin(), outcome.notSent.end());
    }
    tell(outcome);
}

// A single item's outcome; a write waiting for its read-back is the write's.
// A write ending early names what the unit took of the writes asked together.
Outcome Interface::itemOutcome(int item, Outcome::Result result, Failure failure) const
{
    const bool writesPending = std::any_of(m_stores.itemRequest.cbegin(), m_stores.itemRequest.cend(),
                                           [](qint16 request) { return request == Items::kWriteRequest; });
    if (m_requests[item].readBackOf && !writesPending) {
        Outcome outcome{Command::WriteItem, result, item, failure, 1};
        outcome.items = {item};
        outcome.stage = Outcome::Stage::ReadBack;
        outcome.readBackRead = 0;
        return outcome;
    }
    if (itemCommand(item) != Command::WriteItem && !m_requests[item].readBackOf)
        return Outcome{Command::ReadItem, result, item, failure, 0};
    Outcome outcome{Command::WriteItem, result, item, failure, 0};
    addTakenGroups(outcome);
    outcome.itemCount = int(outcome.items.size());
    return outcome;
}

// The port closed under the engine: whatever was under way ends here, once.
// The requests stay until the port is open again, which drops them. What was
// read from the unit may no longer be what the port leads to.
void Interface::reportPortLost()
{
    m_stores.unitValueRead.fill(false);
    if (m_transaction && m_transaction->lineCheck()) {
        lineCheckDone(Failure::PortLost);
        return;
    }
    const int inHand = m_transaction && m_transaction->movesItem() ? m_transaction->item : -1;
    if (m_command) {
        finish(Outcome::Result::Failed, inHand, Failure::PortLost);
        return;
    }
    const int waiting = firstRequestedItem();
    if (waiting < 0)
        return;
    tell(itemOutcome(inHand < 0 ? waiting : inHand, Outcome::Result::Failed, Failure::PortLost));
}

int Interface::firstRequestedItem() const
{
    for (int item = 0; item < Items::kStoreSize; ++item) {
        if (m_stores.itemRequest[item] == Items::kReadRequest || m_stores.itemRequest[item] == Items::kWriteRequest)
            return item;
    }
    return -1;
}

Outcome::Command Interface::itemCommand(int item) const
{
    return m_stores.itemRequest[item] == Items::kWriteRequest ? Command::WriteItem : Command::ReadItem;
}

int Interface::addOutcomeListener(OutcomeListener listener)
{
    m_outcomeListeners.emplace_back(++m_nextListenerId, std::move(listener));
    return m_nextListenerId;
}

void Interface::removeOutcomeListener(int id)
{
    std::erase_if(m_outcomeListeners, [id](const auto &entry) { return entry.first == id; });
}

// Every command's ending is one line in the log, and told to the listeners
// once the engine's state is final.
void Interface::tell(const Outcome &outcome)
{
    log(outcomeLogText(outcome, m_controls, m_frontEnd));
    m_toTell.push_back(outcome);
    tellPending();
}

void Interface::tellPending()
{
    // A listener may take itself or another off while it is told, and may
    // let the engine tick (a modal box), which tells what comes then.
    while (!m_working && !m_toTell.empty()) {
        const Outcome outcome = m_toTell.front();
        m_toTell.erase(m_toTell.begin());
        std::vector<int> ids;
        for (const auto &[id, listener] : m_outcomeListeners)
            ids.push_back(id);
        for (int id : ids) {
            const auto it = std::find_if(m_outcomeListeners.cbegin(), m_outcomeListeners.cend(),
                                         [id](const auto &entry) { return entry.first == id; });
            if (it != m_outcomeListeners.cend()) {
                const OutcomeListener listener = it->second;
                listener(outcome);
            }
        }
    }
}

void Interface::tellAnswered()
{
    m_datacom.linkState().setAnswered();
}

// ---------------------------------------------------------------- the tick

void Interface::InterfaceTick(int command)
{
    // A tick asked for while the engine works (from a box its work shows)
    // is not taken: the work under way ends first.
    if (m_working)
        return;
    whileWorking([&] { work(command); });
    // Last, with the tick's work done and the state final: a listener may
    // show a modal box, whose event loop lets the engine tick again.
    tellPending();
    if (const QString text = std::exchange(m_abortText, QString()); !text.isEmpty())
        m_view.messageBox(text, Branding::kTitleBy, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
    if (std::exchange(m_changesToTell, false))
        tellChanges();
}

void Interface::work(int command)
{
    ++m_ticks;
    countDown();

    // Link guard: a link whose watch ran out is closed and opened again.
    if (running() && m_datacom.LinkWatch == 0) {
        reportPortLost();
        m_datacom.CloseComPort();
        m_state = State::ReopenPort;
        m_waitTicks = kWakeUpWait;
    }
    step(command);
    // Back in idle, or waiting for the port: the transaction in hand has ended.
    if (m_state == State::Idle || !running())
        m_transaction.reset();
    settleStop();
}

// The work of the state the engine is in.
void Interface::step(int command)
{
    switch (m_state) {
    case State::NotStarted:
        if (command == kStartCommand)
            m_state = State::Idle;
        m_unitTextLine.clear();
        m_waitTicks = kWakeUpWait;
        m_allMode = BulkTransfer::None;
        return;
    case State::ReopenPort: reopenPort(); return;
    case State::Idle: idle(); return;
    case State::PagerAskPosition: sendServiceRequest(Frames::askBufferPositionBody(), State::PagerPositionStart); return;
    case State::PagerPositionStart:
    case State::PagerPositionLength:
    case State::PagerPositionRest: pagerCollectPosition(); return;
    case State::PagerSendCall: pagerSendCall(); return;
    case State::PagerCallStart:
    case State::PagerCallLength:
    case State::PagerCallRest: pagerCollectCall(); return;
    case State::Restart: sendServiceRequest(Frames::resetBody(), State::RestartStart); return;
    case State::RestartStart:
    case State::RestartLength:
    case State::RestartRest: restartCollect(); return;
    case State::WriteItem: writeStart(); return;
    case State::WriteStart:
    case State::WriteLength:
    case State::WriteRest: writeCollect(); return;
    case State::WriteResult: writeResult(); return;
    case State::ReadItem: readStart(); return;
    case State::ReadStart:
    case State::ReadLength:
    case State::ReadRest: readCollect(); return;
    case State::ReadResult: readResult(); return;
    }
    m_state = State::Idle;
}

void Interface::countDown()
{
    for (qint16 *countdown : {&m_progModeTicks, &m_waitTicks, &m_replyTicks}) {
        if (*countdown > 0)
            --*countdown;
    }
}

void Interface::reopenPort()
{
    // A connection under way is waited for, not dialled again: its end comes
    // by itself (takeReopenedPort when it opened).
    if (m_waitTicks > 0 || m_datacom.isConnecting())
        return;
    if (!portOpen() && m_datacom.openDefault(m_setup.Compoort) != 0) {
        if (!m_datacom.isConnecting())
            m_datacom.CloseComPort();
        m_waitTicks = kReopenRetry;
        return;
    }
    m_state = State::Idle;
    m_unitTextLine.clear();
    m_waitTicks = kWakeUpWait;
    m_command.reset();
    m_stores.unitValueRead.fill(false);
    // Nothing asked of the unit before the loss goes to whatever is there now.
    if (dropCommands())
        m_view.appendProgress(kCrLf + QStringLiteral("Current programming / reading action cancelled!") + kCrLf);
}

bool Interface::portOpen() const
{
    return m_datacom.ComPortIsOpen() == 1;
}

void Interface::idle()
{
    // Nothing closes the port while the scan runs: asking once stands for
    // asking before each item.
    if (!portOpen()) {
        portLost();
        return;
    }
    // A commission waiting for its confirmation: nothing to do until it comes.
    if (m_commissionHeld)
        return;
    const bool anyRequest = m_stores.anyRequest();
    for (int item = 0; anyRequest && item < Items::kItemCount; ++item) {
        const qint16 request = m_stores.itemRequest[item];
        if (request == Items::kWriteRequest || request == Items::kReadRequest) {
            startItem(item, request == Items::kWriteRequest);
            return;
        }
    }
    if (m_allMode != BulkTransfer::None) {
        bulkTransferDone();
        // A write-all going on to its next phase: its requests wait for the next tick.
        if (m_allMode != BulkTransfer::None)
            return;
    }
    if (!portOpen()) {
        portLost();
        return;
    }
    UpdateProgressBar(-1);
    ReadUnitText();
    takeCommand();
}

void Interface::portLost()
{
    reportPortLost();
    m_state = State::ReopenPort;
}

// No request is left of a read-all, write-all or commission.
void Interface::bulkTransferDone()
{
    if (m_writeAll.reading()) {
        writeAllPhaseDone();
        return;
    }
    // A setting that could not be sent leaves the unit short of it: no success then.
    const int refused = m_refusedItem;
    // A commission is not the read-all or write-all: their closing lines are not its own.
    if (m_command != Command::Commission) {
        QString message = m_allMode == BulkTransfer::Reading
            ? QStringLiteral("Reading of all settings was successfull.")
            : QStringLiteral("Programming of all settings was successfull.");
        if (refused >= 0)
            message = QStringLiteral("ERROR: Programming of all settings is not complete: item %1 was not sent.")
                          .arg(refused);
        if (m_debugMode == 2)
            m_view.appendProgress(message + kCrLf);
        log(message);
    }
    m_allMode = BulkTransfer::None;
    if (refused >= 0) {
        finish(Outcome::Result::Failed, refused, Failure::Refused);
        return;
    }
    if (m_writeAll.phase() == WritePhase::Writing && m_writeAll.readBack()) {
        // What the unit acknowledged is read back before the write-all counts as done.
        m_writeAll.setPhase(WritePhase::ReadBack);
        m_allMode = BulkTransfer::Reading;
        for (int item : readBackItems())
            requestUnitRead(item);
        return;
    }
    finish(Outcome::Result::Succeeded, -1, Failure::None);
}

// A read that stores what the unit holds as its value only.
void Interface::requestUnitRead(int item)
{
    setRequest(item, Items::kReadRequest);
    m_requests[item].unitOnly = true;
    m_errorCount = 0;
}

// The one-shot commands, in their fixed order.
void Interface::takeCommand()
{
    for (Command command : OneShotRequests::kTakingOrder) {
        // The line check only from idle: after the others, not beside them.
        const bool ready = command != Command::LineCheck || m_state == State::Idle;
        if (ready && m_oneShots.take(command) && startCommand(command))
            return;
    }
}

// Starts a command taken; true when the tick ends with it. A read-all ends
// it, and so does a write-all that has its port. A pager call and a restart
// asked before the same tick both start: the restart wins.
bool Interface::startCommand(Command command)
{
    if (command == Command::LineCheck) {
        // On the port as it is, so that it measures the line the others use.
        sendItem(Transaction{Command::LineCheck, 0});
        return true;
    }
    begin(command);
    const bool reopened = reopenForCommand();
    switch (command) {
    case Command::ReadAll:
        if (reopened)
            startReadAll();
        return true;
    case Command::WriteAll:
        if (reopened)
            startWriteAll();
        return reopened;
    case Command::Commission:
        if (reopened)
            startCommission();
        return reopened;
    case Command::PagerCall:
    case Command::Restart:
        if (reopened)
            startServiceCall(command);
        return false;
    case Command::ReadItem:
    case Command::WriteItem:
    case Command::LineCheck: break;
    }
    return false;
}

void Interface::startReadAll()
{
    m_allMode = BulkTransfer::Reading;
    m_errorCount = 0;
    for (int item : Items::kBulkItems)
        setRequest(item, Items::kReadRequest);
}

// Every bulk transfer, pager call and restart starts on a freshly opened port,
// which discards whatever the port still held. A port that does not open
// again ends the command. An open network connection is kept and only its
// input discarded: a server may refuse a connection made at once after the
// last, and the command would wait on the connecting.
bool Interface::reopenForCommand()
{
    if (m_datacom.keepsConnectionOpen() && portOpen()) {
        m_datacom.FlushComInput();
        return true;
    }
    m_datacom.CloseComPort();
    if (m_datacom.openDefault(m_setup.Compoort) == 0)
        return true;
    m_stores.unitValueRead.fill(false);
    finish(Outcome::Result::Failed, -1, Failure::PortLost);
    return false;
}

void Interface::startItem(int item, bool write)
{
    if (m_errorCount >= kMaxErrors) {
        abortItems(item, write);
        return;
    }
    sendItem(Transaction{write ? Command::WriteItem : Command::ReadItem, item});
}

// The wake-up when the unit's programming mode has lapsed, then the transaction.
void Interface::sendItem(const Transaction &transaction)
{
    m_transaction = transaction;
    m_lastItem = qint16(transaction.item);
    if (m_progModeTicks < 1)
        SendWakeUp();
    else
        m_waitTicks = 0;
    m_state = transaction.writesItem() ? State::WriteItem : State::ReadItem;
    UpdateProgressBar(transaction.item);
}

// Too many failures: every request goes, with the outcome of the command
// they were for.
void Interface::abortItems(int item, bool write)
{
    const int failedItem = m_lastFailureItem >= 0 ? m_lastFailureItem : item;
    const Failure failure = m_lastFailure;
    const QString text = write ? QStringLiteral("ERROR writing setting in the Converter.") + kCrLf
            + QStringLiteral("Programming is aborted!")
                               : QStringLiteral("ERROR reading settings from the converter.") + kCrLf
            + QStringLiteral("Reading is aborted!");
    if (m_allMode != BulkTransfer::None && m_command) {
        const Outcome outcome = commandOutcome(Outcome::Result::Failed, failedItem, failure);
        CancelRequests();
        finishWith(outcome);
    } else {
        Outcome outcome = itemOutcome(item, Outcome::Result::Failed, failure);
        outcome.item = failedItem;
        CancelRequests();
        m_command.reset();
        tell(outcome);
    }
    abortTransfer(text);
}

void Interface::abortTransfer(const QString &text)
{
    // Shown when the tick's work is done: every request has gone, so the
    // ticks its event loop runs find nothing to do.
    m_abortText = text;
}

void Interface::UpdateProgressBar(int n)
{
    OperatorView::ProgressBar bar;
    if (n < 0) {
        const int pending = m_stores.pendingRequestCount();
        if (pending == 0) {
            bar.visible = false;
        } else {
            bar.visible = true;
            bar.value = qMin(pending, bar.maximum);
        }
    } else {
        // Items beyond the bar's range (single items above 40) show it full.
        bar.visible = true;
        bar.value = qMin(n, bar.maximum);
    }
    m_view.setProgressBar(bar);
}

// The unit's own text lines go to the log, at most a burst and then one a
// second: a babbling unit must not fill the disk. Once a minute a line counts
// what was left out.
void Interface::ReadUnitText()
{
    constexpr int kMaxLineLength = 130;
    const auto logUnitLine = [this] {
        if (m_unitTextLimit.allow(m_ticks))
            log(m_unitTextLine);
        m_unitTextLine.clear();
    };
    for (int b = m_datacom.ReadComByte(); b >= 0; b = m_datacom.ReadComByte()) {
        if (b == 13 || b == 10) {
            if (!m_unitTextLine.isEmpty())
                logUnitLine();
        } else {
            m_unitTextLine += Diverse::ByteToLogText(b);
        }
        if (m_unitTextLine.size() > kMaxLineLength)
            logUnitLine();
    }
    if (const QString report = m_unitTextLimit.leftOutReport(m_ticks); !report.isEmpty())
        log(report);
}

// ---------------------------------------------------------------- frames

bool Interface::sendFrame(const QByteArray &body)
{
    m_datacom.FlushComInput();
    bool whole = true;
    for (char c : Frames::complete(body))
        whole = m_datacom.WriteComByte(quint8(c)) == 0 && whole;
    m_sentWhole = whole;
    return whole;
}

int Interface::SendReadRequest(int item)
{
    if (item < 0)
        return -1;
    sendFrame(Frames::readRequestBody(item));
    return 1;
}

int Interface::SendWriteRequest(int item, const Value &value)
{
    m_refusal.clear();
    if (item < 0)
        return -1;
    const Conversions::Encoding encoding = Conversions::encodeValueForUnit(item, value);
    switch (encoding.status) {
    case Conversions::Encoding::Status::NotSent:
        return 0;
    case Conversions::Encoding::Status::Refused:
        return -1;
    case Conversions::Encoding::Status::Unsendable:
        m_refusal = encoding.problem;
        return -1;
    case Conversions::Encoding::Status::Ok:
        break;
    }
    sendFrame(Frames::writeRequestBody(item, encoding.bytes));
    return 1;
}

void Interface::SendWakeUp()
{
    for (char c : Frames::wakeUp())
        m_datacom.WriteComByte(quint8(c));
    m_waitTicks = kWakeUpWait;
}

// ---------------------------------------------------------------- receiving

void Interface::prepareAnswer()
{
    m_reply.clear();
    m_replyTicks = kReplyTimeout;
}

// One tick of collecting an answer in its three states. SOH and LEN are
// taken one byte a tick; the rest as it arrives. Each byte that moves the
// answer on gives it the full time-out again.
Interface::Answer Interface::collectAnswer(const Collecting &states)
{
    if (m_state == states.start || m_state == states.length) {
        const bool start = m_state == states.start;
        const ReplyCollector::Stage waiting = start ? ReplyCollector::Stage::Start : ReplyCollector::Stage::Length;
        const int b = m_datacom.ReadComByte();
        if (b >= 0)
            m_reply.feed(quint8(b));
        if (m_reply.stage() != waiting) {
            m_replyTicks = kReplyTimeout;
            m_state = start ? states.length : states.rest;
            return Answer::Pending;
        }
        if (m_replyTicks > 0)
            return Answer::Pending;
        return start ? Answer::NoStart : Answer::NoLength;
    }
    return collectRest();
}

// Takes every waiting byte. An answer that stops short ends after the same
// 120 ticks without a new byte as the start and length bytes.
Interface::Answer Interface::collectRest()
{
    bool any = false;
    for (int b = m_datacom.ReadComByte(); b >= 0; b = m_datacom.ReadComByte()) {
        any = true;
        switch (m_reply.feed(quint8(b))) {
        case ReplyCollector::Step::Pending: break;
        case ReplyCollector::Step::Complete: return Answer::Complete;
        case ReplyCollector::Step::TooLong: return Answer::TooLong;
        case ReplyCollector::Step::ChecksumError: return Answer::ChecksumError;
        }
    }
    if (any)
        m_replyTicks = kReplyTimeout;
    return m_replyTicks == 0 ? Answer::NoRest : Answer::Pending;
}

// ---------------------------------------------------------------- item texts

QString Interface::DescribeItem(int item) const
{
    return ItemTexts::describeItem(m_controls, item);
}

void Interface::log(const QString &text)
{
    m_log.WriteLogLine(text);
}

// An answer of no use for the current item (too long, naming another item).
// Such answers are not counted one by one, but ten in a row for one item
// count as one failure, so a unit that only answers that way cannot keep a
// transfer going for ever.
bool Interface::unusableAnswer()
{
    const int item = m_transaction->item;
    if (m_unusableItem != item) {
        m_unusableItem = item;
        m_unusableCount = 0;
    }
    if (++m_unusableCount < kMaxUnusableAnswers)
        return false;
    m_unusableCount = 0;
    return true;
}

// ---------------------------------------------------------------- writing one item

void Interface::writeStart()
{
    if (m_waitTicks > 0)
        return;
    m_progModeTicks = kWriteProgMode;
    const int item = m_transaction->item;
    // A write-all sends what the operator confirmed, whatever happened since.
    if (m_writeAll.phase() == WritePhase::Writing && (Items::isListItem(item) || m_command == Command::Commission))
        m_stores.workingValues[item] = m_writeAll.confirmed(item);
    m_stores.unitValueRead[item] = false;
    const Value &working = m_stores.workingValues[item];
    if (m_controls.legendVisible(item)) {
        const QString tag = itemTag(item, working, false);
        QString text =
            QStringLiteral("Writing ") + m_controls.legendText(item) + QLatin1Char(' ') + controlText(m_controls, item);
        if (Items::kindOf(item) == Items::Kind::Tekst)
            text += QStringLiteral(" OK");
        m_view.appendProgress(m_debugMode == 2 ? tag + text : text);
        log(tag + text);
    }
    m_datacom.FlushComInput();
    m_reply.clear();
    if (SendWriteRequest(item, working) == 1) {
        if (!m_sentWhole) {
            writeFailed(QStringLiteral(" -> ERROR the serial port did not take the request."), Failure::PortWriteFailed);
            return;
        }
        m_replyTicks = kReplyTimeout;
        m_state = State::WriteStart;
        m_requests[item].sent = true;
        m_requests[item].answered = false;
        return;
    }
    // Refused before the first byte: nothing went out, nothing to retry. Why
    // goes to the outcome, and with it to the log's outcome line.
    m_view.appendProgress(QStringLiteral(" -> Not implemented type of unit.") + kCrLf);
    if (!m_refusal.isEmpty())
        m_unsendable = QStringLiteral("item %1: %2").arg(item).arg(m_refusal);
    m_stores.itemRequest[item] = Items::kNoRequest;
    m_state = State::Idle;
    noteFailure(item, Failure::Refused);
    itemDone(item, true, false, Failure::Refused);
}

// A failed write: the request stays, so the idle state sends it again.
// Failure None is an answer not counted (too long).
void Interface::writeFailed(const QString &piece, Failure failure)
{
    m_state = State::Idle;
    if (failure == Failure::None) {
        if (!unusableAnswer()) {
            m_view.appendProgress(piece + kCrLf);
            return;
        }
        const QString counted = piece + QStringLiteral(" ERROR no usable answer in %1 tries.").arg(kMaxUnusableAnswers);
        m_view.appendProgress(counted + kCrLf);
        log(QStringLiteral("Error writing unit:") + counted);
        failure = Failure::UnusableAnswer;
    } else {
        m_view.appendProgress(piece + kCrLf);
        if (failure == Failure::PortWriteFailed)
            log(QStringLiteral("Error writing unit:") + piece);
    }
    ++m_errorCount;
    noteFailure(m_transaction->item, failure);
}

void Interface::writeCollect()
{
    switch (collectAnswer({State::WriteStart, State::WriteLength, State::WriteRest})) {
    case Answer::Pending: return;
    case Answer::NoStart: writeFailed(QStringLiteral(" -> ERROR timeout waiting for SOH."), Failure::NoAnswer); return;
    case Answer::NoLength: writeFailed(QStringLiteral(" -> ERROR timeout waiting for LEN."), Failure::CutShort); return;
    case Answer::NoRest: writeFailed(QStringLiteral(" -> ERROR timeout waiting for data."), Failure::CutShort); return;
    case Answer::TooLong: writeFailed(QStringLiteral(" -> ERROR too long info."), Failure::None); return;
    case Answer::ChecksumError: writeFailed(QStringLiteral(" -> ERROR checksum."), Failure::Checksum); return;
    case Answer::Complete: m_state = State::WriteResult; return;
    }
}

void Interface::writeResult()
{
    const int item = m_transaction->item;
    m_state = State::Idle;
    tellAnswered();
    m_requests[item].answered = true;
    const bool acknowledged = Frames::interpretReply(m_reply.buffer()).acknowledged;
    m_inHandAnswer = acknowledged ? InHandAnswer::Acknowledged : InHandAnswer::Refused;
    if (acknowledged) {
        const bool requested = m_stores.itemRequest[item] != Items::kNoRequest;
        m_stores.itemRequest[item] = Items::kNoRequest;
        m_stores.unitValues[item] = m_stores.workingValues[item];
        ModUnitUpdate::ShowValue(m_stores, m_controls, item);
        m_view.appendProgress(QStringLiteral(" -> Saved.") + kCrLf);
        m_errorCount = 0;
        const Value &written = m_stores.workingValues[item];
        if (requested && m_allMode == BulkTransfer::None && !m_singleWritten.contains(item))
            m_singleWritten << item;
        // A text longer than an answer carries cannot come back: written, not read back.
        if (requested && m_allMode == BulkTransfer::None && m_writeAll.readBack() && Conversions::isReadable(item)
            && Conversions::answerCarries(item, written)) {
            // A single write counts once the unit gives the value back.
            requestUnitRead(item);
            m_requests[item].readBackOf = written;
        } else if (requested) {
            itemDone(item, true, true);
        }
    } else {
        ++m_errorCount;
        m_view.appendProgress(QStringLiteral(" -> program ERROR NACK.") + kCrLf);
        noteFailure(item, Failure::Nack);
    }
}

// ---------------------------------------------------------------- reading one item

void Interface::readStart()
{
    if (m_waitTicks > 0)
        return;
    m_progModeTicks = kReadProgMode;
    const int item = m_transaction->item;
    m_view.appendProgress(QStringLiteral("Reading setting ") + NumberText(item) + QStringLiteral("  "));
    m_datacom.FlushComInput();
    m_reply.clear();
    if (SendReadRequest(item) == 1) {
        if (!m_sentWhole) {
            readFailed(QStringLiteral(" ERROR the serial port did not take the request. "), Failure::PortWriteFailed);
            return;
        }
        m_replyTicks = kReplyTimeout;
        m_state = State::ReadStart;
        return;
    }
    m_view.appendProgress(QStringLiteral(" -> Unsupported type of unit!") + kCrLf);
    m_stores.itemRequest[item] = Items::kNoRequest;
    m_state = State::Idle;
    noteFailure(item, Failure::Refused);
    itemDone(item, false, false, Failure::Refused);
}

// A failed read: the request stays, so the idle state asks again. Failure
// None is an answer not counted (too long).
void Interface::readFailed(const QString &piece, Failure failure)
{
    m_state = State::Idle;
    const int item = m_transaction->item;
    QString text = DescribeItem(item) + piece;
    if (m_transaction->lineCheck()) {
        log(QStringLiteral("Error reading unit: ") + text);
        m_view.appendProgress(text + kCrLf);
        lineCheckDone(failure == Failure::None ? Failure::TooLong : failure);
        return;
    }
    if (failure == Failure::None) {
        if (unusableAnswer()) {
            text += QStringLiteral("ERROR no usable answer in %1 tries. ").arg(kMaxUnusableAnswers);
            failure = Failure::UnusableAnswer;
        }
    }
    log(QStringLiteral("Error reading unit: ") + text);
    m_view.appendProgress(text + kCrLf);
    if (failure != Failure::None) {
        ++m_errorCount;
        noteFailure(item, failure);
    }
}

void Interface::readCollect()
{
    switch (collectAnswer({State::ReadStart, State::ReadLength, State::ReadRest})) {
    case Answer::Pending: return;
    case Answer::NoStart: readFailed(QStringLiteral(" ERROR timeout wo SOH. "), Failure::NoAnswer); return;
    case Answer::NoLength: readFailed(QStringLiteral(" ERROR timeout wo LEN. "), Failure::CutShort); return;
    case Answer::NoRest: readFailed(QStringLiteral(" ERROR timeout wo data. "), Failure::CutShort); return;
    case Answer::TooLong: readFailed(QStringLiteral(" ERROR too long info. "), Failure::None); return;
    case Answer::ChecksumError: readFailed(QStringLiteral(" ERROR checksum. "), Failure::Checksum); return;
    case Answer::Complete: m_state = State::ReadResult; return;
    }
}

void Interface::readResult()
{
    m_state = State::Idle;
    tellAnswered();
    // The item the answer names, checked before it indexes anything.
    const Frames::Reply reply = Frames::interpretReply(m_reply.buffer());
    const int r = reply.item;
    if (r < 0) {
        // Too short to name an item, as a refusal is: a failed read, counted,
        // or a unit that refuses every read would be asked again without end.
        readFailed(QStringLiteral(" ERROR reading setting!"), Failure::UnusableAnswer);
        return;
    }
    const Value &value = reply.value;
    if (Values::isNumber(value) && Values::numberOf(value) < 0) {
        // An answer for another item is named so, whatever value it holds.
        readFailed(QStringLiteral(" ERROR reading setting!"),
                   r == m_transaction->item ? Failure::UnusableAnswer : Failure::OtherItem);
        return;
    }
    // Filed under the item the answer names, which need not be the one asked for.
    // A read for the unit's value only leaves the working value and the screen
    // alone, and names the value read rather than what the control shows.
    const int asked = m_transaction->item;
    const bool unitOnly = m_transaction->lineCheck() || m_requests[asked].unitOnly || m_requests[r].unitOnly;
    if (r == asked)
        m_inHandAnswer = InHandAnswer::Read;
    const bool requested = m_stores.itemRequest[r] != Items::kNoRequest;
    m_stores.itemRequest[r] = Items::kNoRequest;
    m_requests[r].unitOnly = false;
    m_stores.unitValues[r] = value;
    m_stores.unitValueRead[r] = true;
    if (!unitOnly) {
        m_stores.workingValues[r] = value;
        ModUnitUpdate::ShowValue(m_stores, m_controls, r);
    }
    if (m_controls.legendVisible(asked))
        reportRead(r, value, unitOnly);
    if (m_transaction->lineCheck()) {
        lineCheckDone(r == asked ? Failure::None : Failure::OtherItem);
        return;
    }
    if (m_requests[r].readBackOf)
        readBackDone(r, value);
    else if (requested)
        itemDone(r, false, true);
    if (r == asked)
        m_errorCount = 0;
    else
        otherItemAnswered();
}

// The progress and log line of a value read: what the control shows, or for
// the unit's value only, the value read.
void Interface::reportRead(int item, const Value &value, bool unitOnly)
{
    const QString tag = itemTag(item, value, true);
    const QString shown = unitOnly ? valueWords(item, value) : controlText(m_controls, item);
    const QString text = m_controls.legendText(item) + QLatin1Char(' ') + shown + readBackWords(item, value);
    m_view.appendProgress((m_debugMode == 2 ? tag + text : text) + kCrLf);
    log(QStringLiteral("Received from unit: ") + tag + text);
}

// How a read ends its progress line: " OK", and for a read-back whether the
// unit holds what was written (" equal to the value written", " differs:
// written 2400 baud").
QString Interface::readBackWords(int item, const Value &held) const
{
    std::optional<Value> written = m_requests[item].readBackOf;
    if (!written && m_writeAll.phase() == WritePhase::ReadBack && m_movedItems.contains(item))
        written = m_writeAll.confirmed(item);
    if (!written || (m_transaction && m_transaction->lineCheck()))
        return QStringLiteral(" OK");
    if (Conversions::sameValue(item, *written, held))
        return QStringLiteral(" equal to the value written");
    return QStringLiteral(" differs: written ") + valueWords(item, *written);
}

// A line check read ended: told as it went, nothing retried or counted.
void Interface::lineCheckDone(Failure failure)
{
    if (failure != Failure::None && failure != Failure::PortLost)
        noteFailure(0, failure);
    const bool answered = failure == Failure::None;
    tell(Outcome{Command::LineCheck, answered ? Outcome::Result::Succeeded : Outcome::Result::Failed, 0, failure,
                 answered ? 1 : 0});
}

// The item asked for is asked again. Answers naming another one do not end
// its failures, and ten in a row count as one.
void Interface::otherItemAnswered()
{
    if (unusableAnswer()) {
        const int item = m_transaction->item;
        const QString text = DescribeItem(item) + QStringLiteral(" ERROR no usable answer in %1 tries. ").arg(kMaxUnusableAnswers);
        log(QStringLiteral("Error reading unit: ") + text);
        m_view.appendProgress(text + kCrLf);
        ++m_errorCount;
        noteFailure(item, Failure::OtherItem);
    }
}
