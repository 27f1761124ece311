#include "engine/scan_scheduler.h"

#include "engine/my_threads.h"

#include <QMutexLocker>

QMutex& ScanLock()
{
    static QMutex lock;
    return lock;
}

int threadLimitFromText(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

int ResumeScanners(const std::vector<TMyThreads*>& threadArray, int limit)
{
    QMutexLocker lock(&ScanLock());
    int running = 0;
    for (const TMyThreads* t : threadArray)
        if (t && t->FEinmal && !t->FTerminated)
            ++running;
    int free = limit - running;
    int resumed = 0;
    for (TMyThreads* t : threadArray) {
        if (free <= 0)
            break;
        if (!t || t->FEinmal)
            continue;
        // A scanner resumed by an earlier pass that has not begun yet still counts as waiting; resuming
        // it again does nothing but take the place again, as it will start soon.
        t->resume();
        --free;
        ++resumed;
    }
    return resumed;
}

void ScanQueue::clear()
{
    m_next = 0;
    m_holding.clear();
}

void ScanQueue::assign(const std::vector<TMyThreads*>& threadArray)
{
    clear();
    for (std::size_t i = 0; i < threadArray.size(); ++i) {
        const TMyThreads* t = threadArray[i];
        if (t && t->resumed() && !t->isFinished())
            m_holding.push_back(threadArray[i]);
    }
    advance(threadArray);
}

int ScanQueue::pass(const std::vector<TMyThreads*>& threadArray, int limit)
{
    const int resumed = ResumeScanners(passList(threadArray, limit), limit);
    advance(threadArray);
    return resumed;
}

std::vector<TMyThreads*> ScanQueue::passList(const std::vector<TMyThreads*>& threadArray, int limit) const
{
    std::vector<TMyThreads*> list = m_holding;
    for (std::size_t i = m_next; i < threadArray.size() && limit > 0; ++i) {
        if (!threadArray[i])
            continue;
        list.push_back(threadArray[i]);
        --limit;
    }
    return list;
}

void ScanQueue::advance(const std::vector<TMyThreads*>& threadArray)
{
    // Few entries: at most the limit's worth of scanners between two passes.
    std::erase_if(m_holding, [](const TMyThreads* t) { return t->isFinished(); });
    for (; m_next < threadArray.size(); ++m_next) {
        TMyThreads* t = threadArray[m_next];
        if (!t)
            continue;
        if (!t->resumed())
            break;
        if (!t->isFinished())
            m_holding.push_back(t);
    }
}

void ScanQueue::ended(const TMyThreads* t)
{
    std::erase(m_holding, t);
}

bool ScanQueue::hasWaiting(const std::vector<TMyThreads*>& threadArray) const
{
    // Usually the entry at next() itself; entries stopped before their turn are passed over.
    for (std::size_t i = m_next; i < threadArray.size(); ++i) {
        const TMyThreads* t = threadArray[i];
        if (t && !t->resumed() && !t->stopRequested())
            return true;
    }
    return false;
}
