#include "export/file_work.h"

#include "export/export_run.h"

FileWork::FileWork(ExportTally& tally) : m_tally(tally), m_thread([this] { work(); }) {}

FileWork::~FileWork()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FileWork::post(Job job)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.size() < kMaxPending; });
    m_jobs.push_back(std::move(job));
    lock.unlock();
    m_changed.notify_all();
}

void FileWork::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void FileWork::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
        if (m_jobs.empty())
            return;  // stopping, and nothing left
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();  // room for the next job
        try {
            job(m_tally);
        } catch (const std::exception& e) {
            m_tally.fail(QString(), QString::fromLocal8Bit(e.what()));
        }
        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_changed.notify_all();  // finish() may be waiting
    }
}
