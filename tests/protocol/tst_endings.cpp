// Every way a bulk command can be stopped, at every tick from its first
// frame to its last, judged by what the unit received: after the ending is
// told no frame reaches the unit, and the ending's groups name exactly the
// writes the unit received. Whoever hears the ending behaves as a modal box
// does: the engine ticks on while it is told.

#include "FakeUnit.h"

#include "model/Items.h"
#include "sim/UnitItems.h"
#include "sim/UnitResponder.h"

#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

enum class Run { WriteAll, Commission, ReadAll };
enum class Cause { Cancel, Signal, TimeLimit, PortLost };

// Ticks a listener's box lets run: more than a wake-up and a request take.
constexpr int kBoxTicks = 30;
// Ticks after the stop: longer than any answer's time-out and a reopen's wait.
constexpr int kTicksAfterStop = 3 * Interface::kReplyTimeout;
const QList<int> kSixDiffer{7, 10, 13, 14, 30, 33};

Outcome::Command commandOf(Run run)
{
    switch (run) {
    case Run::WriteAll: return Outcome::Command::WriteAll;
    case Run::Commission: return Outcome::Command::Commission;
    case Run::ReadAll: return Outcome::Command::ReadAll;
    }
    return Outcome::Command::ReadAll;
}

QList<int> sorted(QList<int> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// The engine with its backup and read-back on, against the simulated unit's
// own responder; the link watch is kept as the front ends keep it.
struct StopWorld
{
    EngineWorld w{QString(), true};
    FakeUnit unit{w};
    UnitItems items;
    UnitResponder responder{items};
    Outcome::Command command;
    QList<Outcome> endings;
    qsizetype framesAtEnding = -1;
    int wakeUpsAtEnding = -1;
    int ticks = 0;
    QList<int> frameTicks; // the tick on which each frame reached the unit

    explicit StopWorld(Run run) : command(commandOf(run))
    {
        // A unit on its cable: DSR on while the port is open.
        w.port.setDsr(true);
        unit.answer = [this](const QByteArray &frame) { return responder.answer(frame); };
        // Every ending is counted: a bulk command is told once, as a whole.
        w.engine().addOutcomeListener([this](const Outcome &o) {
            endings << o;
            if (framesAtEnding < 0) {
                framesAtEnding = unit.requests.size();
                wakeUpsAtEnding = unit.wakeUps;
            }
            for (int i = 0; i < kBoxTicks; ++i)
                step();
        });
        start(run);
    }

    void start(Run run)
    {
        switch (run) {
        case Run::WriteAll: w.engine().requestWriteAll(); break;
        case Run::ReadAll: w.engine().requestReadAll(); break;
        case Run::Commission: {
            Stores::ValueStore target = w.stores().workingValues;
            for (int n : Items::kBulkItems) {
                const int held = quint8(items.value(n).at(0));
                target[n] = Values::integer(kSixDiffer.contains(n) ? (held == 0 ? 1 : 0) : held);
            }
            w.engine().requestCommission(target, false);
            break;
        }
        }
    }

    void step()
    {
        w.tick();
        const qsizetype before = unit.requests.size();
        unit.poll();
        for (qsizetype i = before; i < unit.requests.size(); ++i)
            frameTicks << ticks;
        if (++ticks % 4 == 0)
            w.session().datacom.CheckComLink();
    }

    void stop(Cause cause)
    {
        switch (cause) {
        case Cause::Cancel: w.engine().cancelByOperator(); break;
        case Cause::Signal: w.engine().stop(Outcome::Stop::Signal); break;
        case Cause::TimeLimit: w.engine().stop(Outcome::Stop::TimeLimit); break;
        case Cause::PortLost:
            w.port.setFailOpens(true);
            w.port.dropConnection();
            break;
        }
    }

    QList<int> received(char kind) const { return unit.requestedItems(kind); }
};

} // namespace

Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(Cause)

class TestEndings : public QObject
{
    Q_OBJECT

private slots:
    void stopAtEveryTick_data();
    void stopAtEveryTick();
};

void TestEndings::stopAtEveryTick_data()
{
    QTest::addColumn<Run>("run");
    QTest::addColumn<Cause>("cause");
    const std::pair<const char *, Run> runs[] = {
        {"write-all", Run::WriteAll}, {"commission", Run::Commission}, {"read-all", Run::ReadAll}};
    const std::pair<const char *, Cause> causes[] = {{"Cancel", Cause::Cancel},
                                                     {"signal", Cause::Signal},
                                                     {"time limit", Cause::TimeLimit},
                                                     {"port lost", Cause::PortLost}};
    for (const auto &[runName, run] : runs) {
        for (const auto &[causeName, cause] : causes)
            QTest::addRow("%s, %s", runName, causeName) << run << cause;
    }
}

void TestEndings::stopAtEveryTick()
{
    QFETCH(Run, run);
    QFETCH(Cause, cause);
    // The whole command once, to find the ticks of its first and last frame.
    StopWorld whole(run);
    for (int i = 0; i < 5000 && !(whole.w.engine().isQuiet() && !whole.endings.isEmpty()); ++i)
        whole.step();
    QCOMPARE(whole.endings.size(), 1);
    QVERIFY2(whole.endings.first().result == Outcome::Result::Succeeded, qPrintable(whole.w.logLines().join(u"\n"_s).right(600)));
    const int first = whole.frameTicks.first();
    const int last = whole.frameTicks.last();

    for (int at = first; at <= last; ++at) {
        StopWorld s(run);
        while (s.ticks <= at)
            s.step();
        s.stop(cause);
        for (int i = 0; i < kTicksAfterStop; ++i)
            s.step();
        const QString where = u"stopped after tick %1 of %2-%3"_s.arg(at).arg(first).arg(last);
        QVERIFY2(s.endings.size() == 1, qPrintable(where + u": %1 endings"_s.arg(s.endings.size())));
        const Outcome &ending = s.endings.first();
        QCOMPARE(ending.command, s.command);
        // Nothing reaches the unit once the ending is told.
        QVERIFY2(s.unit.requests.size() == s.framesAtEnding && s.unit.wakeUps == s.wakeUpsAtEnding,
                 qPrintable(where + u": a frame after the ending"_s));
        if (run == Run::ReadAll) {
            // The reads the ending counts are those the unit answered; Cancel waits for the one out.
            const QList<int> reads = s.received('w');
            QVERIFY2(reads.mid(0, ending.items.size()) == ending.items, qPrintable(where));
            QVERIFY2(reads.size() - ending.items.size() <= (cause == Cause::Cancel ? 0 : 1), qPrintable(where));
            continue;
        }
        // The groups name exactly the writes the unit received.
        const QList<int> writes = s.received('W');
        const QList<int> named = ending.items + ending.unanswered + ending.refused;
        QVERIFY2(sorted(named) == sorted(writes), qPrintable(where));
        for (int n : ending.notSent)
            QVERIFY2(!writes.contains(n), qPrintable(where + u": item %1 not sent"_s.arg(n)));
        if (cause == Cause::Cancel)
            QVERIFY2(ending.unanswered.isEmpty(), qPrintable(where + u": Cancel waits for the answer"_s));
    }
}

QTEST_GUILESS_MAIN(TestEndings)
#include "tst_endings.moc"
