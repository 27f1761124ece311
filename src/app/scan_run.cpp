#include "app/scan_run.h"

#include "engine/archive_walk.h"
#include "engine/my_threads.h"
#include "engine/scan_scheduler.h"
#include "engine/share_board.h"
#include "engine/share_helper.h"

#include <algorithm>

#include <QCoreApplication>
#include <QThread>

ScanRun::ScanRun(QObject* parent) : QObject(parent)
{
    m_board = std::make_shared<ShareBoard>([self = QPointer<ScanRun>(this)] {
        // On a walking thread: the helpers are made on the run's.
        if (ScanRun* run = self.data())
            QMetaObject::invokeMethod(run, [run] { run->startHelpers(); }, Qt::QueuedConnection);
    });
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ScanRun::TimerThreadTimer);
}

ScanRun::~ScanRun()
{
    shutdown();
}

TMyThreads* ScanRun::createScanner(const std::shared_ptr<TTobData>& record, bool unter, bool outsideRun)
{
    ScanConfig config {.FPfad = record->Pfad, .FTobData = record, .FUnter = unter, .sink = this, .sinkContext = this};
    if (outsideRun) {
        config.priority = QThread::IdlePriority;
        config.freeOnTerminate = true;
    }
    else
        config.board = m_board;  // run scanners share their trees with the run's free places
    auto* scanner = new TMyThreads(std::move(config), this);
    // A run scanner's place is free once its thread has ended (its final publication was posted before).
    if (!outsideRun)
        connect(scanner, &QThread::finished, this, [this, scanner] {
            m_queue.ended(scanner);
            placeFreed();
        });
    return scanner;
}

void ScanRun::supersede(const std::shared_ptr<TTobData>& record, TMyThreads* scanner)
{
    Measurement& m = m_current[record.get()];
    if (m.scanner && m.scanner != scanner)
        m.scanner->Stop();
    m.record = record;
    m.scanner = scanner;
}

void ScanRun::discard(TMyThreads* scanner)
{
    if (!scanner)
        return;
    scanner->Stop();
    // Connected first, so an end between the test and the connection is not missed. Deleted later, from the
    // event loop: the callers take the scanner out of ThreadArray and the queue before that.
    connect(scanner, &QThread::finished, scanner, &QObject::deleteLater, Qt::UniqueConnection);
    if (!scanner->isRunning())
        scanner->deleteLater();
}

void ScanRun::beginLoad(int users)
{
    m_timer.stop();
    stopHelpers();
    for (TMyThreads* t : ThreadArray)
        discard(t);
    for (auto& [record, m] : m_current)
        if (m.scanner)
            m.scanner->Stop();  // measurements outside the run end by themselves
    ThreadArray.assign(std::size_t(std::max(0, users)), nullptr);
    m_queue.clear();
    m_users.assign(ThreadArray.size(), UserRow {});
    m_userIndex.clear();
    m_current.clear();
    m_total = std::max(0, users);
    m_counted = 0;
    m_sumTobit = m_sumAttachment = m_maxSize = 0;
    m_done = false;
    m_started = false;
    m_subFinals.clear();
    emit loadReset();
    emit progressChanged(0, m_total);
    emit maxSizeChanged(0);
}

void ScanRun::addUser(int row, const std::shared_ptr<TTobData>& record)
{
    if (m_ended || row < 0 || std::size_t(row) >= ThreadArray.size() || !record)
        return;
    discard(ThreadArray[std::size_t(row)]);
    TMyThreads* scanner = createScanner(record, false, false);
    ThreadArray[std::size_t(row)] = scanner;
    m_users[std::size_t(row)].record = record;
    m_userIndex[record.get()] = std::size_t(row);
    supersede(record, scanner);
    // A row the passes have gone past already waits again.
    if (std::size_t(row) < m_queue.next())
        m_queue.assign(ThreadArray);
}

void ScanRun::start()
{
    if (m_ended)
        return;
    m_timer.stop();
    m_counted = 0;
    m_sumTobit = m_sumAttachment = 0;
    m_done = false;
    m_started = true;
    m_runStartedAt = QDateTime::currentDateTimeUtc();
    m_subFinals.clear();
    stopHelpers();
    for (std::size_t i = 0; i < ThreadArray.size(); ++i) {
        UserRow& row = m_users[i];
        row.counted = false;
        TMyThreads* t = ThreadArray[i];
        if (!t || (!t->FEinmal && !t->stopRequested()))
            continue;
        // Measured before (or superseded by "Auswahl berechnen"): a fresh scanner counts it in this run.
        discard(t);
        ThreadArray[i] = createScanner(row.record, false, false);
        supersede(row.record, ThreadArray[i]);
    }
    m_queue.assign(ThreadArray);
    emit runStarted();
    emit progressChanged(0, m_total);
    if (m_total == 0) {
        finish();
        return;
    }
    m_timer.start();
}

void ScanRun::TimerThreadTimer()
{
    m_timer.stop();
    if (m_ended || !m_started || m_done)
        return;
    pass();
    m_timer.start();
}

void ScanRun::placeFreed()
{
    if (m_ended || !m_started || m_done)
        return;
    pass();
}

