#include "platform/dir_reader.h"

#ifdef _WIN32
#include <windows.h>
#include <QString>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

#ifndef _WIN32

namespace {

// The layout getdents64 writes; glibc 2.36 has no wrapper for it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

constexpr std::size_t kBufferSize = 32 * 1024;
// Entries looked up in one go: few enough that a stop between two entries is seen soon on a slow share
// too, where each lookup is a round trip.
constexpr std::size_t kLookups = 32;

// An entry of the batch last read, looked up already.
struct Looked {
    std::uint32_t nameAt = 0;  // of the name in the buffer
    std::uint32_t nameSize = 0;
    bool isDir = false;
    bool isLink = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
};

// The working folder of a thread that has one of its own (ownWorkingFolder): where it returns after each
// batch, so that relative paths elsewhere on the thread keep their meaning.
struct ThreadHome {
    int fd = -1;
    ~ThreadHome()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
thread_local ThreadHome threadHome;

}  // namespace

struct DirReader::Impl {
    int fd = -1;
    std::string path;
    std::vector<char> buffer;
    long filled = 0;  // bytes of the last read of the listing
    long pos = 0;     // of its first entry not looked up yet
    std::vector<Looked> batch;
    std::size_t served = 0;
    int error = 0;

    // Looks up the next few entries, reading more of the listing when it needs to; false at the end or on
    // a read error. The batch may be empty when every entry looked up had vanished.
    bool refill(FolderTimes folderTimes, bool kindsOnly);
};

bool DirReader::ownWorkingFolder()
{
    if (threadHome.fd >= 0)
        return true;
    const int home = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (home < 0)
        return false;
    // The way back must work before the thread ever leaves (a working folder it may not enter again).
    if (::unshare(CLONE_FS) != 0 || ::fchdir(home) != 0) {
        ::close(home);
        return false;
    }
    threadHome.fd = home;
    return true;
}

bool DirReader::Impl::refill(FolderTimes folderTimes, bool kindsOnly)
{
    batch.clear();
    served = 0;
    if (pos >= filled) {
        if (buffer.empty())
            buffer.resize(kBufferSize);
        const long n = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (n <= 0) {
            if (n < 0)
                error = errno;
            filled = pos = 0;
            return false;
        }
        filled = n;
        pos = 0;
    }
    // With a working folder of the thread's own, the lookups go from there: a lookup through a descriptor
    // counts a reference to it in a process with several threads, one from the working folder does not.
    // The folder is entered at the batch's first lookup; a batch without any does not enter it.
    bool entered = false, fromHere = false;
    int at = fd;
    while (pos < filled && batch.size() < kLookups) {
        const auto* de = reinterpret_cast<const LinuxDirent64*>(buffer.data() + pos);
        pos += de->d_reclen;
        Looked e;
        e.nameAt = std::uint32_t(de->d_name - buffer.data());
        e.nameSize = std::uint32_t(std::strlen(de->d_name));
        if (kindsOnly && de->d_type != DT_UNKNOWN) {
            e.isDir = de->d_type == DT_DIR;
            e.isLink = de->d_type == DT_LNK;
            batch.push_back(e);
            continue;
        }
        if (de->d_type == DT_DIR && folderTimes && !folderTimes(std::string_view(de->d_name, e.nameSize))) {
            // A folder by the listing's word, so no link; its size counts 0 and its time is not wanted.
            e.isDir = true;
            batch.push_back(e);
            continue;
        }
        if (!entered) {
            entered = true;
            fromHere = threadHome.fd >= 0 && ::fchdir(fd) == 0;
            at = fromHere ? AT_FDCWD : fd;
        }
        struct stat st;
        if (fstatat(at, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished since it was listed
        e.isLink = S_ISLNK(st.st_mode);
        e.isDir = S_ISDIR(st.st_mode);
        e.size = e.isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
        e.mtime = st.st_mtim.tv_sec;
        batch.push_back(e);
    }
    if (fromHere && ::fchdir(threadHome.fd) != 0) {
        // Stranded in the listed folder: give the home up rather than look up from the wrong place later.
        ::close(threadHome.fd);
        threadHome.fd = -1;
    }
    return true;
}

DirReader::DirReader() : d(std::make_unique<Impl>()) {}

DirReader::~DirReader() { close(); }

bool DirReader::open(const std::string& path)
{
    close();
    d->path = path;
    d->fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d->fd < 0)
        d->error = errno;
    return d->fd >= 0;
}

bool DirReader::openChild(const DirReader& parent, std::string_view name)
{
    close();
    d->path = parent.d->path;
    if (d->path.empty() || d->path.back() != '/')
        d->path.push_back('/');
    d->path.append(name);
    const std::string child(name);
    // O_NOFOLLOW: a link that replaced the folder since it was listed is not entered either.
    d->fd = ::openat(parent.d->fd, child.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (d->fd < 0)
        d->error = errno;
    return d->fd >= 0;
}

bool DirReader::openBelow(const DirReader& anchor, std::string_view relative)
{
    close();
    d->path = anchor.d->path;
    if (d->path.empty() || d->path.back() != '/')
        d->path.push_back('/');
    d->path.append(relative);
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
    const std::string whole(relative);
    d->fd = ::openat(anchor.d->fd, whole.c_str(), flags);
    if (d->fd < 0 && errno == ENAMETOOLONG) {
        // Longer than the system takes in one call: one component at a time.
        int at = anchor.d->fd;
        std::size_t from = 0;
        while (from <= whole.size()) {
            const std::size_t slash = std::min(whole.find('/', from), whole.size());
            const std::string part = whole.substr(from, slash - from);
            const int fd = ::openat(at, part.c_str(), flags);
            const int saved = errno;
            if (at != anchor.d->fd)
                ::close(at);
            if (fd < 0) {
                errno = saved;
                at = -1;
                break;
            }
            at = fd;
            from = slash + 1;
        }
        d->fd = at;
    }
    if (d->fd < 0)
        d->error = errno;
    return d->fd >= 0;
}

void DirReader::close()
{
    if (d->fd >= 0)
        ::close(d->fd);
    d->fd = -1;
    d->filled = d->pos = 0;
    d->batch.clear();
    d->served = 0;
    d->error = 0;
}

bool DirReader::isOpen() const { return d->fd >= 0; }

int DirReader::error() const { return d->error; }

const std::string& DirReader::path() const { return d->path; }

WholeFileResult DirReader::readFile(std::string_view name, std::vector<char>& buffer, std::string& reason) const
{
    return readWholeFileAt(d->fd, d->path, std::string(name), buffer, reason);
}

bool DirReader::next(DirEntry& entry)
{
    if (d->fd < 0 || d->error != 0)
        return false;
    // An empty batch (every entry vanished) is no end yet: the end is a read of the listing that gives nothing.
    while (d->served >= d->batch.size())
        if (!d->refill(m_folderTimes, m_kindsOnly))
            return false;
    const Looked& e = d->batch[d->served++];
    entry.name = std::string_view(d->buffer.data() + e.nameAt, e.nameSize);
    entry.isDir = e.isDir;
    entry.isLink = e.isLink;
    entry.size = e.size;
    entry.mtime = e.mtime;
    return true;
}

#else  // _WIN32

struct DirReader::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    WIN32_FIND_DATAW data;
    bool pending = false;
    std::string name;
    int error = 0;
};

namespace {

// A path the system takes whatever its length: an absolute one gets the "\\?\" prefix (and a UNC one
// "\\?\UNC\"), which lifts the limit of 260 characters; those paths take backslashes only.
std::wstring systemPath(const std::string& path)
{
    std::wstring wide = QString::fromStdString(path).toStdWString();
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.rfind(L"\\\\?\\", 0) == 0)
        return wide;
    if (wide.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\')
        return L"\\\\?\\" + wide;
    return wide;
}

bool isFolder(const std::wstring& path, bool* exists)
{
    const DWORD attrs = GetFileAttributesW(path.c_str());
    *exists = attrs != INVALID_FILE_ATTRIBUTES;
    return *exists && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Why a folder could not be listed, in the terms of the other systems: the same answers whatever error
// code this version of Windows gives for a file, or a path through one.
int listingError(const std::wstring& folder)
{
    bool exists = false;
    if (isFolder(folder, &exists))
        return EACCES;
    if (exists)
        return ENOTDIR;
    std::wstring up = folder;
    while (true) {
        const std::size_t cut = up.find_last_of(L'\\');
        if (cut == std::wstring::npos || cut < 3)
            return ENOENT;
        up.resize(cut);
        if (isFolder(up, &exists))
            return ENOENT;
        if (exists)
            return ENOTDIR;
    }
}

}  // namespace

DirReader::DirReader() : d(std::make_unique<Impl>()) {}

DirReader::~DirReader() { close(); }

bool DirReader::ownWorkingFolder() { return false; }

bool DirReader::open(const std::string& path)
{
    close();
    d->path = path;
    const std::wstring folder = systemPath(path);
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern.push_back(L'\\');
    pattern += L"*";
    d->handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &d->data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
    d->pending = d->handle != INVALID_HANDLE_VALUE;
    if (!d->pending)
        d->error = listingError(folder);
    return d->pending;
}

bool DirReader::openChild(const DirReader& parent, std::string_view name)
{
    std::string path = parent.d->path;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path.push_back('\\');
    path.append(name);
    return open(path);
}

bool DirReader::openBelow(const DirReader& anchor, std::string_view relative)
{
    std::string path = anchor.d->path;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path.push_back('\\');
    for (char c : relative)
        path.push_back(c == '/' ? '\\' : c);
    return open(path);
}

void DirReader::close()
{
    if (d->handle != INVALID_HANDLE_VALUE)
        FindClose(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    d->pending = false;
    d->error = 0;
}

bool DirReader::isOpen() const { return d->handle != INVALID_HANDLE_VALUE; }

int DirReader::error() const { return d->error; }

const std::string& DirReader::path() const { return d->path; }

WholeFileResult DirReader::readFile(std::string_view name, std::vector<char>& buffer, std::string& reason) const
{
    std::string path = d->path;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path.push_back('\\');
    path.append(name);
    return readWholeFile(path, buffer, reason);
}

bool DirReader::next(DirEntry& entry)
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return false;
    if (!d->pending && !FindNextFileW(d->handle, &d->data)) {
        if (GetLastError() != ERROR_NO_MORE_FILES)
            d->error = EIO;  // the listing broke off: what was read so far stands, the folder counts as failed
        return false;
    }
    d->pending = false;
    d->name = QString::fromWCharArray(d->data.cFileName).toStdString();
    entry.name = d->name;
    const DWORD attrs = d->data.dwFileAttributes;
    entry.isLink = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.isDir = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0 && !entry.isLink;
    entry.size = entry.isDir ? 0
                             : (std::uint64_t(d->data.nFileSizeHigh) << 32) | d->data.nFileSizeLow;
    const std::uint64_t ticks =
        (std::uint64_t(d->data.ftLastWriteTime.dwHighDateTime) << 32) | d->data.ftLastWriteTime.dwLowDateTime;
    entry.mtime = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
    return true;
}

#endif

}  // namespace platform
