#include "Console.h"

#include "model/Cp1252.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Console {
namespace {

#ifdef Q_OS_WIN
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

} // namespace

void prepare()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

bool write(std::FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    const bool whole = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    const bool flushed = std::fflush(stream) == 0;
    return whole && flushed && !std::ferror(stream);
}

bool writeLine(std::FILE *stream, const QString &text)
{
    return write(stream, Cp1252::encodeLossy(text) + kLineEnd);
}

bool writeText(std::FILE *stream, const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (t.endsWith(u'\n'))
        t.chop(1);
    bool ok = true;
    for (const QString &line : t.split(u'\n'))
        ok = writeLine(stream, line) && ok;
    return ok;
}

QString lastError()
{
    return errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("the output was not taken");
}

} // namespace Console
