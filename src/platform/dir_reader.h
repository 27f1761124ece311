#pragma once

#include "platform/whole_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
    // Says which folders need their last-write time, by name.
    using FolderTimes = bool (*)(std::string_view name);

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

    // Fills the next entry; false at the end or on a read error. Entries are looked up a few at a time
    // (up to 32), all before the first of them is reported.
    bool next(DirEntry& entry);
    // The system's error number of the last open or read that failed; 0 when none did since open.
    int error() const;

    const std::string& path() const;

    // Where the listing itself marks an entry as a folder, and the filter does not want that folder's time,
    // the entry is reported without a lookup of its own (mtime 0): one system call less per folder, "." and
    // ".." among them. Without a filter (the default) every entry is looked up. Where the listing brings
    // the times anyway (Windows), the filter changes nothing.
    void setFolderTimes(FolderTimes wanted) { m_folderTimes = wanted; }
    // Where the listing itself gives an entry's kind (folder, link or anything else), the entry is reported
    // with that kind alone, without a lookup: size 0 and mtime 0, for folders and files alike. Entries whose
    // kind the listing leaves open are looked up as before. For walks that need names and kinds only.
    void setKindsOnly(bool kindsOnly) { m_kindsOnly = kindsOnly; }

    // Reads a file of the open folder whole, by the name an entry of it reported, as readWholeFile does
    // (no link followed, nothing but a regular file read; the reason names the file's path).
    WholeFileResult readFile(std::string_view name, std::vector<char>& buffer, std::string& reason) const;

    // Gives the calling thread a working folder of its own (Linux: it stops sharing it with the other
    // threads), from which readers on this thread then look entries up: they enter each folder for a few
    // lookups at a time and return at once. A lookup through a folder's descriptor counts a reference to it
    // whenever the process has several threads; one from the working folder does not, which saves a few
    // per cent of a walk. For threads that walk folders; elsewhere relative paths keep their meaning too,
    // except while a batch is looked up. False where the system does not allow it (and on Windows):
    // readers then look up through descriptors.
    static bool ownWorkingFolder();

private:
    FolderTimes m_folderTimes = nullptr;
    bool m_kindsOnly = false;
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace platform
