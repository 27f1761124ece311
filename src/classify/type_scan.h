#pragma once

#include "classify/type_count_list.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace platform {
class DirReader;
}

// The attachment type scan: counts the attachment names of an archive's ".$00" index files by extension.
namespace classify {

constexpr std::size_t kRecordSize = 208;   // one attachment in an index file
constexpr std::size_t kNameOffset = 85;    // where the attachment's file name starts in a record

// Records in an index file of `size` bytes: size / 208 rounded to the nearest whole number, a half to even.
std::size_t recordCount(std::uint64_t size);

// The key one record is counted under, as Windows-1252 bytes with a..z upper-cased; empty when the record
// is not counted (no name, no dot, a "\" or ":" after the last dot). `length` may be less than a record:
// the bytes beyond it count as zero.
QByteArray recordKey(const char* record, std::size_t length);

// The name a record holds, decoded from Windows-1252 and trimmed, as the scan reads it.
QString recordName(const char* record, std::size_t length);

// Counts every record of an index file's content into `list`.
void countIndexContent(const char* data, std::size_t size, TypeCountList& list);

// One scan's walk. Not thread-bound; one object per scan.
class TypeScan {
public:
    // `stop` (may be null) is read between entries; once set, the walk ends as soon as it can.
    explicit TypeScan(const std::atomic<bool>* stop = nullptr) : m_stop(stop) {}

    // Scans the archive folder `folder` (server notation, as the table row's Pfad) and, when asked, every
    // sub-folder whose name does not begin with "." (depth first); counts into AnhangListe. A folder that
    // does not exist or cannot be listed adds nothing. False when an index file could not be read (reason()
    // then tells which and why) or when stopped.
    bool ScanFolder(const QString& folder, bool withSubFolders);
    // The same for a local folder path.
    bool scanLocalFolder(const std::string& path, bool withSubFolders);

    TypeCountList AnhangListe;

    const QString& reason() const { return m_reason; }
    bool stopped() const { return m_stopped; }

private:
    bool walk(platform::DirReader& dir, bool withSubFolders);
    bool stopRequested();

    const std::atomic<bool>* m_stop;
    std::vector<char> m_buffer;
    QString m_reason;
    bool m_stopped = false;
};

// The whole scan as the thread runs it: ScanFolder, then the sort.
TypeScanResult scanTypes(const QString& serverPath, bool withSubFolders, const std::atomic<bool>* stop = nullptr);

}  // namespace classify
