#include "export/file_ops.h"

#include "platform/excerpt.h"
#include "platform/file_copy.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace exportfiles {

namespace {

void setReason(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
}

#ifndef Q_OS_WIN
// Copies into a target created exclusively, flushed to disk before the caller removes the source.
bool copyExclusive(const QByteArray& from, const QByteArray& to, int* error)
{
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = errno;
        return false;
    }
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // umask applies
    if (out < 0) {
        *error = errno;
        ::close(in);
        return false;
    }
    QFile source;
    QFile target;
    source.open(in, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    target.open(out, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    errno = 0;
    bool ok = platform::copyRest(source, target) && ::fsync(out) == 0;
    *error = errno ? errno : EIO;
    source.close();
    target.close();
    ok = ok && target.error() == QFileDevice::NoError;
    if (!ok)
        ::unlink(to.constData());
    return ok;
}
#endif

// A new file in the target's folder that takes the target's name once it is complete. Created under a name
// of its own with O_EXCL: an unnamed O_TMPFILE file (what QTemporaryFile takes on Linux) costs ext4 far more.
// When no file of the target's name exists, there is nothing to keep: the target itself is created
// exclusively and written directly, which spares a rename per file, and removed again when writing fails.
class Replacement {
public:
    explicit Replacement(const QString& target) : m_target(target) {}
    ~Replacement()
    {
        if (m_file.isOpen())
            m_file.close();
        if (!m_committed && !m_file.fileName().isEmpty())
            QFile::remove(m_file.fileName());
    }

    bool open(QString* reason)
    {
        m_file.setFileName(m_target);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_direct = true;
            return true;
        }
        const QString folder = QFileInfo(m_target).absolutePath() + QStringLiteral("/.~arvelo-");
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_file.setFileName(folder + QString::number(QRandomGenerator::global()->generate64(), 36));
            if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return true;
            if (m_file.error() != QFileDevice::OpenError || !QFileInfo::exists(m_file.fileName()))
                break;
        }
        setReason(reason, m_file.errorString());
        m_file.setFileName(QString());
        return false;
    }

    QFile& file() { return m_file; }

    bool commit(QString* reason)
    {
        if (!m_file.flush()) {
            setReason(reason, m_file.errorString());
            return false;
        }
        const QString temporary = m_file.fileName();
        m_file.close();
        if (m_file.error() != QFileDevice::NoError) {
            setReason(reason, m_file.errorString());
            return false;
        }
        if (m_direct) {
            m_committed = true;
            return true;
        }
        // std::rename replaces the target in one step; QFile::rename would refuse an existing one.
#ifdef Q_OS_WIN
        if (!MoveFileExW(reinterpret_cast<const wchar_t*>(temporary.utf16()),
                         reinterpret_cast<const wchar_t*>(m_target.utf16()), MOVEFILE_REPLACE_EXISTING)) {
            setReason(reason, QStringLiteral("Fehler %1").arg(GetLastError()));
            return false;
        }
#else
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_target).constData()) != 0) {
            setReason(reason, platform::systemErrorText(errno));
            return false;
        }
#endif
        m_committed = true;
        return true;
    }

private:
    QString m_target;
    QFile m_file;
    bool m_direct = false;
    bool m_committed = false;
};

}  // namespace

MoveResult moveFileNoReplace(const QString& from, const QString& to, QString* reason)
{
#ifdef Q_OS_WIN
    // The system's move: copy allowed across volumes, written through, never replacing.
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()), reinterpret_cast<const wchar_t*>(to.utf16()),
                    MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return MoveResult::Moved;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        setReason(reason, QStringLiteral("Die Datei ist schon vorhanden."));
        return MoveResult::TargetExists;
    }
    setReason(reason, QStringLiteral("Fehler %1").arg(error));
    return MoveResult::Failed;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const auto exists = [reason] {
        setReason(reason, QStringLiteral("Die Datei ist schon vorhanden."));
        return MoveResult::TargetExists;
    };
    const auto failed = [reason](int error) {
        setReason(reason, platform::systemErrorText(error));
        return MoveResult::Failed;
    };

    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return MoveResult::Moved;
    int error = errno;
    if (error == EEXIST)
        return exists();
    if (error == EINVAL || error == ENOSYS || error == EPERM) {
        // File systems without an exclusive rename: a second link fails on an existing name just the same.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return MoveResult::Moved;
        }
        error = errno;
        if (error == EEXIST)
            return exists();
    }
    if (error != EXDEV && error != EPERM && error != ENOTSUP && error != EINVAL && error != ENOSYS)
        return failed(error);
    if (!copyExclusive(source, target, &error))
        return error == EEXIST ? exists() : failed(error);
    ::unlink(source.constData());
    return MoveResult::Moved;
#endif
}

bool writeFileReplacing(const QString& path, const QByteArray& bytes, QString* reason)
{
    Replacement replacement(path);
    if (!replacement.open(reason))
        return false;
    if (replacement.file().write(bytes) != bytes.size()) {
        setReason(reason, replacement.file().errorString());
        return false;
    }
    return replacement.commit(reason);
}

bool copyFileReplacing(const QString& from, const QString& to, QString* reason)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        setReason(reason, source.errorString());
        return false;
    }
    Replacement replacement(to);
    if (!replacement.open(reason))
        return false;
    if (!platform::copyRest(source, replacement.file(), reason))
        return false;
    return replacement.commit(reason);
}

}  // namespace exportfiles
