#include "engine/my_threads.h"

#include "engine/archive_path.h"
#include "engine/date_text.h"
#include "engine/publication_sink.h"
#include "engine/share_board.h"
#include "platform/dir_reader.h"

#include <QHash>
#include <QLocale>
#include <QMetaObject>

#include <optional>

namespace {

constexpr double kMegabyte = 1048576.0;

// The date text of a stamp. Building the format and the text costs more than the rest of a publication,
// so texts are kept per stamp for as long as the default locale stays the same. Newest and oldest stamp
// rarely change between two publications.
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

}  // namespace

struct TMyThreads::Target {
    std::shared_ptr<TTobData> record;
    PublicationSink* sink = nullptr;
    bool unter = false;
    std::atomic<bool> stop {false};
};

TMyThreads::TMyThreads(ScanConfig config, QObject* parent)
    : QThread(parent), m_config(std::move(config)), m_target(std::make_shared<Target>()),
      m_sinkContext(m_config.sinkContext)
{
    m_target->record = m_config.FTobData;
    m_target->sink = m_config.sink;
    m_target->unter = m_config.FUnter;
    for (const InnerArchive& a : m_config.FInnen) {
        auto target = std::make_shared<Target>();
        target->record = a.record;
        target->sink = m_config.sink;
        target->unter = a.unter;
        m_inner.push_back(std::move(target));
    }
    m_innerDone.assign(m_inner.size(), 0);
    if (m_config.board)
        m_share = std::make_shared<WalkShare>([board = m_config.board] { board->offered(); });
    if (m_config.freeOnTerminate)
        connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TMyThreads::~TMyThreads()
{
    Stop();
    wait();
}

void TMyThreads::resume()
{
    if (m_resumed.exchange(true))
        return;
    start(m_config.priority);
}

void TMyThreads::Stop()
{
    m_target->stop.store(true, std::memory_order_relaxed);
    for (const auto& target : m_inner)
        target->stop.store(true, std::memory_order_relaxed);
    if (m_share)
        m_share->stop();
    requestInterruption();
}

bool TMyThreads::stopRequested() const
{
    return m_target->stop.load(std::memory_order_relaxed) || isInterruptionRequested();
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
    if (m_config.board)
        m_config.board->walkBegins();
    platform::DirReader::ownWorkingFolder();
    ArchiveWalk walk(
        m_config.FSchritt, [this] { return stopRequested(); }, [this](const ScanFigures& f) { publish(m_target, f); });
    for (std::size_t i = 0; i < m_inner.size(); ++i) {
        walk.addInner(m_config.FInnen[i].relative, [this, i](const ScanFigures& f) {
            m_innerDone[i] = 1;
            publish(m_inner[i], f);
        });
    }
    walk.shareWith(m_share);
    walk.figures().FSize = walk.MeasureFolder(archiveLocalPath(m_config.FPfad).toStdString(), true);
    if (!stopRequested())
        publish(m_target, walk.figures());
    // The place is free before the scheduler can see it so.
    if (m_config.board)
        m_config.board->walkEnds();
    FTerminated = true;
}

void TMyThreads::publish(const std::shared_ptr<Target>& target, const ScanFigures& figures)
{
    QObject* context = m_sinkContext.data();
    if (!context)
        return;
    if (context->thread() == QThread::currentThread()) {
        PublishResult(*target, figures);
        return;
    }
    // Posted events to one receiver arrive in the order they were posted, so the record sees the
    // publications in the order the walk made them.
    QMetaObject::invokeMethod(
        context, [target, figures] { PublishResult(*target, figures); }, Qt::QueuedConnection);
}

void TMyThreads::PublishResult(const Target& target, const ScanFigures& figures)
{
    // A stopped scanner (its row removed or measured anew) no longer writes into the row.
    if (target.stop.load(std::memory_order_relaxed) || !target.record)
        return;
    TTobData& data = *target.record;
    const long double sizeMb = (long double)figures.FSize / kMegabyte;
    data.Size = sizeMb;
    data.SizeRoot = (long double)figures.FSizeRoot / kMegabyte;
    data.AnzahlNachrichten = figures.FAnzahlNachrichten;
    data.AnzahlNachrichtenG = figures.FAnzahlNachrichtenG;
    data.Anhang = figures.FAnhang;
    data.AnhangG = figures.FAnhangG;
    data.AnhangSizeG = figures.FAnhangSizeG / kMegabyte;
    data.AnhangSize = (target.unter ? figures.FAnhangSize : figures.FAnhangSizeG) / kMegabyte;
    data.UnlesbareOrdner = figures.FUnlesbar;

    if (platform::isValidDosStamp(figures.FNew)) {
        data.Neueste = stampText(figures.FNew);
        data.NeuesteStamp = figures.FNew;
        if (platform::isValidDosStamp(figures.FOld)) {
            data.Aelteste = stampText(figures.FOld);
            data.AeltesteStamp = figures.FOld;
        }
    }
    if (target.sink)
        target.sink->UpdateLVCaption(double(sizeMb), target.record.get(), target.unter, figures.FZwischen);
}
