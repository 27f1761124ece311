#include "engine/my_threads.h"

#include "engine/archive_path.h"
#include "engine/date_text.h"
#include "engine/publication_sink.h"
#include "platform/dir_reader.h"

#include <QHash>
#include <QLocale>
#include <QMetaObject>

#include <optional>
#include <string>

namespace {

constexpr double kMegabyte = 1048576.0;
constexpr double kIndexRecord = 430.0;

std::string_view extensionOf(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool isAttachmentExtension(std::string_view ext)
{
    return ext.size() >= 2 && ext[0] == '.' && ext[1] == '$' && ext != ".$00";
}

// The date text of a stamp. The scanner waits while its publication runs, and building the format and
// the text costs more than the rest of a publication, so texts are kept per stamp for as long as the
// default locale stays the same. Newest and oldest stamp rarely change between two publications.
const QString& stampText(platform::DosStamp stamp)
{
    struct Cache {
        QLocale locale;
        std::optional<DateTextFormat> format;
        QHash<platform::DosStamp, QString> texts;
    };
    thread_local Cache cache;
    const QLocale current;
    if (!cache.format || cache.locale != current) {
        cache.locale = current;
        cache.format.emplace(current);
        cache.texts.clear();
    }
    auto it = cache.texts.constFind(stamp);
    if (it == cache.texts.constEnd()) {
        if (cache.texts.size() >= 4096)
            cache.texts.clear();
        it = cache.texts.insert(stamp, cache.format->format(platform::dosStampToDateTime(stamp)));
    }
    return *it;
}

// Entries read ahead while a publication waits for the main thread. Waking the main thread and being woken
// again costs about as much as listing fifty entries, so the wait is spent listing the next ones.
constexpr std::size_t kReadAheadLimit = 256;

// Tells the waiting scanner that its publication is over: when the queued call has run, or when it was
// dropped unrun (its context deleted first).
class PublicationDone {
public:
    explicit PublicationDone(std::shared_ptr<std::atomic<bool>> flag) : m_flag(std::move(flag)) {}
    ~PublicationDone()
    {
        m_flag->store(true, std::memory_order_release);
        m_flag->notify_one();
    }
    PublicationDone(const PublicationDone&) = delete;
    PublicationDone& operator=(const PublicationDone&) = delete;

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};

}  // namespace

// The tree's entries in the order the walk meets them, each folder's entries followed by an end mark, a
// sub-folder's entries right after its own entry. Entries are listed on demand, or ahead of the consumer
// while a publication waits.
struct TMyThreads::Walk {
    struct Token {
        bool end = false;        // the folder being listed has no more entries
        bool childOpen = false;  // a folder to enter, opened; its entries follow
        std::string name;
        std::uint64_t size = 0;
        std::int64_t mtime = 0;
    };

    std::vector<std::unique_ptr<platform::DirReader>> readers;  // one per folder level, reused
    std::size_t open = 0;                                       // levels being listed
    std::vector<Token> ahead;                                   // listed, not yet taken
    std::size_t head = 0;
    Token current;

    bool start(const std::string& path)
    {
        ahead.clear();
        head = 0;
        open = 0;
        for (auto& r : readers)
            r->close();
        if (!reader(0).open(path))
            return false;
        open = 1;
        return true;
    }

    platform::DirReader& reader(std::size_t level)
    {
        while (readers.size() <= level)
            readers.push_back(std::make_unique<platform::DirReader>());
        return *readers[level];
    }

    std::size_t pending() const { return ahead.size() - head; }

    // Lists one more token; false when the whole tree has been listed.
    bool produce()
    {
        if (open == 0)
            return false;
        platform::DirReader& folder = *readers[open - 1];
        platform::DirEntry e;
        Token& t = ahead.emplace_back();
        if (!folder.next(e)) {
            folder.close();
            --open;
            t.end = true;
            return true;
        }
        t.name.assign(e.name);
        t.size = e.size;
        t.mtime = e.mtime;
        // Folders whose name begins with "." are not part of the tree; links are never folders here.
        if (e.isDir && !e.name.empty() && e.name.front() != '.') {
            t.childOpen = reader(open).openChild(folder, e.name);
            if (t.childOpen)
                ++open;
        }
        return true;
    }

