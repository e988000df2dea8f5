#include "SerialPort.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <dirent.h>
#include <sys/sysmacros.h>
#endif

namespace {

// Compares names with their digit runs as numbers: ttyS2 before ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare without leading zeros: a longer run is the larger number.
            QStringView na = QStringView(a).mid(i, ei - i);
            QStringView nb = QStringView(b).mid(j, ej - j);
            while (na.size() > 1 && na.front() == u'0')
                na = na.mid(1);
            while (nb.size() > 1 && nb.front() == u'0')
                nb = nb.mid(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (const int c = na.compare(nb); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // equal as numbers ("ttyS01", "ttyS1"): keep a stable order
}

QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'E': return QSerialPort::EvenParity;
    case 'O': return QSerialPort::OddParity;
    default: return QSerialPort::NoParity;
    }
}

#ifdef Q_OS_UNIX
Port::Problem problemOfErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO: // a serial driver's node without hardware behind it
        return Port::Problem::NoSuchDevice;
    case EACCES:
    case EPERM:
        return Port::Problem::PermissionDenied;
    case EBUSY: // held exclusively by another program
    case EWOULDBLOCK:
        return Port::Problem::InUse;
    default:
        return Port::Problem::Other;
    }
}
#endif

#ifdef Q_OS_LINUX
// Whether a process has the terminal with the device number rdev as its
// controlling terminal: the seventh field of /proc/<pid>/stat, after the
// command name in parentheses (which may hold blanks and parentheses itself).
bool isAnyProcessTerminal(dev_t rdev)
{
    const unsigned major = ::major(rdev);
    const unsigned minor = ::minor(rdev);
    const long long ttyNumber = (long long)((major & 0xFFF) << 8) | (minor & 0xFF) | ((long long)(minor & ~0xFFu) << 12);
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
            continue;
        const QByteArray statPath = QByteArray("/proc/") + entry->d_name + "/stat";
        const int fd = ::open(statPath.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue; // ended meanwhile
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        buffer[n] = '\0';
        const char *fields = std::strrchr(buffer, ')');
        int ppid = 0, pgrp = 0, session = 0;
        long long tty = 0;
        char state = 0;
        if (fields && std::sscanf(fields + 1, " %c %d %d %d %lld", &state, &ppid, &pgrp, &session, &tty) == 5
            && tty != 0 && tty == ttyNumber) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}
#endif

#ifdef Q_OS_UNIX
// A login, a shell window or another program's session runs on the terminal:
// bytes written there go to its programs, and what is typed there is read.
// TIOCGSID answers only for the caller's own controlling terminal; for
// another session's the processes' terminals tell.
bool isSessionTerminal(int fd, dev_t rdev)
{
#ifdef TIOCGSID
    pid_t session = 0;
    if (::ioctl(fd, TIOCGSID, &session) == 0)
        return true;
#else
    Q_UNUSED(fd);
#endif
#ifdef Q_OS_LINUX
    return isAnyProcessTerminal(rdev);
#else
    Q_UNUSED(rdev);
    return false;
#endif
}
#endif

#ifdef Q_OS_UNIX
// The device file as opened: the device number, the node, and when the node
// was made. A pseudo-terminal made anew may get the number and the node of an
// ended one; the time it was made tells them apart, as it does a replugged adapter.
QString identityOf(const struct stat &info)
{
    return QStringLiteral("%1 %2:%3 %4.%5")
        .arg(quint64(info.st_rdev))
        .arg(quint64(info.st_dev))
        .arg(quint64(info.st_ino))
        .arg(qint64(info.st_ctim.tv_sec))
        .arg(qint64(info.st_ctim.tv_nsec));
}
#endif

// Why QSerialPort refused to open a device that was claimed for us already.
Port::Problem problemOfOpenError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return Port::Problem::NoSuchDevice;
    // We could open the device ourselves, so a refusal comes from another
    // program's lock; on Windows a held COM port is refused this way too.
    case QSerialPort::PermissionError: return Port::Problem::InUse;
    case QSerialPort::UnsupportedOperationError: return Port::Problem::NotADevice;
    default: return Port::Problem::Other;
    }
}

} // namespace

