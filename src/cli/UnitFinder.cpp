#include "UnitFinder.h"

#include "Console.h"

#include "model/TestTimeScale.h"
#include "protocol/UnitProbe.h"

#include <QEventLoop>
#include <QTimer>

namespace UnitFinder {

ExitStatus run(const CliRequest &request)
{
    const QList<PortCandidate> candidates = UnitSearch::systemCandidates(request.findDevices);
    bool progressLost = false;
    if (candidates.isEmpty()) {
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: the system reports no serial port"));
        return ExitStatus::UnitFailed;
    }
    auto portName = [](const PortCandidate &c) {
        return c.portNumber > 0 ? QString::number(c.portNumber) : QStringLiteral("-");
    };

    UnitSearch search(candidates);
    // One line of progress a port, on standard error.
    search.setListener([&](const PortCandidate &c, UnitProbe::Result result, const QString &words) {
        const QString line = QStringLiteral("Port %1 (%2): %3")
                                 .arg(portName(c), c.device,
                                      result == UnitProbe::Result::Answered ? QStringLiteral("unit found, ") + words : words);
        progressLost = !Console::writeLine(stderr, line) || progressLost;
    });

    // Driven as the engine is, a tick every 25 ms.
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(TestTimeScale::scaledMs(CliRunner::kTickMs));
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (!search.tick())
            loop.quit();
    });
    timer.start();
    loop.exec();

    bool written = true;
    for (const UnitSearch::Found &f : search.found())
        written = written && Console::writeLine(stdout, QStringLiteral("%1  %2  %3").arg(portName(f.port), f.port.device, f.answer));
    if (!written) {
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: cannot write the result to standard output: ")
                                             + Console::lastError());
        return ExitStatus::Usage;
    }
    if (progressLost)
        return ExitStatus::Usage;
    if (search.found().isEmpty()) {
        (void)Console::writeLine(stderr, QStringLiteral("tessaro-cli: no unit answered on %1 port(s)").arg(candidates.size()));
        return ExitStatus::UnitFailed;
    }
    return ExitStatus::Done;
}

} // namespace UnitFinder
