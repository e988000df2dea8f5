#pragma once

#include "CommandLine.h"
#include "ConsoleView.h"

#include "binding/HeadlessItemControls.h"
#include "link/SerialPort.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QStringList>

#include <memory>

class Session;

// Exit statuses of the command-line tool.
enum class ExitStatus { Done = 0, UnitFailed = 1, Usage = 2 };

// Runs one request against the unit: checks what can be checked first, starts
// the session as the desktop tool starts, leaves the request for the engine and
// drives the engine with its 25 ms ticks until it is idle with nothing pending.
class CliRunner
{
public:
    static constexpr int kTickMs = 25;
    static constexpr int kWatchEveryTicks = 4; // the link watch runs every 100 ms
    static constexpr int kStartSeconds = 10;
    static constexpr int kSecondsPerTransfer = 30;
    // Some answers send the engine back for the same item without counting a
    // failure (too long, too short to name an item): it would ask forever.
    static constexpr int kMaxStartsPerItem = 10;

    explicit CliRunner(const CliRequest &request);
    ~CliRunner();

    ExitStatus run();

    // Engine ticks taken, for measuring.
    quint64 ticks() const { return m_ticks; }

private:
    ExitStatus checkFiles();
    ExitStatus start();
    enum class Ending { Quiet, TimeLimit, Stuck };
    Ending runUntilQuiet();
    bool quiet() const;

    ExitStatus readAll();
    ExitStatus writeAll();
    ExitStatus readItems();
    ExitStatus writeItems();
    ExitStatus serviceCall(bool pagerCall);

    // After a transfer: the abort box, a time limit that ran out, or items the
    // unit never gave or took.
    ExitStatus transferOutcome(const QList<int> &items, bool write);
    ExitStatus verify(const QList<int> &items);
    QString heldValueText(int n);
    bool hasVisibleControl(int n) const;
    ExitStatus fail(ExitStatus status, const QString &message);

    CliRequest m_request;
    SerialPort m_port;
    HeadlessItemControls m_controls;
    ConsoleView m_view;
    std::unique_ptr<Session> m_session;
    int m_limitSeconds = 0;
    QDeadlineTimer m_deadline;
    quint64 m_ticks = 0;
    QStringList m_logTexts;  // log lines of this run, without time stamps
    Ending m_ending = Ending::Quiet;
    int m_stuckItem = -1;
};
