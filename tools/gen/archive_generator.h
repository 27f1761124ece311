#pragma once

// Lays out archive trees in the folder layout the scanner reads, deterministic for a seed,
// and keeps its own account of the figures a correct scanner must find in them. The figures are counted
// while the tree is written, never by walking it, so tests and benchmarks can compare the scanner against an
// independent computation.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace gen {

// What one archive folder (and, with the same options, each folder below it) holds.
struct ArchiveOptions {
    int messages = 20;           // ".001" message files per folder; archive.dat holds 430 bytes for each
    bool archiveDat = true;      // write "archive.dat" in every folder
    int archiveDatExtra = 0;     // bytes added to every archive.dat (0..429 gives sizes off the 430 grid)
    int attachments = 10;        // attachment files ".$01", ".$02", ... per folder, spread over the messages
    int rootAttachments = -1;    // attachments in the archive folder itself; -1: same as `attachments`
    std::uint64_t attachmentMin = 1024;       // attachment sizes, bytes, drawn from [min, max]
    std::uint64_t attachmentMax = 256 * 1024;
    bool attachmentIndex = true; // write a ".$00" index (208-byte records, name at offset 85) per message
    int otherFiles = 3;          // files that count only toward the sizes
    std::uint64_t otherMax = 8 * 1024;        // their sizes, bytes, drawn from [0, max]
    int folders = 2;             // sub-folders per folder
    int depth = 1;               // levels of sub-folders below the archive folder (0: none)
    bool dotFolder = true;       // a ".cache" folder with files in the archive folder; never counted inside
    int yearFrom = 1998;         // message last-write times spread over these years (local time)
    int yearTo = 2024;
    bool sparse = true;          // sizes by ftruncate (holes); false writes real bytes
    bool trickyNames = false;    // per folder also x.$A7, x.001.$01, w.$ (attachments), x.$01.001 (a message)
                                 // and a folder y.$02 (an attachment of size 0)
};

// The figures a scanner must publish finally for one archive, in bytes where the record has megabytes.
struct ArchiveFigures {
    std::uint64_t size = 0;             // every entry of the tree (folders 0, links their own size)
    std::uint64_t sizeRoot = 0;         // entries directly in the archive folder
    double anzahlNachrichten = 0;       // archive.dat of the archive folder / 430
    double anzahlNachrichtenG = 0;      // every archive.dat of the tree / 430
    std::int32_t anhang = 0;            // attachment entries directly in the archive folder
    std::int32_t anhangG = 0;           // attachment entries in the tree
    std::uint64_t anhangSizeRoot = 0;   // bytes of the attachments directly in the archive folder
    std::uint64_t anhangSizeG = 0;      // bytes of the attachments in the tree
    std::optional<std::int64_t> newest; // last-write time of the newest ".001", seconds since the epoch
    std::optional<std::int64_t> oldest; // of the oldest; both empty when no valid message stamp exists
    std::uint64_t entries = 0;          // entries the scanner meets, "." and ".." of every entered folder included
    std::uint64_t folders = 0;          // folders the scanner enters, the archive folder included
    std::uint64_t interimPublications = 0;  // with FSchritt = 100: sum over entered folders of entries / 100

    // The record's AnhangSize rule: the whole tree on a top-level row, the archive folder alone below it.
    std::uint64_t anhangSize(bool unter) const { return unter ? anhangSizeRoot : anhangSizeG; }

    // Attachment names of the ".$00" records by upper-case extension (".PDF"), as the type scan counts them.
    std::map<std::string, int> typesRoot;   // index files directly in the archive folder
    std::map<std::string, int> typesTree;   // index files in the tree (dot-folders left out)

    bool operator==(const ArchiveFigures&) const = default;
};

// Writes one archive at `folder` (created with its parents when missing; its content must not exist yet).
// Throws std::runtime_error when a file cannot be written.
ArchiveFigures generateArchive(const std::filesystem::path& folder, const ArchiveOptions& options,
                               std::uint64_t seed);

// Many archives below one root.
struct TreeOptions {
    int archives = 60;
    ArchiveOptions archive;  // the base; with `vary`, each archive scales its counts by a factor 0.5..1.5
    bool vary = true;
};

// Name of archive i below the root: eight upper-case hex digits, like the user folders of a David server.
std::string archiveName(int index);

// Writes archives archiveName(0 .. archives-1) below `root`; the result maps each name to its figures.
std::map<std::string, ArchiveFigures> generateTree(const std::filesystem::path& root, const TreeOptions& options,
                                                   std::uint64_t seed);

// Small writers the generator is made of, for callers that lay out a special case by hand.
// Each throws std::runtime_error on failure.
void writeFile(const std::filesystem::path& file, std::uint64_t size, bool sparse = true);
void setLastWrite(const std::filesystem::path& file, std::int64_t secondsSinceEpoch);  // utimensat, no link follow
// A ".$00" index: one 208-byte record per name, the name (ANSI bytes as given) at offset 85, NUL-padded.
void writeAttachmentIndex(const std::filesystem::path& file, const std::vector<std::string>& names);

// The expected figures as JSON: { "<name>": { "Size": ..., ... }, ... }. Times as seconds or null.
// `figuresPathFor(root)` is where generateTree's callers keep them: "<root>.figures.json", beside the tree.
std::filesystem::path figuresPathFor(const std::filesystem::path& root);
bool writeFigures(const std::filesystem::path& file, const std::map<std::string, ArchiveFigures>& figures);
std::optional<std::map<std::string, ArchiveFigures>> readFigures(const std::filesystem::path& file);

}  // namespace gen
