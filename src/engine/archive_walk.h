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
    double FIndexBytesG = 0;          // bytes of every archive.dat of the tree: a whole number, so sums of parts are exact
    std::int32_t FAnhang = 0;         // attachments directly in the archive folder
    std::int32_t FAnhangG = 0;        // attachments in the tree
    platform::DosStamp FNew = 0;      // newest message stamp; 0: none yet
    platform::DosStamp FOld = kNoOldStamp;
    double FAnhangSize = 0;           // attachment bytes directly in the archive folder
    double FAnhangSizeG = 0;          // attachment bytes in the tree
    QStringList FUnlesbar;            // local paths of the folders that could not be listed (their trees are missing)
};

class WalkShare;

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

    // Lets other walks take over folders of this tree that this walk has listed but not entered yet
    // (WalkShare::helpOnce); their figures are added to this walk's and to those of the inner folders around
    // them. Set before MeasureFolder(path, true); the figures and the inner folders' final publications come
    // out as a walk alone gives them. The walk's end waits until every taken folder has been walked.
    void shareWith(std::shared_ptr<WalkShare> share);

    // Walks the folder at a local path and its sub-folders, adding to figures(); returns the bytes of the
    // tree. A missing folder (or a file in its place) gives 0; one that exists but cannot be listed gives 0
    // too and is noted in FUnlesbar, as is every sub-folder that cannot be listed.
    double MeasureFolder(const std::string& localPath, bool root);

    ScanFigures& figures() { return m_figures; }
    const ScanFigures& figures() const { return m_figures; }

    struct Impl;

private:
    ScanFigures m_figures;
    std::unique_ptr<Impl> d;
};

// The folders of one running walk that another walk may take over: sub-folders its walk has listed and not
// yet entered, among the first ArchiveWalk::kOpenLevels levels. Any thread may help by walking one of them;
// at most one walk enters each folder. Stopping ends every walk of the tree, the owner's and the helpers'.
class WalkShare {
public:
    // `offered` is called on a walking thread, outside any lock, after it offered new folders.
    explicit WalkShare(std::function<void()> offered = {});
    ~WalkShare();
    WalkShare(const WalkShare&) = delete;
    WalkShare& operator=(const WalkShare&) = delete;

    // Whether a folder waits for a walk; its depth below the archive folder (1: a sub-folder of it), or -1.
    int shallowestWork() const;
    bool hasWork() const { return shallowestWork() >= 0; }
    // How many folders wait for a walk.
    int offered() const;
    // Takes the shallowest waiting folder (the one listed last among those) and walks it on the calling
    // thread; false when none was waiting. Its figures flow into the owner's walk.
    bool helpOnce();
    // Ends every walk of the tree between two entries; nothing more is taken and no inner folder is done.
    void stop();
    bool stopped() const;
    // Folders taken over by helpers so far.
    int taken() const;

    struct State;
    std::shared_ptr<State> d;
};
