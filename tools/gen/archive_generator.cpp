#include "archive_generator.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <type_traits>
#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
#endif
#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace gen {

namespace {

constexpr std::uint64_t kIndexRecordBytes = 430;   // one message in archive.dat
constexpr std::size_t kAttachmentRecord = 208;     // one attachment in a ".$00" index
constexpr std::size_t kAttachmentNameOffset = 85;
constexpr std::uint64_t kSchritt = 100;

// splitmix64: small, and the same sequence on every platform and library (std distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform enough in [lo, hi].
    std::uint64_t between(std::uint64_t lo, std::uint64_t hi)
    {
        if (hi <= lo)
            return lo;
        const std::uint64_t span = hi - lo + 1;
        return span == 0 ? next() : lo + next() % span;
    }
    double unit() { return double(next() >> 11) / double(1ULL << 53); }

private:
    std::uint64_t m_state;
};

[[noreturn]] void fail(const std::string& what, const fs::path& path)
{
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

std::string hex8(std::uint64_t value)
{
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%08llX", static_cast<unsigned long long>(value & 0xFFFFFFFFULL));
    return buffer;
}

std::int64_t localMidnightOfNewYear(int year)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

bool localFields(std::int64_t seconds, std::tm& out)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

// A DOS stamp can hold local years 1980..2107 only; other message times are left out by the scanner.
bool stampable(std::int64_t seconds)
{
    std::tm tm {};
    if (!localFields(seconds, tm))
        return false;
    const int year = tm.tm_year + 1900;
    return year >= 1980 && year <= 2107;
}

// Names the attachments had when attached, in the system ANSI code page (Latin-1 bytes for umlauts).
const char* const kAttachmentNames[] = {
    "Rechnung.pdf", "scan.PDF", "Foto.jpg", "Brief.doc", "archiv.tar.gz", "Daten.xlsx", "notiz.txt",
    "Angebot 2019.docx", "\xDC" "bersicht.pdf", "Gr\xFC\xDF" "e.eml", "ohne_punkt", "bild.JPG", "plan.dwg",
    "Vertrag.PDF", "ende.", "logo.png",
};

// The key the type scan files a name under: from the last dot on, upper-cased a..z; none without a dot
// or when a "\" or ":" follows the dot.
std::string typeKey(const std::string& name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string key = name.substr(dot);
    if (key.find_first_of("\\:") != std::string::npos)
        return {};
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return key;
}

// Names that look close to the rules' names but count only toward the sizes. Where names ignore case
// (Windows), "ARCHIVE.DAT" and "Archive.dat" would be the index itself, so they are only made elsewhere.
const char* const kOtherNames[] = {
#ifndef _WIN32
    "ARCHIVE.DAT",
#endif
    "archive.dat.bak", "dvlist.ini", "status.log", "readme", "x.$01.bak", "memo.0011", "old.001.txt",
#ifndef _WIN32
    "Archive.dat",
#endif
    "x$01", "y.S01",
};

// Names near the edges of the rules; what each is, is stated here rather than derived from the name.
enum class Kind { Attachment, Message, AttachmentFolder };
struct Tricky {
    const char* name;
    Kind kind;
};
const Tricky kTrickyNames[] = {
    {"x.$A7", Kind::Attachment},
    {"x.001.$01", Kind::Attachment},
    {"w.$", Kind::Attachment},
    {"x.$01.001", Kind::Message},
    {"y.$02", Kind::AttachmentFolder},
};

class Writer {
public:
    Writer(const ArchiveOptions& options, Random& random) : m_opt(options), m_random(random) {}

    ArchiveFigures run(const fs::path& root)
    {
        m_figures = {};
        folder(root, 0, true);
        return m_figures;
    }

private:
    // A file counted toward sizes; returns its size.
    void countEntry(bool root, std::uint64_t size, std::uint64_t& folderEntries)
    {
        m_figures.size += size;
        if (root)
            m_figures.sizeRoot += size;
        ++folderEntries;
    }

    void countAttachment(bool root, std::uint64_t size)
    {
        ++m_figures.anhangG;
        m_figures.anhangSizeG += size;
        if (root) {
            ++m_figures.anhang;
            m_figures.anhangSizeRoot += size;
        }
    }

    void countMessageTime(std::int64_t seconds)
    {
        if (!stampable(seconds))
            return;
        if (!m_figures.newest || seconds > *m_figures.newest)
            m_figures.newest = seconds;
        if (!m_figures.oldest || seconds < *m_figures.oldest)
            m_figures.oldest = seconds;
    }

    // An even second (DOS stamps hold seconds / 2) in the year range, away from the small hours, where a
    // clock change can make local time run backwards and stamps compare out of time order.
    std::int64_t messageTime()
    {
        const std::int64_t from = localMidnightOfNewYear(m_opt.yearFrom);
        const std::int64_t to = localMidnightOfNewYear(m_opt.yearTo + 1) - 2;
        std::int64_t t = from;
        for (int tries = 0; tries < 8; ++tries) {
            t = std::int64_t(m_random.between(0, std::uint64_t(to > from ? to - from : 0))) + from;
            t -= t & 1;
            std::tm tm {};
            if (localFields(t, tm) && (tm.tm_hour < 1 || tm.tm_hour > 3))
                break;
        }
        return t;
    }

    std::uint64_t attachmentSize()
    {
        return m_random.between(m_opt.attachmentMin, std::max(m_opt.attachmentMin, m_opt.attachmentMax));
    }

    void folder(const fs::path& path, int level, bool root)
    {
        std::error_code ec;
        fs::create_directories(path, ec);
        if (ec)
            throw std::runtime_error("cannot create " + path.string() + ": " + ec.message());
        std::uint64_t entries = 2;  // "." and ".."
        ++m_figures.folders;

        if (m_opt.archiveDat) {
            const std::uint64_t size = kIndexRecordBytes * std::uint64_t(std::max(0, m_opt.messages)) +
                                       std::uint64_t(std::max(0, m_opt.archiveDatExtra));
            writeFile(path / "archive.dat", size, m_opt.sparse);
            countEntry(root, size, entries);
            const double messages = double(size) / double(kIndexRecordBytes);
            if (root)
                m_figures.anzahlNachrichten = messages;
            m_figures.anzahlNachrichtenG += messages;
        }

        // Message files; attachments belong to them by base name.
        const std::uint64_t firstId = m_random.between(0x1000, 0x0FFFFFFF);
        const int messages = std::max(0, m_opt.messages);
        for (int i = 0; i < messages; ++i) {
            const fs::path file = path / (hex8(firstId + std::uint64_t(i)) + ".001");
            const std::uint64_t size = m_random.between(200, 6000);
            writeFile(file, size, m_opt.sparse);
            const std::int64_t t = messageTime();
            setLastWrite(file, t);
            countEntry(root, size, entries);
            countMessageTime(t);
        }

        const int attachments = std::max(0, root && m_opt.rootAttachments >= 0 ? m_opt.rootAttachments
                                                                               : m_opt.attachments);
        const int owners = std::max(1, messages);
        auto namesOf = std::vector<std::vector<std::string>>(std::size_t(owners));
        for (int j = 0; j < attachments; ++j) {
            const int owner = j % owners;
            auto& names = namesOf[std::size_t(owner)];
            char ext[16];
            std::snprintf(ext, sizeof ext, ".$%02X", unsigned(names.size() + 1));
            const fs::path file = path / (hex8(firstId + std::uint64_t(owner)) + ext);
            const std::uint64_t size = attachmentSize();
            writeFile(file, size, m_opt.sparse);
            countEntry(root, size, entries);
            countAttachment(root, size);
            names.emplace_back(kAttachmentNames[m_random.between(0, std::size(kAttachmentNames) - 1)]);
        }
        if (m_opt.attachmentIndex) {
            for (int owner = 0; owner < owners; ++owner) {
                const auto& names = namesOf[std::size_t(owner)];
                if (names.empty())
                    continue;
                writeAttachmentIndex(path / (hex8(firstId + std::uint64_t(owner)) + ".$00"), names);
                countEntry(root, names.size() * kAttachmentRecord, entries);
                for (const std::string& name : names) {
                    const std::string key = typeKey(name);
                    if (key.empty())
                        continue;
                    ++m_figures.typesTree[key];
                    if (root)
                        ++m_figures.typesRoot[key];
                }
            }
        }

        for (int i = 0; i < std::max(0, m_opt.otherFiles); ++i) {
            std::string name = kOtherNames[std::size_t(i) % std::size(kOtherNames)];
            if (std::size_t(i) >= std::size(kOtherNames))
                name = std::to_string(i) + "_" + name;
            const std::uint64_t size = m_random.between(0, m_opt.otherMax);
            writeFile(path / name, size, m_opt.sparse);
            countEntry(root, size, entries);
        }

        if (m_opt.trickyNames) {
            for (const Tricky& tricky : kTrickyNames) {
                const fs::path file = path / tricky.name;
                switch (tricky.kind) {
                case Kind::Attachment: {
                    const std::uint64_t size = attachmentSize();
                    writeFile(file, size, m_opt.sparse);
                    countEntry(root, size, entries);
                    countAttachment(root, size);
                    break;
                }
                case Kind::Message: {
                    const std::uint64_t size = m_random.between(200, 6000);
                    writeFile(file, size, m_opt.sparse);
                    const std::int64_t t = messageTime();
                    setLastWrite(file, t);
                    countEntry(root, size, entries);
                    countMessageTime(t);
                    break;
                }
                case Kind::AttachmentFolder:
                    // A folder: an attachment of size 0, and entered like any other folder (it is empty).
                    fs::create_directory(file, ec);
                    if (ec)
                        throw std::runtime_error("cannot create " + file.string() + ": " + ec.message());
                    countEntry(root, 0, entries);
                    countAttachment(root, 0);
                    m_figures.entries += 2;
                    ++m_figures.folders;
                    break;
                }
            }
        }

        if (root && m_opt.dotFolder) {
            // Counted as an entry of size 0 in the archive folder; nothing inside it is counted.
            const fs::path dot = path / ".cache";
            fs::create_directories(dot / "sub", ec);
            if (ec)
                throw std::runtime_error("cannot create " + dot.string() + ": " + ec.message());
            writeFile(dot / "archive.dat", kIndexRecordBytes * 7, m_opt.sparse);
            writeFile(dot / "hidden.$01", 4096, m_opt.sparse);
            const fs::path message = dot / "sub" / "00000001.001";
            writeFile(message, 100, m_opt.sparse);
            setLastWrite(message, localMidnightOfNewYear(2106) + 3600 * 12);
            countEntry(root, 0, entries);
        }

        if (level < m_opt.depth) {
            const std::uint64_t firstFolder = m_random.between(0x10000000, 0xEFFFFFFF);
            for (int i = 0; i < std::max(0, m_opt.folders); ++i) {
                countEntry(root, 0, entries);
                folder(path / hex8(firstFolder + std::uint64_t(i)), level + 1, false);
            }
        }

        m_figures.entries += entries;
        m_figures.interimPublications += entries / kSchritt;
    }

    const ArchiveOptions& m_opt;
    Random& m_random;
    ArchiveFigures m_figures;
};

QJsonValue timeValue(const std::optional<std::int64_t>& t)
{
    return t ? QJsonValue(double(*t)) : QJsonValue(QJsonValue::Null);
}

std::optional<std::int64_t> timeFrom(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    return static_cast<std::int64_t>(v.toDouble());
}

QJsonObject typesObject(const std::map<std::string, int>& types)
{
    QJsonObject object;
    for (const auto& [key, count] : types)
        object.insert(QString::fromLatin1(key.data(), qsizetype(key.size())), count);
    return object;
}

// The records of an attachment index file for these names.
std::string attachmentIndex(const std::vector<std::string>& names)
{
    std::string content(names.size() * kAttachmentRecord, '\0');
    for (std::size_t r = 0; r < names.size(); ++r) {
        char* record = content.data() + r * kAttachmentRecord;
        // Some plausible bytes before the name, which the readers skip.
        for (std::size_t i = 0; i < kAttachmentNameOffset; ++i)
            record[i] = char('0' + (r + i) % 10);
        // The name, NUL-terminated and NUL-padded: at least two zero bytes follow when it is short.
        const std::size_t room = kAttachmentRecord - kAttachmentNameOffset - 2;
        std::memcpy(record + kAttachmentNameOffset, names[r].data(), std::min(room, names[r].size()));
    }
    return content;
}

std::map<std::string, int> typesFrom(const QJsonObject& object)
{
    std::map<std::string, int> types;
    for (auto it = object.begin(); it != object.end(); ++it)
        types[it.key().toLatin1().toStdString()] = it.value().toInt();
    return types;
}

}  // namespace

