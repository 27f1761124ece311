#include "app/history_recorder.h"

#include "history/history_database.h"

#include <QThread>

HistoryRecorder::HistoryRecorder(QObject* parent) : QObject(parent) {}

HistoryRecorder::~HistoryRecorder()
{
    waitForIdle();
}

void HistoryRecorder::record(const QString& file, const history::RunInfo& info, std::vector<Row> rows,
                             std::vector<std::optional<std::vector<history::TypeTally>>> types)
{
    auto work = [this, file, info, rows = std::move(rows), types = std::move(types), dates = m_dates] {
        history::Run run;
        run.info = info;
        run.archives.reserve(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            run.archives.push_back(history::figuresOf(rows[i].record, rows[i].level, dates));
            if (i < types.size())
                run.archives.back().types = types[i];
        }
        history::HistoryDatabase db(file);
        std::optional<qint64> id;
        if (db.open())
            id = db.record(run);
        // Queued to this object's thread; the object outlives the thread (its destructor waits).
        emit recorded(id.value_or(0), info.figures, db.error());
    };
    std::unique_ptr<QThread> thread(QThread::create(std::move(work)));
    connect(thread.get(), &QThread::finished, this, &HistoryRecorder::collect);
    thread->start(QThread::LowPriority);
    m_threads.push_back(std::move(thread));
}

void HistoryRecorder::waitForIdle()
{
    for (const auto& t : m_threads)
        t->wait();
    m_threads.clear();
}

void HistoryRecorder::collect()
{
    std::erase_if(m_threads, [](const std::unique_ptr<QThread>& t) { return t->isFinished(); });
}
