#include "cli/stat_run.h"

#include "engine/my_threads.h"

#include <QEventLoop>

StatRun::StatRun(QObject* parent) : QObject(parent) {}

StatRun::~StatRun()
{
    // Only reached early on an exception; a scanner stops and waits for itself when deleted.
    for (TMyThreads* t : m_scanners)
        delete t;
}

void StatRun::measure(const std::vector<StatRow>& rows, int limit, Progress progress)
{
    m_progress = std::move(progress);
    m_next = 0;
    m_running = m_peak = m_finals = 0;
    if (rows.empty())
        return;

    QEventLoop loop;
    std::size_t ended = 0;
    m_scanners.reserve(rows.size());
    for (const StatRow& row : rows) {
        auto* scanner = new TMyThreads({.FPfad = row.data->Pfad,
                                        .FTobData = row.data,
                                        .FUnter = row.level > 0,
                                        .sink = this,
                                        .sinkContext = this});
        // finished arrives after the final publication, which was posted before it.
        connect(scanner, &QThread::finished, this, [this, &ended, &loop, total = rows.size()] {
            --m_running;
            if (++ended == total)
                loop.quit();
            else
                startNext();
        });
        m_scanners.push_back(scanner);
    }
    for (int i = 0; i < qMax(1, limit); ++i)
        startNext();
    loop.exec();

    for (TMyThreads* t : m_scanners) {
        t->wait();  // ended already; this only joins the thread
        delete t;
    }
    m_scanners.clear();
}

void StatRun::startNext()
{
    if (m_next >= m_scanners.size())
        return;
    ++m_running;
    m_peak = qMax(m_peak, m_running);
    m_scanners[m_next++]->resume();
}

void StatRun::UpdateLVCaption(double, TTobData*, bool, bool Zwischen)
{
    if (Zwischen)
        return;
    ++m_finals;
    if (m_progress)
        m_progress(m_finals, int(m_scanners.size()));
}
