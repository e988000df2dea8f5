#pragma once

#include <QString>

// The maker's name and addresses as the windows and message boxes show them.
namespace Branding {

inline const QString kMakerName = QStringLiteral("Kestrum");
inline const QString kMakerYear = QStringLiteral("2025");
inline const QString kWebDomain = QStringLiteral("www.kestrum.nl");

// Main window caption: the leading blank belongs to it.
inline QString windowCaption() { return QStringLiteral(" Tessaro Dubrion unit ") + kWebDomain; }
// Title of Quit, Restart and Call.
inline QString webTitle() { return QStringLiteral("Tessaro by ") + kWebDomain; }
// Title of Write all, the settings-file messages and the engine's aborts.
inline const QString kTitleBy = QStringLiteral("Tessaro by Kestrum");
// Title of the default-file confirmations.
inline const QString kTitleVan = QStringLiteral("Tessaro van Kestrum");

} // namespace Branding
