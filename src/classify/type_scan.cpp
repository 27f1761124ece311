#include "classify/type_scan.h"

#include "engine/archive_path.h"
#include "platform/dir_reader.h"
#include "platform/windows1252.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace classify {

namespace {

// Where the name ends: the first pair of zero bytes from offset 86 on; -1 when there is none.
// The record is `length` bytes long, the rest of its 208 bytes counting as zero.
std::ptrdiff_t nameEnd(const char* record, std::size_t length)
{
    const auto byte = [&](std::size_t i) { return i < length ? record[i] : '\0'; };
    for (std::size_t i = kNameOffset + 1; i + 1 < kRecordSize; ++i) {
        if (byte(i) == '\0' && byte(i + 1) == '\0')
            return std::ptrdiff_t(i);
    }
    return -1;
}

// The name's bytes with blanks and control characters (every byte up to 0x20; no Windows-1252 byte above it
// stands for one) removed at both ends. Empty when no end was found.
std::string_view trimmedName(const char* record, std::size_t length, std::string& spill)
{
    const std::ptrdiff_t end = nameEnd(record, length);
    if (end < 0)
        return {};
    std::size_t from = kNameOffset;
    std::size_t to = std::size_t(end);
    std::string_view name;
    if (to <= length) {
        name = std::string_view(record + from, to - from);
    } else {
        // The end lies beyond a short last record: the missing bytes are zeros.
        spill.assign(record + from, length > from ? length - from : 0);
        spill.resize(to - from, '\0');
        name = spill;
    }
    while (!name.empty() && static_cast<unsigned char>(name.front()) <= 0x20)
        name.remove_prefix(1);
    while (!name.empty() && static_cast<unsigned char>(name.back()) <= 0x20)
        name.remove_suffix(1);
    return name;
}

}  // namespace

std::size_t recordCount(std::uint64_t size)
{
    const std::uint64_t whole = size / kRecordSize;
    const std::uint64_t rest = size % kRecordSize;
    const std::uint64_t half = kRecordSize / 2;
    if (rest > half || (rest == half && whole % 2 == 1))
        return std::size_t(whole + 1);
    return std::size_t(whole);
}

QByteArray recordKey(const char* record, std::size_t length)
{
    std::string spill;
    const std::string_view name = trimmedName(record, length, spill);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view ext = name.substr(dot);
    if (ext.find_first_of("\\:") != std::string_view::npos)
        return {};
    QByteArray key(ext.data(), qsizetype(ext.size()));
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return key;
}

QString recordName(const char* record, std::size_t length)
{
    std::string spill;
    const std::string_view name = trimmedName(record, length, spill);
    return platform::fromWindows1252(name.data(), qsizetype(name.size()));
}

void countIndexContent(const char* data, std::size_t size, TypeCountList& list)
{
    const std::size_t records = recordCount(size);
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t offset = r * kRecordSize;
        const std::size_t length = std::min(kRecordSize, size - offset);
        const QByteArray key = recordKey(data + offset, length);
        if (!key.isEmpty())
            list.count(key);
    }
}

bool TypeScan::stopRequested()
{
    if (m_stop && m_stop->load(std::memory_order_relaxed))
        m_stopped = true;
    return m_stopped;
}

bool TypeScan::ScanFolder(const QString& folder, bool withSubFolders)
{
    return scanLocalFolder(archiveLocalPath(folder).toStdString(), withSubFolders);
}

bool TypeScan::scanLocalFolder(const std::string& path, bool withSubFolders)
{
    platform::DirReader dir;
    dir.setKindsOnly(true);
    if (!dir.open(path))
        return !stopRequested();  // missing or unreadable: nothing to count
    return walk(dir, withSubFolders);
}

bool TypeScan::walk(platform::DirReader& dir, bool withSubFolders)
{
    static constexpr std::string_view kIndexExtension = ".$00";
    platform::DirEntry entry;
    while (dir.next(entry)) {
        if (stopRequested())
            return false;
        if (entry.isLink)
            continue;  // neither read nor entered
        if (entry.isDir) {
            // A folder is never an index file, whatever its name; "." and ".." begin with a dot too.
            if (withSubFolders && !entry.name.empty() && entry.name.front() != '.') {
                platform::DirReader child;
                child.setKindsOnly(true);
                if (child.openChild(dir, entry.name) && !walk(child, withSubFolders))
                    return false;
            }
            continue;
        }
        // The extension is the text from the last dot: exactly ".$00", compared as it stands.
        const std::size_t dot = entry.name.rfind('.');
        if (dot == std::string_view::npos || entry.name.substr(dot) != kIndexExtension)
            continue;
        std::string why;
        switch (dir.readFile(entry.name, m_buffer, why)) {
        case platform::WholeFileResult::Read:
            countIndexContent(m_buffer.data(), m_buffer.size(), AnhangListe);
            break;
        case platform::WholeFileResult::NotRegular:
            break;
        case platform::WholeFileResult::Failed:
            m_reason = QString::fromLocal8Bit(why.data(), qsizetype(why.size()));
            return false;
        }
    }
    return !stopRequested();
}

TypeScanResult scanTypes(const QString& serverPath, bool withSubFolders, const std::atomic<bool>* stop)
{
    TypeScan scan(stop);
    TypeScanResult result;
    const bool ok = scan.ScanFolder(serverPath, withSubFolders);
    result.AnhangListe = std::move(scan.AnhangListe);
    result.stopped = scan.stopped();
    if (!ok && !result.stopped) {
        result.failed = true;
        result.reason = scan.reason();
    }
    result.AnhangListe.sort();
    return result;
}

}  // namespace classify
