// One item transaction, pager call or restart, with the answer bytes arriving
// as the input says, tick by tick. Beside the checks after every tick, the
// bytes the engine took are read again here, independently: a value is stored
// exactly when they hold one whole frame with a good checksum, and it is the
// value that frame carries, filed under the item the frame names.

#include "EngineHarness.h"

#include "model/Conversions.h"
#include "model/Cp1252.h"

namespace {

struct Frame
{
    bool complete = false;
    bool good = false;
    RxBuffer rx;
};

// The answer as the receive procedure should see it in the bytes it took.
Frame frameIn(const QByteArray &taken)
{
    Frame f;
    f.rx.fill(-1);
    const qsizetype soh = taken.indexOf(char(Frames::kSoh));
    if (soh < 0)
        return f;
    const QByteArray bytes = taken.mid(soh);
    FUZZ_CHECK(bytes.size() <= Frames::kMaxAnswerBytes + 1, QStringLiteral("took %1 answer bytes").arg(bytes.size()));
    int sum = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        f.rx[i] = quint8(bytes[i]);
        sum += quint8(bytes[i]);
    }
    if (bytes.size() < 2 || bytes.size() > Frames::kMaxAnswerBytes)
        return f;
    const int len = quint8(bytes[1]);
    f.complete = bytes.size() == qMax(len + 1, 3);
    f.good = f.complete && sum % 256 == 0;
    return f;
}

// The ticks of the schedule: deliver some bytes, or let time pass.
void runSchedule(EngineHarness &h, Fuzz::Input &in)
{
    while (!in.atEnd() && int(EngineProbe(h.engine()).EngineState()) != int(Interface::State::Idle)) {
        const uint8_t op = in.byte();
        int ticks = 1;
        if (op >= 0x80)
            ticks = (op & 0x7F) * 4 + 1;
        else if (op >= 0x40)
            h.port().queueInput(in.bytes((op & 0x3F) + 1));
        else
            ticks = op + 1;
        for (int i = 0; i < ticks && int(EngineProbe(h.engine()).EngineState()) != int(Interface::State::Idle); ++i)
            h.tick();
    }
    // The line falls silent: the transaction ends within its time-outs.
    for (int i = 0; int(EngineProbe(h.engine()).EngineState()) != int(Interface::State::Idle); ++i) {
        FUZZ_CHECK(i <= 6 * (Interface::kReplyTimeout + 1) + Interface::kWakeUpWait, QStringLiteral("state %1 did not end").arg(int(EngineProbe(h.engine()).EngineState())));
        h.tick();
    }
}

bool startTransaction(EngineHarness &h, int receiveState)
{
    for (int i = 0; i <= Interface::kWakeUpWait + 2; ++i) {
        h.tick();
        if (int(EngineProbe(h.engine()).EngineState()) == receiveState)
            return true;
        if (int(EngineProbe(h.engine()).EngineState()) == int(Interface::State::Idle) && h.stores().pendingRequestCount() == 0)
            return false; // refused before anything was sent
    }
    FUZZ_CHECK(false, QStringLiteral("no request went out: state %1").arg(int(EngineProbe(h.engine()).EngineState())));
    return false;
}

