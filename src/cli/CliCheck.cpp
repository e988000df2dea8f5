// check: the line check.
#include "CliRunner.h"

#include "Console.h"

#include "protocol/LineCheck.h"
#include "protocol/LineCheckDriver.h"
#include "protocol/Session.h"

#include <QElapsedTimer>

// As ping: one check read at a time, each asked for when the last has ended,
// a line for each as it ends, then the summary. The answer times come from
// the port's own traffic, timed here; the engine knows ticks only.
ExitStatus CliRunner::checkLine()
{
    QElapsedTimer clock;
    clock.start();
    LineCheckDriver driver(m_session->engine, m_port, m_request.checkCount, [&clock] { return clock.elapsed(); });
    const LineCheck &check = driver.check();
    bool printed = true;
    driver.setExchangeListener([&](int number, const LineCheck::Exchange &exchange) {
        if (!m_request.json) {
            m_view.finish();
            printed = Console::writeLine(stdout, LineCheck::exchangeText(number, exchange)) && printed;
        }
        if (m_signal != 0)
            driver.stop();
    });
    driver.start();
    runUntilQuiet();
    const bool refused = driver.ending() == LineCheckDriver::Ending::Refused;
    if (refused)
        return fail(ExitStatus::Usage, QStringLiteral("cannot check the line: the serial port is closed"));
    if (m_request.json) {
        if (printJson(check.toJson()) != ExitStatus::Done)
            return ExitStatus::Usage;
    } else {
        m_view.finish();
        printed = Console::writeLine(stdout, check.summary()) && printed;
        if (!printed)
            return outputFailed();
    }
    if (m_signal != 0)
        return interrupted();
    if (m_ending == Ending::TimeLimit)
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("the line check did not finish within the time limit of %1 s").arg(m_limitSeconds));
    if (check.failed() > 0)
        return fail(ExitStatus::UnitFailed,
                    QStringLiteral("%1 of %2 reads failed").arg(check.failed()).arg(check.exchanges().size()));
    return ExitStatus::Done;
}
