#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Text in Windows-1252, the code page of the server's index files, of ".url" files and of ZIP passwords,
// whatever this machine uses. Our own table, not QStringEncoder("windows-1252"): that codec exists only in a
// Qt built with ICU, and a Windows build has none. 0x80..0x9F are the code page's own characters ("€" is
// 0x80), not Latin-1's control codes; the five bytes the code page leaves unassigned map to the control
// codes of the same number, as Windows maps them, so every byte survives a round trip.
QString fromWindows1252(const QByteArray& bytes);
QString fromWindows1252(const char* data, qsizetype size);
// Each character the code page cannot hold becomes one "?" (a character outside the 16-bit range too).
QByteArray toWindows1252(const QString& text);
// The bytes only if every character has one; otherwise nothing.
std::optional<QByteArray> toWindows1252Exactly(const QString& text);

}  // namespace platform