    // The next token, valid until the next call; null when the tree has been listed.
    const Token* take()
    {
        if (head == ahead.size()) {
            ahead.clear();
            head = 0;
            if (!produce())
                return nullptr;
        }
        current = std::move(ahead[head++]);
        return &current;
    }
};

TMyThreads::TMyThreads(PublicationSink* sink, QObject* sinkContext, QObject* parent)
    : QThread(parent), m_sink(sink), m_sinkContext(sinkContext)
{
}

TMyThreads::~TMyThreads() = default;

void TMyThreads::resume()
{
    if (m_resumed)
        return;
    m_resumed = true;
    start(m_priority);
}

void TMyThreads::setFreeOnTerminate(bool free)
{
    if (free == m_freeOnTerminate)
        return;
    m_freeOnTerminate = free;
    if (free)
        connect(this, &QThread::finished, this, &QObject::deleteLater);
    else
        disconnect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TMyThreads::Stop()
{
    m_stop = true;
    requestInterruption();
}

bool TMyThreads::stopRequested() const
{
    return m_stop.load(std::memory_order_relaxed) || isInterruptionRequested();
}

void TMyThreads::run()
{
    Execute();
}

void TMyThreads::Execute()
{
    FEinmal = true;
    FTerminated = false;
    if (stopRequested()) {
        FTerminated = true;
        return;
    }
    FSize = FSizeRoot = 0;
    FAnzahlNachrichten = FAnzahlNachrichtenG = 0;
    FAnhang = FAnhangG = 0;
    FAnhangSize = FAnhangSizeG = 0;
    FNew = 0;
    FOld = kNoOldStamp;

    FSize = MeasureFolder(FPfad, true);
    if (!stopRequested())
        publish();
    m_walk.reset();  // closes the folders a stop left open
    FTerminated = true;
}

double TMyThreads::MeasureFolder(const QString& path, bool root)
{
    const QString local = archiveLocalPath(path);
    if (!m_walk)
        m_walk = std::make_unique<Walk>();
    FZwischen = true;
    double total = 0;
    if (m_walk->start(local.toStdString()))
        total = measureDir(root);
    if (root)
        FZwischen = false;
    return total;
}

// Takes the entries of one folder from the walk, up to its end mark, and those of its sub-folders through
// recursion; each folder level keeps its own publication counter.
double TMyThreads::measureDir(bool root)
{
    FZwischen = true;
    std::int32_t counter = FSchritt;
    double total = 0;
    while (const Walk::Token* t = m_walk->take()) {
        if (t->end || stopRequested())
            break;
        const std::string_view name = t->name;
        const double size = double(t->size);
        const std::string_view ext = extensionOf(name);
        const bool isIndex = name == "archive.dat";
        const bool isAttachment = isAttachmentExtension(ext);

        FSize += size;
        if (root) {
            FSizeRoot += size;
            if (isIndex)
                FAnzahlNachrichten = size / kIndexRecord;
            if (isAttachment) {
                ++FAnhang;
                FAnhangSize += size;
            }
        }
        if (isIndex)
            FAnzahlNachrichtenG += size / kIndexRecord;
        if (isAttachment) {
            ++FAnhangG;
            FAnhangSizeG += size;
        } else if (ext == ".001") {
            // Every valid stamp is compared with both ends, so the newest and the oldest are found
            // whatever order the files come in.
            const platform::DosStamp stamp = platform::dosStampFromTime(t->mtime);
            if (stamp != 0) {
                if (stamp < FOld)
                    FOld = stamp;
                if (stamp > FNew)
                    FNew = stamp;
            }
        }
        total += size;
        --counter;

        // The sub-folder's entries reuse the token: `t` is not read after this.
        if (t->childOpen)
            total += measureDir(false);
        if (counter == 0) {
            if (stopRequested())
                break;
            publish(true);
            counter = FSchritt;
        }
    }
    return total;
}

void TMyThreads::publish(bool walkAhead)
{
    QObject* context = m_sinkContext.data();
    if (!context)
        return;
    if (context->thread() == QThread::currentThread()) {
        PublishResult();
        return;
    }
    // A blocking queued call, with the wait spent reading ahead: the figures stay untouched until the
    // main thread is done with them.
    auto done = std::make_shared<std::atomic<bool>>(false);
    QMetaObject::invokeMethod(
        context, [this, notifyDone = std::make_shared<PublicationDone>(done)] { PublishResult(); },
        Qt::QueuedConnection);
    if (walkAhead && m_walk) {
        while (!done->load(std::memory_order_acquire) && m_walk->pending() < kReadAheadLimit && m_walk->produce()) {
        }
    }
    done->wait(false, std::memory_order_acquire);
}

void TMyThreads::PublishResult()
{
    // A stopped scanner (its row removed or measured anew) no longer writes into the row.
    if (stopRequested() || !FTobData)
        return;
    TTobData& data = *FTobData;
    const long double sizeMb = (long double)FSize / kMegabyte;
    data.Size = sizeMb;
    data.SizeRoot = (long double)FSizeRoot / kMegabyte;
    data.AnzahlNachrichten = FAnzahlNachrichten;
    data.AnzahlNachrichtenG = FAnzahlNachrichtenG;
    data.Anhang = FAnhang;
    data.AnhangG = FAnhangG;
    data.AnhangSizeG = FAnhangSizeG / kMegabyte;
    data.AnhangSize = (FUnter ? FAnhangSize : FAnhangSizeG) / kMegabyte;

    if (platform::isValidDosStamp(FNew)) {
        data.Neueste = stampText(FNew);
        if (platform::isValidDosStamp(FOld))
            data.Aelteste = stampText(FOld);
    }
    if (m_sink)
        m_sink->UpdateLVCaption(double(sizeMb), FTobData.get(), FUnter, FZwischen);
}
