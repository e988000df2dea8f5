#include "StopSignals.h"

#include <QCoreApplication>
#include <QObject>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <unistd.h>
#endif

#ifdef Q_OS_LINUX
#include <sys/signalfd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
void stopSignalSet(sigset_t *set)
{
    sigemptyset(set);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGHUP);
}
#endif

#if defined(Q_OS_UNIX) && !defined(Q_OS_LINUX)
// Set by the handler, looked at by a timer of the event loop.
volatile sig_atomic_t g_stopSignal = 0;

extern "C" void noteStopSignal(int)
{
    g_stopSignal = 1;
}
#endif

} // namespace

void StopSignals::block()
{
#ifdef Q_OS_LINUX
    sigset_t set;
    stopSignalSet(&set);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
#endif
}

StopSignals::StopSignals(QObject *owner)
{
#ifdef Q_OS_LINUX
    sigset_t set;
    stopSignalSet(&set);
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        // No descriptor: the signals end the program at once, as without the watch.
        ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    auto *notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] { QCoreApplication::exit(0); });
#elif defined(Q_OS_UNIX)
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [] {
        if (g_stopSignal)
            QCoreApplication::exit(0);
    });
    timer->start(100);
#else
    Q_UNUSED(owner);
#endif
}

StopSignals::~StopSignals()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}
