#pragma once

#include <QSet>
#include <QString>

// Names the export gives to what it writes.

// The text without the nine characters Windows forbids in file names: \ / : * ? " < > |. Nothing takes their
// place; the result may be empty.
QString CleanFileName(const QString& text);

// The folder text with a separator at its end ("D:\Export" becomes "D:\Export\"); a text that already ends in
// one is kept.
QString withTrailingSeparator(const QString& folder);

// The name of a file's entry in the ZIP: its full path without drive letter, colon and leading separators,
// "/" between folders (D:\Export\Export-Dateien\Rechnung0.eml gives Export/Export-Dateien/Rechnung0.eml).
QString zipEntryName(const QString& fullPath);

// Folder names for the sub-archives of one parent. Without display names a sub-archive's folder is its
// position. With them it is the cleaned display name, except that an empty name (or one of dots only, which
// would lead out of the parent) takes the position, and a name already given under this parent, compared
// ignoring case as Windows compares names, gets " (" + position + ")" appended.
class SubArchiveFolderNames {
public:
    QString take(const QString& displayName, int position, bool useDisplayName);

private:
    QSet<QString> m_used;  // case-folded
};
