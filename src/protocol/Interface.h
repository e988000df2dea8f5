#pragma once

#include "Outcome.h"
#include "model/Conversions.h"

#include <QString>

#include <vector>

class Datacom;
class ItemControls;
class Logfile;
class OperatorView;
class Stores;
struct Setup;

// The transaction engine: one state machine advanced by InterfaceTick every
// 25 ms. Commands only leave requests; the idle state takes them in a fixed
// order and runs each as a transaction, one small step per tick. Time is
// counted in ticks; nothing here waits or reads a clock.
class Interface
{
public:
    // State numbers.
    enum : qint16 {
        kNotStarted = 0,
        kReopenPort = 5,
        kIdle = 10,
        kPagerAskPosition = 150, // 151-153 collect the answer
        kPagerSendCall = 161,    // 162-164 collect the answer
        kRestart = 180,          // 181-183 collect the answer
        kWriteItem = 310,        // 311-314
        kReadItem = 350,         // 351-354
    };

    // Countdowns, in ticks of 25 ms.
    static constexpr int kReplyTimeout = 120;
    static constexpr int kWakeUpWait = 10;
    static constexpr int kReadProgMode = 80;
    static constexpr int kWriteProgMode = 200;
    static constexpr int kReopenRetry = 200;
    static constexpr int kMaxErrors = 3;

    Interface(Stores &stores, Datacom &datacom, ItemControls &controls, OperatorView &view, Logfile &log,
              const Setup &setup);

    // One step of the engine. The timer passes 0; start-up passes 10 once.
    void InterfaceTick(int command);

    // Command side: each leaves a request and starts a fresh error count.
    void requestRead(int item);
    void requestWrite(int item);      // takes the item's screen value first
    void requestStoredWrite(int item); // sends the working value as it is
    void requestReadAll();
    void requestWriteAll();
    void requestPagerCall();
    void requestRestart();
    // The operator's Cancel: drops every request and ends a bulk transfer.
    void cancelByOperator();
    // After the operator reopened the port: an engine never started starts now.
    void startIfNeverStarted();

    void CancelRequests();
    void UpdateProgressBar(int n);
    void ReadUnitText();

    // Frame operations.
    int SendByte(int b);
    int SendReadRequest(int item);
    int SendWriteRequest(int item, const Value &value);
    void SendWakeUp();

    // Idle with nothing left to do: no item requested, no bulk transfer, no command waiting.
    bool isQuiet() const;

    // The "[Item: n Value: C] " description of an item with a visible legend.
    QString DescribeItem(int item) const;

    qint16 EngineState = kNotStarted;
    qint16 WaitTicks = 0;
    qint16 ReplyTicks = 0;
    qint16 ProgModeTicks = 0;
    bool ReadAllRequested = false;
    bool WriteAllRequested = false;
    bool PagerCallRequested = false;
    bool RestartRequested = false;
    qint16 AllMode = 0;
    qint16 ErrorCount = 0;
    qint16 CurrentItem = 0;
    int Checksum = 0;
    RxBuffer rxBuffer{};
    qint16 RxCount = 0;
    qint16 RxLength = 0;
    qint16 BufferPosition = 0;
    QString UnitTextLine;
    int DebugMode = 0;

    // Told once of the ending of every command: read-all, write-all, a single
    // item's read or write, the pager call, the restart.
    void addOutcomeListener(OutcomeListener listener) { m_outcomeListeners.push_back(std::move(listener)); }

    // Ticks taken so far; for measuring, not for deciding anything.
    quint64 tickCount() const { return m_ticks; }

private:
    enum class Rx { Pending, Good, TimedOut, TooLong, ChecksumError };
    // How collecting an answer stands after a tick.
    enum class Answer { Pending, Complete, NoStart, NoLength, NoRest, TooLong, ChecksumError };

    void countDown();
    void reopenPort();
    void idle();
    bool reopenForCommand();
    void startItem(int item, bool write);
    void abortTransfer(const QString &text);

    void prepareAnswer();
    Rx receiveStart();
    Rx receiveLength();
    Rx receiveRest();
    Answer collectAnswer(int firstState);
    bool sendFrame(const QByteArray &body);

    void writeStart();
    void writeCollect();
    void writeResult();
    void writeFailed(const QString &piece, bool counted);
    void readStart();
    void readCollect();
    void readResult();
    void readFailed(const QString &piece, bool counted);

    void sendServiceRequest(const QByteArray &body, qint16 collectState);
    void pagerCollectPosition();
    void pagerSendCall();
    void pagerCollectCall();
    void restartCollect();

    bool portOpen() const;
    QString controlText(int item) const;
    QString itemTag(int n, const Value &v, bool readResult) const;
    void appendLine(const QString &piece);
    void log(const QString &text);

    Stores &m_stores;
    Datacom &m_datacom;
    ItemControls &m_controls;
    OperatorView &m_view;
    Logfile &m_log;
    const Setup &m_setup;
    QString m_refusal; // why the last SendWriteRequest refused its value
    quint64 m_ticks = 0;
    std::vector<OutcomeListener> m_outcomeListeners;
};
