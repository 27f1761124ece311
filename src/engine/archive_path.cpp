#include "engine/archive_path.h"

#include "platform/unc_path.h"

QString ArchivePathToUnc(const QString& path)
{
    QString unc = path;
    unc.replace(QLatin1Char(':'), QLatin1Char('\\'));
    if (!unc.startsWith(QLatin1String("\\\\")))
        unc.prepend(QLatin1String("\\\\"));
    return unc;
}

QString archiveLocalPath(const QString& serverPath)
{
    const QString local = platform::resolveUncPath(ArchivePathToUnc(serverPath));
    // The walk takes an empty path for the current folder; below a device file no folder can ever be.
    return local.isEmpty() ? QString::fromLatin1(kNoFolder) : local;
}
