#include "engine/archive_walk.h"

#include "platform/dir_reader.h"

#include <QFile>

#include <cerrno>
#include <unordered_map>
#include <vector>

std::string_view extensionOf(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

EntryKind entryKind(std::string_view name)
{
    if (name == "archive.dat")
        return EntryKind::MessageIndex;
    const std::string_view ext = extensionOf(name);
    if (ext.size() >= 2 && ext[0] == '.' && ext[1] == '$' && ext != ".$00")
        return EntryKind::Attachment;
    if (ext == ".001")
        return EntryKind::MessageFile;
    return EntryKind::Other;
}

namespace {

// Folders whose name begins with "." are not part of the tree; links are never folders here.
bool entersFolder(const platform::DirEntry& e)
{
    return e.isDir && !e.name.empty() && e.name.front() != '.';
}

}  // namespace

struct ArchiveWalk::Impl {
    // An entry of a deep folder, listed before the folder was closed.
    struct Held {
        std::string name;
        std::uint64_t size = 0;
        std::int64_t mtime = 0;
        bool enter = false;
    };

    // Figures being gathered, with the last-write times (UTC seconds) of the files that gave FOld and
    // FNew; those are set with the first valid stamp.
    struct Tally {
        ScanFigures* f = nullptr;
        std::int64_t oldestTime = 0;
        std::int64_t newestTime = 0;
        std::size_t depth = 0;  // of the tallied folder; its own entries count as its root's
    };
    // An inner folder being walked: its own figures, and where they go once its tree is done.
    struct Active {
        ScanFigures figures;
        Tally tally;
        const Publish* done = nullptr;
    };

    Impl(ScanFigures& figures, std::int32_t schritt, StopRequested stop, Publish publish)
        : main {&figures}, f(figures), schritt(schritt), stop(std::move(stop)), publish(std::move(publish))
    {
    }

    Tally main;
    ScanFigures& f;
    std::int32_t schritt;
    StopRequested stop;
    Publish publish;
    std::vector<std::unique_ptr<platform::DirReader>> readers;  // one per open level, reused
    // Local time lies between UTC - 12 h and UTC + 14 h; a day and a bit covers any two offsets.
    static constexpr std::int64_t kOffsetSpan = 27 * 3600;
    // Inner folders by their path below the walked folder; only with some is that path kept in `at`.
    std::unordered_multimap<std::string, Publish> inner;
    std::string at;
    std::size_t depth = 0;                        // of the folder whose entries are being counted
    std::vector<std::unique_ptr<Active>> active;  // inner folders entered and not yet left, outermost first
    platform::DirReader deep;                                   // lists one deep folder at a time
    std::string relative;  // the deep folder's path below the deepest open level

    platform::DirReader& reader(std::size_t level)
    {
        while (readers.size() <= level)
            readers.push_back(std::make_unique<platform::DirReader>());
        return *readers[level];
    }

    bool stopRequested() const { return stop && stop(); }

    // A folder that is gone, or is no folder (any more), was simply not there; any other failure leaves
    // a hole in the figures that the caller must hear of.
    void noteFailure(const platform::DirReader& folder)
    {
        const int error = folder.error();
        if (error == 0 || error == ENOENT || error == ENOTDIR || error == ELOOP)
            return;
        const QString path = QFile::decodeName(QByteArray::fromStdString(folder.path()));
        f.FUnlesbar.append(path);
        for (const auto& a : active)
            a->figures.FUnlesbar.append(path);
    }

    double count(std::string_view name, std::uint64_t bytes, std::int64_t mtime, bool root)
    {
        for (const auto& a : active)
            countInto(a->tally, name, bytes, mtime, depth == a->tally.depth);
        return countInto(main, name, bytes, mtime, root);
    }

    static double countInto(Tally& t, std::string_view name, std::uint64_t bytes, std::int64_t mtime, bool root)
    {
        ScanFigures& f = *t.f;
        const double size = double(bytes);
        const EntryKind kind = entryKind(name);
        f.FSize += size;
        if (root) {
            f.FSizeRoot += size;
            if (kind == EntryKind::MessageIndex)
                f.FAnzahlNachrichten = size / kIndexRecord;
            if (kind == EntryKind::Attachment) {
                ++f.FAnhang;
                f.FAnhangSize += size;
            }
        }
        if (kind == EntryKind::MessageIndex) {
            f.FAnzahlNachrichtenG += size / kIndexRecord;
        } else if (kind == EntryKind::Attachment) {
            ++f.FAnhangG;
            f.FAnhangSizeG += size;
        } else if (kind == EntryKind::MessageFile) {
            // The local time costs more than the rest of an entry. A time well inside the span of the ends
            // found so far (by more than the widest gap between two UTC offsets) lies between them in
            // local time too and cannot move either end.
            if (f.FNew != 0 && mtime - kOffsetSpan > t.oldestTime && mtime + kOffsetSpan < t.newestTime)
                return size;
            // Every valid stamp is compared with both ends, so the newest and the oldest are found
            // whatever order the files come in.
            const platform::DosStamp stamp = platform::dosStampFromTime(mtime);
            if (stamp != 0) {
                if (stamp < f.FOld) {
                    f.FOld = stamp;
                    t.oldestTime = mtime;
                }
                if (stamp > f.FNew) {
                    f.FNew = stamp;
                    t.newestTime = mtime;
                }
            }
        }
        return size;
    }

    // After each entry of a folder: an interim publication every `schritt` entries. False to end the walk.
    bool step(std::int32_t& counter)
    {
        if (--counter != 0)
            return true;
        if (stopRequested())
            return false;
        if (publish)
            publish(f);
        counter = schritt;
        return true;
    }

    // Walks the folder open at `level` to its end and closes it.
    double walkOpen(std::size_t level, bool root)
    {
        platform::DirReader& folder = *readers[level];
        std::int32_t counter = schritt;
        double total = 0;
        platform::DirEntry e;
        while (!stopRequested() && folder.next(e)) {
            total += count(e.name, e.size, e.mtime, root);
            if (entersFolder(e))
                total += enter(level, e.name);
            if (!step(counter))
                break;
        }
        noteFailure(folder);
        folder.close();
        return total;
    }

    double enter(std::size_t parentLevel, std::string_view name)
    {
        return inside(name, [&] {
            const std::size_t level = parentLevel + 1;
            if (level >= kOpenLevels)
                return walkDeep(name);
            platform::DirReader& child = reader(level);
            if (!child.openChild(*readers[parentLevel], name)) {
                noteFailure(child);
                return 0.0;
            }
            return walkOpen(level, false);
        });
    }

    // Walks a sub-folder of the folder being counted; inner folders among the way get their figures.
    template <class Walk>
    double inside(std::string_view name, Walk&& walk)
    {
        ++depth;
        if (inner.empty()) {
            const double total = walk();
            --depth;
            return total;
        }
        const std::size_t mark = at.size();
        if (!at.empty())
            at.push_back('/');
        at.append(name);
        const std::size_t outer = active.size();
        const auto [first, last] = inner.equal_range(at);
        for (auto it = first; it != last; ++it) {
            auto a = std::make_unique<Active>();
            a->figures.FZwischen = true;
            a->tally = {&a->figures, 0, 0, depth};
            a->done = &it->second;
            active.push_back(std::move(a));
        }
        const double total = walk();
        // The innermost first, as separate walks would end; a stopped walk leaves them all unfinished.
        while (active.size() > outer) {
            if (!stopRequested()) {
                Active& a = *active.back();
                a.figures.FZwischen = false;
                (*a.done)(a.figures);
            }
            active.pop_back();
        }
        at.resize(mark);
        --depth;
        return total;
    }

    // A folder below the deepest open level: listed whole and closed first, so that its sub-folders
    // do not take a descriptor per level.
    double walkDeep(std::string_view name)
    {
        const std::size_t mark = relative.size();
        if (!relative.empty())
            relative.push_back('/');
        relative.append(name);
        std::vector<Held> entries;
        if (deep.openBelow(*readers[kOpenLevels - 1], relative)) {
            platform::DirEntry e;
            while (!stopRequested() && deep.next(e))
                entries.push_back({std::string(e.name), e.size, e.mtime, entersFolder(e)});
        }
        noteFailure(deep);
        deep.close();

        std::int32_t counter = schritt;
        double total = 0;
        for (const Held& h : entries) {
            if (stopRequested())
                break;
            total += count(h.name, h.size, h.mtime, false);
            if (h.enter)
                total += inside(h.name, [&] { return walkDeep(h.name); });
            if (!step(counter))
                break;
        }
        relative.resize(mark);
        return total;
    }
};

ArchiveWalk::ArchiveWalk(std::int32_t schritt, StopRequested stopRequested, Publish publish)
    : d(std::make_unique<Impl>(m_figures, schritt, std::move(stopRequested), std::move(publish)))
{
}

ArchiveWalk::~ArchiveWalk() = default;

void ArchiveWalk::addInner(std::string relative, Publish done)
{
    d->inner.emplace(std::move(relative), std::move(done));
}

double ArchiveWalk::MeasureFolder(const std::string& localPath, bool root)
{
    m_figures.FZwischen = true;
    double total = 0;
    platform::DirReader& top = d->reader(0);
    if (top.open(localPath))
        total = d->walkOpen(0, root);
    else
        d->noteFailure(top);
    if (root)
        m_figures.FZwischen = false;
    return total;
}
