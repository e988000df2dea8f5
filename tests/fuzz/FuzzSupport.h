#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: the input is reported and the run
// stops with abort(), which libFuzzer records as a crash and the corpus replay
// as a failed test. Used in place of assert(), which a release build drops.
#define FUZZ_CHECK(condition, ...)                                                                      \
    do {                                                                                                \
        if (!(condition)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);        \
            std::fprintf(stderr, "  %s\n", qPrintable(QString(__VA_ARGS__)));                           \
            std::abort();                                                                               \
        }                                                                                               \
    } while (false)

namespace Fuzz {

// Takes the input apart from the front; past the end every read gives 0 and
// every byte string comes back short.
class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool atEnd() const { return m_pos >= m_size; }
    size_t remaining() const { return m_size - m_pos; }

    uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    int16_t int16()
    {
        const int lo = byte();
        const int hi = byte();
        return int16_t(uint16_t(lo | (hi << 8)));
    }
    QByteArray bytes(size_t count)
    {
        const size_t n = count < remaining() ? count : remaining();
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

inline QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace Fuzz

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace Fuzz {

// A scratch folder for the run, in memory where the system offers it.
inline const QTemporaryDir &scratchFolder()
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/tessaro-fuzz-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/tessaro-fuzz-XXXXXX"));
    return dir;
}

inline QString scratchPath(const QString &name)
{
    return QDir(scratchFolder().path()).filePath(name);
}

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size(),
               QStringLiteral("cannot write the scratch file %1").arg(path));
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), QStringLiteral("cannot read %1").arg(path));
    return file.readAll();
}

} // namespace Fuzz
