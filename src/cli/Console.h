#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// Standard output and standard error. What a person reads leaves in the
// encoding of the terminal's locale; a settings file and a JSON document leave
// as the bytes they are (Windows-1252 and UTF-8). Lines end the platform's way.
namespace Console {

// Once, before any output: learns the locale's encoding, lets bytes pass
// unchanged (on Windows the streams would otherwise turn every LF into CR LF),
// and turns a closed pipe into a failed write instead of the end of the run.
void prepare();

// The program's arguments in the locale's encoding (arguments[0] is the
// program). Nothing, and why, when one does not decode: a byte sequence that
// is invalid or cut short is refused, never cut off or replaced.
std::optional<QStringList> arguments(int argc, char *argv[], QString *error);

// An argument that names a file, as the file system takes it: Qt names files
// in UTF-8 on Unix whatever the locale, so the argument's own bytes must be
// UTF-8. Nothing, and why, when they are not.
std::optional<QString> fileName(const QString &argument, QString *error);

// Bytes for a message: printable ASCII as it is, every other byte as \xNN.
QString escapedBytes(const QByteArray &bytes);

// The name of the encoding text for a person leaves in, e.g. "UTF-8".
QString encodingName();

// Text in the locale's encoding; a character the encoding has not becomes '?'.
QByteArray localText(const QString &text);

bool isTerminal(std::FILE *stream);
// The width of the terminal the stream goes to, in characters: the terminal's
// own word where it gives one, else COLUMNS, else 80.
int terminalColumns(std::FILE *stream);

// Standard output closed when the program started: its descriptor is then
// held by one that refuses every write, so that no file or port opened later
// gets it and takes the output. True when it was closed. First thing in main.
bool holdClosedOutput();
// Nobody can take standard output any more: it is closed, or a pipe or
// socket whose reader has gone.
bool standardOutputGone();

// Each write is flushed and checked: false when the stream did not take all
// of it (a full disk, /dev/full, a closed pipe).

// The bytes as they are.
[[nodiscard]] bool write(std::FILE *stream, const QByteArray &bytes);
// The text, in the locale's encoding, its control characters shown by name
// ("[ESC]"), and a line end.
[[nodiscard]] bool writeLine(std::FILE *stream, const QString &text);
// Several lines, split at CR LF or LF.
[[nodiscard]] bool writeText(std::FILE *stream, const QString &text);
// The system's words for the last failed write.
QString lastError();

} // namespace Console
