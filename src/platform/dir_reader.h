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
    // Opens a folder below an open reader by its path relative to it ("a/b/c"), however long that path is.
    // As with openChild, the folder itself is not entered when it is a link (the walk gives only paths of
    // folders it listed as real ones, so a link further up means the tree changed under it).
    bool openBelow(const DirReader& anchor, std::string_view relative);
    void close();
    bool isOpen() const;

    // Fills the next entry; false at the end or on a read error.
    bool next(DirEntry& entry);
    // The system's error number of the last open or read that failed; 0 when none did since open.
    int error() const;

    const std::string& path() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace platform
