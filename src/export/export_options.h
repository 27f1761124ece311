#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// "Export.dat" beside the program (or in the user's configuration folder where the program's folder cannot be
// written, see platform/program_folder.h): one line, the last export folder, in the system ANSI code page, ended by
// CR LF.

// Where the file is read from and where it is saved.
QString exportOptionsReadPath();
QString exportOptionsSavePath();

// The first line of the file; nothing when the file is missing, is no regular file (a FIFO or device is never
// read) or holds no line. Only the first few KiB are read. A leading byte-order mark chooses the encoding.
std::optional<QString> readExportFolder(const QString& path);

// Writes the folder as the file's one line into a new file that then replaces the old one. False with a
// reason on failure.
bool writeExportFolder(const QString& path, const QString& folder, QString* reason = nullptr);

// The ZIP password as its Windows-1252 bytes, the way Windows' own ZIP support reads it. Nothing when a
// character has no place in that code page (or is a zero character).
std::optional<QByteArray> zipPasswordBytes(const QString& password);
