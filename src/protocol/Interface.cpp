#include "Interface.h"

#include "Frames.h"
#include "OperatorView.h"
#include "binding/ItemControls.h"
#include "binding/ModUnitUpdate.h"
#include "files/Logfile.h"
#include "files/Setup.h"
#include "link/Datacom.h"
#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/Items.h"
#include "model/ScreenDefinition.h"
#include "model/Stores.h"

using Diverse::NumberText;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTitle = QStringLiteral("Tessaro by Kestrum");

} // namespace

Interface::Interface(Stores &stores, Datacom &datacom, ItemControls &controls, OperatorView &view,
                     Logfile &log, const Setup &setup)
    : m_stores(stores), m_datacom(datacom), m_controls(controls), m_view(view), m_log(log), m_setup(setup)
{
    Conversions::clearRxBuffer(rxBuffer);
}

// ---------------------------------------------------------------- commands

void Interface::requestRead(int item)
{
    if (item < 0 || item >= Items::kItemCount)
        return;
    m_stores.itemRequest[item] = Items::kReadRequest;
    ErrorCount = 0;
}

void Interface::requestWrite(int item)
{
    if (item < 0 || item >= Items::kItemCount)
        return;
    ModUnitUpdate::TakeValue(m_stores, m_controls, item);
    requestStoredWrite(item);
}

void Interface::requestStoredWrite(int item)
{
    if (item < 0 || item >= Items::kItemCount)
        return;
    m_stores.itemRequest[item] = Items::kWriteRequest;
    ErrorCount = 0;
}

void Interface::requestReadAll()
{
    ReadAllRequested = true;
    ErrorCount = 0;
}

void Interface::requestWriteAll()
{
    ModUnitUpdate::TakeAllValues(m_stores, m_controls);
    WriteAllRequested = true;
    ErrorCount = 0;
}

void Interface::requestPagerCall()
{
    PagerCallRequested = true;
    ErrorCount = 0;
}

void Interface::requestRestart()
{
    RestartRequested = true;
    ErrorCount = 0;
}

void Interface::cancelByOperator()
{
    m_stores.clearAllRequests();
    AllMode = 0;
    m_view.appendProgress(kCrLf + QStringLiteral("Geannuleerd!") + kCrLf);
}

void Interface::startIfNeverStarted()
{
    if (EngineState == kNotStarted && m_datacom.ComPortIsOpen() == 1)
        InterfaceTick(kIdle);
}

bool Interface::isQuiet() const
{
    return EngineState == kIdle && m_stores.pendingRequestCount() == 0 && AllMode == 0 && !ReadAllRequested
        && !WriteAllRequested && !PagerCallRequested && !RestartRequested;
}

void Interface::CancelRequests()
{
    m_stores.clearAllRequests();
    m_view.appendProgress(kCrLf + QStringLiteral("Cancelled!") + kCrLf);
    AllMode = 0;
}

// ---------------------------------------------------------------- the tick

void Interface::InterfaceTick(int command)
{
    ++m_ticks;
    countDown();

    // Link guard: a link whose watch ran out is closed and opened again.
    if (EngineState >= kIdle && m_datacom.LinkWatch == 0) {
        m_datacom.CloseComPort();
        EngineState = kReopenPort;
        WaitTicks = kWakeUpWait;
    }

    switch (EngineState) {
    case kNotStarted:
        if (command == kIdle)
            EngineState = kIdle;
        UnitTextLine.clear();
        WaitTicks = kWakeUpWait;
        AllMode = 0;
        return;
    case kReopenPort: reopenPort(); return;
    case kIdle: idle(); return;
    case 150: sendServiceRequest(Frames::askBufferPositionBody(), 151); return;
    case 151: case 152: case 153: pagerCollectPosition(); return;
    case 161: pagerSendCall(); return;
    case 162: case 163: case 164: pagerCollectCall(); return;
    case 180: sendServiceRequest(Frames::resetBody(), 181); return;
    case 181: case 182: case 183: restartCollect(); return;
    case 310: writeStart(); return;
    case 311: case 312: case 313: writeCollect(); return;
    case 314: writeResult(); return;
    case 350: readStart(); return;
    case 351: case 352: case 353: readCollect(); return;
    case 354: readResult(); return;
    default:
        EngineState = kIdle;
        return;
    }
}

