#include "export/export_options.h"

#include "platform/program_folder.h"
#include "platform/regular_file.h"
#include "platform/windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

// A path is a few hundred bytes; anything beyond this is not an export folder.
constexpr qint64 kMaxRead = 8 * 1024;

}  // namespace

QString exportOptionsReadPath()
{
    return platform::preferenceReadPath(QStringLiteral("Export.dat"));
}

QString exportOptionsSavePath()
{
    return platform::preferenceSavePath(QStringLiteral("Export.dat"));
}

std::optional<QString> readExportFolder(const QString& path)
{
    // Only a regular file, and only its first bytes: a FIFO of that name would block the window.
    const std::optional<QByteArray> read = platform::readRegularFile(path, kMaxRead, platform::OverLimit::Cut);
    if (!read || read->isEmpty())
        return std::nullopt;
    const QByteArray& bytes = *read;

    QString text;
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding, QStringConverter::Flag::Default);  // drops the byte-order mark
        text = decoder.decode(bytes);
    } else {
        text = platform::fromAnsi(bytes);
    }
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
        ++end;
    if (end == text.size() && text.isEmpty())
        return std::nullopt;
    return text.left(end);
}

bool writeExportFolder(const QString& path, const QString& folder, QString* reason)
{
    return platform::saveFile(path, platform::toAnsi(folder) + "\r\n", reason);
}

std::optional<QByteArray> zipPasswordBytes(const QString& password)
{
    std::optional<QByteArray> bytes = platform::toWindows1252Exactly(password);
    if (bytes && bytes->contains('\0'))
        return std::nullopt;
    return bytes;
}