#ifdef _WIN32
// Windows has no sparse files by default and no descriptors worth the name: Qt's file does both writes.
namespace {

QString qtPath(const fs::path& file)
{
    return QString::fromStdWString(file.wstring());
}

void writeWhole(const fs::path& file, const std::string& content, std::uint64_t size)
{
    QFile out(qtPath(file));
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!ok)
        fail("cannot create", file);
    if (!content.empty())
        ok = out.write(content.data(), qint64(content.size())) == qint64(content.size());
    else
        ok = out.resize(qint64(size));
    out.close();
    if (!ok)
        fail("cannot write", file);
}

}  // namespace

void writeFile(const fs::path& file, std::uint64_t size, bool /*sparse*/)
{
    writeWhole(file, {}, size);
}

void setLastWrite(const fs::path& file, std::int64_t secondsSinceEpoch)
{
    if (fs::is_directory(file)) {
        // QFile opens no folder; Windows does with backup semantics.
        const HANDLE h = CreateFileW(file.wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const std::uint64_t ticks = std::uint64_t(secondsSinceEpoch + 11644473600LL) * 10000000ULL;
        FILETIME written;
        written.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
        written.dwHighDateTime = DWORD(ticks >> 32);
        const bool ok = h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &written);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        if (!ok)
            fail("cannot set the time of", file);
        return;
    }
    QFile f(qtPath(file));
    if (!f.open(QIODevice::ReadWrite)
        || !f.setFileTime(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch), QFileDevice::FileModificationTime))
        fail("cannot set the time of", file);
}

