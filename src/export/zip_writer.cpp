#include "export/zip_writer.h"

#include "export/export_names.h"
#include "export/file_ops.h"
#include "platform/excerpt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr qint64 kChunk = 256 * 1024;

// One added file as its worker left it: where its packed bytes lie in that worker's spool file.
struct Packed {
    QString file;
    QString entry;
    bool done = false;
    bool present = false;  // false: the file was not there, nothing to add
    QString error;         // the file was there but could not be read
    QString spoolError;    // its packed bytes could not be written: the ZIP cannot be written either
    bool deflated = false;
    int spool = -1;
    qint64 offset = 0;
    qint64 compSize = 0;
    qint64 size = 0;
    quint32 crc = 0;
    qint64 mtime = 0;
};

// The packed bytes of every worker go into one unnamed temporary file of its own beside the ZIP, so memory
// stays small whatever the export's size, and no lock is needed while writing.
struct Spool {
    std::unique_ptr<QTemporaryFile> file;
    qint64 end = 0;
    QString failed;  // why a write to it failed; it is not written again
};

// Qt reports a write that stops partway, because the disk ran full in the middle of it, as a short count
// without the system's reason; writing the rest again fails with it (ENOSPC), and that is what is said.
bool writeAll(QFile& file, const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = file.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// The same for what QFile holds in its buffer: a flush that stops partway is tried once more for the reason.
bool flushAll(QFile& file)
{
    return file.flush() || file.flush();
}

// Deflates `file` into the spool; stores it instead when deflating does not make it smaller.
void packInto(Packed& p, Spool& spool, const QString& spoolFolder)
{
    const QFileInfo info(p.file);
    if (!info.exists())
        return;
    p.present = true;
    // What a failed write left in QFile's buffer would fail the next file with a reason of its own ("Unknown
    // error" for a write that stops partway): the first reason stands for every later file.
    if (!spool.failed.isEmpty()) {
        p.spoolError = spool.failed;
        return;
    }
    if (!spool.file) {
        spool.file = std::make_unique<QTemporaryFile>(spoolFolder + QStringLiteral("/.EML-Export-XXXXXX.tmp"));
        if (!spool.file->open()) {
            p.spoolError = QStringLiteral("Zwischendatei für die ZIP-Datei: %1").arg(spool.file->errorString());
            spool.file.reset();
            return;
        }
    }
    QFile in(p.file);
    if (!in.open(QIODevice::ReadOnly)) {
        p.error = in.errorString();
        return;
    }
    p.mtime = info.lastModified().toSecsSinceEpoch();
    p.offset = spool.end;
    QFile& out = *spool.file;
    if (!out.seek(p.offset)) {
        p.spoolError = out.errorString();
        return;
    }

    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        p.error = QStringLiteral("zlib lässt sich nicht starten.");
        return;
    }
    std::vector<char> input(kChunk), output(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    qint64 size = 0, packed = 0;
    bool ok = true;
    for (bool finished = false; ok && !finished;) {
        const qint64 got = in.read(input.data(), kChunk);
        if (got < 0) {
            p.error = in.errorString();
            ok = false;
            break;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(input.data()), uInt(got));
        size += got;
        const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        zs.next_in = reinterpret_cast<Bytef*>(input.data());
        zs.avail_in = uInt(got);
        do {
            zs.next_out = reinterpret_cast<Bytef*>(output.data());
            zs.avail_out = uInt(kChunk);
            const int state = deflate(&zs, flush);
            const qint64 have = kChunk - zs.avail_out;
            if (have > 0 && !writeAll(out, output.data(), have)) {
                p.spoolError = out.errorString();
                ok = false;
                break;
            }
            packed += have;
            if (state == Z_STREAM_END)
                finished = true;
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    if (!ok)
        return;

    p.size = size;
    p.crc = quint32(crc);
    p.deflated = packed < size;
    if (!p.deflated) {
        // Stored: the file's own bytes replace the deflated ones (which took at least as much room).
        if (!in.seek(0)) {
            p.error = in.errorString();
            return;
        }
        // Flushed first: a seek whose flush fails gives no reason.
        if (!flushAll(out) || !out.seek(p.offset)) {
            p.spoolError = out.errorString();
            return;
        }
        crc = crc32(0, nullptr, 0);
        size = 0;
        for (;;) {
            const qint64 got = in.read(input.data(), kChunk);
            if (got < 0) {
                p.error = in.errorString();
                return;
            }
            if (got > 0 && !writeAll(out, input.data(), got)) {
                p.spoolError = out.errorString();
                return;
            }
            if (got == 0)
                break;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(input.data()), uInt(got));
            size += got;
        }
        p.size = size;
        p.crc = quint32(crc);
        packed = size;
    }
    // QFile keeps small writes in its buffer: a full disk may show only when that is written out, and then the
    // bytes are known to be on the disk before libzip reads them back.
    if (!flushAll(out)) {
        p.spoolError = out.errorString();
        return;
    }
    p.compSize = packed;
    spool.end = p.offset + packed;
}

void pack(Packed& p, Spool& spool, const QString& spoolFolder)
{
    packInto(p, spool, spoolFolder);
    if (!p.spoolError.isEmpty())
        spool.failed = p.spoolError;
}

// What libzip reads for one entry: the packed bytes as they lie in the spool, announced with their method,
// sizes, CRC and time, so that libzip writes them as they are.
struct EntrySource {
    const Packed* packed;
    QFile* spool;
    qint64 position = 0;
    zip_error_t error;
};

zip_int64_t entryCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<EntrySource*>(state);
    const Packed& p = *source->packed;
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const qint64 wanted = std::min<qint64>(qint64(length), p.compSize - source->position);
        if (wanted <= 0)
            return 0;
        if (!source->spool->seek(p.offset + source->position)
            || source->spool->read(static_cast<char*>(data), wanted) != wanted) {
            zip_error_set(&source->error, ZIP_ER_READ, EIO);
            return -1;
        }
        source->position += wanted;
        return wanted;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        if (length < sizeof(zip_stat_t)) {
            zip_error_set(&source->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        // The time belongs here too: traditional encryption takes its check byte from it.
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_MTIME
                    | ZIP_STAT_ENCRYPTION_METHOD;
        st->size = zip_uint64_t(p.size);
        st->comp_size = zip_uint64_t(p.compSize);
        st->comp_method = p.deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        st->crc = p.crc;
        st->mtime = time_t(p.mtime);
        st->encryption_method = ZIP_EM_NONE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// libzip's words for what failed, but a full disk in the system's words, as the export's other writes say it
// (libzip would add its own "Write error: " or "Closing zip archive failed: ").
QString zipErrorText(zip_t* zip)
{
    zip_error_t* error = zip_get_error(zip);
    if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) == ENOSPC)
        return platform::systemErrorText(ENOSPC);
    return QString::fromLocal8Bit(zip_strerror(zip));
}

void closeProgress(zip_t*, double fraction, void* state)
{
    static_cast<std::atomic<double>*>(state)->store(fraction);
}

// Waits until `done` holds. On the application's thread its event loop runs meanwhile, so windows repaint and
// take input; `tick` is called a few dozen times a second either way.
void waitResponsive(const std::function<bool()>& done, const std::function<void()>& tick)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        while (!done()) {
            tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        tick();
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        tick();
        if (done())
            loop.quit();
    });
    timer.start();
    while (!done())
        loop.exec();
    tick();
}

