#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Standard output and standard error, a text boundary like the wire and the
// files: texts leave as Windows-1252 bytes, lines end the platform's way.
namespace Console {

// Once, before any output: bytes pass unchanged (on Windows the streams would
// otherwise turn every LF into CR LF).
void prepare();

bool isTerminal(std::FILE *stream);

// Each write is flushed and checked: false when the stream did not take all
// of it (a full disk, /dev/full, a closed pipe).

// The bytes as they are.
[[nodiscard]] bool write(std::FILE *stream, const QByteArray &bytes);
// The text and a line end; a character without a Windows-1252 byte becomes '?'.
[[nodiscard]] bool writeLine(std::FILE *stream, const QString &text);
// Several lines, split at CR LF or LF.
[[nodiscard]] bool writeText(std::FILE *stream, const QString &text);
// The system's words for the last failed write.
QString lastError();

} // namespace Console
