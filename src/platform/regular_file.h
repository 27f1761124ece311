#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QFile;

namespace platform {

// Files the program reads may be anything a server folder's or a program folder's writer put there: a FIFO
// would block the reader for ever, a link to /dev/zero would fill the memory. These functions open only
// regular files, never wait on the way, and read no more than the caller allows.

// Opens `path` for reading into `file` when it is a regular file (a link to one is fine). The check is made on
// the opened descriptor, so nothing can be swapped in between. False with `reason` (German, for a message's
// details) otherwise.
bool openRegularFile(QFile& file, const QString& path, QString* reason = nullptr);

enum class OverLimit {
    Refuse,  // a larger file is an error
    Cut,     // the first `limit` bytes are enough
};

// The bytes of a regular file, at most `limit` of them. Nothing when the file cannot be opened, is not a regular
// file, or (with OverLimit::Refuse) holds more than `limit` bytes; `reason` then says why.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, OverLimit over,
                                          QString* reason = nullptr);

// True when `path`, links followed, names something that is there but is no regular file (a FIFO, a device, a
// folder); `reason` then says what it is. A writer that replaces files must leave such a thing alone: a saved
// file written through a link to /dev/zero would replace the device.
bool isSpecialFile(const QString& path, QString* reason = nullptr);

// Writes `bytes` as the whole of the file at `path`: into a new file that replaces the old one only once it is
// complete, so a failed write leaves the old file as it was. Refused, with `reason`, when `path` leads to
// something that is no regular file, which the replacing would otherwise overwrite.
bool saveFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// A size in bytes for a reason text: "1 GiB", "1.5 MiB", "612 Bytes".
QString byteSizeText(qint64 bytes);

}  // namespace platform
