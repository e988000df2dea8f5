// The whole engine under any sequence of operator commands, answer bytes,
// pauses and link trouble (DSR lost, the device gone, opens failing), ticked
// as the window ticks it. After every tick the harness's checks hold; when
// the input ends and the line falls silent, the engine comes to rest within
// its time-outs and error counts.

#include "EngineHarness.h"

#include "model/Cp1252.h"

namespace {

// A well-formed answer to whatever the engine asked last, so that the
// fuzzer reaches the paths behind a good frame without guessing checksums.
QByteArray goodAnswer(EngineHarness &h, Fuzz::Input &in)
{
    const int item = h.engine().CurrentItem();
    QByteArray p("\x01\x00", 2);
    const uint8_t how = in.byte();
    p.append(char(how & 1 ? 0x15 : Frames::kAck));
    p.append("\x57\x1F", 2);
    p.append(char(how & 2 ? in.byte() : item));
    p.append("\x1E\x77\x1F", 3);
    p.append(in.bytes(how >> 3));
    p.append(char(Frames::kRs));
    QByteArray body;
    body.append(char(Frames::kSoh));
    body.append(char(p.size() + 2));
    body.append(p);
    return Frames::complete(body);
}

void command(EngineHarness &h, Fuzz::Input &in, int which)
{
    Interface &e = h.engine();
    switch (which) {
    case 0: e.requestRead(in.byte() % Items::kItemCount); break;
    case 1: {
        const int item = in.byte() % Items::kItemCount;
        const uint8_t v = in.byte();
        if (Items::kindOf(item) == Items::Kind::Tekst)
            h.controls().setText(item, Cp1252::decode(in.bytes(v % 24)));
        else if (Items::kindOf(item) == Items::Kind::Int)
            h.controls().setText(item, QString::number(int(v) * 131 - 300));
        else
            h.controls().setComboIndex(item, int(v % 20) - 1);
        e.requestWrite(item);
        break;
    }
    case 2: e.requestReadAll(); break;
    case 3: e.requestWriteAll(); break;
    case 4: e.requestPagerCall(); break;
    case 5: e.requestRestart(); break;
    case 6: e.cancelByOperator(); break;
    case 7: h.port().setDsr(false); break;
    case 8: h.port().setDsr(true); break;
    case 9: h.port().dropConnection(); break;
    case 10: h.port().setFailOpens(true); break;
    case 11: h.port().setFailOpens(false); break;
    case 12: h.port().queueInput(goodAnswer(h, in)); break;
    case 13: h.session().reopenComPort(); break;
    case 14: h.controls().setTestBleepIndex(int(in.byte() % 18) - 1); break;
    case 15: h.view().setTestPagerDisplayInfo(Cp1252::decode(in.bytes(in.byte() % 48))); break;
    default: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 8192)
        return 0;
    Fuzz::Input in(data, size);
    EngineHarness h;
    // A bound on the time one input may take; the checks hold at every tick anyway.
    constexpr quint64 kMaxTicks = 5000;
    while (!in.atEnd() && h.ticks() < kMaxTicks) {
        const uint8_t op = in.byte();
        switch (op >> 6) {
        case 0: // some bytes from the unit, then a tick
            h.port().queueInput(in.bytes((op & 0x3F) + 1));
            h.tick();
            break;
        case 1: // a pause
            h.pause((op & 0x3F) + 1);
            break;
        case 2: // a long pause, past the time-outs
            h.pause(((op & 0x3F) + 1) * 16);
            break;
        default:
            command(h, in, op & 0x3F);
            break;
        }
    }
    // The line comes back and falls silent.
    h.port().setFailOpens(false);
    h.port().setDsr(true);
    // Worst case: a reopen retry, then three failed attempts of 10 + 360 ticks
    // each, twice over for a pager call, with slack.
    h.settle(4000);
    return 0;
}
