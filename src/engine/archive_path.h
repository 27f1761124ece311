#pragma once

#include <QString>

// An archive path in server notation (SRV01:DAVID\ARCHIVE\USER\0000A1B2) as a UNC path: every ":"
// becomes "\", and "\\" goes in front unless the text already begins with it.
QString ArchivePathToUnc(const QString& path);

// The local folder an archive path leads to on this machine. A path that would leave its share (by "..") leads
// to kNoFolder, where no folder can be: its row shows zeros, as for a missing folder.
QString archiveLocalPath(const QString& serverPath);
inline constexpr const char* kNoFolder = "/dev/null/";