void checkRead(EngineHarness &h, int item)
{
    const Frame f = frameIn(h.port().taken());
    int changed = -1;
    for (int i = 0; i < Items::kItemCount; ++i) {
        if (h.stores().unitValues[i] != Values::integer(-1)) {
            FUZZ_CHECK(changed < 0, QStringLiteral("items %1 and %2 both stored").arg(changed).arg(i));
            changed = i;
        }
    }
    const int r = f.rx[Conversions::kItemOffset];
    const Value expected = f.good && r >= 0 ? Conversions::ReplyToValue(f.rx, r) : Values::integer(-1);
    if (!Values::isText(expected)) {
        FUZZ_CHECK(changed < 0, QStringLiteral("item %1 stored from a bad answer %2").arg(changed).arg(Fuzz::hex(h.port().taken())));
        FUZZ_CHECK(h.stores().itemRequest[item] == Items::kReadRequest, QStringLiteral("request dropped without a value"));
        return;
    }
    FUZZ_CHECK(changed == r, QStringLiteral("answer %1 names item %2, stored %3").arg(Fuzz::hex(h.port().taken())).arg(r).arg(changed));
    FUZZ_CHECK(r >= 0 && r < Items::kItemCount, QStringLiteral("stored item %1").arg(r));
    FUZZ_CHECK(h.stores().unitValues[r] == expected && h.stores().workingValues[r] == expected,
               QStringLiteral("item %1 holds \"%2\", the answer carries \"%3\"")
                   .arg(r).arg(Values::textOf(h.stores().unitValues[r]), Values::textOf(expected)));
    FUZZ_CHECK(h.stores().itemRequest[r] == Items::kNoRequest, QStringLiteral("item %1 still requested").arg(r));
    FUZZ_CHECK(r == item || h.stores().itemRequest[item] == Items::kReadRequest, QStringLiteral("asked item dropped"));
}

void checkWrite(EngineHarness &h, int item)
{
    const Frame f = frameIn(h.port().taken());
    const bool accepted = f.good && f.rx[Conversions::kAckOffset] == Frames::kAck;
    if (accepted) {
        FUZZ_CHECK(h.stores().unitValues[item] == h.stores().workingValues[item]
                       && h.stores().itemRequest[item] == Items::kNoRequest,
                   QStringLiteral("an acknowledged write was not recorded"));
    } else {
        FUZZ_CHECK(h.stores().unitValues[item] == Values::integer(-1)
                       && h.stores().itemRequest[item] == Items::kWriteRequest,
                   QStringLiteral("write recorded without an ACK: %1").arg(Fuzz::hex(h.port().taken())));
    }
    for (int i = 0; i < Items::kItemCount; ++i)
        FUZZ_CHECK(i == item || h.stores().unitValues[i] == Values::integer(-1), QStringLiteral("item %1 stored by a write").arg(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    Fuzz::Input in(data, size);
    EngineHarness h;
    const int kind = in.byte() % 4;
    const int item = in.byte() % Items::kItemCount;

    switch (kind) {
    case 0:
        h.engine().requestRead(item);
        if (!startTransaction(h, 351))
            return 0;
        h.port().takeTaken();
        runSchedule(h, in);
        checkRead(h, item);
        break;
    case 1: {
        const uint8_t v = in.byte();
        h.stores().workingValues[item] = Items::kindOf(item) == Items::Kind::Tekst
            ? Values::text(Cp1252::decode(in.bytes(v % 32)))
            : Values::integer(v & 0x80 ? int(v) * 97 : int(v));
        // One transaction alone: no read-back after it.
        h.engine().setReadBack(false);
        h.engine().requestStoredWrite(item);
        if (!startTransaction(h, 311))
            return 0;
        h.port().takeTaken();
        runSchedule(h, in);
        checkWrite(h, item);
        break;
    }
    case 2:
        h.view().setTestPagerAddress(Cp1252::decode(in.bytes(in.byte() % 16)));
        h.engine().requestPagerCall();
        FUZZ_CHECK(startTransaction(h, 151), QStringLiteral("no pager call"));
        runSchedule(h, in);
        break;
    case 3: {
        h.engine().requestRestart();
        FUZZ_CHECK(startTransaction(h, 181), QStringLiteral("no restart"));
        h.port().takeTaken();
        runSchedule(h, in);
        const Frame f = frameIn(h.port().taken());
        const bool acked = f.good && f.rx[Conversions::kAckOffset] == Frames::kAck;
        bool reported = false;
        for (int i = 0; i < h.session().logLines.count(); ++i)
            reported = reported || h.session().logLines.line(i).endsWith(QStringLiteral("STATUS: RESET command send to the converter."));
        FUZZ_CHECK(acked == reported, QStringLiteral("restart answer %1 reported %2").arg(Fuzz::hex(h.port().taken())).arg(reported));
        break;
    }
    }
    return 0;
}
