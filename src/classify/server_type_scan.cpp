#include "classify/server_type_scan.h"

#include "classify/type_scan.h"

#include <QThread>

#include <thread>

ServerTypeScan::ServerTypeScan(QObject* parent) : QObject(parent) {}

ServerTypeScan::~ServerTypeScan()
{
    cancel();
    if (m_thread)
        m_thread->wait();
}

bool ServerTypeScan::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}

void ServerTypeScan::cancel()
{
    m_stop = true;
}

void ServerTypeScan::start(std::vector<QString> paths, bool withSubFolders, int threads)
{
    if (isRunning())
        return;
    if (m_thread)
        m_thread->wait();
    m_stop = false;
    m_results.assign(paths.size(), TypeScanResult {});
    auto work = [this, paths = std::move(paths), withSubFolders, threads] {
        std::atomic<std::size_t> next {0};
        std::atomic<int> done {0};
        const int total = int(paths.size());
        const auto scan = [&] {
            for (std::size_t i = next++; i < paths.size() && !m_stop; i = next++) {
                m_results[i] = classify::scanTypes(paths[i], withSubFolders, &m_stop);
                emit progress(++done, total);  // queued to the receivers' thread
            }
        };
        const int workers = int(std::min<std::size_t>(std::size_t(std::max(1, threads)), paths.size()));
        std::vector<std::thread> pool;
        for (int w = 1; w < workers; ++w)
            pool.emplace_back(scan);
        scan();
        for (std::thread& t : pool)
            t.join();
        emit finished(m_stop.load());
    };
    m_thread.reset(QThread::create(std::move(work)));
    m_thread->start(QThread::LowPriority);
}
