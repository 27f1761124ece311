#include "platform/unc_path.h"

#include <QMutex>
#include <QMutexLocker>

namespace platform {

namespace {

QMutex rootMutex;
QString explicitRoot;
bool explicitRootSet = false;

}  // namespace

void setUncRoot(const QString& root)
{
    QMutexLocker lock(&rootMutex);
    explicitRoot = root;
    explicitRootSet = true;
}

QString uncRoot()
{
    {
        QMutexLocker lock(&rootMutex);
        if (explicitRootSet)
            return explicitRoot;
    }
    return qEnvironmentVariable("ARVELO_UNC_ROOT");
}

QString resolveUncPath(const QString& path)
{
#ifdef _WIN32
    return path;
#else
    if (path.startsWith(QLatin1String("\\\\"))) {
        QString rest = path.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        QString root = uncRoot();
        if (root.isEmpty())
            return QLatin1String("//") + rest;
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        return root + QLatin1Char('/') + rest;
    }
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
#endif
}

}  // namespace platform
