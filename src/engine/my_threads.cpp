#include "engine/my_threads.h"

#include "engine/archive_path.h"
#include "engine/date_text.h"
#include "engine/publication_sink.h"
#include "platform/dir_reader.h"

#include <QMetaObject>

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

}  // namespace

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
    m_readers.clear();
    FTerminated = true;
}

platform::DirReader& TMyThreads::readerAt(std::size_t depth)
{
    while (m_readers.size() <= depth)
        m_readers.push_back(std::make_unique<platform::DirReader>());
    return *m_readers[depth];
}

double TMyThreads::MeasureFolder(const QString& path, bool root)
{
    const QString local = archiveLocalPath(path);
    platform::DirReader& reader = readerAt(0);
    FZwischen = true;
    double total = 0;
    if (reader.open(local.toStdString()))
        total = measureDir(reader, root, 0);
    reader.close();
    if (root)
        FZwischen = false;
    return total;
}

double TMyThreads::measureDir(platform::DirReader& reader, bool root, std::size_t depth)
{
    FZwischen = true;
    std::int32_t counter = FSchritt;
    double total = 0;
    platform::DirEntry entry;
    while (reader.next(entry)) {
        if (stopRequested())
            break;
        const double size = double(entry.size);
        const std::string_view ext = extensionOf(entry.name);
        const bool isIndex = entry.name == "archive.dat";
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
            const platform::DosStamp stamp = platform::dosStampFromTime(entry.mtime);
            if (stamp != 0) {
                if (stamp < FOld)
                    FOld = stamp;
                if (stamp > FNew)
                    FNew = stamp;
            }
        }
        total += size;
        --counter;

        if (entry.isDir && !entry.name.empty() && entry.name.front() != '.') {
            platform::DirReader& child = readerAt(depth + 1);
            if (child.openChild(reader, entry.name)) {
                total += measureDir(child, false, depth + 1);
                child.close();
            }
        }
        if (counter == 0) {
            if (stopRequested())
                break;
            publish();
            counter = FSchritt;
        }
    }
    return total;
}

void TMyThreads::publish()
{
    QObject* context = m_sinkContext.data();
    if (!context)
        return;
    QMetaObject::invokeMethod(context, [this] { PublishResult(); }, Qt::BlockingQueuedConnection);
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
        const DateTextFormat format;
        data.Neueste = format.format(platform::dosStampToDateTime(FNew));
        if (platform::isValidDosStamp(FOld))
            data.Aelteste = format.format(platform::dosStampToDateTime(FOld));
    }
    if (m_sink)
        m_sink->UpdateLVCaption(double(sizeMb), FTobData.get(), FUnter, FZwischen);
}