// An archive without entries: only the end record. libzip would remove the file instead of writing it.
const QByteArray emptyZip = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');

}  // namespace

struct ZipWriter::Impl {
    QString path;
    QByteArray password;
    QString spoolFolder;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<int> queue;
    std::vector<Packed> jobs;  // guarded by mutex while workers run
    int doneCount = 0;
    bool stopping = false;
    std::vector<std::thread> threads;
    std::vector<Spool> spools;  // one per worker, touched only by it until the workers have ended

    QHash<QString, int> slotOfEntry;
    std::vector<int> lastJobOfSlot;
    QList<Failure> failures;
    int written = 0;

    void work(int index)
    {
        for (;;) {
            int job = -1;
            Packed p;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !queue.empty(); });
                if (stopping)
                    return;
                job = queue.front();
                queue.pop_front();
                p.file = jobs[std::size_t(job)].file;
            }
            pack(p, spools[std::size_t(index)], spoolFolder);
            p.spool = index;
            p.done = true;
            std::lock_guard lock(mutex);
            p.entry = jobs[std::size_t(job)].entry;
            jobs[std::size_t(job)] = std::move(p);
            ++doneCount;
        }
    }

    void stopWorkers()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            queue.clear();
        }
        wake.notify_all();
        for (std::thread& t : threads)
            t.join();
        threads.clear();
    }
};

ZipWriter::ZipWriter(const QString& path, const QByteArray& password, int workers) : d(std::make_unique<Impl>())
{
    d->path = path;
    d->password = password;
    d->spoolFolder = QFileInfo(path).absolutePath();
    if (workers <= 0)
        workers = std::clamp(QThread::idealThreadCount(), 1, 4);
    d->spools.resize(std::size_t(workers));
    for (int i = 0; i < workers; ++i)
        d->threads.emplace_back([this, i] { d->work(i); });
}

ZipWriter::~ZipWriter()
{
    d->stopWorkers();
}

