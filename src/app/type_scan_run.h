#pragma once

#include "engine/tob_data.h"
#include "reports/top_ten_types.h"

#include <QDateTime>
#include <QObject>

#include <memory>
#include <vector>

class RunHistory;
class ServerTypeScan;

// The server-wide count of attachment types behind "Top-Ten Dateitypen (Anhang)", without any widget: it
// scans the user archives on threads of their own, records the counts in the history and hands the report's
// data to the window. A cancelled scan (by the user, a new load or closing) is neither recorded nor reported.
class TypeScanRun : public QObject {
    Q_OBJECT
public:
    // `history` receives the counts; it outlives the scan.
    explicit TypeScanRun(RunHistory* history, QObject* parent = nullptr);
    ~TypeScanRun() override;

    // Counts the types in the user archives of `records` (in that order), with or without their
    // sub-archives, at most `threads` at once. Nothing happens while a count is under way.
    void start(std::vector<std::shared_ptr<const TTobData>> records, bool withSubArchives, int threads);
    void cancel();
    // From start until cancelled() or counted() (the scan's own threads may have ended a moment earlier).
    bool isRunning() const { return m_running; }

signals:
    void started();
    // Archives counted so far, of all.
    void progress(int done, int total);
    void cancelled();
    // Every archive was counted (or found unreadable); the counts went to the history.
    void counted(const reports::TopTenTypesData& data);

private:
    void scanFinished(bool cancelledByScan);

    RunHistory* m_history;
    ServerTypeScan* m_scan;
    std::vector<std::shared_ptr<const TTobData>> m_records;
    bool m_withSub = true;
    int m_threads = 0;
    QDateTime m_started;
    bool m_running = false;
    bool m_cancelled = false;  // asked to stop: a result that arrives anyway is dropped
};