SerialPort::SerialPort(QObject *parent)
    : QObject(parent)
    , m_serial(new QSerialPort(this))
{
    m_serial->setReadBufferSize(kReadBufferSize);
    connect(m_serial, &QSerialPort::errorOccurred, this, &SerialPort::onError);
    connect(m_serial, &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
}

SerialPort::~SerialPort()
{
    m_closing = true;
    if (m_serial->isOpen())
        m_serial->close();
    releaseDevice();
}

QStringList SerialPort::inPortOrder(QStringList devices)
{
    std::sort(devices.begin(), devices.end(), naturalLess);
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    return devices;
}

QStringList SerialPort::systemDevices()
{
    QStringList devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices << info.systemLocation();
    return inPortOrder(devices);
}

QString SerialPort::deviceName(int portNumber) const
{
    if (!m_override.isEmpty())
        return m_override;
    if (portNumber < 1)
        return QString();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(portNumber);
#else
    return systemDevices().value(portNumber - 1);
#endif
}

bool SerialPort::failOpen(Problem problem, const QString &text)
{
    setProblem(problem, text);
    return false;
}

// Looks at the device before opening it, so a folder, a plain file or a FIFO
// is refused without ever blocking, and takes the device's lock: one program
// at a time, whatever name reaches the device. The lock is an flock() on a
// descriptor of our own, so it belongs to the device itself (not to a name),
// holds against root, and the system drops it when the holder dies.
Port::Problem SerialPort::claimDevice(const QString &device, QString *text)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat info;
    if (::stat(path.constData(), &info) != 0) {
        const int error = errno;
        *text = qt_error_string(error);
        return problemOfErrno(error);
    }
    if (!S_ISCHR(info.st_mode))
        return Problem::NotADevice;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        *text = qt_error_string(error);
        return problemOfErrno(error);
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return Problem::NotADevice;
    }
    // The device as opened, should the name have been pointed elsewhere since the look.
    struct stat opened;
    const bool known = ::fstat(fd, &opened) == 0;
    if (known && isSessionTerminal(fd, opened.st_rdev)) {
        ::close(fd);
        return Problem::TerminalSession;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Problem::InUse;
        *text = qt_error_string(error);
        return Problem::Other;
    }
    m_lockFd = fd;
    m_identity = known ? identityOf(opened) : QString();
#else
    // Windows gives a COM port to one program at a time by itself; its name is the device.
    m_identity = device;
    Q_UNUSED(text);
#endif
    return Problem::None;
}

void SerialPort::releaseDevice()
{
    removeShortName();
#ifdef Q_OS_UNIX
    if (m_lockFd >= 0)
        ::close(m_lockFd); // drops the lock
#endif
    m_lockFd = -1;
}

// QSerialPort keeps a lock file named after the device's path ("LCK.." and
// the path with '/' as '_'); a path longer than a file name may be makes
// every open fail. Such a path is opened by a short name of the same device:
// its real path, or else a link of our own named by a hash of that path.
QString SerialPort::shortNameFor(const QString &device)
{
    constexpr qsizetype kLongestName = 128;
    if (device.size() <= kLongestName)
        return device;
    const QString real = QFileInfo(device).canonicalFilePath();
    if (real.isEmpty())
        return device;
    if (real.size() <= kLongestName)
        return real;
    // The user's runtime folder when the session has one, else the temporary
    // folder (sticky: nobody else can change a link of ours there).
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    const QByteArray hash = QCryptographicHash::hash(real.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    const QString link = QDir(folder).filePath(QStringLiteral("tessaro-port-") + QString::fromLatin1(hash));
    if (folder.isEmpty() || link.size() > kLongestName)
        return device;
    // Made anew each time: a name someone else holds is not used.
    QFile::remove(link);
    if (!QFile::link(real, link))
        return device;
    m_shortName = link;
    return link;
}

void SerialPort::removeShortName()
{
    if (!m_shortName.isEmpty())
        QFile::remove(m_shortName);
    m_shortName.clear();
}

bool SerialPort::open(int portNumber, const LineSettings &settings)
{
    if (m_serial->isOpen())
        close();
    m_discarded = 0;
    const QString device = deviceName(portNumber);
    if (device.isEmpty())
        return failOpen(Problem::NoSuchDevice);
    QString text;
    if (const Problem problem = claimDevice(device, &text); problem != Problem::None)
        return failOpen(problem, text);

    // The line settings go to the port before it opens. Qt drives the modem
    // lines only on an open port, so RTS and DTR follow the opening.
    m_device = device;
    m_serial->setPortName(shortNameFor(device));
    const bool hardwareHandshake = settings.handshake == Handshake::RtsCts;
    if (!m_serial->setFlowControl(hardwareHandshake ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl)
        || !m_serial->setBaudRate(settings.baud)
        || !m_serial->setParity(parityOf(settings.parity))
        || !m_serial->setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8)
        || !m_serial->setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)) {
        releaseDevice();
        return failOpen(Problem::Other, m_serial->errorString());
    }
    if (!m_serial->open(QIODevice::ReadWrite)) {
        const Problem problem = problemOfOpenError(m_serial->error());
        text = m_serial->errorString();
        releaseDevice();
        return failOpen(problem, text);
    }

    // Asked once: a device without modem lines (a pseudo-terminal) fails
    // every query, and each failure raises an error signal.
    m_serial->clearError();
    m_serial->pinoutSignals();
    m_hasModemLines = m_serial->error() != QSerialPort::UnsupportedOperationError;
    m_serial->clearError();

    if (m_hasModemLines) {
        // With RTS/CTS handshaking the driver owns RTS.
        const bool rtsOk = hardwareHandshake || m_serial->setRequestToSend(settings.rts);
        if (!rtsOk || !m_serial->setDataTerminalReady(settings.dtr)) {
            text = m_serial->errorString();
            close();
            return failOpen(Problem::Other, text);
        }
    }
    // Whatever the line delivered before the opening is not for us.
    m_serial->clear(QSerialPort::Input);
    if (!m_serial->isOpen()) {
        releaseDevice();
        return failOpen(Problem::DeviceLost);
    }
    setProblem(Problem::None);
    return true;
}

