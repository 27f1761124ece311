#pragma once

#include <QString>

// An archive path in server notation (SRV01:DAVID\ARCHIVE\USER\0000A1B2) as a UNC path: every ":"
// becomes "\", and "\\" goes in front unless the text already begins with it.
QString ArchivePathToUnc(const QString& path);

// The local folder an archive path leads to on this machine.
QString archiveLocalPath(const QString& serverPath);
