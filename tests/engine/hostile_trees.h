#pragma once

// Trees the file system makes awkward: deeper than a path can name, folders nobody may read.

// On Windows only the chains are built (with "\\?\" paths, which have no length limit); modes, resource limits
// and other users are POSIX's, and the tests that need them skip there.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

namespace hostile {

// An absolute path in the form Windows takes at any length.
inline std::wstring longPath(const std::string& path)
{
    std::wstring wide = std::filesystem::path(path).wstring();
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return L"\\\\?\\" + wide;
}

inline std::uint64_t makeChain(const std::string& top, int depth, const std::string& name, std::uint64_t fileSize)
{
    std::wstring folder = longPath(top);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring child = std::filesystem::path(name).wstring();
    std::uint64_t bytes = 0;
    for (int level = 0; level <= depth; ++level) {
        const HANDLE file = ::CreateFileW((folder + L"\\f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << level;
        LARGE_INTEGER size;
        size.QuadPart = LONGLONG(fileSize);
        EXPECT_TRUE(::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
        ::CloseHandle(file);
        bytes += fileSize;
        if (level == depth)
            break;
        folder += L"\\" + child;
        EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << level;
    }
    return bytes;
}

inline void removeBelowLong(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeBelowLong(path);
            ::RemoveDirectoryW(path.c_str());
        } else {
            ::DeleteFileW(path.c_str());
        }
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

// Removes what is below `path`, however long the paths get.
inline void removeBelow(const std::string& path) { removeBelowLong(longPath(path)); }

}  // namespace hostile

#else

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace hostile {

// A chain of `depth` folders named `name` below `top` (created), each level holding one file "f" of
// `fileSize` bytes, the archive folder included. Built with *at() calls, so the chain may be longer than any
// path. Returns the bytes of the tree.
inline std::uint64_t makeChain(const std::string& top, int depth, const std::string& name, std::uint64_t fileSize)
{
    ::mkdir(top.c_str(), 0755);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << top;
    std::uint64_t bytes = 0;
    for (int level = 0; fd >= 0 && level <= depth; ++level) {
        const int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(file, 0);
        EXPECT_EQ(::ftruncate(file, off_t(fileSize)), 0);
        ::close(file);
        bytes += fileSize;
        if (level == depth)
            break;
        EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
    }
    if (fd >= 0)
        ::close(fd);
    return bytes;
}

// Removes what is below an open folder, however deep; a path-based removal gives up on such chains.
inline void removeBelow(int fd)
{
    DIR* dir = ::fdopendir(::dup(fd));
    if (!dir)
        return;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            ::fchmodat(fd, name.c_str(), 0755, 0);
            const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (child >= 0) {
                removeBelow(child);
                ::close(child);
            }
            ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(fd, name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

inline void removeBelow(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        removeBelow(fd);
        ::close(fd);
    }
}

// Sets the soft limit of open files for the lifetime of the object.
class FileLimit {
public:
    explicit FileLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = soft;
        m_ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~FileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved {};
    bool m_ok = false;
};

// The uid of "nobody", whom a mode-000 folder keeps out.
constexpr uid_t kNobody = 65534;

// Runs `work` as a user without privileges: directly when the tests run as one; otherwise on a thread of
// its own that gives up root for itself alone (the raw system calls change the calling thread only, so the
// rest of the test program keeps its rights). False when root could not be given up.
inline bool runUnprivileged(const std::function<void()>& work)
{
    if (::geteuid() != 0) {
        work();
        return true;
    }
    bool dropped = false;
    std::thread thread([&] {
        dropped = ::syscall(SYS_setgroups, 0, nullptr) == 0 && ::syscall(SYS_setresgid, kNobody, kNobody, kNobody) == 0 &&
                  ::syscall(SYS_setresuid, kNobody, kNobody, kNobody) == 0;
        if (dropped)
            work();
    });
    thread.join();
    return dropped;
}

}  // namespace hostile

#endif  // _WIN32
