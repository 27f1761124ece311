#pragma once

#include <QByteArray>
#include <QString>

// The few file operations of the export that must not lose what is already on disk.
namespace exportfiles {

enum class MoveResult { Moved, TargetExists, Failed };

// Moves a file to a name that must not exist yet; an existing target is never replaced. Across volumes the
// data is copied, written through to disk and only then removed at the source.
MoveResult moveFileNoReplace(const QString& from, const QString& to, QString* reason = nullptr);

// Writes a file anew: the bytes go into a new file beside it that then replaces the old one, so a failed
// write leaves the old file as it was.
bool writeFileReplacing(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// Copies a file the same way, replacing a file of the target's name only when the copy is complete.
bool copyFileReplacing(const QString& from, const QString& to, QString* reason = nullptr);

}  // namespace exportfiles
