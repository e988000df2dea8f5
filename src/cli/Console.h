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

// The bytes as they are, flushed.
void write(std::FILE *stream, const QByteArray &bytes);
// The text and a line end; a character without a Windows-1252 byte becomes '?'.
void writeLine(std::FILE *stream, const QString &text);
// Several lines, split at CR LF or LF.
void writeText(std::FILE *stream, const QString &text);

} // namespace Console
