#pragma once

#include "link/Datacom.h"

#include <QByteArray>
#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

#include <array>
#include <functional>

// The frame trace: every byte that goes out to or comes in from the unit,
// grouped into frames (SOH, LEN, payload, CHK), the wake-up sequence and
// stray bytes, each group handed out as one decoded line ("read item 5",
// "answer item 5 = 4", "ACK", "checksum error", ...). It reads no clock of
// its own: the time of a line is the injected clock's time at its first byte.
// Every line also goes to the logging category tessaro.wire (debug, off
// unless the logging rules switch it on).
Q_DECLARE_LOGGING_CATEGORY(lcWire)

class WireTrace
{
public:
    using Direction = Datacom::Direction;
    using Clock = std::function<QDateTime()>;

    struct Line
    {
        QDateTime time;
        Direction direction = Direction::Out;
        QByteArray bytes;
        QString text; // the decoded meaning
    };
    using Listener = std::function<void(const Line &)>;

    // Most bytes of stray (non-frame) input kept together on one line.
    static constexpr int kMaxStrayBytes = 64;

    explicit WireTrace(Clock clock);

    void setListener(Listener listener) { m_listener = std::move(listener); }

    // One byte on the line. A byte of one direction ends an unfinished group
    // of the other: the tool speaks first, so a new request closes whatever
    // is left of the previous answer.
    void take(Direction direction, quint8 byte);
    // Hands out whatever is unfinished (a frame cut short, stray bytes).
    void flush();

    // Whether the logging category wants the lines.
    static bool loggingEnabled();

    // "14:05:09.123 TX  read item 5   01 09 01 00 02 77 1F 05 1E 3A"
    static QString format(const Line &line);
    static QString hexText(const QByteArray &bytes);

private:
    // What the last request asked, so its answer can be read.
    enum class Asked { Nothing, Read, Write, BufferPosition, PagerCall, Restart };

    struct Group
    {
        enum class Kind { None, Stray, Frame };
        Kind kind = Kind::None;
        QByteArray bytes;
        QDateTime time;
    };

    Group &groupOf(Direction direction) { return m_groups[direction == Direction::Out ? 0 : 1]; }
    void start(Group &group, Group::Kind kind);
    void finish(Direction direction, Group &group, const QString &text);
    void finishFrame(Direction direction, Group &group);
    QString decodeRequest(const QByteArray &frame);
    QString decodeAnswer(const QByteArray &frame);

    Clock m_clock;
    Listener m_listener;
    std::array<Group, 2> m_groups;
    Asked m_asked = Asked::Nothing;
};
