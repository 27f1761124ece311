#include "engine/archive_walk.h"

#include "platform/dir_reader.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
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

// A folder's size counts 0, so only a folder whose name makes it a message file needs its time looked up.
bool datesFolder(std::string_view name)
{
    return entryKind(name) == EntryKind::MessageFile;
}

// Offered folders' local paths stay well below what one system call takes.
constexpr std::size_t kOfferPathLimit = 2048;

struct Acc;

// An unreadable folder, or the place where a folder taken by a helper would have named its own.
struct Piece {
    QString path;
    std::shared_ptr<Acc> taken;
};

// Figures that are final once their walk has left them and every folder taken from inside them has been
// walked: a walk's own tree (the archive's, or a taken folder's) or an inner folder.
struct Acc {
    ScanFigures* own = nullptr;  // written by its walk alone until `left`
    ScanFigures ownStore;
    std::vector<Piece> pieces;   // FUnlesbar in walk order with the places of taken folders
    bool holes = false;          // a taken folder among the pieces
    // The rest under the share's lock.
    ScanFigures merged;          // the taken folders walked so far (tree figures only)
    int pending = 0;             // taken folders not walked yet
    bool left = false;
    bool complete = false;
    ScanFigures result;
    std::vector<const ArchiveWalk::Publish*> dones;  // inner folders that are this folder
    std::vector<std::shared_ptr<Acc>> containers;    // of a taken folder: the figures it adds to
};

struct Offer {
    enum State { Open, Entered, Taken };
    std::string relative;  // below the archive folder
    std::size_t depth = 0;
    State state = Open;
    std::vector<std::shared_ptr<Acc>> containers;  // the offering walk's tree and its inner folders around it
    std::shared_ptr<Acc> taken;
};

// Adds the figures of a folder below `to`'s own (none of its entries lie directly in `to`).
void addTree(ScanFigures& to, const ScanFigures& from)
{
    to.FSize += from.FSize;
    to.FIndexBytesG += from.FIndexBytesG;
    to.FAnzahlNachrichtenG = to.FIndexBytesG / kIndexRecord;
    to.FAnhangG += from.FAnhangG;
    to.FAnhangSizeG += from.FAnhangSizeG;
    if (from.FNew > to.FNew)
        to.FNew = from.FNew;
    if (from.FOld < to.FOld)
        to.FOld = from.FOld;
}

}  // namespace

struct WalkShare::State {
    explicit State(std::function<void()> offered) : offered(std::move(offered)) {}

    std::function<void()> offered;
    std::atomic<bool> halted {false};
    std::atomic<int> takenCount {0};
    std::atomic<int> openCount {0};  // offers not yet entered or taken
    mutable std::mutex lock;
    std::condition_variable changed;
    // Set by the owner before it offers anything; read-only afterwards.
    platform::DirReader root;
    std::int32_t schritt = 100;
    const std::unordered_multimap<std::string, ArchiveWalk::Publish>* inner = nullptr;
    // Under `lock`.
    bool open = false;                                        // the owner's walk is under way
    std::vector<std::deque<std::shared_ptr<Offer>>> byDepth;  // in the order offered
    std::vector<int> openAt;                                  // open offers by depth

    bool halt() const { return halted.load(std::memory_order_relaxed); }

    // With `lock` held: `a` is final once left and nothing taken from it is still being walked.
    void settle(Acc& a)
    {
        if (!a.left || a.pending > 0 || a.complete)
            return;
        a.complete = true;
        a.result = *a.own;
        a.result.FZwischen = false;
        addTree(a.result, a.merged);
        if (a.holes) {
            QStringList named;
            for (const Piece& p : a.pieces)
                if (p.taken)
                    named += p.taken->result.FUnlesbar;
                else
                    named.append(p.path);
            a.result.FUnlesbar = named;
        }
        a.pieces.clear();
        if (!halt())
            for (const ArchiveWalk::Publish* done : a.dones)
                (*done)(a.result);
        for (const auto& c : a.containers) {
            addTree(c->merged, a.result);
            --c->pending;
            settle(*c);
        }
        a.containers.clear();
        changed.notify_all();
    }
};