bool SerialPort::close()
{
    if (!m_serial->isOpen()) {
        releaseDevice();
        return true;
    }
    m_closing = true;
    m_serial->close();
    m_closing = false;
    if (m_serial->isOpen())
        return false;
    releaseDevice();
    return true;
}

bool SerialPort::isOpen() const
{
    return m_serial->isOpen();
}

int SerialPort::bytesAvailable()
{
    if (!m_serial->isOpen())
        return -1;
    return int(qMin<qint64>(m_serial->bytesAvailable(), std::numeric_limits<int>::max()));
}

int SerialPort::readByte()
{
    char c = 0;
    if (!m_serial->isOpen() || m_serial->read(&c, 1) != 1)
        return -1;
    return quint8(c);
}

bool SerialPort::writeByte(quint8 byte)
{
    const char c = char(byte);
    // Queued here and sent as soon as the event loop runs. A line that takes
    // nothing (handshake held off, far end not reading) fills the queue; then
    // the byte is refused rather than kept without limit.
    if (!m_serial->isOpen() || m_serial->bytesToWrite() >= kWriteBufferSize || m_serial->write(&c, 1) != 1)
        return false;
    // Told when handed over: QSerialPort tells bytesWritten an event loop turn
    // after the write, and a busy loop can take the answer's arrival first.
    reportTraffic(Traffic::Written);
    return true;
}

void SerialPort::discardInput()
{
    if (m_serial->isOpen())
        m_serial->clear(QSerialPort::Input);
}

bool SerialPort::dsr()
{
    if (!m_serial->isOpen())
        return false;
    if (!m_hasModemLines)
        return true;
    m_serial->clearError();
    const QSerialPort::PinoutSignals lines = m_serial->pinoutSignals();
    if (m_serial->error() != QSerialPort::NoError) {
        // A failed query says nothing about the line: report DSR off and let
        // the link watch decide, but keep the port.
        m_serial->clearError();
        return false;
    }
    return lines.testFlag(QSerialPort::DataSetReadySignal);
}

void SerialPort::onReadyRead()
{
    reportTraffic(Traffic::Arrived);
    // Runs in every event loop, a modal box's too, so input that nobody reads
    // stops at the bound: the oldest bytes go, the newest half stays.
    const qint64 waiting = m_serial->bytesAvailable();
    if (waiting < kReadBufferSize)
        return;
    const qint64 skipped = m_serial->skip(waiting - kReadBufferSize / 2);
    if (skipped > 0)
        m_discarded += quint64(skipped);
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    if (m_closing || !m_serial->isOpen())
        return;
    Problem problem = Problem::None;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        problem = Problem::DeviceLost;
        break;
    case QSerialPort::WriteError:
        problem = QFileInfo::exists(m_device) ? Problem::WriteFailed : Problem::DeviceLost;
        break;
    default:
        return;
    }
    // A vanished device makes every read fail at once, again and again; close
    // on the first failure so the port stays quiet until it is opened anew.
    const QString text = m_serial->errorString();
    close();
    reportClosed(problem, text);
}
