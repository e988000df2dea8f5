#include "Console.h"

#include <QCoreApplication>
#include <QStringConverter>

#include <cerrno>
#include <clocale>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <langinfo.h>
#include <unistd.h>
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
#endif
}

QStringList arguments(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments();
#else
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        QStringDecoder decoder(encoding().constData());
        args << decoder.decode(QByteArrayView(argv[i]));
    }
    return args;
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

bool write(std::FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    const bool whole = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    const bool flushed = std::fflush(stream) == 0;
    return whole && flushed && !std::ferror(stream);
}

bool writeLine(std::FILE *stream, const QString &text)
{
    return write(stream, localText(text) + kLineEnd);
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
