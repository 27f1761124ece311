#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace settings {

// The small preference files beside the program file: text in the system ANSI code page, no byte-order mark,
// every line ended by CR LF, always rewritten whole.


// The lines of a file (CR LF, LF or CR end a line; a final line end adds no empty line), from its first 8 KiB
// only. Nothing when the file cannot be read or is no regular file (a FIFO, a device); `reason` then says why.
std::optional<QStringList> readPreferenceLines(const QString& path, QString* reason = nullptr);

// Writes the lines, each ended by CR LF, into a new file that then replaces the old one, so a failed write
// leaves the old file (or none) as it was. Something that is no regular file (a FIFO, a link to a device) is
// left alone. False with `reason` on failure.
bool writePreferenceLines(const QString& path, const QStringList& lines, QString* reason = nullptr);

// A whole number as the preference files hold it: an optional sign, then decimal digits or "$" and hexadecimal
// digits; blanks around it are ignored. Nothing unless the value fits 32 bits (signed or unsigned).
std::optional<qint64> parseWholeNumber(QStringView text);

}  // namespace settings
