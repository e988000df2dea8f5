#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>

// A small tmpfs on a temporary folder, for tests that need a full or a
// read-only disk. Mounting needs Linux and the right to mount (root in CI);
// where it is refused, isMounted() is false and error() says why, so the test
// can skip. The destructor unmounts.
class TmpfsMount
{
public:
    explicit TmpfsMount(const QString &size = QStringLiteral("64k"))
    {
#ifdef Q_OS_LINUX
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder for the mount point");
            return;
        }
        m_mounted = run({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_dir.path()});
#else
        Q_UNUSED(size);
        m_error = QStringLiteral("tmpfs mounts need Linux");
#endif
    }

    ~TmpfsMount()
    {
        if (!m_mounted)
            return;
        if (QProcess::execute(QStringLiteral("umount"), {m_dir.path()}) != 0)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }

    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    bool remountReadOnly()
    {
        return m_mounted && run({QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir.path()});
    }

    // Takes all free space with the file "filler"; true when the disk is then full.
    bool fill()
    {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'x');
        for (int i = 0; i < 100000; ++i) {
            if (filler.write(block) != block.size())
                return true;
        }
        return false;
    }

    // Fills the disk, then gives back about `room` bytes (whole pages), so
    // that a longer write is cut short; true when that much is free again.
    bool fillLeaving(qint64 room)
    {
        if (!fill())
            return false;
        QFile filler(filePath(QStringLiteral("filler")));
        return filler.resize(std::max<qint64>(0, filler.size() - room));
    }

    bool removeFiller() { return QFile::remove(filePath(QStringLiteral("filler"))); }

private:
    bool run(const QStringList &arguments)
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"), arguments);
        if (!mount.waitForFinished(10000)) {
            m_error = QStringLiteral("mount did not run: ") + mount.errorString();
            return false;
        }
        if (mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0) {
            m_error = QStringLiteral("mount refused: ") + QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_error;
};