void writeAttachmentIndex(const fs::path& file, const std::vector<std::string>& names)
{
    writeWhole(file, attachmentIndex(names), 0);
}
#else
void writeFile(const fs::path& file, std::uint64_t size, bool sparse)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create", file);
    bool ok = true;
    if (sparse || size == 0) {
        ok = ::ftruncate(fd, off_t(size)) == 0;
    } else {
        std::vector<char> block(std::min<std::uint64_t>(size, 64 * 1024), 'A');
        std::uint64_t left = size;
        while (ok && left > 0) {
            const std::size_t chunk = std::size_t(std::min<std::uint64_t>(left, block.size()));
            const ssize_t written = ::write(fd, block.data(), chunk);
            ok = written > 0;
            if (ok)
                left -= std::uint64_t(written);
        }
    }
    const int saved = errno;
    ::close(fd);
    if (!ok) {
        errno = saved;
        fail("cannot write", file);
    }
}

void setLastWrite(const fs::path& file, std::int64_t secondsSinceEpoch)
{
    struct timespec times[2];
    times[0].tv_sec = time_t(secondsSinceEpoch);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        fail("cannot set the time of", file);
}

void writeAttachmentIndex(const fs::path& file, const std::vector<std::string>& names)
{
    const std::string content = attachmentIndex(names);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create", file);
    const ssize_t written = content.empty() ? 0 : ::write(fd, content.data(), content.size());
    const int saved = errno;
    ::close(fd);
    if (written != ssize_t(content.size())) {
        errno = saved;
        fail("cannot write", file);
    }
}

