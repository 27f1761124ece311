#include "platform/unc_path.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

namespace platform {

namespace {

QMutex rootMutex;
QString explicitRoot;
bool explicitRootSet = false;

// Whether a path below the root maps as it stands: no empty, "." or ".." part and no NUL, so the cleaning
// in resolveUncPath would give it back unchanged. Most paths are such; splitting them costs more than the
// rest of the mapping.
bool plainParts(const QString& rest)
{
    const qsizetype n = rest.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && rest[i] != QLatin1Char('/')) {
            if (rest[i].isNull())
                return false;
            continue;
        }
        const qsizetype length = i - start;
        if (length == 0
            || (rest[start] == QLatin1Char('.')
                && (length == 1 || (length == 2 && rest[start + 1] == QLatin1Char('.')))))
            return false;
        start = i + 1;
    }
    return true;
}

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
        if (plainParts(rest))
            return root + QLatin1Char('/') + rest;

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
