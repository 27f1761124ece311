#include "platform/unc_path.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

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
    if (path.startsWith(QLatin1String("\\\\"))) {
        QString rest = path.mid(2);
        rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
        QString root = uncRoot();
        if (root.isEmpty()) {
#ifdef _WIN32
            return path;  // Windows reaches the share itself
#else
            return QLatin1String("//") + rest;
#endif
        }
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);

        // As on Windows, a UNC path cannot climb above its share: ".." can be neither host nor share, and below
        // them it only goes back as far as the share. What would leave it leads nowhere, so no path reaches
        // beyond the root. Links inside the root are left to the one who put them there.
        QStringList kept;
        const QStringList segments = rest.split(QLatin1Char('/'));
        for (const QString& s : segments) {
            if (s.contains(QChar(0)))  // the system would end the path there
                return {};
            if (s == QLatin1String("..")) {
                if (kept.size() <= 2)
                    return {};
                kept.removeLast();
            } else if (!s.isEmpty() && s != QLatin1String(".")) {
                kept << s;
            }
        }
        // A trailing separator stays, as written.
        const QString tail = rest.endsWith(QLatin1Char('/')) && kept.size() >= 2 ? QStringLiteral("/") : QString();
        return root + QLatin1Char('/') + kept.join(QLatin1Char('/')) + tail;
    }
#ifdef _WIN32
    return path;
#else
    QString local = path;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return local;
#endif
}

}  // namespace platform
