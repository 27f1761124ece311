// A read-only pass-through file system that behaves like a share reached over a network: every metadata call
// (lookup, getattr, opendir, readdir) waits a given time before it is answered, the kernel keeps no attributes
// or entries, and calls are answered by many threads at once. It counts the calls it answers, and it can make
// chosen calls fail or folders vanish, for tests of how a walk copes with a flaky share.
//
// See usage() for the options. Counters are read from the hidden file .slow_share_calls in the mount's root
// (never listed, not counted itself).

#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kernel's lookups reach a pass-through of this kind as getattr calls, so they are counted as such.
enum Op { Getattr, Opendir, Readdir, Readlink, Read, OpCount };
const char* const kOpNames[OpCount] = {"getattr", "opendir", "readdir", "readlink", "read"};
constexpr const char* kCallsFile = "/.slow_share_calls";

struct Settings {
    std::string source;
    int rootFd = -1;
    std::chrono::microseconds delay {1000};
    std::vector<std::string> failPatterns;  // fnmatch patterns of paths whose chosen calls fail with EIO
    unsigned failOps = 0;                   // bit per Op; where none was chosen: getattr, readdir, read
    long failEvery = 0;                     // >0: every Nth chosen call fails with EIO, whatever the path
    std::vector<std::string> vanishPatterns;  // folders listed by their parent but gone when looked at
};

Settings g;
std::atomic<long> g_calls[OpCount];
std::atomic<long> g_chosenCalls {0};
std::atomic<long> g_failed {0};

void usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [options] SOURCE MOUNTPOINT [fuse options]\n"
                 "\n"
                 "Mounts SOURCE read-only at MOUNTPOINT like a slow network share: every lookup (answered as\n"
                 "getattr), getattr, opendir, readdir and readlink waits before it is answered; attribute, entry and negative caching are\n"
                 "off; calls are answered by up to 128 threads at once. Runs in the foreground until unmounted\n"
                 "(fusermount3 -u MOUNTPOINT) or interrupted.\n"
                 "\n"
                 "  --delay MS           wait in every metadata call, in milliseconds (decimals allowed; default 1)\n"
                 "  --fail GLOB          calls on paths matching GLOB fail with EIO (fnmatch against the path\n"
                 "                       below the mount, with a leading '/', e.g. '*/USER/0000A1B2/*'); repeatable\n"
                 "  --fail-every N       every Nth of the chosen calls fails with EIO, whatever its path\n"
                 "  --fail-ops LIST      the calls --fail and --fail-every apply to, comma-separated among\n"
                 "                       getattr,opendir,readdir,readlink,read (default getattr,readdir,read)\n"
                 "  --vanish GLOB        folders matching GLOB are still listed by their parent but are gone\n"
                 "                       (ENOENT) when looked up or opened, as if removed meanwhile; repeatable\n"
                 "\n"
                 "The calls answered so far, by kind, and the calls made to fail are read from\n"
                 "MOUNTPOINT/.slow_share_calls (one 'name count' line each; never listed, not counted).\n",
                 program);
}

std::string relative(const char* path)
{
    return path[0] == '/' && path[1] == '\0' ? std::string(".") : std::string(path + 1);
}

bool matchesAny(const std::vector<std::string>& patterns, const char* path)
{
    for (const std::string& p : patterns)
        if (fnmatch(p.c_str(), path, 0) == 0)
            return true;
    return false;
}

// Counts a call and waits; returns the error the call must give, or 0.
int enter(Op op, const char* path, bool metadata)
{
    g_calls[op].fetch_add(1, std::memory_order_relaxed);
    if (metadata && g.delay.count() > 0)
        std::this_thread::sleep_for(g.delay);
    if (op != Read && op != Readdir && matchesAny(g.vanishPatterns, path))
        return -ENOENT;
    if (g.failOps & (1u << op)) {
        const long n = g_chosenCalls.fetch_add(1, std::memory_order_relaxed) + 1;
        if ((g.failEvery > 0 && n % g.failEvery == 0) || matchesAny(g.failPatterns, path)) {
            g_failed.fetch_add(1, std::memory_order_relaxed);
            return -EIO;
        }
    }
    return 0;
}

std::string callsText()
{
    std::string text;
    for (int op = 0; op < OpCount; ++op)
        text += std::string(kOpNames[op]) + ' ' + std::to_string(g_calls[op].load()) + '\n';
    text += "failed " + std::to_string(g_failed.load()) + '\n';
    return text;
}

void* fsInit(fuse_conn_info*, fuse_config* cfg)
{
    cfg->attr_timeout = 0;
    cfg->entry_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->use_ino = 1;
    cfg->kernel_cache = 0;
    return nullptr;
}

