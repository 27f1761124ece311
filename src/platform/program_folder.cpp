#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QStringConverter>
#include <QTemporaryFile>

namespace platform {

namespace {

QMutex folderMutex;
QString folderOverride;
QString configOverride;

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(withSeparator(folder));
}

// Folders an installed program lies in. Root could write them, but preference files do not belong there:
// the package manager owns them, and /usr may be mounted read-only.
bool isSystemFolder(const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(folder);
    return false;
#else
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString path = canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
    for (const char* system : {"/usr", "/bin", "/sbin", "/lib"}) {
        if (isInside(path, QString::fromLatin1(system)))
            return true;
    }
#ifdef ARVELO_INSTALL_BINDIR
    const QString installed = QFileInfo(QStringLiteral(ARVELO_INSTALL_BINDIR)).canonicalFilePath();
    if (!installed.isEmpty() && path == installed)
        return true;
#endif
    return false;
#endif
}

}  // namespace

QString programFolder()
{
    {
        QMutexLocker lock(&folderMutex);
        if (!folderOverride.isEmpty())
            return withSeparator(folderOverride);
    }
    return withSeparator(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString& folder)
{
    QMutexLocker lock(&folderMutex);
    folderOverride = folder;
}

bool folderCanBeWritten(const QString& folder)
{
    if (folder.isEmpty() || isSystemFolder(folder) || !QFileInfo(folder).isDir())
        return false;
    // A file made and removed at once; its name starts with a dot so that no file manager shows it meanwhile.
    QTemporaryFile probe(withSeparator(folder) + QStringLiteral(".arvelo-probe-XXXXXX"));
    return probe.open();
}

QString userConfigFolder()
{
    {
        QMutexLocker lock(&folderMutex);
        if (!configOverride.isEmpty())
            return withSeparator(configOverride);
    }
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void setUserConfigFolder(const QString& folder)
{
    QMutexLocker lock(&folderMutex);
    configOverride = folder;
}

QString userDataFolder()
{
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
           + QStringLiteral("Arvelo/");
}

QString preferenceSavePath(const QString& fileName)
{
    const QString beside = programFolder();
    if (folderCanBeWritten(beside))
        return beside + fileName;
    const QString config = userConfigFolder();
    QDir().mkpath(config);
    return config + fileName;
}

QString preferenceReadPath(const QString& fileName)
{
    const QString beside = programFolder() + fileName;
    const QString config = userConfigFolder() + fileName;
    const bool besideSaves = folderCanBeWritten(programFolder());
    const QString saved = besideSaves ? beside : config;
    const QString other = besideSaves ? config : beside;
    return !QFileInfo::exists(saved) && QFileInfo::exists(other) ? other : saved;
}

QByteArray toAnsi(const QString& text)
{
    QStringEncoder encoder(QStringConverter::System);
    return encoder(text);
}

QString fromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::System);
    return decoder(bytes);
}

}  // namespace platform
