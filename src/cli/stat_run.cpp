#include "cli/stat_run.h"

#include "engine/archive_path.h"
#include "engine/archive_walk.h"
#include "engine/share_board.h"
#include "engine/share_helper.h"

#include <QEventLoop>
#include <QPointer>

#include <algorithm>

namespace {

// The path of `folder` below `tree` when a walk of `tree` enters it: every part a real name, none hidden.
bool walkedBelow(const std::string& tree, const std::string& folder, std::string& relative)
{
    std::string prefix = tree;
    if (prefix.empty() || prefix.back() != '/')
        prefix.push_back('/');
    if (folder.size() <= prefix.size() || folder.compare(0, prefix.size(), prefix) != 0)
        return false;
    relative = folder.substr(prefix.size());
    std::size_t at = 0;
    while (at <= relative.size()) {
        const std::size_t slash = std::min(relative.find('/', at), relative.size());
        // Empty parts and "." or ".." would name the folder another way; hidden folders are not entered.
        if (slash == at || relative[at] == '.')
            return false;
        at = slash + 1;
    }
    return true;
}

}  // namespace

std::vector<StatWalk> planStatWalks(const std::vector<StatRow>& rows)
{
    // The rows on the way down to the current one, with their local folders: only these are compared, so
    // only these folders are kept (at 163,000 rows, all of them were the largest thing a run held).
    struct Ancestor {
        std::string local;
        std::ptrdiff_t walk = -1;  // index in walks when the row walks
    };
    std::vector<StatWalk> walks;
    std::vector<Ancestor> ancestors;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int level = std::max(0, rows[i].level);
        std::string local = archiveLocalPath(rows[i].data->Pfad).toStdString();
        if (ancestors.size() > std::size_t(level))
            ancestors.resize(std::size_t(level));
        bool measured = false;
        for (const Ancestor& a : ancestors) {
            std::string relative;
            if (a.walk < 0 || !walkedBelow(a.local, local, relative))
                continue;
            walks[std::size_t(a.walk)].inner.push_back(i);
            walks[std::size_t(a.walk)].innerRelative.push_back(std::move(relative));
            measured = true;
            break;
        }
        std::ptrdiff_t walk = -1;
        if (!measured) {
            walk = std::ptrdiff_t(walks.size());
            walks.push_back({i, {}, {}});
        }
        ancestors.push_back({std::move(local), walk});
    }
    return walks;
}

StatRun::StatRun(QObject* parent) : QObject(parent) {}

StatRun::~StatRun()
{
    // Only reached early on an exception; a scanner stops and waits for itself when deleted.
    for (TMyThreads* t : m_live)
        t->Stop();
    for (ShareHelper* h : m_helpers)
        delete h;
    for (TMyThreads* t : m_live)
        delete t;
}

int StatRun::peakWalking() const
{
    return m_board ? m_board->peak() : 0;
}

void StatRun::measure(const std::vector<StatRow>& rows, int limit, Progress progress)
{
    m_progress = std::move(progress);
    m_next = 0;
    m_running = m_peak = m_finals = 0;
    m_limit = qMax(1, limit);
    m_helped = 0;
    m_rows = &rows;
    m_plan = planStatWalks(rows);
    // A walk that offers folders while a place is free asks for a helper, on this object's thread.
    m_board = std::make_shared<ShareBoard>([self = QPointer<StatRun>(this)] {
        if (StatRun* run = self.data())
            QMetaObject::invokeMethod(run, [run] { run->startHelpers(); }, Qt::QueuedConnection);
    });
    if (rows.empty())
        return;

    QEventLoop loop;
    m_loop = &loop;
    fillPlaces();
    loop.exec();
    m_loop = nullptr;
    m_rows = nullptr;
}

void StatRun::startNext()
{
    const std::size_t index = m_next++;
    StatWalk& walk = m_plan[index];
    const StatRow& row = (*m_rows)[walk.row];
    ScanConfig config {.FPfad = row.data->Pfad,
                       .FTobData = row.data,
                       .FUnter = row.level > 0,
                       .sink = this,
                       .sinkContext = this,
                       .board = m_board};
    config.FInnen.reserve(walk.inner.size());
    for (std::size_t k = 0; k < walk.inner.size(); ++k)
        config.FInnen.push_back(
            {std::move(walk.innerRelative[k]), (*m_rows)[walk.inner[k]].data, (*m_rows)[walk.inner[k]].level > 0});
    // The scanner holds them now; at 100,000 rows and more the plan's copies were a good part of the peak.
    walk.innerRelative = {};
    auto* scanner = new TMyThreads(std::move(config));
    // finished arrives after the final publications, which were posted before it.
    connect(scanner, &QThread::finished, this, [this, scanner, index] { ended(scanner, index); });
    m_live.push_back(scanner);
    ++m_running;
    m_peak = qMax(m_peak, m_running);
    scanner->resume();
}

void StatRun::ended(TMyThreads* scanner, std::size_t walk)
{
    scanner->wait();  // joins the thread, so its notes on the inner rows are seen here
    --m_running;
    m_live.erase(std::remove(m_live.begin(), m_live.end(), scanner), m_live.end());
    // The rows the walk did not reach are walked on their own; the plan may grow, so take the list first.
    const std::vector<std::size_t> inner = std::move(m_plan[walk].inner);
    for (std::size_t k = 0; k < inner.size(); ++k)
        if (!scanner->innerMeasured(k))
            m_plan.push_back({inner[k], {}, {}});
    // Its thread has ended and its figures are published (queued before finished): nothing refers to it.
    delete scanner;
    fillPlaces();
}

void StatRun::fillPlaces()
{
    while (m_running < m_limit && m_next < m_plan.size())
        startNext();
    if (m_next < m_plan.size()) {
        // Rows wait: helpers give their places back after the folder they are walking.
        for (ShareHelper* h : m_helpers)
            h->Stop();
    } else {
        startHelpers();
    }
    if (m_running == 0 && m_loop)
        m_loop->quit();
}

void StatRun::startHelpers()
{
    if (!m_loop || m_next < m_plan.size() || m_running >= m_limit)
        return;
    std::vector<std::shared_ptr<WalkShare>> shares;
    int offered = 0;
    for (TMyThreads* t : m_live) {
        shares.push_back(t->share());
        offered += t->share()->offered();
    }
    if (offered == 0) {
        if (!m_live.empty())
            m_board->wantWork();
        return;
    }
    for (int n = std::min(m_limit - m_running, offered); n > 0; --n) {
        auto* helper = new ShareHelper(shares, m_board);
        connect(helper, &QThread::finished, this, [this, helper] { helperEnded(helper); });
        m_helpers.push_back(helper);
        ++m_running;
        m_peak = qMax(m_peak, m_running);
        helper->start();
    }
}

void StatRun::helperEnded(ShareHelper* helper)
{
    helper->wait();
    m_helped += helper->walked();
    m_helpers.erase(std::remove(m_helpers.begin(), m_helpers.end(), helper), m_helpers.end());
    delete helper;
    --m_running;
    fillPlaces();
}

void StatRun::UpdateLVCaption(double, TTobData*, bool, bool Zwischen)
{
    if (Zwischen)
        return;
    ++m_finals;
    if (m_progress)
        m_progress(m_finals, int(m_rows ? m_rows->size() : 0));
}