int fsGetattr(const char* path, struct stat* st, fuse_file_info*)
{
    if (std::strcmp(path, kCallsFile) == 0) {
        std::memset(st, 0, sizeof *st);
        st->st_mode = S_IFREG | 0444;
        st->st_nlink = 1;
        st->st_size = 4096;
        return 0;
    }
    if (const int error = enter(Getattr, path, true))
        return error;
    return fstatat(g.rootFd, relative(path).c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

int fsReadlink(const char* path, char* buffer, size_t size)
{
    if (const int error = enter(Readlink, path, true))
        return error;
    const ssize_t n = readlinkat(g.rootFd, relative(path).c_str(), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

int fsOpendir(const char* path, fuse_file_info* fi)
{
    if (const int error = enter(Opendir, path, true))
        return error;
    const int fd = openat(g.rootFd, relative(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        close(fd);
        return -error;
    }
    fi->fh = reinterpret_cast<uint64_t>(dir);
    return 0;
}

int fsReaddir(const char* path, void* buffer, fuse_fill_dir_t filler, off_t, fuse_file_info* fi, fuse_readdir_flags)
{
    if (const int error = enter(Readdir, path, true))
        return error;
    DIR* dir = reinterpret_cast<DIR*>(fi->fh);
    rewinddir(dir);
    errno = 0;
    // The whole folder in one answer (offset 0 throughout); the kernel asks for the rest from the library.
    while (dirent* e = readdir(dir)) {
        struct stat st {};
        st.st_ino = e->d_ino;
        st.st_mode = DTTOIF(e->d_type);
        if (filler(buffer, e->d_name, &st, 0, fuse_fill_dir_flags(0)) != 0)
            break;
    }
    return errno == 0 ? 0 : -errno;
}

int fsReleasedir(const char*, fuse_file_info* fi)
{
    closedir(reinterpret_cast<DIR*>(fi->fh));
    return 0;
}

int fsOpen(const char* path, fuse_file_info* fi)
{
    if (std::strcmp(path, kCallsFile) == 0) {
        fi->direct_io = 1;
        fi->fh = ~uint64_t(0);
        return 0;
    }
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    const int fd = openat(g.rootFd, relative(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    return 0;
}

int fsRead(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi)
{
    if (fi->fh == ~uint64_t(0)) {
        const std::string text = callsText();
        if (offset >= off_t(text.size()))
            return 0;
        const size_t n = std::min(size, text.size() - size_t(offset));
        std::memcpy(buffer, text.data() + offset, n);
        return int(n);
    }
    if (const int error = enter(Read, path, false))
        return error;
    const ssize_t n = pread(int(fi->fh), buffer, size, offset);
    return n < 0 ? -errno : int(n);
}

int fsRelease(const char*, fuse_file_info* fi)
{
    if (fi->fh != ~uint64_t(0))
        close(int(fi->fh));
    return 0;
}

int fsStatfs(const char*, struct statvfs* st)
{
    return fstatvfs(g.rootFd, st) == 0 ? 0 : -errno;
}

bool parseOps(const char* text, unsigned& ops)
{
    ops = 0;
    std::string list(text);
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string name = list.substr(at, comma - at);
        int op = 0;
        while (op < OpCount && name != kOpNames[op])
            ++op;
        if (op == OpCount)
            return false;
        ops |= 1u << op;
        at = comma + 1;
    }
    return ops != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest {argv[0]};
    bool opsChosen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            usage(argv[0]);
            return 0;
        } else if (a == "--delay" && hasValue) {
            char* end = nullptr;
            const double ms = std::strtod(argv[++i], &end);
            if (*end || ms < 0) {
                std::fprintf(stderr, "%s: --delay wants milliseconds, not '%s'\n", argv[0], argv[i]);
                return 2;
            }
            g.delay = std::chrono::microseconds(long(ms * 1000));
        } else if (a == "--fail" && hasValue) {
            g.failPatterns.emplace_back(argv[++i]);
        } else if (a == "--fail-every" && hasValue) {
            g.failEvery = std::atol(argv[++i]);
            if (g.failEvery <= 0) {
                std::fprintf(stderr, "%s: --fail-every wants a count above 0\n", argv[0]);
                return 2;
            }
        } else if (a == "--fail-ops" && hasValue) {
            if (!parseOps(argv[++i], g.failOps)) {
                std::fprintf(stderr, "%s: --fail-ops: unknown call in '%s'\n", argv[0], argv[i]);
                return 2;
            }
            opsChosen = true;
        } else if (a == "--vanish" && hasValue) {
            g.vanishPatterns.emplace_back(argv[++i]);
        } else if (g.source.empty() && a.rfind("-", 0) != 0) {
            g.source = a;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (g.source.empty() || rest.size() < 2) {
        usage(argv[0]);
        return 2;
    }
    if (!opsChosen && (g.failEvery > 0 || !g.failPatterns.empty()))
        g.failOps = (1u << Getattr) | (1u << Readdir) | (1u << Read);
    g.rootFd = open(g.source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g.rootFd < 0) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", argv[0], g.source.c_str(), std::strerror(errno));
        return 1;
    }

    static char foreground[] = "-f";
    static char options[] = "-o";
    static char values[] = "ro,max_threads=128,max_idle_threads=128,fsname=slow_share";
    rest.push_back(foreground);
    rest.push_back(options);
    rest.push_back(values);

    fuse_operations ops {};
    ops.init = fsInit;
    ops.getattr = fsGetattr;
    ops.readlink = fsReadlink;
    ops.opendir = fsOpendir;
    ops.readdir = fsReaddir;
    ops.releasedir = fsReleasedir;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.release = fsRelease;
    ops.statfs = fsStatfs;
    return fuse_main(int(rest.size()), rest.data(), &ops, nullptr);
}
