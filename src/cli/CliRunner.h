#pragma once

#include "CommandLine.h"
#include "ConsoleView.h"
#include "SignalWatch.h"

#include "binding/HeadlessItemControls.h"
#include "link/LinkPort.h"
#include "protocol/Outcome.h"
#include "report/SettingsReport.h"
#include "report/SiteReport.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QMap>
#include <QStringList>

#include <memory>

class Session;

// Exit statuses of the command-line tool, one meaning each: 1 the unit's
// doing, 2 trouble before anything reached the unit (or output lost by a
// command that changes nothing), 3 the unit changed but the result or the
// progress could not be told. diff ends as diff does: 0 the same, 1
// differences, 2 trouble.
enum class ExitStatus { Done = 0, UnitFailed = 1, Usage = 2, Unreported = 3, Differences = 1, Trouble = 2 };

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

    // The fourteen items read-all and write-all transfer, in their order.
    static QList<int> bulkItems();

private:
    ExitStatus runRequest();
    ExitStatus checkFiles();
    ExitStatus start();
    void waitForConnection();
    ExitStatus runCommand();
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
    ExitStatus checkLine();
    // commission: in CommissionCommand.cpp.
    ExitStatus commission();
    ExitStatus commissionRecord(const Outcome &outcome);
    bool saveCommissionReport(const Outcome &outcome, const QString &line);
    QJsonArray commissionChanged(const QList<int> &taken) const;
    // --json of commission, write-all and write: in CliWrites.cpp.
    bool writesSettings() const;
    ExitStatus writeJson(ExitStatus status);
    QJsonArray changedJson(const QList<int> &taken) const;
    ExitStatus printDifferences(const QList<SettingsReport::Setting> &first, const QList<SettingsReport::Setting> &second,
                                const QList<int> &items, const QString &secondName);
    ExitStatus printJson(const QJsonObject &document);
    ExitStatus readRequested(const QList<int> &items);
    ExitStatus reportFromFile();
    ExitStatus reportFromUnit();
    void unitSource(SiteReport::Contents &contents);
    ExitStatus saveReport(SiteReport::Contents &contents, const QString &path);

    ExitStatus transferOutcome(const QList<int> &items, bool write);
    ExitStatus writeOutcome(const QList<int> &items);
    QString itemName(int n) const;
    QString heldValueText(int n);
    bool hasVisibleControl(int n) const;
    ExitStatus fail(ExitStatus status, const QString &message);
    void note(const QString &message);
    ExitStatus outputFailed();
    ExitStatus unreported(const QString &why);
    void interruptBy(int signal);
    ExitStatus interrupted();
    bool changesUnit() const;
    bool outputGone();
    QString takenInRun() const;
    const Outcome *stoppedOutcome(Outcome::Stop cause) const;
    QString linkReason() const;
    QString outcomeMessage(const Outcome &outcome) const;

    CliRequest m_request;
    QString m_home; // the home folder, resolved once
    LinkPort m_port;
    HeadlessItemControls m_controls;
    ConsoleView m_view;
    std::unique_ptr<Session> m_session;
    int m_limitSeconds = 0;
    QDeadlineTimer m_deadline;
    quint64 m_ticks = 0;
    QList<Outcome> m_outcomes; // how each command of this run ended
    Ending m_ending = Ending::Quiet;
    bool m_resultWritten = false; // standard output took the command's result
    QString m_lastLine;           // the run's last line of its result, without the program's name
    std::unique_ptr<SignalWatch> m_signals;
    int m_signal = 0;             // the signal that ends the run, 0 for none
    bool m_outputGone = false;    // standard output went away under a command that only reads
};