#endif

ArchiveFigures generateArchive(const fs::path& folder, const ArchiveOptions& options, std::uint64_t seed)
{
    Random random(seed);
    Writer writer(options, random);
    return writer.run(folder);
}

std::string archiveName(int index)
{
    return hex8(0x0000A000ULL + std::uint64_t(index));
}

std::map<std::string, ArchiveFigures> generateTree(const fs::path& root, const TreeOptions& options,
                                                   std::uint64_t seed)
{
    Random random(seed);
    std::map<std::string, ArchiveFigures> result;
    for (int i = 0; i < options.archives; ++i) {
        ArchiveOptions archive = options.archive;
        const std::uint64_t archiveSeed = random.next();
        if (options.vary) {
            const double factor = 0.5 + random.unit();
            auto scale = [factor](int n) { return n <= 0 ? n : std::max(1, int(n * factor + 0.5)); };
            archive.messages = scale(archive.messages);
            archive.attachments = scale(archive.attachments);
            archive.rootAttachments = scale(archive.rootAttachments);
            archive.otherFiles = scale(archive.otherFiles);
        }
        const std::string name = archiveName(i);
        result[name] = generateArchive(root / name, archive, archiveSeed);
    }
    return result;
}

fs::path figuresPathFor(const fs::path& root)
{
    fs::path clean = root;
    while (clean.has_parent_path() && !clean.has_filename() && clean != clean.root_path())
        clean = clean.parent_path();
    return fs::path(clean.string() + ".figures.json");
}

