#include "app/type_scan_run.h"

#include "app/run_history.h"
#include "classify/server_type_scan.h"

TypeScanRun::TypeScanRun(RunHistory* history, QObject* parent)
    : QObject(parent), m_history(history), m_scan(new ServerTypeScan(this))
{
    connect(m_scan, &ServerTypeScan::progress, this, &TypeScanRun::progress);
    connect(m_scan, &ServerTypeScan::finished, this, &TypeScanRun::scanFinished);
}

TypeScanRun::~TypeScanRun() = default;

void TypeScanRun::start(std::vector<std::shared_ptr<const TTobData>> records, bool withSubArchives, int threads)
{
    if (m_running)
        return;
    m_running = true;
    m_records = std::move(records);
    m_withSub = withSubArchives;
    m_threads = threads;
    m_started = QDateTime::currentDateTimeUtc();
    m_cancelled = false;
    std::vector<QString> paths;
    paths.reserve(m_records.size());
    for (const auto& record : m_records)
        paths.push_back(record->Pfad);
    emit started();
    emit progress(0, int(paths.size()));
    m_scan->start(std::move(paths), m_withSub, threads);
}

void TypeScanRun::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    m_scan->cancel();
}

void TypeScanRun::scanFinished(bool cancelledByScan)
{
    m_running = false;
    const std::vector<std::shared_ptr<const TTobData>> records = std::move(m_records);
    m_records.clear();
    if (cancelledByScan || m_cancelled) {
        emit cancelled();
        return;
    }
    const std::vector<TypeScanResult>& results = m_scan->results();
    std::vector<std::optional<std::vector<history::TypeTally>>> tallies;
    std::vector<HistoryRecorder::Row> rows;
    for (std::size_t i = 0; i < results.size() && i < records.size(); ++i) {
        rows.push_back({0, *records[i]});
        if (results[i].failed) {
            tallies.emplace_back(std::nullopt);
            continue;
        }
        std::vector<history::TypeTally> counts;
        for (const TypeCount& t : results[i].AnhangListe.entries())
            counts.push_back({t.key, t.count});
        tallies.emplace_back(std::move(counts));
    }
    const reports::TopTenTypesData data = reports::buildTopTenTypes(tallies, m_withSub);

    history::RunInfo info;
    info.started = m_started;
    info.threads = m_threads;
    info.complete = data.failed == 0;
    info.types = m_withSub ? history::TypesScope::Tree : history::TypesScope::Top;
    m_history->recordTypes(std::move(info), std::move(rows), std::move(tallies));
    emit counted(data);
}
