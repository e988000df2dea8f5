#include "TextFile.h"

#include "HomeFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Why a path that exists is no file to read or replace; empty for a regular file.
// Checked before opening: opening a FIFO waits for a writer, for ever.
QString notAFileReason(const QFileInfo &info)
{
    if (info.isFile())
        return QString();
    if (info.isDir())
        return QStringLiteral("it is a folder, not a file");
    return QStringLiteral("it is not a regular file (a pipe, a device or a socket)");
}

// A save writes "<name>.tessaro-save-XXXXXX" beside the file "<name>" and renames
// it over the file. A save cut off between the two (the program killed) leaves
// that temporary behind, complete; the next save of the same file removes it.
// The mark and the exact shape keep the clean-up off any other program's files.
constexpr QLatin1StringView kTemporaryMark(".tessaro-save-");
constexpr int kTemporaryTagLength = 6;

bool isTag(QStringView text)
{
    return text.size() == kTemporaryTagLength
        && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
           });
}

// "<name>.tessaro-save-XXXXXX", or that with a second ".XXXXXX" which the
// writer adds where the system cannot make a file without a name.
bool isTemporaryOf(const QString &candidate, const QString &fileName)
{
    const QString prefix = fileName + kTemporaryMark;
    if (!candidate.startsWith(prefix))
        return false;
    const QStringView rest = QStringView(candidate).sliced(prefix.size());
    if (rest.size() == kTemporaryTagLength)
        return isTag(rest);
    return rest.size() == 2 * kTemporaryTagLength + 1 && isTag(rest.first(kTemporaryTagLength))
        && rest.at(kTemporaryTagLength) == u'.' && isTag(rest.last(kTemporaryTagLength));
}

QString newTag()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < kTemporaryTagLength; ++i)
        tag += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))]);
    return tag;
}

// Regular files only: a link or a folder of that name is left alone.
void removeStaleTemporaries(const QDir &folder, const QString &fileName)
{
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &name : names) {
        if (isTemporaryOf(name, fileName))
            QFile::remove(folder.filePath(name));
    }
}

std::filesystem::path systemPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

QString displayName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

ReadOutcome forEachLine(const QString &path, const std::function<void(const QByteArray &line)> &onLine)
{
    const QString name = displayName(path);
    const QFileInfo info(path);
    if (!info.exists())
        return {ReadStatus::Missing, QStringLiteral("Could not read \"%1\": the file does not exist.").arg(name)};
    if (const QString reason = notAFileReason(info); !reason.isEmpty())
        return {ReadStatus::NotAFile, QStringLiteral("Could not read \"%1\": %2.").arg(name, reason)};
    QFile file(path);
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

QString sharedFolderLinkRefusal(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat link = {};
    struct stat folder = {};
    const QString folderPath = QFileInfo(path).absolutePath();
    if (::lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode)
        || ::stat(QFile::encodeName(folderPath).constData(), &folder) != 0)
        return QString();
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (!shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid)
        return QString();
    return QStringLiteral("it is another user's link in the shared folder \"%1\", which is not followed")
        .arg(displayName(folderPath));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

namespace {

// The file keeps its owner and group: a save by root over another user's
// file leaves it that user's. Where the process may not give the file away,
// it keeps the group where it may, else its own, as a new file.
void keepOwner(const QSaveFile &file, const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    if (file.handle() < 0)
        return;
    if (::fchown(file.handle(), info.ownerId(), info.groupId()) != 0)
        (void)::fchown(file.handle(), uid_t(-1), info.groupId());
#else
    Q_UNUSED(file);
    Q_UNUSED(info);
#endif
}

} // namespace

FileResult replaceAtomically(const QString &path, const QByteArray &content, const QString &what,
                             const QString &homeFolder)
{
    QFileInfo info(path);
    // A link is followed: the file it names is replaced, the link stays.
    const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
    if (target != info.absoluteFilePath())
        info = QFileInfo(target);
    const bool existed = info.isFile();
    auto failure = [&](const QString &reason) {
        return FileResult::failure(QStringLiteral("Could not save the %1 \"%2\": %3. %4")
                                       .arg(what, displayName(path), reason,
                                            existed ? QStringLiteral("The previous file was left unchanged.")
                                                    : QStringLiteral("No file was written.")));
    };

    if (!homeFolder.isEmpty()) {
        if (const QString reason = HomeFolder::linkRefusal(homeFolder, path); !reason.isEmpty())
            return failure(reason);
    }
    if (const QString reason = sharedFolderLinkRefusal(path); !reason.isEmpty())
        return failure(reason);
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        return failure(QStringLiteral("the folder \"%1\" does not exist").arg(displayName(folder.path())));
    if (info.exists()) {
        if (const QString reason = notAFileReason(info); !reason.isEmpty())
            return failure(reason);
    }
    removeStaleTemporaries(folder, info.fileName());

    // The content gets the temporary name only once it is written whole (the
    // writer makes it without a name where the system can), so the rename
    // below never puts a part of a file in the old one's place.
    const QString temporary = folder.filePath(info.fileName() + kTemporaryMark + newTag());
    QSaveFile file(temporary);
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
    if (existed)
        keepOwner(file, info);
    if (!file.commit())
        return failure(reasonText(file.errorString()));
    // After the owner: a change of owner clears some mode bits.
    if (existed)
        QFile::setPermissions(temporary, info.permissions());
    std::error_code error;
    std::filesystem::rename(systemPath(temporary), systemPath(info.absoluteFilePath()), error);
    if (error) {
        QFile::remove(temporary);
        return failure(reasonText(QString::fromLocal8Bit(error.message())));
    }
    return FileResult::success();
}

FileResult writeNew(const QString &path, const QByteArray &content, const QString &what, bool *taken)
{
    *taken = false;
    auto failure = [&](const QString &reason) {
        return FileResult::failure(QStringLiteral("Could not save the %1 \"%2\": %3. No file was written.")
                                       .arg(what, displayName(path), reason));
    };
    QFile file(path);
    // NewOnly creates exclusively (O_EXCL, CREATE_NEW): of two programs that
    // choose the same name at the same moment, only one gets the file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
            *taken = true;
            return failure(QStringLiteral("the name is taken"));
        }
        return failure(reasonText(file.errorString()));
    }
    const qint64 written = file.write(content);
    QString reason;
    if (written != content.size()) {
        reason = written < 0 ? reasonText(file.errorString())
                             : QStringLiteral("the disk is full (only %1 of %2 bytes could be written)")
                                   .arg(written)
                                   .arg(content.size());
    }
#ifdef Q_OS_UNIX
    // On the disk before it is reported as kept.
    else if (::fsync(file.handle()) != 0) {
        reason = reasonText(qt_error_string(errno));
    }
#endif
    file.close();
    if (reason.isEmpty() && file.error() != QFileDevice::NoError)
        reason = reasonText(file.errorString());
    if (!reason.isEmpty()) {
        file.remove();
        return failure(reason);
    }
    return FileResult::success();
}

} // namespace TextFile
