#pragma once

#include "classify/type_count_list.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

// The attachment type scan over many archives at once, at most `threads` at the same time, on threads of
// its own: progress and the end come as queued signals, and it can be cancelled. Used for the server-wide
// type report.
class ServerTypeScan : public QObject {
    Q_OBJECT
public:
    explicit ServerTypeScan(QObject* parent = nullptr);
    ~ServerTypeScan() override;  // cancels and waits; the scan needs nothing from this thread

    // Scans each path (server notation) with or without its sub-folders; a running scan is not restarted.
    void start(std::vector<QString> paths, bool withSubFolders, int threads);
    // Asks every scan to end as soon as it can; finished(true) follows.
    void cancel();
    bool isRunning() const;

    // One result per path, in the order given; valid after finished().
    const std::vector<TypeScanResult>& results() const { return m_results; }

signals:
    void progress(int done, int total);
    void finished(bool cancelled);

private:
    std::unique_ptr<QThread> m_thread;
    std::vector<TypeScanResult> m_results;
    std::atomic<bool> m_stop {false};
};
