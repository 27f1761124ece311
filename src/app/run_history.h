#pragma once

#include "app/history_recorder.h"
#include "history/history_types.h"
#include "reports/top_ten_archives.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct ArchiveNode;
class ScanRun;

namespace history {
class HistoryDatabase;
}

// The window's history of runs, without any widget: the file opened once users are loaded, a finished run
// recorded with the sub-archives measured in it, a type scan's counts, and what the reports and the
// "Zuwachs" line read. Recordings are written off the main thread; the window learns of their end through
// recorded() and of every failure through failed(), once each.
class RunHistory : public QObject {
    Q_OBJECT
public:
    explicit RunHistory(QObject* parent = nullptr);
    ~RunHistory() override;

    // The server whose runs are read and written: the archive root's path as the server gives it. The file
    // is opened the first time only; one that cannot be used is reported, and the program works on without.
    void open(const QString& server);
    // A new load or a new run: no recorded run holds the table's figures, and the next finished run is
    // recorded.
    void newRun();
    // Records the finished run once: every user row, and the sub-archive rows measured in it. Plain copies
    // of the records go to the writer, so the rows may be measured again or reloaded meanwhile.
    void recordRun(const ArchiveNode& root, const ScanRun& run);
    // Records a type scan: `info` with its start, threads, scope and completeness; one row per user archive
    // and, by row index, its type counts (none where the archive could not be read).
    void recordTypes(history::RunInfo info, std::vector<HistoryRecorder::Row> rows,
                     std::vector<std::optional<std::vector<history::TypeTally>>> tallies);

    // The archive's growth for the detail panel; nothing without a history or an earlier run holding it.
    std::optional<history::ArchiveGrowth> growth(const QString& archivePath) const;
    // Whether a recorded run of the server holds figures (the "Top-Ten Archive" report has something to show).
    bool hasRunsWithFigures() const;
    // The "Top-Ten Archive" report's data: the rows as measured now (empty before a run) against the history.
    reports::TopTenArchivesData topTenArchives(std::vector<reports::CurrentArchive> current) const;

    // The open history, null while none is (none could be, or no users were loaded yet).
    history::HistoryDatabase* database() const { return m_db.get(); }
    // Whether a recording is being written.
    bool isRecording() const { return m_recorder->isBusy(); }

signals:
    // A recording was written: what the history says about an archive may have changed.
    void recorded();
    // The history cannot be opened, or a recording failed: the reason, naming the file.
    void failed(const QString& text);

private:
    void record(history::RunInfo info, std::vector<HistoryRecorder::Row> rows,
                std::vector<std::optional<std::vector<history::TypeTally>>> tallies = {});
    void written(qint64 runId, bool figures, const QString& error);

    std::unique_ptr<history::HistoryDatabase> m_db;
    QString m_server;
    bool m_tried = false;
    HistoryRecorder* m_recorder;
    qint64 m_recordedRun = 0;    // the recorded run that holds the table's figures, 0 when none does
    bool m_runRecorded = false;  // the present run went to the writer already
};
