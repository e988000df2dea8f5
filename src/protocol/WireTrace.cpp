#include "WireTrace.h"

#include "Frames.h"

#include "model/Diverse.h"
#include "model/Items.h"

Q_LOGGING_CATEGORY(lcWire, "tessaro.wire", QtInfoMsg)

namespace {

constexpr quint8 kLf = 0x0A;
constexpr int kHeaderEnd = 5;   // SOH, LEN and the header 01 00 02
constexpr int kItemOffset = 7;  // of an answer: the item number, or the buffer position digit
constexpr int kValueOffset = 11; // of a read answer: the value

quint8 at(const QByteArray &bytes, int i)
{
    return quint8(bytes.at(i));
}

// Bytes as the log shows them, control bytes by name, between quotes.
QString quoted(const QByteArray &bytes)
{
    QString text(u'"');
    for (char c : bytes)
        text += Diverse::ByteToLogText(quint8(c));
    return text + u'"';
}

// The value bytes of item n as the tool means them.
QString valueText(int n, const QByteArray &value)
{
    switch (Items::kindOf(n)) {
    case Items::Kind::Char:
        if (value.size() != 1)
            return quoted(value);
        if (Items::isHexDigitItem(n)) {
            const char digit = value.at(0);
            const bool isHexDigit = (digit >= '0' && digit <= '9') || (digit >= 'A' && digit <= 'F');
            return isHexDigit ? Diverse::NumberText(Diverse::HexDigitValue(QString(QChar(digit)))) : quoted(value);
        }
        return Diverse::NumberText(quint8(value.at(0)));
    case Items::Kind::Int:
        if (value.size() != 2)
            return quoted(value);
        return Diverse::NumberText(quint8(value.at(0)) + 256 * quint8(value.at(1)));
    case Items::Kind::Tekst:
    case Items::Kind::None:
        break;
    }
    return quoted(value);
}

// The fields of a request body: identifier, US, value, RS, one after another.
// Empty when the body is not made of such fields.
QList<QPair<char, QByteArray>> fieldsOf(const QByteArray &body)
{
    QList<QPair<char, QByteArray>> fields;
    int i = 0;
    while (i < body.size()) {
        if (i + 1 >= body.size() || quint8(body.at(i + 1)) != Frames::kUs)
            return {};
        const int end = body.indexOf(char(Frames::kRs), i + 2);
        if (end < 0)
            return {};
        fields.append({body.at(i), body.mid(i + 2, end - i - 2)});
        i = end + 1;
    }
    return fields;
}

} // namespace

WireTrace::WireTrace(Clock clock)
    : m_clock(std::move(clock))
{
}

bool WireTrace::loggingEnabled()
{
    return lcWire().isDebugEnabled();
}

QString WireTrace::hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString WireTrace::format(const Line &line)
{
    const QString direction = line.direction == Direction::Out ? QStringLiteral("TX") : QStringLiteral("RX");
    return line.time.toString(QStringLiteral("HH:mm:ss.zzz")) + u' ' + direction + QStringLiteral("  ")
        + line.text.leftJustified(30) + u' ' + hexText(line.bytes);
}

void WireTrace::take(Direction direction, quint8 byte)
{
    const Direction other = direction == Direction::Out ? Direction::In : Direction::Out;
    if (groupOf(other).kind != Group::Kind::None)
        finish(other, groupOf(other), QString());

    Group &group = groupOf(direction);
    if (group.kind == Group::Kind::Stray && byte == Frames::kSoh)
        finish(direction, group, QString());
    if (group.kind == Group::Kind::None)
        start(group, byte == Frames::kSoh ? Group::Kind::Frame : Group::Kind::Stray);
    group.bytes.append(char(byte));

    if (group.kind == Group::Kind::Stray) {
        // The unit's own text comes in lines.
        if (byte == kLf || group.bytes.size() >= kMaxStrayBytes)
            finish(direction, group, QString());
        return;
    }

    const int size = int(group.bytes.size());
    if (size < 2)
        return;
    const int len = at(group.bytes, 1);
    if (len == 0) {
        finish(direction, group, QStringLiteral("bad frame length"));
        return;
    }
    if (len == 1) {
        // Only the wake-up sequence 01 01 80 7F has LEN 1.
        const QByteArray wakeUp = Frames::wakeUp();
        if (byte != at(wakeUp, size - 1)) {
            group.bytes.chop(1);
            finish(direction, group, QStringLiteral("bad frame length"));
            take(direction, byte);
            return;
        }
        if (size == wakeUp.size())
            finish(direction, group, QStringLiteral("wake-up"));
        return;
    }
    if (size == len + 1)
        finishFrame(direction, group);
}

void WireTrace::flush()
{
    for (Direction direction : {Direction::Out, Direction::In}) {
        if (groupOf(direction).kind != Group::Kind::None)
            finish(direction, groupOf(direction), QString());
    }
}

void WireTrace::start(Group &group, Group::Kind kind)
{
    group.kind = kind;
    group.bytes.clear();
    group.time = m_clock ? m_clock() : QDateTime();
}

