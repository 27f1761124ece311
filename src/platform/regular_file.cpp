#include "platform/regular_file.h"

#include "platform/excerpt.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

void say(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
}

#ifndef Q_OS_WIN
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("keine Datei, sondern ein Ordner");
    if (S_ISFIFO(mode))
        return QStringLiteral("keine gewöhnliche Datei, sondern eine benannte Pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("keine gewöhnliche Datei, sondern ein Gerät");
    if (S_ISSOCK(mode))
        return QStringLiteral("keine gewöhnliche Datei, sondern ein Socket");
    return QStringLiteral("keine gewöhnliche Datei");
}
#endif

}  // namespace

bool openRegularFile(QFile& file, const QString& path, QString* reason)
{
#ifdef Q_OS_WIN
    if (!QFileInfo(path).isFile()) {
        say(reason, QFileInfo::exists(path) ? QStringLiteral("keine gewöhnliche Datei")
                                            : QStringLiteral("Datei nicht gefunden"));
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(reason, file.errorString());
        return false;
    }
    return true;
#else
    const QByteArray name = QFile::encodeName(path);
    // Looking first keeps devices from seeing an open at all; the descriptor is checked again below because
    // the entry may be replaced in between.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        say(reason, systemErrorText(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        say(reason, kindOf(st.st_mode));
        return false;
    }
    // Non-blocking, so a FIFO swapped in after the look does not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        say(reason, systemErrorText(errno));
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        say(reason, S_ISREG(st.st_mode) ? systemErrorText(error) : kindOf(st.st_mode));
        ::close(fd);
        return false;
    }
    // Reads of a regular file never wait anyway; blocking mode spares QFile any EAGAIN.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        say(reason, file.errorString());
        ::close(fd);
        return false;
    }
    return true;
#endif
}

bool isSpecialFile(const QString& path, QString* reason)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return false;
    say(reason, QStringLiteral("keine gewöhnliche Datei"));
    return true;
#else
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return false;
    say(reason, kindOf(st.st_mode));
    return true;
#endif
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit, OverLimit over, QString* reason)
{
    QFile file;
    if (!openRegularFile(file, path, reason))
        return std::nullopt;
    limit = qMax<qint64>(0, limit);
    const qint64 size = file.size();
    if (over == OverLimit::Refuse && size > limit) {
        say(reason,
            QStringLiteral("zu groß: %1 Bytes, erlaubt sind höchstens %2").arg(size).arg(byteSizeText(limit)));
        return std::nullopt;
    }
    // The size may change while reading: one byte more than allowed tells a file that grew.
    const qint64 want = over == OverLimit::Refuse ? limit + 1 : limit;
    QByteArray bytes;
    bytes.reserve(qsizetype(qMin(size, want)));
    char chunk[64 * 1024];
    while (bytes.size() < want) {
        const qint64 got = file.read(chunk, qMin<qint64>(sizeof chunk, want - bytes.size()));
        if (got < 0) {
            say(reason, file.errorString());
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    if (bytes.size() > limit) {
        say(reason, QStringLiteral("zu groß: mehr als %1").arg(byteSizeText(limit)));
        return std::nullopt;
    }
    return bytes;
}

QString byteSizeText(qint64 bytes)
{
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024)
        return QStringLiteral("%1 Bytes").arg(bytes);
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    QString number = QString::number(value, 'f', 1);
    if (number.endsWith(QLatin1String(".0")))
        number.chop(2);
    number.replace(QLatin1Char('.'), QLatin1Char(','));
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

bool saveFile(const QString& path, const QByteArray& bytes, QString* reason)
{
    // QSaveFile follows links and renames its new file over the target: never over a device or a FIFO.
    if (isSpecialFile(path, reason))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        say(reason, file.errorString());
        return false;
    }
    // Flushed here and checked: Qt 6.4's commit() ignores a flush that fails (a full disk) and then puts the
    // empty new file in place of the old one, reporting success.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError
        || !file.commit()) {
        say(reason, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace platform