void ScanRun::pass()
{
    // ScanQueue keeps a pass a few scanners long: microseconds, so it is done at once, on this thread. A
    // pass thread for each freed place cost more than the pass, and the next scanner waited until that
    // thread had been scheduled.
    m_queue.pass(ThreadArray, scannerPlaces());
    startHelpers();
}

int ScanRun::scannerPlaces() const
{
    // Helpers hold places too; none is made while a user row waits, but those of an earlier run may still
    // be ending.
    return m_limit - runningHelpers();
}

int ScanRun::runningHelpers() const
{
    int n = 0;
    for (const QPointer<ShareHelper>& h : m_helpers)
        if (h && !h->isFinished())
            ++n;
    return n;
}

void ScanRun::startHelpers()
{
    if (m_ended || !m_started || m_done)
        return;
    m_helpers.erase(std::remove_if(m_helpers.begin(), m_helpers.end(),
                                   [](const QPointer<ShareHelper>& h) { return !h || h->isFinished(); }),
                    m_helpers.end());
    if (m_queue.hasWaiting(ThreadArray))
        return;  // a user row waits for its place
    int running = int(m_helpers.size());
    std::vector<std::shared_ptr<WalkShare>> shares;
    int offered = 0;
    for (const TMyThreads* t : m_queue.holding()) {
        if (t->isRunning()) {
            ++running;
            if (t->share()) {
                shares.push_back(t->share());
                offered += t->share()->offered();
            }
        }
    }
    const int free = m_limit - running;
    if (free <= 0 || shares.empty())
        return;
    if (offered == 0) {
        m_board->wantWork();
        return;
    }
    for (int n = std::min(free, offered); n > 0; --n) {
        auto* helper = new ShareHelper(shares, m_board, this);
        connect(helper, &QThread::finished, this, &ScanRun::placeFreed);
        connect(helper, &QThread::finished, helper, &QObject::deleteLater);
        m_helpers.emplace_back(helper);
        helper->start();
    }
}

void ScanRun::stopHelpers()
{
    for (const QPointer<ShareHelper>& h : m_helpers)
        if (h)
            h->Stop();
}

void ScanRun::measureAgain(const std::shared_ptr<TTobData>& record, bool unter)
{
    if (m_ended || !record)
        return;
    if (!unter) {
        const auto it = m_userIndex.find(record.get());
        if (it != m_userIndex.end())
            takeOutOfTotals(m_users[it->second]);
    }
    TMyThreads* scanner = createScanner(record, unter, true);
    supersede(record, scanner);
    scanner->resume();
}

int ScanRun::runningScanners() const
{
    int n = 0;
    for (const TMyThreads* t : ThreadArray)
        if (t && t->isRunning())
            ++n;
    return n;
}

int ScanRun::scannersHoldingPlaces() const
{
    int n = 0;
    for (const TMyThreads* t : ThreadArray)
        if (t && t->isRunning() && !t->FTerminated)
            ++n;
    return n;
}

void ScanRun::shutdown()
{
    m_ended = true;
    m_timer.stop();
    QList<QPointer<QThread>> scanners;
    for (TMyThreads* t : findChildren<TMyThreads*>(Qt::FindDirectChildrenOnly)) {
        t->Stop();
        scanners.append(t);
    }
    for (ShareHelper* h : findChildren<ShareHelper*>(Qt::FindDirectChildrenOnly)) {
        h->Stop();
        scanners.append(h);
    }
    // A scanner may sit in a publication waiting for this thread: keep serving it while waiting.
    for (const QPointer<QThread>& t : scanners)
        while (t && !t->wait(10))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ScanRun::UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen)
{
    if (Size > m_maxSize) {
        m_maxSize = Size;
        emit maxSizeChanged(m_maxSize);
    }
    emit recordPublished(TmpData);
    if (Unter && !Zwischen && m_started)
        m_subFinals.insert(TmpData);
    if (Unter || Zwischen)
        return;
    const auto it = m_userIndex.find(TmpData);
    if (it != m_userIndex.end())
        countFinal(m_users[it->second]);
}

void ScanRun::takeOutOfTotals(UserRow& row)
{
    if (!row.counted)
        return;
    m_sumTobit -= row.countedSize;
    m_sumAttachment -= row.countedAttachments;
    row.counted = false;
    --m_counted;
    m_done = false;
    emit progressChanged(m_counted, m_total);
}

void ScanRun::countFinal(UserRow& row)
{
    // A row counted already (measured again) replaces its share instead of adding a second one.
    if (row.counted) {
        m_sumTobit -= row.countedSize;
        m_sumAttachment -= row.countedAttachments;
    } else {
        ++m_counted;
    }
    row.counted = true;
    row.countedSize = double(row.record->Size);
    row.countedAttachments = row.record->AnhangSizeG;
    m_sumTobit += row.countedSize;
    m_sumAttachment += row.countedAttachments;
    emit progressChanged(m_counted, m_total);
    emit totalsChanged(m_counted, m_total, m_sumTobit, m_sumAttachment);
    if (m_counted == m_total && !m_done)
        finish();
}

void ScanRun::finish()
{
    m_done = true;
    m_timer.stop();
    emit finished();
}
