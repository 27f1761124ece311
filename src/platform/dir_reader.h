#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// One entry of a folder as the file system lists it.
struct DirEntry {
    std::string_view name;   // valid until the next call of next()
    bool isDir = false;      // a real folder; a symbolic link is never one
    bool isLink = false;
    std::uint64_t size = 0;  // 0 for folders
    std::int64_t mtime = 0;  // last write, seconds since the epoch (UTC)
};

// Lists a folder without opening any of its files: every entry, "." and ".." included, in the order the
// file system gives them. Links are reported with their own size and never followed. An entry that
// vanishes between listing and its size lookup is skipped.
class DirReader {
public:
    DirReader();
    ~DirReader();
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    // Opens a folder by its local path. False when it cannot be listed (missing, no access, no folder).
    bool open(const std::string& path);
    // Opens a sub-folder of an open reader by the name an entry of it reported.
    bool openChild(const DirReader& parent, std::string_view name);
    void close();
    bool isOpen() const;

    // Fills the next entry; false at the end or on a read error.
    bool next(DirEntry& entry);

    const std::string& path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace platform
