#include "platform/dir_reader.h"

#ifdef _WIN32
#include <windows.h>
#include <QString>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

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

}  // namespace

struct DirReader::Impl {
    int fd = -1;
    std::string path;
    std::vector<char> buffer;
    long filled = 0;
    long pos = 0;
    bool failed = false;
};

DirReader::DirReader() : d(std::make_unique<Impl>()) {}

DirReader::~DirReader() { close(); }

bool DirReader::open(const std::string& path)
{
    close();
    d->path = path;
    d->fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    if (d->fd < 0 && (errno == EMFILE || errno == ENFILE)) {
        // Very deep trees can run out of descriptors (each level holds one); the full path still works
        // as long as it fits.
        d->fd = ::open(d->path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    }
    return d->fd >= 0;
}

void DirReader::close()
{
    if (d->fd >= 0)
        ::close(d->fd);
    d->fd = -1;
    d->filled = d->pos = 0;
    d->failed = false;
}

bool DirReader::isOpen() const { return d->fd >= 0; }

const std::string& DirReader::path() const { return d->path; }

bool DirReader::next(DirEntry& entry)
{
    if (d->fd < 0 || d->failed)
        return false;
    if (d->buffer.empty())
        d->buffer.resize(kBufferSize);
    for (;;) {
        if (d->pos >= d->filled) {
            const long n = syscall(SYS_getdents64, d->fd, d->buffer.data(), d->buffer.size());
            if (n <= 0) {
                d->failed = n < 0;
                d->filled = d->pos = 0;
                return false;
            }
            d->filled = n;
            d->pos = 0;
        }
        auto* de = reinterpret_cast<LinuxDirent64*>(d->buffer.data() + d->pos);
        d->pos += de->d_reclen;
        const char* name = de->d_name;
        entry.name = std::string_view(name, std::strlen(name));

        struct stat st;
        if (fstatat(d->fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // vanished since it was listed
        entry.isLink = S_ISLNK(st.st_mode);
        entry.isDir = S_ISDIR(st.st_mode);
        entry.size = entry.isDir ? 0 : static_cast<std::uint64_t>(st.st_size);
        entry.mtime = st.st_mtim.tv_sec;
        return true;
    }
}

#else  // _WIN32

struct DirReader::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    WIN32_FIND_DATAW data;
    bool pending = false;
    std::string name;
};

DirReader::DirReader() : d(std::make_unique<Impl>()) {}

DirReader::~DirReader() { close(); }

bool DirReader::open(const std::string& path)
{
    close();
    d->path = path;
    std::wstring pattern = QString::fromStdString(path).toStdWString();
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
        pattern.push_back(L'\\');
    pattern += L"*.*";
    d->handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &d->data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
    d->pending = d->handle != INVALID_HANDLE_VALUE;
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

void DirReader::close()
{
    if (d->handle != INVALID_HANDLE_VALUE)
        FindClose(d->handle);
    d->handle = INVALID_HANDLE_VALUE;
    d->pending = false;
}

bool DirReader::isOpen() const { return d->handle != INVALID_HANDLE_VALUE; }

const std::string& DirReader::path() const { return d->path; }

bool DirReader::next(DirEntry& entry)
{
    if (d->handle == INVALID_HANDLE_VALUE)
        return false;
    if (!d->pending && !FindNextFileW(d->handle, &d->data))
        return false;
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
