#pragma once

// Special files where a program expects a regular one, and a guard that turns a read which would wait for ever
// into a test failure. Shared by the tests of every layer that reads files.

// Windows has neither FIFOs nor /dev/zero: the tests that need them skip there.
#ifndef _WIN32

#include <QFile>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace specialfiles {

inline bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

inline bool linkToDevZero(const QString& path)
{
    return QFile::link(QStringLiteral("/dev/zero"), path);
}

// Runs `read` and tells whether it came back within `patience`. If it did not, it is stuck on the FIFO `fifo`:
// writers that leave at once then give it an end of file each time it opens the FIFO, so the test fails
// instead of hanging.
template <typename Read>
bool endsWithoutWaiting(Read read, const QString& fifo, std::chrono::seconds patience = std::chrono::seconds(10))
{
    auto done = std::async(std::launch::async, std::move(read));
    if (done.wait_for(patience) == std::future_status::ready) {
        done.get();
        return true;
    }
    const QByteArray name = QFile::encodeName(fifo);
    do {
        const int writer = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    } while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready);
    done.get();
    return false;
}

}  // namespace specialfiles

#endif  // _WIN32