QString ZipWriter::path() const
{
    return d->path;
}

void ZipWriter::addFile(const QString& file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return;
    const QString full = info.absoluteFilePath();
    const QString entry = zipEntryName(full);
    {
        std::lock_guard lock(d->mutex);
        if (d->stopping)
            return;
        const int job = int(d->jobs.size());
        Packed p;
        p.file = full;
        p.entry = entry;
        d->jobs.push_back(std::move(p));
        const auto slot = d->slotOfEntry.constFind(entry);
        if (slot == d->slotOfEntry.constEnd()) {
            d->slotOfEntry.insert(entry, int(d->lastJobOfSlot.size()));
            d->lastJobOfSlot.push_back(job);
        } else {
            d->lastJobOfSlot[std::size_t(slot.value())] = job;
        }
        d->queue.push_back(job);
    }
    d->wake.notify_one();
}

bool ZipWriter::close(const std::function<void(int)>& progress, QString* reason)
{
    const auto report = [&progress](int percent) {
        if (progress)
            progress(std::clamp(percent, 0, 100));
    };
    const auto fail = [reason](const QString& text) {
        if (reason)
            *reason = text;
        return false;
    };

    // Half of the bar for the deflating that is left, half for writing the file.
    int total = 0;
    {
        std::lock_guard lock(d->mutex);
        total = int(d->jobs.size());
    }
    const auto deflated = [this] {
        std::lock_guard lock(d->mutex);
        return d->doneCount;
    };
    waitResponsive([&] { return deflated() >= total; },
                   [&] { report(total ? 50 * deflated() / total : 50); });
    d->stopWorkers();

    std::vector<const Packed*> entries;
    QString spoolError;
    for (const int job : d->lastJobOfSlot) {
        const Packed& p = d->jobs[std::size_t(job)];
        if (!p.present)
            continue;
        if (!p.spoolError.isEmpty() && spoolError.isEmpty())
            spoolError = p.spoolError;
        if (!p.error.isEmpty()) {
            d->failures.append(Failure{p.file, p.error});
            continue;
        }
        entries.push_back(&p);
    }
    // The disk beside the ZIP is full (or the spool cannot be written for another reason): the ZIP, which
    // needs as much room again, is not attempted.
    if (!spoolError.isEmpty())
        return fail(spoolError);

    if (entries.empty()) {
        QString why;
        if (!exportfiles::writeFileReplacing(d->path, emptyZip, &why))
            return fail(why);
        report(100);
        return true;
    }

    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(d->path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
        zip_error_fini(&e);
        return fail(text);
    }
    const auto abandon = [zip, &fail](const QString& text) {
        zip_discard(zip);
        return fail(text);
    };
    for (const Packed* p : entries) {
        auto* state = new EntrySource{p, d->spools[std::size_t(p->spool)].file.get(), 0, {}};
        zip_error_init(&state->error);
        zip_source_t* source = zip_source_function(zip, entryCallback, state);
        if (!source) {
            zip_error_fini(&state->error);
            delete state;
            return abandon(QString::fromLocal8Bit(zip_strerror(zip)));
        }
        const zip_int64_t index = zip_file_add(zip, p->entry.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return abandon(QStringLiteral("%1: %2").arg(p->entry, QString::fromLocal8Bit(zip_strerror(zip))));
        }
        // A stored entry must be marked so, or libzip would deflate it after all.
        if (!p->deflated && zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0)
            return abandon(QString::fromLocal8Bit(zip_strerror(zip)));
        if (!d->password.isEmpty()
            && zip_file_set_encryption(zip, zip_uint64_t(index), ZIP_EM_TRAD_PKWARE, d->password.constData()) != 0)
            return abandon(QString::fromLocal8Bit(zip_strerror(zip)));
    }

    // libzip does all its writing in zip_close; it runs on a thread of its own while this one waits responsive.
    std::atomic<double> fraction{0.0};
    zip_register_progress_callback_with_state(zip, 0.005, closeProgress, nullptr, &fraction);
    std::atomic<bool> closed{false};
    bool closedOk = false;
    QString closeError;
    std::thread closer([&] {
        closedOk = zip_close(zip) == 0;
        if (!closedOk)
            closeError = zipErrorText(zip);
        closed = true;
    });
    waitResponsive([&] { return closed.load(); }, [&] { report(50 + int(50 * fraction.load())); });
    closer.join();
    if (!closedOk)
        return abandon(closeError);
    d->written = int(entries.size());
    report(100);
    return true;
}

QList<ZipWriter::Failure> ZipWriter::failures() const
{
    return d->failures;
}

int ZipWriter::entryCount() const
{
    return d->written;
}
