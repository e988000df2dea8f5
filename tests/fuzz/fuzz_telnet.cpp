// A device server's bytes through the telnet layer, split into reads as the
// input says. The data that comes out is read again here, independently,
// from the whole stream at once: the same bytes whatever the split, no
// telnet command among them, and data sent back the other way comes through
// unchanged. Every answer owed to the server is a telnet command.

#include "FuzzSupport.h"

#include "link/Rfc2217Codec.h"

namespace {

// The data of a whole stream: commands, options and subnegotiations taken out.
QByteArray dataIn(const QByteArray &stream)
{
    constexpr char kIac = char(Rfc2217Codec::kIac);
    QByteArray data;
    qsizetype i = 0;
    while (i < stream.size()) {
        if (stream[i] != kIac) {
            data.append(stream[i++]);
            continue;
        }
        if (i + 1 >= stream.size())
            break;
        const quint8 verb = quint8(stream[i + 1]);
        if (verb == Rfc2217Codec::kIac) {
            data.append(kIac);
            i += 2;
        } else if (verb == Rfc2217Codec::kSb) {
            // To the first IAC SE; an IAC IAC inside is one byte of the subnegotiation.
            qsizetype j = i + 2;
            while (j + 1 < stream.size() && !(stream[j] == kIac && quint8(stream[j + 1]) == Rfc2217Codec::kSe))
                j += stream[j] == kIac ? 2 : 1;
            i = j + 2;
        } else if (verb >= Rfc2217Codec::kWill) {
            i += 3;
        } else {
            i += 2;
        }
    }
    return data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    Fuzz::Input in(data, size);
    const int split = 1 + in.byte() % 16;
    const QByteArray stream = in.rest();

    Rfc2217Codec codec;
    codec.opening();
    QByteArray got;
    for (qsizetype at = 0; at < stream.size(); at += split) {
        got += codec.takeIncoming(stream.mid(at, split));
        const QByteArray replies = codec.takeReplies();
        FUZZ_CHECK(replies.isEmpty() || quint8(replies[0]) == Rfc2217Codec::kIac, "answer " + Fuzz::hex(replies));
    }
    const QByteArray expected = dataIn(stream);
    // A stream cut inside a subnegotiation leaves the reference short of nothing it
    // gave as data, so the two agree on every byte before the cut.
    FUZZ_CHECK(got == expected, "data " + Fuzz::hex(got) + " expected " + Fuzz::hex(expected));

    Rfc2217Codec back;
    const QByteArray returned = back.takeIncoming(Rfc2217Codec::escaped(got));
    FUZZ_CHECK(returned == got, "sent back " + Fuzz::hex(got) + " came as " + Fuzz::hex(returned));
    return 0;
}
