#pragma once

#include "engine/date_text.h"
#include "engine/tob_data.h"
#include "history/history_types.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QThread;

// Writes the window's runs into the history on a thread of its own, so a run of thousands of archives never
// holds up the window. The window hands over plain copies of the records; the worker opens its own
// connection, turns the records into figures and writes the run in one transaction.
class HistoryRecorder : public QObject {
    Q_OBJECT
public:
    struct Row {
        int level = 0;
        TTobData record;
    };

    explicit HistoryRecorder(QObject* parent = nullptr);
    ~HistoryRecorder() override;  // waits for a recording under way; it needs nothing from this thread

    // Records `info` with the rows (and, where given, each row's type counts, by row index) into the file.
    void record(const QString& file, const history::RunInfo& info, std::vector<Row> rows,
                std::vector<std::optional<std::vector<history::TypeTally>>> types = {});
    // Waits until every recording has ended.
    void waitForIdle();
    bool isBusy() const { return !m_threads.empty(); }

signals:
    // A recording ended: the run's id in the history, or 0 with the reason; `figures` as the run's info said.
    void recorded(qint64 runId, bool figures, const QString& error);

private:
    void collect();

    std::vector<std::unique_ptr<QThread>> m_threads;
    DateTextFormat m_dates;
};
