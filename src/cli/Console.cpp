#include "Console.h"

#include "model/Diverse.h"

#include <QCoreApplication>
#include <QStringConverter>

#include <QFile>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

namespace Console {
namespace {

#ifdef Q_OS_WIN
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

// The locale's encoding, learnt once by prepare(). The plain C locale (ASCII)
// counts as UTF-8: it is nearly always a setting left out, not an ASCII
// terminal, and Qt reads such arguments as UTF-8 as well.
QByteArray &encoding()
{
    static QByteArray name = "UTF-8";
    return name;
}

bool isUtf8(const QByteArray &name)
{
    const QByteArray n = name.toUpper();
    return n == "UTF-8" || n == "UTF8" || n == "ANSI_X3.4-1968" || n == "US-ASCII" || n == "ASCII" || n.isEmpty();
}

} // namespace

void prepare()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The ANSI code page, as the console and Qt's local 8-bit take it.
    encoding() = "System";
#else
    std::setlocale(LC_CTYPE, "");
    const QByteArray codeset(nl_langinfo(CODESET));
    encoding() = isUtf8(codeset) ? QByteArray("UTF-8") : codeset;
    // An encoding this Qt cannot convert falls back to UTF-8.
    if (!QStringEncoder(encoding().constData()).isValid())
        encoding() = "UTF-8";
    // A reader that went away (a pipe to head) costs the output, not the run:
    // a write to the unit under way must still end and be reported.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

QString escapedBytes(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto b = uchar(c);
        if (b >= 0x20 && b < 0x7f && b != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(uint(b), 2, 16, QLatin1Char('0'));
    }
    return text;
}

#ifndef Q_OS_WIN
namespace {

// The bytes of an argument again, from its text: exact, as every argument
// was checked to decode and encode back to the bytes it came as.
QByteArray argumentBytes(const QString &argument)
{
    if (encoding() == "UTF-8")
        return argument.toUtf8();
    QStringEncoder encoder(encoding().constData());
    return encoder.encode(argument);
}

} // namespace
#endif

std::optional<QStringList> arguments(int argc, char *argv[], QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    Q_UNUSED(error);
    return QCoreApplication::arguments();
#else
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        // Stateless: a sequence cut short at the end is an error, not kept
        // back for input that never comes.
        QStringDecoder decoder(encoding().constData(), QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(bytes);
        if (decoder.hasError() || argumentBytes(text) != bytes) {
            *error = QStringLiteral("argument \"%1\": not valid %2").arg(escapedBytes(bytes), encodingName());
            return std::nullopt;
        }
        args << text;
    }
    return args;
#endif
}

std::optional<QString> fileName(const QString &argument, QString *error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(error);
    return argument;
#else
    const QByteArray bytes = argumentBytes(argument);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString name = decoder.decode(bytes);
    if (decoder.hasError() || QFile::encodeName(name) != bytes) {
        *error = QStringLiteral("file name \"%1\": not UTF-8, and the tool opens files by UTF-8 names only")
                     .arg(escapedBytes(bytes));
        return std::nullopt;
    }
    return name;
#endif
}

QString encodingName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("the system code page");
#else
    return QString::fromLatin1(encoding());
#endif
}

QByteArray localText(const QString &text)
{
#ifdef Q_OS_WIN
    if (encoding() == "System")
        return text.toLocal8Bit();
#endif
    if (encoding() == "UTF-8")
        return text.toUtf8();
    // Character by character, so one the encoding has not becomes '?'.
    QStringEncoder encoder(encoding().constData(), QStringEncoder::Flag::Stateless);
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView ch = QStringView(text).mid(i, length);
        QByteArray b = encoder.encode(ch);
        if (encoder.hasError() || b.isEmpty()) {
            encoder.resetState();
            b = "?";
        }
        bytes += b;
        i += length - 1;
    }
    return bytes;
}

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(fileno(stream)) != 0;
#endif
}

int terminalColumns(std::FILE *stream)
{
#ifdef Q_OS_UNIX
    winsize size{};
    if (::ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#else
    Q_UNUSED(stream);
#endif
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
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
    // A line for people: whatever it quotes from the unit or a file has its
    // control characters shown by name, so it stays one line and a terminal
    // never takes it as a command.
    return write(stream, localText(Diverse::visibleText(text)) + kLineEnd);
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

bool holdClosedOutput()
{
#ifdef Q_OS_UNIX
    if (::fcntl(STDOUT_FILENO, F_GETFD) != -1 || errno != EBADF)
        return false;
    // Read-only: a write fails as on a closed descriptor.
    const int fd = ::open("/dev/null", O_RDONLY);
    if (fd >= 0 && fd != STDOUT_FILENO) {
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    return true;
#else
    return false;
#endif
}

bool standardOutputGone()
{
#ifdef Q_OS_UNIX
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    if (::poll(&output, 1, 0) < 0)
        return false;
    return (output.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
#else
    return false;
#endif
}

} // namespace Console