void WireTrace::finishFrame(Direction direction, Group &group)
{
    const QByteArray &frame = group.bytes;
    QString text;
    if (!Frames::checksumHolds(frame)) {
        text = QStringLiteral("checksum error");
        if (direction == Direction::In)
            m_asked = Asked::Nothing;
    } else {
        text = direction == Direction::Out ? decodeRequest(frame) : decodeAnswer(frame);
    }
    finish(direction, group, text);
}

// An empty text: the group ends unfinished (stray bytes, a frame cut short).
void WireTrace::finish(Direction direction, Group &group, const QString &text)
{
    Line line;
    line.time = group.time;
    line.direction = direction;
    line.bytes = group.bytes;
    line.text = text;
    if (line.text.isEmpty())
        line.text = group.kind == Group::Kind::Stray ? QStringLiteral("stray bytes ") + quoted(group.bytes)
                                                     : QStringLiteral("incomplete frame");
    if (line.text == QLatin1String("wake-up"))
        m_asked = Asked::Nothing;
    group.kind = Group::Kind::None;
    group.bytes.clear();

    qCDebug(lcWire).noquote() << format(line);
    if (m_listener)
        m_listener(line);
}

QString WireTrace::decodeRequest(const QByteArray &frame)
{
    m_asked = Asked::Nothing;
    if (frame.size() < kHeaderEnd + 1 || !frame.mid(2, 3).startsWith(QByteArray("\x01\x00\x02", 3)))
        return QStringLiteral("unknown request");
    const QByteArray body = frame.mid(kHeaderEnd, frame.size() - kHeaderEnd - 1);
    if (body == "2") {
        m_asked = Asked::BufferPosition;
        return QStringLiteral("ask buffer position");
    }
    if (body == "R") {
        m_asked = Asked::Restart;
        return QStringLiteral("restart");
    }
    // Read and write are taken by position: a value byte may well be RS.
    auto isField = [&body](int at, char id) {
        return body.size() > at + 1 && body.at(at) == id && quint8(body.at(at + 1)) == Frames::kUs;
    };
    const bool endsField = !body.isEmpty() && quint8(body.back()) == Frames::kRs;
    if (body.size() == 4 && isField(0, 'w') && endsField) {
        m_asked = Asked::Read;
        return QStringLiteral("read item ") + Diverse::NumberText(at(body, 2));
    }
    if (body.size() >= 7 && isField(0, 'W') && quint8(body.at(3)) == Frames::kRs && isField(4, 'w') && endsField) {
        m_asked = Asked::Write;
        const int n = at(body, 2);
        return QStringLiteral("write item ") + Diverse::NumberText(n) + QStringLiteral(" = ")
            + valueText(n, body.mid(6, body.size() - 7));
    }
    const auto fields = fieldsOf(body);
    if (!fields.isEmpty() && fields[0].first == 'A') {
        m_asked = Asked::PagerCall;
        QStringList parts;
        for (const auto &[id, value] : fields) {
            switch (id) {
            case 'A': parts << QStringLiteral("position ") + quoted(value); break;
            case '1': parts << QStringLiteral("address ") + quoted(value); break;
            case '2': parts << QStringLiteral("message ") + quoted(value); break;
            case '3': parts << QStringLiteral("bleep ") + quoted(value); break;
            default: parts << QString(QChar(id)) + u' ' + quoted(value); break;
            }
        }
        return QStringLiteral("pager call ") + parts.join(QStringLiteral(", "));
    }
    return QStringLiteral("unknown request");
}

QString WireTrace::decodeAnswer(const QByteArray &frame)
{
    const Asked asked = m_asked;
    m_asked = Asked::Nothing;
    const bool ack = frame.size() > 4 && at(frame, 4) == Frames::kAck;
    switch (asked) {
    case Asked::Read: {
        // The tool reads a read answer by its positions alone, ACK or not.
        if (frame.size() <= kValueOffset)
            return ack ? QStringLiteral("answer too short") : QStringLiteral("NACK");
        const int n = at(frame, kItemOffset);
        const int len = at(frame, 1);
        QByteArray value;
        switch (Items::kindOf(n)) {
        case Items::Kind::Char: value = frame.mid(kValueOffset, 1); break;
        case Items::Kind::Int: value = frame.mid(kValueOffset, 2); break;
        case Items::Kind::Tekst: value = frame.mid(kValueOffset, qMax(0, len - 1 - kValueOffset)); break;
        case Items::Kind::None: return QStringLiteral("answer item ") + Diverse::NumberText(n);
        }
        return QStringLiteral("answer item ") + Diverse::NumberText(n) + QStringLiteral(" = ") + valueText(n, value);
    }
    case Asked::BufferPosition:
        if (!ack || frame.size() <= kItemOffset + 1)
            return QStringLiteral("NACK");
        return QStringLiteral("buffer position ") + quoted(frame.mid(kItemOffset, 1));
    case Asked::Nothing:
    case Asked::Write:
    case Asked::PagerCall:
    case Asked::Restart:
        break;
    }
    return ack ? QStringLiteral("ACK") : QStringLiteral("NACK");
}
