#pragma once

#include "CommandLine.h"
#include "ConsoleView.h"
#include "SettingsReport.h"

#include "binding/HeadlessItemControls.h"
#include "link/SerialPort.h"
#include "protocol/Outcome.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QStringList>

#include <memory>

class Session;

// Exit statuses of the command-line tool.
// diff ends as diff does: 0 the same, 1 differences, 2 trouble.
enum class ExitStatus { Done = 0, UnitFailed = 1, Usage = 2, Differences = 1, Trouble = 2 };

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

    explicit CliRunner(const CliRequest &request);
    ~CliRunner();

    ExitStatus run();

    // Engine ticks taken, for measuring.
    quint64 ticks() const { return m_ticks; }

private:
    ExitStatus checkFiles();
    ExitStatus start();
    enum class Ending { Quiet, TimeLimit };
    Ending runUntilQuiet();
    bool quiet() const;

    ExitStatus readAll();
    ExitStatus writeAll();
    ExitStatus readItems();
    ExitStatus writeItems();
    ExitStatus serviceCall(bool pagerCall);
    ExitStatus show();
    ExitStatus diffFiles();
    ExitStatus diffUnit();
    ExitStatus printDifferences(const QList<SettingsReport::Setting> &first, const QList<SettingsReport::Setting> &second,
                                const QList<int> &items, const QString &secondName);
    ExitStatus printJson(const QJsonObject &document);

    ExitStatus transferOutcome(const QList<int> &items, bool write);
    ExitStatus writeOutcome(const QList<int> &items);
    QString itemName(int n) const;
    QString heldValueText(int n);
    bool hasVisibleControl(int n) const;
    ExitStatus fail(ExitStatus status, const QString &message);
    void note(const QString &message);
    ExitStatus outputFailed();
    QString linkReason() const;
    QString outcomeMessage(const Outcome &outcome) const;

    CliRequest m_request;
    SerialPort m_port;
    HeadlessItemControls m_controls;
    ConsoleView m_view;
    std::unique_ptr<Session> m_session;
    int m_limitSeconds = 0;
    QDeadlineTimer m_deadline;
    quint64 m_ticks = 0;
    QList<Outcome> m_outcomes; // how each command of this run ended
    Ending m_ending = Ending::Quiet;
};
