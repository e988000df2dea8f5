// The engine's service calls: the pager test call and the restart of the
// converter. Each starts on a freshly opened port, asks the unit once and is
// never retried; how it ended goes to the log only.

#include "Interface.h"

#include "Frames.h"
#include "OperatorView.h"
#include "binding/ItemControls.h"
#include "model/Cp1252.h"
#include "model/Diverse.h"
#include "model/ValueCheck.h"

// What a service call's answer logs, by how it ended.
struct Interface::ServiceTexts
{
    QString noStart;
    QString noLength;
    QString noRest;
    QString checksum;
    QString acknowledged; // a good answer holding ACK
    QString refused;      // a good answer without ACK; empty: nothing is logged
    bool missingCounts;   // a missing start byte or rest adds to ErrorCount
};

namespace {

// The pager call's fields: the buffer position, the address, the display text
// when there is one, and the bleep.
QString pagerCallText(int position, const QString &address, const QString &display, int bleepIndex)
{
    const QChar us(Frames::kUs);
    const QChar rs(Frames::kRs);
    QString text = QStringLiteral("A") + us + Diverse::NumberText(position) + rs + QStringLiteral("1") + us + address + rs;
    if (!display.isEmpty())
        text += QStringLiteral("2") + us + display + rs;
    return text + QStringLiteral("3") + us + Diverse::HexText(bleepIndex) + rs;
}

} // namespace

void Interface::startServiceCall(Command command)
{
    m_transaction = Transaction{command, -1};
    m_state = command == Command::PagerCall ? State::PagerAskPosition : State::Restart;
}

// Sends a service request once the wait has run out, then collects its answer
// from collectState on.
void Interface::sendServiceRequest(const QByteArray &body, State collectState)
{
    if (m_waitTicks > 0)
        return;
    m_progModeTicks = kWriteProgMode;
    prepareAnswer();
    if (!sendFrame(body)) {
        m_state = State::Idle;
        log(QStringLiteral("ERROR: The serial port did not take the request to the converter."));
        noteFailure(-1, Failure::PortWriteFailed);
        finish(Outcome::Result::Failed, -1, Failure::PortWriteFailed);
        return;
    }
    m_state = collectState;
}

void Interface::pagerCollectPosition()
{
    static const ServiceTexts texts{
        QStringLiteral("ERROR: TimeOut calling pager via Tessaro (SOH ask BufPos)"),
        QStringLiteral("ERROR: TimeOut calling pager Tessaro (Len ask BufPos)"),
        QStringLiteral("ERROR: TimeOut calling pager Tessaro (Data ask BufPos)"),
        QStringLiteral("ERROR: ChecksumError calling pager Tessaro (CheckSum ask BufPos)"),
        QString(),
        QString(),
        true,
    };
    const Answer answer = collectAnswer({State::PagerPositionStart, State::PagerPositionLength, State::PagerPositionRest});
    if (answer == Answer::Pending)
        return;
    m_state = State::Idle;
    if (answer == Answer::Complete) {
        tellAnswered();
        // Whether the answer holds ACK is not asked; a position that is no digit still goes out.
        m_bufferPosition = qint16(m_reply.buffer()[Conversions::kItemOffset] - '0');
        if (m_bufferPosition < 0 || m_bufferPosition > 9)
            ++m_errorCount;
        m_state = State::PagerSendCall;
        return;
    }
    const Failure failure = serviceFailure(answer, texts);
    noteFailure(-1, failure);
    finish(Outcome::Result::Failed, -1, failure);
}

void Interface::pagerSendCall()
{
    constexpr int kMaxAddress = 10;
    constexpr int kMaxDisplayText = 40;
    const QString address = m_view.testPagerAddress().left(kMaxAddress);
    const QString display = m_view.testPagerDisplayInfo().left(kMaxDisplayText);
    m_progModeTicks = kWriteProgMode;
    const auto bytes = Cp1252::encode(pagerCallText(m_bufferPosition, address, display, m_controls.testBleepIndex()));
    // A character the line cannot carry would reach the pager as another one,
    // and a control byte could end a field or add one (RS, US).
    if (!bytes || !ValueCheck::textProblem(address + display).isEmpty()) {
        log(QStringLiteral("ERROR: Pager call not sent: the address or message holds a character that cannot be sent."));
        m_state = State::Idle;
        finish(Outcome::Result::Failed, -1, Failure::Refused);
        return;
    }
    sendServiceRequest(Frames::pagerCallBody(*bytes), State::PagerCallStart);
}

void Interface::pagerCollectCall()
{
    static const ServiceTexts texts{
        QStringLiteral("ERROR: TimeOut calling pager via Tessaro (SOH sending call)"),
        QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Len sending call)"),
        QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Rest sending call)"),
        QStringLiteral("ERROR: TimeOut calling pager via Tessaro (Data sending call)"),
        QStringLiteral("STATUS: Calling pager via Tessaro succesfull."),
        QStringLiteral("STATUS: Calling pager via Tessaro failed."),
        true,
    };
    finishServiceCall(collectAnswer({State::PagerCallStart, State::PagerCallLength, State::PagerCallRest}), texts);
}

void Interface::restartCollect()
{
    static const ServiceTexts texts{
        QStringLiteral("ERROR: TimeOut sending RESET command to the converter (SOH)"),
        QStringLiteral("ERROR: TimeOut while sending RESET command to the cconverter. (Length)"),
        QStringLiteral("ERROR: TimeOut while sending RESET command to the converter. (Data)"),
        QStringLiteral("ERROR: ChecksumError sending RESET command to the converter."),
        QStringLiteral("STATUS: RESET command send to the converter."),
        QString(),
        false,
    };
    finishServiceCall(collectAnswer({State::RestartStart, State::RestartLength, State::RestartRest}), texts);
}

// An answer that did not come whole and sound: logged, counted where the
// texts say so, and its failure. None for a complete answer.
Interface::Failure Interface::serviceFailure(Answer answer, const ServiceTexts &texts)
{
    switch (answer) {
    case Answer::NoStart:
    case Answer::NoRest: {
        const bool noStart = answer == Answer::NoStart;
        if (texts.missingCounts)
            ++m_errorCount;
        log(noStart ? texts.noStart : texts.noRest);
        return noStart ? Failure::NoAnswer : Failure::CutShort;
    }
    case Answer::NoLength: log(texts.noLength); return Failure::CutShort;
    case Answer::ChecksumError: log(texts.checksum); return Failure::Checksum;
    case Answer::TooLong: return Failure::UnusableAnswer;
    case Answer::Complete:
    case Answer::Pending: break;
    }
    return Failure::None;
}

// The last answer of the pager call or the restart: how it ended is logged
// once and told as the command's outcome.
void Interface::finishServiceCall(Answer answer, const ServiceTexts &texts)
{
    if (answer == Answer::Pending)
        return;
    m_state = State::Idle;
    Failure failure = serviceFailure(answer, texts);
    if (answer == Answer::Complete) {
        tellAnswered();
        if (Frames::interpretReply(m_reply.buffer()).acknowledged) {
            log(texts.acknowledged);
        } else {
            if (!texts.refused.isEmpty())
                log(texts.refused);
            failure = Failure::Nack;
        }
    }
    if (!m_command)
        begin(m_transaction->command);
    if (failure == Failure::None) {
        finish(Outcome::Result::Succeeded, -1, failure);
        return;
    }
    noteFailure(-1, failure);
    finish(Outcome::Result::Failed, -1, failure);
}
