#include "platform/file_copy.h"

#include "platform/excerpt.h"

#include <QByteArray>
#include <QFileDevice>

#ifndef Q_OS_WIN
#include <cerrno>
#include <unistd.h>
#endif

namespace platform {

namespace {

bool fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

#ifndef Q_OS_WIN
// Where the kernel cannot copy between these two descriptors (older kernels across file systems, special
// files, a target opened for appending), the bytes go through the program instead.
bool kernelCannotCopy(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF
        || error == EPERM || error == ETXTBSY || error == ESPIPE;
}
#endif

}  // namespace

bool copyRest(QFileDevice& from, QFileDevice& to, QString* reason)
{
    if (!to.flush())
        return fail(reason, to.errorString());

#ifndef Q_OS_WIN
    const int in = from.handle();
    const int out = to.handle();
    if (in >= 0 && out >= 0) {
        loff_t inAt = from.pos();
        loff_t outAt = to.pos();
        bool moved = false;
        for (;;) {
            const ssize_t copied = ::copy_file_range(in, &inAt, out, &outAt, std::size_t(1) << 30, 0);
            if (copied > 0) {
                moved = true;
                continue;
            }
            const int error = copied < 0 ? errno : 0;
            if (error == EINTR)
                continue;
            if (moved && !(from.seek(inAt) && to.seek(outAt)))
                return fail(reason, to.errorString());
            if (!error)
                return true;
            if (!kernelCannotCopy(error))
                return fail(reason, systemErrorText(error));
            break;  // go on below from where the kernel stopped
        }
    }
#endif

    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(chunk.data(), chunk.size());
        if (got < 0)
            return fail(reason, from.errorString());
        if (got == 0)
            return to.flush() || fail(reason, to.errorString());
        if (to.write(chunk.constData(), got) != got)
            return fail(reason, to.errorString());
    }
}

}  // namespace platform
