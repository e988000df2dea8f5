#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace TextFile {
namespace {

constexpr qint64 kChunkSize = 64 * 1024;
// Far beyond any line of the tool's files; a longer one is not such a file,
// and reading on would only fill the memory.
constexpr qsizetype kMaxLineLength = 16 * 1024 * 1024;

// A system message ("No space left on device") placed mid-sentence.
QString reasonText(const QString &systemText)
{
    QString reason = systemText.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    if (reason.isEmpty())
        return QStringLiteral("unknown error");
    if (reason.size() > 1 && reason[0].isUpper() && reason[1].isLower())
        reason[0] = reason[0].toLower();
    return reason;
}

} // namespace

QString displayName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

ReadOutcome forEachLine(const QString &path, const std::function<void(const QByteArray &line)> &onLine)
{
    const QString name = displayName(path);
    QFile file(path);
    if (!file.exists())
        return {ReadStatus::Missing, QStringLiteral("Could not read \"%1\": the file does not exist.").arg(name)};
    if (!file.open(QIODevice::ReadOnly))
        return {ReadStatus::CannotOpen,
                QStringLiteral("Could not read \"%1\": %2.").arg(name, reasonText(file.errorString()))};

    std::array<char, kChunkSize> chunk;
    QByteArray line;
    bool afterCr = false; // an LF right after a CR belongs to the same line end
    for (;;) {
        const qint64 count = file.read(chunk.data(), kChunkSize);
        if (count < 0)
            return {ReadStatus::ReadError,
                    QStringLiteral("Could not read \"%1\": %2.").arg(name, reasonText(file.errorString()))};
        if (count == 0)
            break;
        const char *p = chunk.data();
        const char *const end = p + count;
        if (afterCr && *p == '\n')
            ++p;
        afterCr = false;
        while (p < end) {
            const char *stop = std::find_if(p, end, [](char c) { return c == '\r' || c == '\n'; });
            line.append(p, stop - p);
            if (line.size() > kMaxLineLength)
                return {ReadStatus::ReadError,
                        QStringLiteral("Could not read \"%1\": it has a line longer than %2 MB.")
                            .arg(name)
                            .arg(kMaxLineLength / (1024 * 1024))};
            if (stop == end)
                break;
            onLine(line);
            line.clear();
            p = stop + 1;
            if (*stop == '\r') {
                if (p == end)
                    afterCr = true;
                else if (*p == '\n')
                    ++p;
            }
        }
    }
    if (!line.isEmpty())
        onLine(line);
    return {};
}

FileResult replaceAtomically(const QString &path, const QByteArray &content, const QString &what)
{
    const QFileInfo info(path);
    const bool existed = info.isFile();
    auto failure = [&](const QString &reason) {
        return FileResult::failure(QStringLiteral("Could not save the %1 \"%2\": %3. %4")
                                       .arg(what, displayName(path), reason,
                                            existed ? QStringLiteral("The previous file was left unchanged.")
                                                    : QStringLiteral("No file was written.")));
    };

    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        return failure(QStringLiteral("the folder \"%1\" does not exist").arg(displayName(folder.path())));

    QSaveFile file(path);
    // Unbuffered: every write reaches the system at once, so a full disk shows
    // in the count written and not only (or not at all) when the file is closed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(reasonText(file.errorString()));
    const qint64 written = file.write(content);
    if (written != content.size()) {
        const QString reason = written < 0 ? reasonText(file.errorString())
                                           : QStringLiteral("the disk is full (only %1 of %2 bytes could be written)")
                                                 .arg(written)
                                                 .arg(content.size());
        file.cancelWriting(); // the temporary file is removed, the old one stays
        return failure(reason);
    }
    if (!file.commit())
        return failure(reasonText(file.errorString()));
    return FileResult::success();
}

} // namespace TextFile