namespace {

// Each figure and its JSON key, once, for writing and reading alike.
struct FigureKey {
    const char* key;
    QJsonValue (*write)(const ArchiveFigures&);
    bool (*read)(ArchiveFigures&, const QJsonValue&);  // false when the value has the wrong type
};

template <auto Member>
QJsonValue writeMember(const ArchiveFigures& f)
{
    using T = std::remove_cvref_t<decltype(f.*Member)>;
    if constexpr (std::is_same_v<T, std::optional<std::int64_t>>)
        return timeValue(f.*Member);
    else if constexpr (std::is_same_v<T, std::map<std::string, int>>)
        return typesObject(f.*Member);
    else
        return double(f.*Member);
}

template <auto Member>
bool readMember(ArchiveFigures& f, const QJsonValue& v)
{
    using T = std::remove_cvref_t<decltype(f.*Member)>;
    if constexpr (std::is_same_v<T, std::optional<std::int64_t>>) {
        if (!v.isDouble() && !v.isNull())
            return false;
        f.*Member = timeFrom(v);
    } else if constexpr (std::is_same_v<T, std::map<std::string, int>>) {
        if (!v.isObject())
            return false;
        f.*Member = typesFrom(v.toObject());
    } else {
        if (!v.isDouble())
            return false;
        f.*Member = T(v.toDouble());
    }
    return true;
}

template <auto Member>
constexpr FigureKey figure(const char* key)
{
    return {key, &writeMember<Member>, &readMember<Member>};
}

// "AnhangSizeUnter" is what a row below the top level shows: the archive folder's own attachments.
constexpr FigureKey kFigureKeys[] = {
    figure<&ArchiveFigures::size>("Size"),
    figure<&ArchiveFigures::sizeRoot>("SizeRoot"),
    figure<&ArchiveFigures::anzahlNachrichten>("AnzahlNachrichten"),
    figure<&ArchiveFigures::anzahlNachrichtenG>("AnzahlNachrichtenG"),
    figure<&ArchiveFigures::anhang>("Anhang"),
    figure<&ArchiveFigures::anhangG>("AnhangG"),
    figure<&ArchiveFigures::anhangSizeRoot>("AnhangSizeUnter"),
    figure<&ArchiveFigures::anhangSizeG>("AnhangSizeG"),
    figure<&ArchiveFigures::newest>("Neueste"),
    figure<&ArchiveFigures::oldest>("Aelteste"),
    figure<&ArchiveFigures::entries>("Entries"),
    figure<&ArchiveFigures::folders>("Folders"),
    figure<&ArchiveFigures::interimPublications>("InterimPublications"),
    figure<&ArchiveFigures::typesRoot>("TypesRoot"),
    figure<&ArchiveFigures::typesTree>("TypesTree"),
};

}  // namespace

bool writeFigures(const fs::path& file, const std::map<std::string, ArchiveFigures>& figures)
{
    QJsonObject all;
    for (const auto& [name, f] : figures) {
        QJsonObject o;
        for (const FigureKey& k : kFigureKeys)
            o.insert(QLatin1String(k.key), k.write(f));
        all.insert(QString::fromStdString(name), o);
    }
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(all).toJson(QJsonDocument::Indented));
    return out.commit();
}

std::optional<std::map<std::string, ArchiveFigures>> readFigures(const fs::path& file)
{
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(in.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    std::map<std::string, ArchiveFigures> result;
    const QJsonObject all = doc.object();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject o = it.value().toObject();
        ArchiveFigures f;
        // Every figure must be there: a file of another layout is refused rather than read as zeros.
        for (const FigureKey& k : kFigureKeys)
            if (!o.contains(QLatin1String(k.key)) || !k.read(f, o.value(QLatin1String(k.key))))
                return std::nullopt;
        result[it.key().toStdString()] = f;
    }
    return result;
}

}  // namespace gen