void Interface::countDown()
{
    for (qint16 *countdown : {&ProgModeTicks, &WaitTicks, &ReplyTicks}) {
        if (*countdown > 0)
            --*countdown;
    }
}

void Interface::reopenPort()
{
    if (WaitTicks > 0)
        return;
    if (m_datacom.openDefault(m_setup.Compoort) != 0) {
        m_datacom.CloseComPort();
        WaitTicks = kReopenRetry;
        return;
    }
    EngineState = kIdle;
    UnitTextLine.clear();
    WaitTicks = kWakeUpWait;
    AllMode = 0;
    if (m_stores.clearAllRequests())
        m_view.appendProgress(kCrLf + QStringLiteral("Current programming / reading action cancelled!") + kCrLf);
}

bool Interface::portOpen() const
{
    return m_datacom.ComPortIsOpen() == 1;
}

void Interface::idle()
{
    for (int item = 0; item < Items::kItemCount; ++item) {
        if (!portOpen()) {
            EngineState = kReopenPort;
            return;
        }
        const qint16 request = m_stores.itemRequest[item];
        if (request == Items::kWriteRequest || request == Items::kReadRequest) {
            startItem(item, request == Items::kWriteRequest);
            return;
        }
    }

    if (AllMode > 0) {
        if (!portOpen()) {
            EngineState = kReopenPort;
            return;
        }
        const QString message = AllMode == 1 ? QStringLiteral("Reading of all settings was successfull.")
                                             : QStringLiteral("Programming of all settings was successfull.");
        AllMode = 0;
        if (DebugMode == 2)
            m_view.appendProgress(message + kCrLf);
        log(message);
    }

    if (!portOpen()) {
        EngineState = kReopenPort;
        return;
    }
    UpdateProgressBar(-1);
    ReadUnitText();

    if (ReadAllRequested) {
        ReadAllRequested = false;
        if (!reopenForCommand())
            return;
        AllMode = 1;
        ErrorCount = 0;
        for (int item : Items::kBulkItems)
            m_stores.itemRequest[item] = Items::kReadRequest;
        return;
    }
    if (WriteAllRequested) {
        WriteAllRequested = false;
        if (reopenForCommand()) {
            AllMode = 2;
            ErrorCount = 0;
            for (int item = 0; item < Items::kItemCount; ++item) {
                ModUnitUpdate::TakeValue(m_stores, m_controls, item);
                if (Items::IsBulkItem(item) == 1)
                    m_stores.itemRequest[item] = Items::kWriteRequest;
            }
            return;
        }
    }
    if (PagerCallRequested) {
        PagerCallRequested = false;
        if (reopenForCommand())
            EngineState = kPagerAskPosition;
    }
    if (RestartRequested) {
        RestartRequested = false;
        if (reopenForCommand())
            EngineState = kRestart;
    }
}

// Every bulk transfer, pager call and restart starts on a freshly opened port,
// which discards whatever the port still held.
bool Interface::reopenForCommand()
{
    m_datacom.CloseComPort();
    return m_datacom.openDefault(m_setup.Compoort) == 0;
}

void Interface::startItem(int item, bool write)
{
    if (ErrorCount >= kMaxErrors) {
        abortTransfer(write ? QStringLiteral("ERROR writing setting in the Converter.") + kCrLf
                                  + QStringLiteral("Programming is aborted!")
                            : QStringLiteral("ERROR reading settings from the converter.") + kCrLf
                                  + QStringLiteral("Reading is aborted!"));
        return;
    }
    CurrentItem = qint16(item);
    if (ProgModeTicks < 1)
        SendWakeUp();
    else
        WaitTicks = 0;
    EngineState = write ? kWriteItem : kReadItem;
    UpdateProgressBar(item);
}

