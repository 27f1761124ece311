// Preloaded into a program under test (LD_PRELOAD) to make calls fail the way a failing disk or share makes
// them fail, chosen by name through the environment:
//   ARVELO_FAULT_EIO=TEXT     a file or folder whose path holds TEXT opens, but reading it (read, pread,
//                             copy_file_range, sendfile, a folder's listing after its first batch) fails with EIO
//   ARVELO_FAULT_GONE=TEXT    opening a path that holds TEXT fails with ENOENT, as if it had just vanished
// Only the opened descriptors are marked, so everything else the program does runs as usual.

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxFd = 65536;
// 0: not marked; 1: marked, nothing read yet; 2: marked, its first listing batch given.
std::atomic<unsigned char> marked[kMaxFd];

template <typename F>
F real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool holds(const char* path, const char* variable)
{
    const char* text = std::getenv(variable);
    return path && text && *text && std::strstr(path, text);
}

bool failing(int fd)
{
    return fd >= 0 && fd < kMaxFd && marked[fd].load() != 0;
}

int opened(int fd, const char* path)
{
    if (fd >= 0 && fd < kMaxFd)
        marked[fd].store(holds(path, "ARVELO_FAULT_EIO") ? 1 : 0);
    return fd;
}

int eio()
{
    errno = EIO;
    return -1;
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

}  // namespace

// Each override is defined with its C signature, PARAMS, and passes its arguments, ARGS, on to the next
// definition of its name (the C library's), looked up on first use.

// The open calls: a path that is to have vanished fails with ENOENT; every other is opened and marked. The
// mode is taken from the variable arguments only when the flags say one was given.
#define ARVELO_OPEN_OVERRIDE(name, PARAMS, ARGS)                               \
    int name PARAMS                                                            \
    {                                                                          \
        va_list args;                                                          \
        va_start(args, flags);                                                 \
        const mode_t mode = modeOf(flags, args);                               \
        va_end(args);                                                          \
        if (holds(path, "ARVELO_FAULT_GONE")) {                                \
            errno = ENOENT;                                                    \
            return -1;                                                         \
        }                                                                      \
        static const auto next = real<int(*) PARAMS>(#name);                   \
        return opened(next ARGS, path);                                        \
    }

// The calls that read from the descriptor FROM: EIO when it is marked.
#define ARVELO_READ_OVERRIDE(name, PARAMS, FROM, ARGS)                         \
    ssize_t name PARAMS                                                        \
    {                                                                          \
        if (failing(FROM))                                                     \
            return eio();                                                      \
        static const auto next = real<ssize_t(*) PARAMS>(#name);               \
        return next ARGS;                                                      \
    }

extern "C" {

ARVELO_OPEN_OVERRIDE(open, (const char* path, int flags, ...), (path, flags, mode))
ARVELO_OPEN_OVERRIDE(open64, (const char* path, int flags, ...), (path, flags, mode))
ARVELO_OPEN_OVERRIDE(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
ARVELO_OPEN_OVERRIDE(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

int close(int fd)
{
    if (fd >= 0 && fd < kMaxFd)
        marked[fd].store(0);
    static const auto next = real<int (*)(int)>("close");
    return next(fd);
}

ARVELO_READ_OVERRIDE(read, (int fd, void* buffer, size_t size), fd, (fd, buffer, size))
ARVELO_READ_OVERRIDE(pread, (int fd, void* buffer, size_t size, off_t offset), fd, (fd, buffer, size, offset))
ARVELO_READ_OVERRIDE(pread64, (int fd, void* buffer, size_t size, off_t offset), fd, (fd, buffer, size, offset))
ARVELO_READ_OVERRIDE(copy_file_range, (int in, loff_t* inAt, int out, loff_t* outAt, size_t size, unsigned int flags),
                     in, (in, inAt, out, outAt, size, flags))
ARVELO_READ_OVERRIDE(sendfile, (int out, int in, off_t* offset, size_t size), in, (out, in, offset, size))
ARVELO_READ_OVERRIDE(sendfile64, (int out, int in, off_t* offset, size_t size), in, (out, in, offset, size))

// Folders are listed through syscall(SYS_getdents64, ...): a marked folder gives its first batch, then EIO,
// as a share that goes away in the middle of a listing.
long syscall(long number, ...)
{
    va_list args;
    va_start(args, number);
    long a[6];
    for (long& v : a)
        v = va_arg(args, long);
    va_end(args);
    if (number == SYS_getdents64) {
        const int fd = int(a[0]);
        if (failing(fd)) {
            unsigned char first = 1;
            if (!marked[fd].compare_exchange_strong(first, 2))
                return eio();
        }
    }
    static const auto next = real<long (*)(long, ...)>("syscall");
    return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

}  // extern "C"

#undef ARVELO_OPEN_OVERRIDE
#undef ARVELO_READ_OVERRIDE
