#include "platform/whole_file.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#include <QString>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifndef _WIN32

namespace {

// O_NONBLOCK: opening a pipe must not wait for a writer; it is refused after the open anyway.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

// The reason a read failed, naming the file by `path`, or by `name` in the folder `path` when there is a name.
std::string failure(const std::string& path, const std::string* name, int error)
{
    std::string file = path;
    if (name) {
        if (file.empty() || file.back() != '/')
            file.push_back('/');
        file.append(*name);
    }
    return file + ": " + std::strerror(error);
}

// Reads the file just opened as `fd` (-1: the open failed, errno says why) and closes it; `path` and `name`
// as for failure().
WholeFileResult readOpened(int fd, const std::string& path, const std::string* name, std::vector<char>& buffer,
                           std::string& reason)
{
    if (fd < 0) {
        if (errno == ELOOP)
            return WholeFileResult::NotRegular;
        reason = failure(path, name, errno);
        return WholeFileResult::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        reason = failure(path, name, errno);
        ::close(fd);
        return WholeFileResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return WholeFileResult::NotRegular;
    }
    // One read for the size the file has now; a file that grew meanwhile is read on in blocks.
    std::size_t filled = 0;
    buffer.resize(std::size_t(st.st_size) + 1);
    for (;;) {
        if (filled == buffer.size())
            buffer.resize(buffer.size() + 64 * 1024);
        const ssize_t n = ::read(fd, buffer.data() + filled, buffer.size() - filled);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = failure(path, name, errno);
            ::close(fd);
            buffer.clear();
            return WholeFileResult::Failed;
        }
        filled += std::size_t(n);
        if (n == 0 || filled < buffer.size())
            break;  // end of file, or a short read of a regular file, which only happens at its end
    }
    ::close(fd);
    buffer.resize(filled);
    return WholeFileResult::Read;
}

}  // namespace

WholeFileResult readWholeFile(const std::string& path, std::vector<char>& buffer, std::string& reason)
{
    buffer.clear();
    return readOpened(::open(path.c_str(), kOpenFlags), path, nullptr, buffer, reason);
}

WholeFileResult readWholeFileAt(int folder, const std::string& folderPath, const std::string& name,
                                std::vector<char>& buffer, std::string& reason)
{
    buffer.clear();
    return readOpened(::openat(folder, name.c_str(), kOpenFlags), folderPath, &name, buffer, reason);
}

#else  // _WIN32

WholeFileResult readWholeFile(const std::string& path, std::vector<char>& buffer, std::string& reason)
{
    buffer.clear();
    const std::wstring wide = QString::fromStdString(path).toStdWString();
    const auto fail = [&](DWORD error) {
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        reason = path + ": " + (text ? QString::fromWCharArray(text).trimmed().toStdString() : std::string("?"));
        LocalFree(text);
        return WholeFileResult::Failed;
    };
    // Shared for reading only: a program writing the file makes the open fail, as it should.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        return fail(error);
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(h);
        return WholeFileResult::NotRegular;
    }
    const std::uint64_t size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    buffer.resize(std::size_t(size));
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        DWORD got = 0;
        const DWORD want = DWORD(std::min<std::size_t>(buffer.size() - filled, 1 << 30));
        if (!ReadFile(h, buffer.data() + filled, want, &got, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(h);
            buffer.clear();
            return fail(error);
        }
        if (got == 0)
            break;
        filled += got;
    }
    CloseHandle(h);
    buffer.resize(filled);
    return WholeFileResult::Read;
}

#endif

}  // namespace platform
