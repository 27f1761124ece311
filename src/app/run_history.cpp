#include "app/run_history.h"

#include "app/archive_node.h"
#include "app/scan_run.h"
#include "history/history_database.h"

#include <algorithm>

RunHistory::RunHistory(QObject* parent) : QObject(parent), m_recorder(new HistoryRecorder(this))
{
    connect(m_recorder, &HistoryRecorder::recorded, this, &RunHistory::written);
}

RunHistory::~RunHistory() = default;

void RunHistory::open(const QString& server)
{
    m_server = server;
    if (m_tried)
        return;
    m_tried = true;
    auto db = std::make_unique<history::HistoryDatabase>(history::HistoryDatabase::defaultPath());
    if (!db->open()) {
        emit failed(db->error() + QStringLiteral("\n\nArvelo arbeitet ohne Historie weiter."));
        return;
    }
    m_db = std::move(db);
}

void RunHistory::newRun()
{
    m_recordedRun = 0;
    m_runRecorded = false;
}

void RunHistory::recordRun(const ArchiveNode& root, const ScanRun& run)
{
    // A run that ended for a re-measured row after it was recorded is the same run.
    if (m_runRecorded || !m_db || root.children.empty())
        return;
    m_runRecorded = true;

    std::vector<HistoryRecorder::Row> rows;
    std::vector<const ArchiveNode*> stack;
    for (auto it = root.children.rbegin(); it != root.children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        const ArchiveNode* node = stack.back();
        stack.pop_back();
        if (node->level == 0 || run.subArchiveMeasuredInRun(node->data.get()))
            rows.push_back({node->level, *node->data});
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back(it->get());
    }

    history::RunInfo info;
    info.started = run.runStartedAt();
    info.threads = run.threadLimit();
    info.complete = true;
    record(std::move(info), std::move(rows));
}

void RunHistory::recordTypes(history::RunInfo info, std::vector<HistoryRecorder::Row> rows,
                             std::vector<std::optional<std::vector<history::TypeTally>>> tallies)
{
    if (!m_db)
        return;
    info.figures = false;
    record(std::move(info), std::move(rows), std::move(tallies));
}

void RunHistory::record(history::RunInfo info, std::vector<HistoryRecorder::Row> rows,
                        std::vector<std::optional<std::vector<history::TypeTally>>> tallies)
{
    info.server = m_server;
    info.ended = QDateTime::currentDateTimeUtc();
    info.program = QStringLiteral("arvelo");
    m_recorder->record(m_db->path(), info, std::move(rows), std::move(tallies));
}

void RunHistory::written(qint64 runId, bool figures, const QString& error)
{
    if (runId <= 0) {
        emit failed(error);
        return;
    }
    // A run of figures (not of type counts alone) holds the table's figures.
    if (figures && m_runRecorded)
        m_recordedRun = runId;
    emit recorded();
}

std::optional<history::ArchiveGrowth> RunHistory::growth(const QString& archivePath) const
{
    if (!m_db)
        return std::nullopt;
    return m_db->archiveGrowth(m_server, archivePath);
}

bool RunHistory::hasRunsWithFigures() const
{
    if (!m_db)
        return false;
    const auto runs = m_db->runs(m_server);
    return runs && std::any_of(runs->begin(), runs->end(), [](const history::RunInfo& r) { return r.figures; });
}

reports::TopTenArchivesData RunHistory::topTenArchives(std::vector<reports::CurrentArchive> current) const
{
    return reports::buildTopTenArchives(std::move(current), m_db.get(), m_server, m_recordedRun);
}
