#include "UnitResponder.h"

#include "model/Cp1252.h"

#include <QMap>

namespace {

constexpr int kHeaderEnd = 5; // SOH, LEN, 01, 00, STX: the body starts here

// The request body: the bytes between the header and the checksum.
QByteArrayView bodyOf(QByteArrayView request)
{
    return request.sliced(kHeaderEnd, request.size() - kHeaderEnd - 1);
}

bool isRequest(QByteArrayView request)
{
    return request.size() >= 6 && quint8(request.at(0)) == UnitResponder::kSoh
        && quint8(request.at(1)) == request.size() - 1 && request.at(2) == 0x01 && request.at(3) == 0x00
        && quint8(request.at(4)) == UnitResponder::kStx;
}

QString hexOf(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace

UnitResponder::UnitResponder(UnitItems &items)
    : m_items(items)
{
}

QByteArray UnitResponder::frame(QByteArrayView payload)
{
    QByteArray out;
    out.reserve(payload.size() + 3);
    out.append(char(kSoh));
    out.append(char(payload.size() + 2));
    out.append(payload);
    quint8 sum = 0;
    for (char c : out)
        sum += quint8(c);
    out.append(char(quint8(256 - sum)));
    return out;
}

bool UnitResponder::checksumOk(QByteArrayView frame)
{
    quint8 sum = 0;
    for (char c : frame)
        sum += quint8(c);
    return sum == 0;
}

QByteArray UnitResponder::nakFrame()
{
    return frame(QByteArrayView("\x01\x00\x15", 3));
}

QByteArray UnitResponder::accepted(QByteArrayView body) const
{
    QByteArray payload("\x01\x00", 2);
    payload.append(char(kAck));
    payload.append(body);
    return frame(payload);
}

int UnitResponder::readItemOf(QByteArrayView request)
{
    if (!isRequest(request) || !checksumOk(request))
        return -1;
    const QByteArrayView body = bodyOf(request);
    if (body.size() == 4 && body.at(0) == 'w' && quint8(body.at(1)) == kUs && quint8(body.at(3)) == kRs)
        return quint8(body.at(2));
    return -1;
}

QByteArray UnitResponder::readAnswer(int n) const
{
    if (n < 0 || n >= UnitItems::kItemCount)
        return nakFrame();
    QByteArray body;
    body.append('W');
    body.append(char(kUs));
    body.append(char(n));
    body.append(char(kRs));
    body.append('w');
    body.append(char(kUs));
    body.append(m_items.value(n));
    body.append(char(kRs));
    return accepted(body);
}

QByteArray UnitResponder::answer(QByteArrayView request, UnitEvent *event)
{
    UnitEvent local;
    UnitEvent &ev = event ? *event : local;
    ev = UnitEvent();
    if (!isRequest(request) || !checksumOk(request)) {
        ev.kind = UnitEvent::Kind::Refused;
        ev.text = QStringLiteral("refused a damaged frame: ") + hexOf(request);
        return nakFrame();
    }
    const QByteArrayView body = bodyOf(request);

    if (body == QByteArrayView("R")) {
        ev.kind = UnitEvent::Kind::Reset;
        ev.text = QStringLiteral("reset: the converter restarts");
        return accepted({});
    }
    if (body == QByteArrayView("2")) {
        ev.kind = UnitEvent::Kind::BufferPosition;
        ev.text = QStringLiteral("buffer position %1").arg(m_bufferPosition);
        QByteArray answerBody("A");
        answerBody.append(char(kUs));
        answerBody.append(char('0' + m_bufferPosition));
        answerBody.append(char(kRs));
        return accepted(answerBody);
    }
    if (const int n = readItemOf(request); n >= 0) {
        ev.item = n;
        if (n >= UnitItems::kItemCount) {
            ev.kind = UnitEvent::Kind::Refused;
            ev.text = QStringLiteral("refused a read of item %1").arg(n);
            return nakFrame();
        }
        ev.kind = UnitEvent::Kind::Read;
        ev.text = QStringLiteral("read item %1: %2").arg(n).arg(m_items.valueText(n));
        return readAnswer(n);
    }
    if (body.size() >= 7 && body.at(0) == 'W' && quint8(body.at(1)) == kUs)
        return writeAnswer(body, ev);
    if (body.size() >= 3 && body.at(0) == 'A' && quint8(body.at(1)) == kUs)
        return pagerCallAnswer(body, ev);

    ev.kind = UnitEvent::Kind::Refused;
    ev.text = QStringLiteral("refused an unknown request: ") + hexOf(request);
    return nakFrame();
}

QByteArray UnitResponder::writeAnswer(QByteArrayView body, UnitEvent &ev)
{
    // "W" US n RS "w" US value RS
    const int n = quint8(body.at(2));
    ev.item = n;
    const bool shaped = quint8(body.at(3)) == kRs && body.at(4) == 'w' && quint8(body.at(5)) == kUs
        && quint8(body.back()) == kRs;
    const QByteArray value = body.sliced(6, body.size() - 7).toByteArray();
    if (!shaped || !m_items.store(n, value)) {
        ev.kind = UnitEvent::Kind::Refused;
        ev.text = QStringLiteral("refused a write of item %1: %2").arg(n).arg(hexOf(value));
        return nakFrame();
    }
    ev.kind = UnitEvent::Kind::Write;
    ev.text = QStringLiteral("item %1 := %2").arg(n).arg(m_items.valueText(n));
    QByteArray answerBody("W");
    answerBody.append(char(kUs));
    answerBody.append(char(n));
    answerBody.append(char(kRs));
    return accepted(answerBody);
}

QByteArray UnitResponder::pagerCallAnswer(QByteArrayView body, UnitEvent &ev)
{
    // Fields id US value RS; the call needs a position, an address and a bleep code.
    QMap<char, QByteArray> fields;
    qsizetype i = 0;
    bool shaped = true;
    while (i < body.size()) {
        const qsizetype rs = body.indexOf(char(kRs), i);
        if (rs < 0 || rs - i < 2 || quint8(body.at(i + 1)) != kUs) {
            shaped = false;
            break;
        }
        fields.insert(body.at(i), body.sliced(i + 2, rs - i - 2).toByteArray());
        i = rs + 1;
    }
    if (!shaped || !fields.contains('A') || !fields.contains('1') || !fields.contains('3')) {
        ev.kind = UnitEvent::Kind::Refused;
        ev.text = QStringLiteral("refused a pager call: ") + hexOf(body);
        return nakFrame();
    }
    ev.kind = UnitEvent::Kind::PagerCall;
    ev.text = QStringLiteral("pager call: position %1, address \"%2\", text \"%3\", bleep code %4")
                  .arg(Cp1252::decode(fields.value('A')), Cp1252::decode(fields.value('1')),
                       Cp1252::decode(fields.value('2')), Cp1252::decode(fields.value('3')));
    m_bufferPosition = (m_bufferPosition + 1) % 10;
    return accepted({});
}
