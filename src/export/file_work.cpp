#include "export/file_work.h"

#include "export/export_run.h"

FileWork::FileWork(ExportTally& tally) : m_tally(tally), m_thread([this] { work(); }) {}

FileWork::~FileWork()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_one();
    m_thread.join();
}

void FileWork::post(Job job)
{
    std::unique_lock lock(m_mutex);
    if (m_jobs.size() >= kMaxPending) {
        ++m_waiting;
        m_done.wait(lock, [this] { return m_jobs.size() < kMaxPending; });
        --m_waiting;
    }
    m_jobs.push_back(std::move(job));
    const bool wake = m_idle && m_jobs.size() >= kBatch;
    lock.unlock();
    if (wake)
        m_work.notify_one();
}

void FileWork::finish()
{
    std::unique_lock lock(m_mutex);
    ++m_flushing;
    ++m_waiting;
    m_work.notify_one();
    m_done.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
    --m_waiting;
    --m_flushing;
}

void FileWork::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_jobs.empty()) {
            if (m_waiting)
                m_done.notify_all();
            if (m_stopping)
                return;
            m_idle = true;
            m_work.wait(lock, [this] {
                return m_jobs.size() >= kBatch || (m_flushing && !m_jobs.empty()) || m_stopping;
            });
            m_idle = false;
            continue;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        const bool roomNow = m_waiting && m_jobs.size() + 1 == kMaxPending;
        lock.unlock();
        if (roomNow)
            m_done.notify_all();
        try {
            job(m_tally);
        } catch (const std::exception& e) {
            m_tally.fail(QString(), QString::fromLocal8Bit(e.what()));
        }
        lock.lock();
        m_busy = false;
    }
}
