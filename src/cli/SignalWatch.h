#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP brought into the event loop while it lives
// (Unix; elsewhere it does nothing): the first calls onSignal from the loop,
// so a transfer can end in order; a second ends the program at once, as the
// signal does by default. The default handling returns on destruction.
class SignalWatch
{
public:
    explicit SignalWatch(std::function<void(int signal)> onSignal);
    ~SignalWatch();
    SignalWatch(const SignalWatch &) = delete;
    SignalWatch &operator=(const SignalWatch &) = delete;

    // The first signal caught, 0 for none yet.
    static int caught();

private:
    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
