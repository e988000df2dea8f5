#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Windows-1252, the single-byte code page of every byte that becomes text
// and every text that becomes a byte: the wire, the files and the log.
// Decoding never fails: the five bytes the code page leaves undefined map to
// the control characters of the same value, as Windows does, so any byte
// string survives a decode and encode unchanged.
namespace Cp1252 {

QChar charOf(quint8 byte);
// The byte of a character, or -1 when the code page has no such character.
int byteOf(QChar ch);

QString decode(QByteArrayView bytes);
// Nothing when some character has no byte in the code page.
std::optional<QByteArray> encode(QStringView text);
// Characters without a byte become '?'; for the log, where a line must never be lost.
QByteArray encodeLossy(QStringView text);
// The first character that has no byte, or -1.
qsizetype firstUnencodable(QStringView text);
// The character at i by its code point, "U+20AC"; a surrogate pair is named whole.
QString characterName(QStringView text, qsizetype i);

} // namespace Cp1252
