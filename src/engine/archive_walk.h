#pragma once

#include "platform/dos_stamp.h"

#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// What an entry of an archive folder is to the counting rules. The tests look at names only and apply to
// files and folders alike; comparisons are exact and respect case.
enum class EntryKind {
    Other,         // counts toward the sizes only (".$00" attachment indexes among them)
    MessageIndex,  // "archive.dat": 430 bytes per message
    Attachment,    // extension beginning with ".$", except ".$00"
    MessageFile,   // extension ".001": its last-write time dates a message
};

// The extension of a name: from its last "." on, the dot included; empty for a name without a dot.
std::string_view extensionOf(std::string_view name);
EntryKind entryKind(std::string_view name);

// Bytes of a message index per message.
inline constexpr double kIndexRecord = 430.0;

// The running figures of one walk, in bytes and counts, as a scanner publishes them.
struct ScanFigures {
    // Later than every valid stamp.
    static constexpr platform::DosStamp kNoOldStamp = 0xFFFFFFFFu;

    double FSize = 0;                 // every entry of the tree
    double FSizeRoot = 0;             // entries directly in the archive folder
    bool FZwischen = false;           // the walk is still running
    double FAnzahlNachrichten = 0;    // archive.dat of the archive folder / 430
    double FAnzahlNachrichtenG = 0;   // every archive.dat of the tree / 430
    std::int32_t FAnhang = 0;         // attachments directly in the archive folder
    std::int32_t FAnhangG = 0;        // attachments in the tree
    platform::DosStamp FNew = 0;      // newest message stamp; 0: none yet
    platform::DosStamp FOld = kNoOldStamp;
    double FAnhangSize = 0;           // attachment bytes directly in the archive folder
    double FAnhangSizeG = 0;          // attachment bytes in the tree
    QStringList FUnlesbar;            // local paths of the folders that could not be listed (their trees are missing)
};

// Walks an archive's folder tree once, in the order the file system lists each folder, a sub-folder's
// entries right after its own entry, and applies the counting rules to every entry. Folders whose name
// begins with "." are counted but not entered; links are never entered. Every `schritt` entries of one
// folder (each folder level counting for itself) the figures are handed to `publish`; the stop request
// is looked at between two entries.
//
// The walk holds one descriptor per folder level down to kOpenLevels; deeper folders are listed whole and
// closed before their sub-folders are entered, which are then opened by their path below the deepest open
// level. So a walk never holds more than kOpenLevels + 1 descriptors, however deep the tree.
class ArchiveWalk {
public:
    using Publish = std::function<void(const ScanFigures&)>;
    using StopRequested = std::function<bool()>;

    static constexpr std::size_t kOpenLevels = 32;

    ArchiveWalk(std::int32_t schritt, StopRequested stopRequested, Publish publish);
    ~ArchiveWalk();
    ArchiveWalk(const ArchiveWalk&) = delete;
    ArchiveWalk& operator=(const ArchiveWalk&) = delete;

    // A folder of the tree, given by its path below the walked folder ("a/b", no "." or ".." parts), whose
    // own figures are taken from this walk: once its tree has been walked whole, `done` gets the figures
    // a walk of that folder alone would have given (FZwischen false). It has no interim publications. It is
    // not called when the walk never entered the folder or was stopped inside it. Several inner folders
    // may lie inside each other or share a path.
    void addInner(std::string relative, Publish done);

    // Walks the folder at a local path and its sub-folders, adding to figures(); returns the bytes of the
    // tree. A missing folder (or a file in its place) gives 0; one that exists but cannot be listed gives 0
    // too and is noted in FUnlesbar, as is every sub-folder that cannot be listed.
    double MeasureFolder(const std::string& localPath, bool root);

    ScanFigures& figures() { return m_figures; }
    const ScanFigures& figures() const { return m_figures; }

private:
    struct Impl;
    ScanFigures m_figures;
    std::unique_ptr<Impl> d;
};