struct ArchiveWalk::Impl {
    // An entry of a folder, listed whole before any of its sub-folders is entered.
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
        std::shared_ptr<Acc> acc;
        Tally tally;
    };

    Impl(ScanFigures& figures, std::int32_t schritt, StopRequested stop, Publish publish)
        : main {&figures}, f(figures), schritt(schritt), stop(std::move(stop)), publish(std::move(publish))
    {
        // A level's listing is used while deeper levels are added: these never move.
        readers.reserve(kOpenLevels);
        listed.reserve(kOpenLevels);
        offered.reserve(kOpenLevels);
        deep.setFolderTimes(&datesFolder);
    }

    Tally main;
    ScanFigures& f;
    std::int32_t schritt;
    StopRequested stop;
    Publish publish;
    std::vector<std::unique_ptr<platform::DirReader>> readers;  // one per open level, reused
    std::vector<std::vector<Held>> listed;                      // one per open level, reused
    std::vector<std::vector<std::shared_ptr<Offer>>> offered;   // beside `listed`, where shared
    // Local time lies between UTC - 12 h and UTC + 14 h; a day and a bit covers any two offsets.
    static constexpr std::int64_t kOffsetSpan = 27 * 3600;
    // Inner folders by their path below the archive folder; `at` is that path while any are there or the
    // tree is shared.
    std::unordered_multimap<std::string, Publish> ownInner;
    const std::unordered_multimap<std::string, Publish>* inner = &ownInner;
    std::string at;
    std::size_t depth = 0;                        // of the folder whose entries are being counted
    std::size_t baseDepth = 0;                    // of the walked folder below the archive folder
    std::vector<std::unique_ptr<Active>> active;  // inner folders entered and not yet left, outermost first
    platform::DirReader deep;                     // lists one deep folder at a time
    std::string relative;  // the deep folder's path below the deepest open level
    // Shared walks only.
    std::shared_ptr<WalkShare::State> share;
    std::shared_ptr<Acc> node;  // this walk's own tree

    platform::DirReader& reader(std::size_t level)
    {
        while (readers.size() <= level) {
            readers.push_back(std::make_unique<platform::DirReader>());
            readers.back()->setFolderTimes(&datesFolder);
            listed.emplace_back();
            offered.emplace_back();
        }
        return *readers[level];
    }

    bool stopRequested() const { return stop && stop(); }
    bool tracksPath() const { return share || !inner->empty(); }

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
            a->acc->own->FUnlesbar.append(path);
        if (share) {
            node->pieces.push_back({path, {}});
            for (const auto& a : active)
                a->acc->pieces.push_back({path, {}});
        }
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
            f.FIndexBytesG += size;
            f.FAnzahlNachrichtenG = f.FIndexBytesG / kIndexRecord;
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
        publishNow();
        counter = schritt;
        return true;
    }

    void publishNow()
    {
        if (!publish)
            return;
        if (!share) {
            publish(f);
            return;
        }
        // The owner's figures so far with those of the folders helpers have walked.
        ScanFigures shown = f;
        {
            std::lock_guard lock(share->lock);
            addTree(shown, node->merged);
        }
        publish(shown);
    }

    // Offers the sub-folders just listed at `level`, each with the figures it would add to.
    void offer(std::size_t level)
    {
        std::vector<std::shared_ptr<Offer>>& offers = offered[level];
        const std::vector<Held>& entries = listed[level];
        offers.assign(entries.size(), nullptr);
        const std::size_t childDepth = baseDepth + depth + 1;
        if (level + 1 >= kOpenLevels || share->halt() || share->root.path().size() + at.size() + 2 > kOfferPathLimit)
            return;
        std::vector<std::shared_ptr<Acc>> containers {node};
        for (const auto& a : active)
            containers.push_back(a->acc);
        int n = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (!entries[i].enter)
                continue;
            auto o = std::make_shared<Offer>();
            o->relative = at.empty() ? entries[i].name : at + '/' + entries[i].name;
            if (share->root.path().size() + o->relative.size() + 1 > kOfferPathLimit)
                continue;
            o->depth = childDepth;
            o->containers = containers;
            offers[i] = std::move(o);
            ++n;
        }
        if (n == 0)
            return;
        {
            std::lock_guard lock(share->lock);
            if (share->byDepth.size() <= childDepth) {
                share->byDepth.resize(childDepth + 1);
                share->openAt.resize(childDepth + 1, 0);
            }
            for (const auto& o : offers)
                if (o)
                    share->byDepth[childDepth].push_back(o);
            share->openAt[childDepth] += n;
            share->openCount += n;
        }
        if (share->offered)
            share->offered();
    }

    // Whether this walk enters an offered folder itself: false when a helper took it first, whose place
    // is kept for the folders it finds unreadable.
    bool claim(Offer& o)
    {
        std::shared_ptr<Acc> taken;
        {
            std::lock_guard lock(share->lock);
            if (o.state == Offer::Open) {
                o.state = Offer::Entered;
                o.containers.clear();
                --share->openAt[o.depth];
                --share->openCount;
                return true;
            }
            taken = o.taken;
        }
        node->pieces.push_back({{}, taken});
        node->holes = true;
        for (const auto& a : active) {
            a->acc->pieces.push_back({{}, taken});
            a->acc->holes = true;
        }
        return false;
    }

    // Walks the folder open at `level` to its end and closes it. The folder is listed whole first, so that
    // its sub-folders can be offered to helpers before this walk enters them.
    double walkOpen(std::size_t level, bool root)
    {
        platform::DirReader& folder = *readers[level];
        std::vector<Held>& entries = listed[level];
        entries.clear();
        platform::DirEntry e;
        while (!stopRequested() && folder.next(e))
            entries.push_back({std::string(e.name), e.size, e.mtime, entersFolder(e)});
        if (share)
            offer(level);
        std::int32_t counter = schritt;
        double total = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (stopRequested())
                break;
            const Held& h = listed[level][i];
            total += count(h.name, h.size, h.mtime, root);
            if (h.enter) {
                Offer* o = share ? offered[level][i].get() : nullptr;
                if (!o || claim(*o))
                    total += enter(level, h.name);
            }
            if (!step(counter))
                break;
        }
        // Named after what was found inside it, as when entries were walked while being listed.
        noteFailure(folder);
        folder.close();
        entries.clear();
        if (share)
            offered[level].clear();
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
        if (!tracksPath()) {
            const double total = walk();
            --depth;
            return total;
        }
        const std::size_t mark = at.size();
        if (!at.empty())
            at.push_back('/');
        at.append(name);
        const std::size_t outer = active.size();
        const auto [first, last] = inner->equal_range(at);
        for (auto it = first; it != last; ++it) {
            auto a = std::make_unique<Active>();
            a->acc = std::make_shared<Acc>();
            a->acc->own = &a->acc->ownStore;
            a->acc->ownStore.FZwischen = true;
            a->acc->dones.push_back(&it->second);
            a->tally = {a->acc->own, 0, 0, depth};
            active.push_back(std::move(a));
        }
        const double total = walk();
        // The innermost first, as separate walks would end; a stopped walk leaves them all unfinished.
        while (active.size() > outer) {
            Acc& a = *active.back()->acc;
            if (share) {
                std::lock_guard lock(share->lock);
                a.left = true;
                share->settle(a);
            } else if (!stopRequested()) {
                a.ownStore.FZwischen = false;
                (*a.dones.front())(a.ownStore);
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

    // The end of a shared walk: once everything taken from its tree has been walked, its figures are final.
    void leaveShared()
    {
        std::lock_guard lock(share->lock);
        node->left = true;
        share->settle(*node);
    }
};

ArchiveWalk::ArchiveWalk(std::int32_t schritt, StopRequested stopRequested, Publish publish)
    : d(std::make_unique<Impl>(m_figures, schritt, std::move(stopRequested), std::move(publish)))
{
}

ArchiveWalk::~ArchiveWalk() = default;

void ArchiveWalk::addInner(std::string relative, Publish done)
{
    d->ownInner.emplace(std::move(relative), std::move(done));
}

void ArchiveWalk::shareWith(std::shared_ptr<WalkShare> share)
{
    d->share = share ? share->d : nullptr;
}

double ArchiveWalk::MeasureFolder(const std::string& localPath, bool root)
{
    m_figures.FZwischen = true;
    std::shared_ptr<WalkShare::State> share = root ? d->share : nullptr;
    d->share = nullptr;
    platform::DirReader& top = d->reader(0);
    if (!top.open(localPath)) {
        d->noteFailure(top);
        if (root)
            m_figures.FZwischen = false;
        return 0;
    }
    if (!share) {
        const double total = d->walkOpen(0, root);
        if (root)
            m_figures.FZwischen = false;
        return total;
    }

    // Shared: helpers may take folders from the moment the first ones are offered.
    d->share = share;
    d->node = std::make_shared<Acc>();
    d->node->own = &m_figures;
    {
        std::lock_guard lock(share->lock);
        share->schritt = d->schritt;
        share->inner = &d->ownInner;
        share->open = share->root.open(localPath);
    }
    d->walkOpen(0, true);
    if (d->stopRequested())
        share->halted = true;
    // What is left of the tree is walked here too, rather than waited for.
    WalkShare helper;
    helper.d = share;
    while (helper.helpOnce()) {
        if (!d->stopRequested())
            d->publishNow();  // the row goes on growing while its last folders are walked
    }
    d->leaveShared();
    {
        std::unique_lock lock(share->lock);
        share->changed.wait(lock, [&] { return d->node->complete; });
        share->open = false;
        share->byDepth.clear();
        share->openAt.clear();
        share->openCount = 0;
        share->root.close();
        m_figures = d->node->result;
    }
    d->share = nullptr;
    d->node.reset();
    return m_figures.FSize;
}

WalkShare::WalkShare(std::function<void()> offered) : d(std::make_shared<State>(std::move(offered))) {}

WalkShare::~WalkShare() = default;

int WalkShare::shallowestWork() const
{
    if (d->openCount.load(std::memory_order_relaxed) <= 0 || d->halt())
        return -1;
    std::lock_guard lock(d->lock);
    if (!d->open)
        return -1;
    for (std::size_t depth = 0; depth < d->openAt.size(); ++depth)
        if (d->openAt[depth] > 0)
            return int(depth);
    return -1;
}

int WalkShare::offered() const
{
    return d->halt() ? 0 : std::max(0, d->openCount.load());
}

bool WalkShare::helpOnce()
{
    State& s = *d;
    std::shared_ptr<Offer> o;
    std::shared_ptr<Acc> task = std::make_shared<Acc>();
    {
        std::lock_guard lock(s.lock);
        if (!s.open || s.halt() || s.openCount <= 0)
            return false;
        std::size_t depth = 0;
        while (depth < s.openAt.size() && s.openAt[depth] == 0)
            ++depth;
        if (depth == s.openAt.size())
            return false;
        // The last offered of the shallowest: its owner reaches it last.
        std::deque<std::shared_ptr<Offer>>& queue = s.byDepth[depth];
        while (!queue.empty() && queue.back()->state != Offer::Open)
            queue.pop_back();
        if (queue.empty())
            return false;
        o = queue.back();
        queue.pop_back();
        o->state = Offer::Taken;
        --s.openAt[depth];
        --s.openCount;
        task->own = &task->ownStore;
        task->ownStore.FZwischen = true;
        task->containers = std::move(o->containers);
        for (const auto& c : task->containers)
            ++c->pending;
        const auto [first, last] = s.inner->equal_range(o->relative);
        for (auto it = first; it != last; ++it)
            task->dones.push_back(&it->second);
        o->taken = task;
        ++s.takenCount;
    }

    ArchiveWalk::Impl walk(task->ownStore, s.schritt, [&s] { return s.halt(); }, {});
    walk.share = d;
    walk.node = task;
    walk.inner = s.inner;
    walk.at = o->relative;
    walk.baseDepth = o->depth;
    platform::DirReader& top = walk.reader(0);
    if (top.openBelow(s.root, o->relative))
        walk.walkOpen(0, true);
    else
        walk.noteFailure(top);
    walk.leaveShared();
    return true;
}

void WalkShare::stop()
{
    d->halted = true;
}

bool WalkShare::stopped() const
{
    return d->halt();
}

int WalkShare::taken() const
{
    return d->takenCount.load();
}
