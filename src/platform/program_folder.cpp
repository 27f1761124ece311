#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QStringConverter>

namespace platform {

namespace {

QMutex folderMutex;
QString folderOverride;

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
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
