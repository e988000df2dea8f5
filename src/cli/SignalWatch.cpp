#include "SignalWatch.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler needs, and nothing more: the signal caught, and the pipe
// that wakes the event loop.
volatile sig_atomic_t g_caught = 0;
int g_wakeUp[2] = {-1, -1};

extern "C" void onSignal(int signal)
{
    if (g_caught != 0) {
        // A second one: what the signal would have done from the start.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_caught = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeUp[1], &byte, 1);
}

} // namespace
#endif

SignalWatch::SignalWatch(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal))
{
#ifdef Q_OS_UNIX
    if (::pipe(g_wakeUp) != 0)
        return;
    for (int fd : g_wakeUp) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_wakeUp[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        char byte = 0;
        while (::read(g_wakeUp[0], &byte, 1) == 1) {
        }
        if (m_onSignal && g_caught != 0)
            m_onSignal(g_caught);
    });
    struct sigaction action = {};
    action.sa_handler = ::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
#endif
}

SignalWatch::~SignalWatch()
{
#ifdef Q_OS_UNIX
    for (int signal : kSignals)
        ::signal(signal, SIG_DFL);
    m_notifier.reset();
    for (int &fd : g_wakeUp) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

int SignalWatch::caught()
{
#ifdef Q_OS_UNIX
    return g_caught;
#else
    return 0;
#endif
}
