#include "SimulatedUnit.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#if defined(Q_OS_MACOS) || defined(Q_OS_IOS)
#include <util.h>
#elif defined(Q_OS_FREEBSD)
#include <libutil.h>
#else
#include <pty.h>
#endif

SimulatedUnit::SimulatedUnit(UnitItems &items, QObject *parent)
    : QObject(parent)
    , m_session(items)
{
    m_session.setSink([this](const QByteArray &bytes) { writeToLine(bytes); });
}

SimulatedUnit::~SimulatedUnit()
{
    stop();
}

bool SimulatedUnit::start(const QString &linkPath, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    if (isRunning())
        stop();

    // Raw from the start: no echo of the unit's answers back to the unit.
    struct termios raw;
    std::memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal: ") + QString::fromLocal8Bit(std::strerror(errno)));
    // The unit keeps its end of the slave open too, so the terminal stays up
    // while the tool closes and reopens its port.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_device = QString::fromLocal8Bit(name);

    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.exists() && !existing.isSymLink())
            return fail(linkPath + QStringLiteral(" exists and is not a symbolic link"));
        // Made beside it and renamed over it, so the path never goes missing.
        const QString temporary = linkPath + QStringLiteral(".new") + QString::number(::getpid());
        QFile::remove(temporary);
        if (!QFile::link(m_device, temporary))
            return fail(QStringLiteral("cannot make the link ") + linkPath);
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(linkPath).constData()) != 0) {
            QFile::remove(temporary);
            return fail(QStringLiteral("cannot make the link ") + linkPath + QStringLiteral(": ")
                        + QString::fromLocal8Bit(std::strerror(errno)));
        }
        m_link = linkPath;
    }

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimulatedUnit::onReadable);
    return true;
}

void SimulatedUnit::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (!m_link.isEmpty()) {
        // Only our own link: a newer unit may have taken the path over.
        if (QFileInfo(m_link).symLinkTarget() == m_device)
            QFile::remove(m_link);
        m_link.clear();
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
}

void SimulatedUnit::onReadable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_session.feed(QByteArrayView(buffer, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        // The terminal has failed; stop listening rather than spin on it.
        m_notifier->setEnabled(false);
        return;
    }
}

void SimulatedUnit::writeToLine(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        // A full terminal (nobody reading) loses the rest, as a line would.
        if (n <= 0)
            return;
        done += n;
    }
}

#endif // Q_OS_UNIX
