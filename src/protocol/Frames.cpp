#include "Frames.h"

#include "model/Items.h"

namespace Frames {
namespace {

const QByteArray kHeader("\x01\x00\x02", 3);

QByteArray frameBody(const QByteArray &payloadAfterHeader)
{
    QByteArray body;
    body.append(char(kSoh));
    body.append(char(payloadAfterHeader.size() + kHeader.size() + 2)); // LEN itself and CHK
    body.append(kHeader);
    body.append(payloadAfterHeader);
    return body;
}

QByteArray field(char id, const QByteArray &value)
{
    QByteArray f;
    f.append(id);
    f.append(char(kUs));
    f.append(value);
    f.append(char(kRs));
    return f;
}

} // namespace

QByteArray wakeUp()
{
    return QByteArray("\x01\x01\x80\x7F", 4);
}

quint8 checksumFor(const QByteArray &bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum = (sum + quint8(c)) % 256;
    return quint8((256 - sum) % 256);
}

QByteArray readRequestBody(int item)
{
    return frameBody(field('w', QByteArray(1, char(item))));
}

QByteArray writeRequestBody(int item, const QByteArray &valueBytes)
{
    return frameBody(field('W', QByteArray(1, char(item))) + field('w', valueBytes));
}

QByteArray askBufferPositionBody()
{
    return frameBody(QByteArray("2"));
}

QByteArray pagerCallBody(const QByteArray &callText)
{
    return frameBody(callText);
}

QByteArray resetBody()
{
    return frameBody(QByteArray("R"));
}

QByteArray complete(const QByteArray &body)
{
    return body + char(checksumFor(body));
}

Reply interpretReply(const RxBuffer &rx)
{
    Reply reply;
    reply.acknowledged = rx[Conversions::kAckOffset] == kAck;
    const int item = Conversions::UnitItemNumber(Conversions::ReplyItemNumber(rx));
    if (item < 0 || item >= Items::kItemCount)
        return reply;
    reply.item = item;
    reply.value = Conversions::ValueFromUnit(item, Conversions::ReplyToValue(rx, item));
    return reply;
}

} // namespace Frames
