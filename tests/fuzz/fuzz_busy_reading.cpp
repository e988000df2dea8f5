// Bytes arriving at the port in any pattern while the engine is busy: between
// ticks, in the middle of a transaction, and through a long time without a
// tick (the window blocked), in bursts of any size. Nothing may crash; the
// input the port holds stays within what a serial driver holds, and the
// engine's own memory (its unit text line, the log window lines, the view's
// progress text) stays bounded whatever arrives.

#include "EngineHarness.h"

namespace {

// A serial driver's input buffer: what arrives beyond it while nobody reads is
// lost (an overrun), as on a real port. The scripted port holds any amount, so
// the harness drops the excess itself.
constexpr qsizetype kDriverBuffer = 4096;
// The engine's line of unit text is cut at 130 characters; a byte is at most
// a few characters of log text ("[FF]").
constexpr qsizetype kMaxUnitTextLine = 130 + 8;
// The view's progress text grows with the items a transfer reports; far more
// than a read-all and a write-all of every item write, with their messages.
constexpr qsizetype kMaxProgress = 256 * 1024;

void deliver(EngineHarness &h, const QByteArray &bytes)
{
    const qsizetype room = kDriverBuffer - h.port().pendingInput().size();
    if (room > 0)
        h.port().queueInput(bytes.left(room));
}

// Bytes as a pattern: a run of one byte, a repeated short piece, or a frame start.
QByteArray pattern(Fuzz::Input &in)
{
    const uint8_t how = in.byte();
    const int count = (int(in.byte()) | (int(in.byte()) << 8)) % (2 * kDriverBuffer) + 1;
    switch (how % 4) {
    case 0: return QByteArray(count, char(in.byte()));
    case 1: {
        const QByteArray piece = in.bytes(how / 4 % 16 + 1);
        if (piece.isEmpty())
            return QByteArray();
        QByteArray out;
        while (out.size() < count)
            out += piece;
        return out.left(count);
    }
    case 2: return QByteArray("\x01", 1) + in.bytes(how / 4 % 32);
    default: return in.bytes(how / 4 % 64 + 1);
    }
}

void checkBounded(EngineHarness &h)
{
    FUZZ_CHECK(h.port().pendingInput().size() <= kDriverBuffer,
               QStringLiteral("the port holds %1 bytes").arg(h.port().pendingInput().size()));
    FUZZ_CHECK(EngineProbe(h.engine()).UnitTextLine().size() <= kMaxUnitTextLine,
               QStringLiteral("the unit text line holds %1 characters").arg(EngineProbe(h.engine()).UnitTextLine().size()));
    FUZZ_CHECK(h.view().progress().size() <= kMaxProgress,
               QStringLiteral("the progress text holds %1 characters").arg(h.view().progress().size()));
    FUZZ_CHECK(h.session().logLines.count() <= Diverse::LogLines::kLineCount,
               QStringLiteral("%1 log window lines").arg(h.session().logLines.count()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    Fuzz::Input in(data, size);
    EngineHarness h;
    constexpr quint64 kMaxTicks = 3000;
    while (!in.atEnd() && h.ticks() < kMaxTicks) {
        const uint8_t op = in.byte();
        switch (op % 8) {
        case 0: // bytes, then a tick
            deliver(h, pattern(in));
            h.tick();
            break;
        case 1: // bytes and no tick: the window is busy elsewhere
            deliver(h, pattern(in));
            break;
        case 2: // a long time without ticks, with bytes arriving in many bursts
            for (int i = 0; i <= op / 8; ++i)
                deliver(h, pattern(in));
            break;
        case 3: h.engine().requestReadAll(); break;
        case 4: h.engine().requestWriteAll(); break;
        case 5: h.engine().requestRead(in.byte() % Items::kItemCount); break;
        case 6: h.engine().requestPagerCall(); break;
        default: // some ticks, as the timer catches up
            for (int i = 0; i <= op / 8 % 16; ++i)
                h.tick();
            break;
        }
        checkBounded(h);
    }
    // The bytes stop: the engine takes what the port holds and comes to rest.
    h.settle(4000);
    for (int i = 0; i < 64 && !h.port().pendingInput().isEmpty(); ++i)
        h.tick();
    checkBounded(h);
    FUZZ_CHECK(h.port().pendingInput().isEmpty() || !h.port().isOpen(),
               QStringLiteral("%1 bytes left unread at rest").arg(h.port().pendingInput().size()));
    return 0;
}