void Interface::abortTransfer(const QString &text)
{
    CancelRequests();
    // Last: a modal box may let further ticks run, which then find nothing to do.
    m_view.messageBox(text, kTitle, OperatorView::Icon::Critical, OperatorView::Buttons::Ok);
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

void Interface::ReadUnitText()
{
    constexpr int kMaxLineLength = 130;
    for (int b = m_datacom.ReadComByte(); b >= 0; b = m_datacom.ReadComByte()) {
        if (b == 13 || b == 10) {
            if (!UnitTextLine.isEmpty()) {
                log(UnitTextLine);
                UnitTextLine.clear();
            }
        } else {
            UnitTextLine += Diverse::ByteToLogText(b);
        }
        if (UnitTextLine.size() > kMaxLineLength) {
            log(UnitTextLine);
            UnitTextLine.clear();
        }
    }
}

// ---------------------------------------------------------------- frames

int Interface::SendByte(int b)
{
    if (m_datacom.WriteComByte(b) != 0)
        return -1;
    Checksum = (Checksum + b) % 256;
    return 0;
}

bool Interface::sendFrame(const QByteArray &body)
{
    m_datacom.FlushComInput();
    Checksum = 0;
    bool whole = true;
    for (char c : body)
        whole = SendByte(quint8(c)) == 0 && whole;
    whole = m_datacom.WriteComByte((256 - Checksum) % 256) == 0 && whole;
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
    WaitTicks = kWakeUpWait;
}

// ---------------------------------------------------------------- receiving

void Interface::prepareAnswer()
{
    Conversions::clearRxBuffer(rxBuffer);
    RxCount = 0;
    ReplyTicks = kReplyTimeout;
}

Interface::Rx Interface::receiveStart()
{
    const int b = m_datacom.ReadComByte();
    if (b == Frames::kSoh) {
        Checksum = 1;
        rxBuffer[RxCount++] = qint16(b);
        ReplyTicks = kReplyTimeout;
        return Rx::Good;
    }
    return ReplyTicks == 0 ? Rx::TimedOut : Rx::Pending;
}

Interface::Rx Interface::receiveLength()
{
    const int b = m_datacom.ReadComByte();
    if (b >= 0) {
        Checksum = (Checksum + b) % 256;
        rxBuffer[RxCount++] = qint16(b);
        RxLength = qint16(b);
        ReplyTicks = kReplyTimeout;
        return Rx::Good;
    }
    return ReplyTicks == 0 ? Rx::TimedOut : Rx::Pending;
}

// Takes every waiting byte. An answer that stops short ends after the same
// 120 ticks without a new byte as the start and length bytes.
Interface::Rx Interface::receiveRest()
{
    bool any = false;
    for (int b = m_datacom.ReadComByte(); b >= 0; b = m_datacom.ReadComByte()) {
        any = true;
        Checksum = (Checksum + b) % 256;
        rxBuffer[RxCount++] = qint16(b);
        if (RxCount > Frames::kMaxAnswerBytes)
            return Rx::TooLong;
        if (RxCount > RxLength)
            return Checksum == 0 ? Rx::Good : Rx::ChecksumError;
    }
    if (any)
        ReplyTicks = kReplyTimeout;
    return ReplyTicks == 0 ? Rx::TimedOut : Rx::Pending;
}

// One tick of collecting an answer in the three states from firstState on
// (start byte, length byte, the rest); moves between them as bytes arrive.
Interface::Answer Interface::collectAnswer(int firstState)
{
    switch (EngineState - firstState) {
    case 0:
        switch (receiveStart()) {
        case Rx::Good: EngineState = qint16(firstState + 1); return Answer::Pending;
        case Rx::TimedOut: return Answer::NoStart;
        default: return Answer::Pending;
        }
    case 1:
        switch (receiveLength()) {
        case Rx::Good: EngineState = qint16(firstState + 2); return Answer::Pending;
        case Rx::TimedOut: return Answer::NoLength;
        default: return Answer::Pending;
        }
    default:
        switch (receiveRest()) {
        case Rx::Good: return Answer::Complete;
        case Rx::TimedOut: return Answer::NoRest;
        case Rx::TooLong: return Answer::TooLong;
        case Rx::ChecksumError: return Answer::ChecksumError;
        case Rx::Pending: return Answer::Pending;
        }
    }
    return Answer::Pending;
}

// ---------------------------------------------------------------- item texts

QString Interface::controlText(int item) const
{
    if (ScreenDefinition::hasCombo(item))
        return m_controls.comboText(item);
    return m_controls.text(item);
}

QString Interface::DescribeItem(int item) const
{
    if (!m_controls.legendVisible(item))
        return QString();
    return QStringLiteral("[Item: ") + NumberText(item) + QStringLiteral(" Value: ") + controlText(item)
        + QStringLiteral("] ");
}

QString Interface::itemTag(int n, const Value &v, bool readResult) const
{
    QString value;
    if (readResult || Items::kindOf(n) == Items::Kind::Tekst)
        value = Values::textOf(v);
    else
        value = QString::number(qlonglong(Values::roundHalfEven(Values::numberOf(v))));
    const bool tekstRead = readResult && Items::kindOf(n) == Items::Kind::Tekst;
    return QStringLiteral(" [Item: ") + NumberText(n) + (tekstRead ? QStringLiteral(" Waarde: ") : QStringLiteral(" Value: "))
        + value + QStringLiteral("] ");
}

void Interface::log(const QString &text)
{
    m_log.WriteLogLine(text);
}

// ---------------------------------------------------------------- writing one item

void Interface::writeStart()
{
    if (WaitTicks > 0)
        return;
    ProgModeTicks = kWriteProgMode;
    const int item = CurrentItem;
    if (item < 0) {
        EngineState = kIdle;
        return;
    }
    const Value &working = m_stores.workingValues[item];
    if (m_controls.legendVisible(item)) {
        const QString tag = itemTag(item, working, false);
        QString text = QStringLiteral("Writing ") + m_controls.legendText(item) + QLatin1Char(' ') + controlText(item);
        if (Items::kindOf(item) == Items::Kind::Tekst)
            text += QStringLiteral(" OK");
        m_view.appendProgress(DebugMode == 2 ? tag + text : text);
        log(tag + text);
    }
    m_datacom.FlushComInput();
    Conversions::clearRxBuffer(rxBuffer);
    if (SendWriteRequest(item, working) == 1) {
        ReplyTicks = kReplyTimeout;
        RxCount = 0;
        EngineState = 311;
        return;
    }
    // Refused before the first byte: nothing went out, nothing to retry.
    if (!m_refusal.isEmpty()) {
        const QString piece = QStringLiteral(" -> ERROR not sent, item ") + NumberText(item) + QStringLiteral(": ")
            + m_refusal + QLatin1Char('.');
        m_view.appendProgress(piece + kCrLf);
        log(QStringLiteral("Error writing unit:") + piece);
    } else {
        m_view.appendProgress(QStringLiteral(" -> Not implemented type of unit.") + kCrLf);
    }
    m_stores.itemRequest[item] = Items::kNoRequest;
    EngineState = kIdle;
}

void Interface::writeFailed(const QString &piece, bool counted)
{
    EngineState = kIdle;
    m_view.appendProgress(piece + kCrLf);
    if (counted)
        ++ErrorCount;
}

void Interface::writeCollect()
{
    switch (collectAnswer(311)) {
    case Answer::Pending: return;
    case Answer::NoStart: writeFailed(QStringLiteral(" -> ERROR timeout waiting for SOH."), true); return;
    case Answer::NoLength: writeFailed(QStringLiteral(" -> ERROR timeout waiting for LEN."), true); return;
    case Answer::NoRest: writeFailed(QStringLiteral(" -> ERROR timeout waiting for data."), true); return;
    case Answer::TooLong: writeFailed(QStringLiteral(" -> ERROR too long info."), false); return;
    case Answer::ChecksumError: writeFailed(QStringLiteral(" -> ERROR checksum."), true); return;
    case Answer::Complete: EngineState = 314; return;
    }
}

void Interface::writeResult()
{
    const int item = CurrentItem;
    EngineState = kIdle;
    if (rxBuffer[Conversions::kAckOffset] == Frames::kAck) {
        m_stores.itemRequest[item] = Items::kNoRequest;
        m_stores.unitValues[item] = m_stores.workingValues[item];
        ModUnitUpdate::ShowValue(m_stores, m_controls, item);
        m_view.appendProgress(QStringLiteral(" -> Saved.") + kCrLf);
        ErrorCount = 0;
    } else {
        ++ErrorCount;
        m_view.appendProgress(QStringLiteral(" -> program ERROR NACK.") + kCrLf);
    }
}

// ---------------------------------------------------------------- reading one item

void Interface::readStart()
{
    if (WaitTicks > 0)
        return;
    ProgModeTicks = kReadProgMode;
    const int item = CurrentItem;
    if (item < 0) {
        EngineState = kIdle;
        return;
    }
    m_view.appendProgress(QStringLiteral("Reading setting ") + NumberText(item) + QStringLiteral("  "));
    m_datacom.FlushComInput();
    Conversions::clearRxBuffer(rxBuffer);
    if (SendReadRequest(item) == 1) {
        ReplyTicks = kReplyTimeout;
        EngineState = 351;
        RxCount = 0;
        return;
    }
    m_view.appendProgress(QStringLiteral(" -> Unsupported type of unit!") + kCrLf);
    m_stores.itemRequest[item] = Items::kNoRequest;
    EngineState = kIdle;
}

void Interface::readFailed(const QString &piece, bool counted)
{
    EngineState = kIdle;
    const QString text = DescribeItem(CurrentItem) + piece;
    log(QStringLiteral("Error reading unit: ") + text);
    m_view.appendProgress(text + kCrLf);
    if (counted)
        ++ErrorCount;
}

void Interface::readCollect()
{
    switch (collectAnswer(351)) {
    case Answer::Pending: return;
    case Answer::NoStart: readFailed(QStringLiteral(" ERROR timeout wo SOH. "), true); return;
    case Answer::NoLength: readFailed(QStringLiteral(" ERROR timeout wo LEN. "), true); return;
    case Answer::NoRest: readFailed(QStringLiteral(" ERROR timeout wo data. "), true); return;
    case Answer::TooLong: readFailed(QStringLiteral(" ERROR too long info. "), false); return;
    case Answer::ChecksumError: readFailed(QStringLiteral(" ERROR checksum. "), true); return;
    case Answer::Complete: EngineState = 354; return;
    }
}

void Interface::readResult()
{
    EngineState = kIdle;
    const int r = Conversions::UnitItemNumber(Conversions::ReplyItemNumber(rxBuffer));
    if (r < 0) {
        // Too short to name an item, as a refusal is: a failed read, counted,
        // or a unit that refuses every read would be asked again without end.
        readFailed(QStringLiteral(" ERROR reading setting!"), true);
        return;
    }
    const Value value = Conversions::ValueFromUnit(r, Conversions::ReplyToValue(rxBuffer, r));
    if (Values::isNumber(value) && Values::numberOf(value) < 0) {
        const QString text = DescribeItem(CurrentItem) + QStringLiteral(" ERROR reading setting!");
        m_view.appendProgress(text + kCrLf);
        ++ErrorCount;
        log(QStringLiteral("Error reading unit: ") + text);
        return;
    }
    // Filed under the item the answer names, which need not be the one asked for.
    m_stores.itemRequest[r] = Items::kNoRequest;
    m_stores.unitValues[r] = value;
    m_stores.workingValues[r] = value;
    ModUnitUpdate::ShowValue(m_stores, m_controls, r);
    if (m_controls.legendVisible(CurrentItem)) {
        const QString tag = itemTag(r, value, true);
        const QString text = m_controls.legendText(r) + QLatin1Char(' ') + controlText(r) + QStringLiteral(" OK");
        m_view.appendProgress((DebugMode == 2 ? tag + text : text) + kCrLf);
        log(QStringLiteral("Received from unit: ") + tag + text);
    }
    ErrorCount = 0;
}

// ---------------------------------------------------------------- pager call

// Sends a service request once the wait has run out, then collects its answer
// from collectState on.
void Interface::sendServiceRequest(const QByteArray &body, qint16 collectState)
{
    if (WaitTicks > 0)
        return;
    ProgModeTicks = kWriteProgMode;
    prepareAnswer();
    sendFrame(body);
    EngineState = collectState;
}

void Interface::pagerCollectPosition()
{
    const Answer answer = collectAnswer(151);
    if (answer == Answer::Pending)
        return;
    EngineState = kIdle;
    switch (answer) {
    case Answer::NoStart:
        ++ErrorCount;
        log(QStringLiteral("ERROR: TimeOut calling pager via Tessaro (SOH ask BufPos)"));
        return;
    case Answer::NoLength: log(QStringLiteral("ERROR: TimeOut calling pager Tessaro (Len ask BufPos)")); return;
    case Answer::NoRest:
        ++ErrorCount;
        log(QStringLiteral("ERROR: TimeOut calling pager Tessaro (Data ask BufPos)"));
        return;
    case Answer::ChecksumError:
        log(QStringLiteral("ERROR: ChecksumError calling pager Tessaro (CheckSum ask BufPos)"));
        return;
    case Answer::Complete:
        // Whether the answer holds ACK is not asked; a position that is no digit still goes out.
        BufferPosition = qint16(rxBuffer[Conversions::kItemOffset] - '0');
        if (BufferPosition < 0 || BufferPosition > 9)
            ++ErrorCount;
        EngineState = kPagerSendCall;
        return;
    case Answer::TooLong:
    case Answer::Pending:
        return;
    }
}

void Interface::pagerSendCall()
{
    constexpr int kMaxAddress = 10;
    constexpr int kMaxDisplayText = 40;
    const QString address = m_view.testPagerAddress().left(kMaxAddress);
    const QString display = m_view.testPagerDisplayInfo().left(kMaxDisplayText);
    const QChar us(Frames::kUs);
    const QChar rs(Frames::kRs);
    QString text = QStringLiteral("A") + us + NumberText(BufferPosition) + rs + QStringLiteral("1") + us + address + rs;
    if (!display.isEmpty())
        text += QStringLiteral("2") + us + display + rs;
    text += QStringLiteral("3") + us + Diverse::HexText(m_controls.testBleepIndex()) + rs;
    ProgModeTicks = kWriteProgMode;
    const auto bytes = Cp1252::encode(text);
    if (!bytes) {
        // A character the line cannot carry would reach the pager as another one.
        log(QStringLiteral("ERROR: Pager call not sent: the address or message holds a character that cannot be sent."));
        EngineState = kIdle;
        return;
    }
    prepareAnswer();
    sendFrame(Frames::pagerCallBody(*bytes));
    EngineState = 162;
}

void Interface::pagerCollectCall()
{
    const Answer answer = collectAnswer(162);
    if (answer == Answer::Pending)
        return;
    EngineState = kIdle;
    switch (answer) {
    case Answer::NoStart:
        ++ErrorCount;
        log(QStringLiteral("ERROR: TimeOut calling pager via Tessaro (SOH sending call)"));
        return;
    case Answer::NoLength: log(QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Len sending call)")); return;
    case Answer::NoRest:
        ++ErrorCount;
        log(QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Rest sending call)"));
        return;
    case Answer::ChecksumError:
        log(QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Data sending call)"));
        return;
    case Answer::Complete:
        log(rxBuffer[Conversions::kAckOffset] == Frames::kAck
                ? QStringLiteral("STATUS: Calling pager via Tessaro succesfull.")
                : QStringLiteral("STATUS: Calling pager via Tessaro failed."));
        return;
    case Answer::TooLong:
    case Answer::Pending:
        return;
    }
}

// ---------------------------------------------------------------- restart

void Interface::restartCollect()
{
    const Answer answer = collectAnswer(181);
    if (answer == Answer::Pending)
        return;
    EngineState = kIdle;
    switch (answer) {
    case Answer::NoStart: log(QStringLiteral("ERROR: TimeOut sending RESET command to the converter (SOH)")); return;
    case Answer::NoLength:
        log(QStringLiteral("ERROR: TimeOut while sending RESET command to the cconverter. (Length)"));
        return;
    case Answer::NoRest:
        log(QStringLiteral("ERROR: TimeOut while sending RESET command to the converter. (Data)"));
        return;
    case Answer::ChecksumError: log(QStringLiteral("ERROR: ChecksumError sending RESET command to the converter.")); return;
    case Answer::Complete:
        if (rxBuffer[Conversions::kAckOffset] == Frames::kAck)
            log(QStringLiteral("STATUS: RESET command send to the converter."));
        return;
    case Answer::TooLong:
    case Answer::Pending:
        return;
    }
}
