#pragma once

#include "classify/type_scan.h"

#include <QString>
#include <QThread>

#include <atomic>

// One classification request: scans an archive's index files on a thread of its own and hands the sorted
// counts over once, through the queued signal Publish, to a receiver on the main thread. It shares nothing
// with anyone while it runs.
class TMyKlassifikationThread : public QThread {
    Q_OBJECT
public:
    explicit TMyKlassifikationThread(QObject* parent = nullptr);
    ~TMyKlassifikationThread() override;

    QString FPfad;            // the archive folder in server notation
    bool FSubFolder = false;  // sub-folders count too

    // Asks the scan to end as soon as it can; its result is then not published.
    void Stop();

signals:
    // Emitted once at the end of a scan that was not stopped; failures included (result.failed).
    void Publish(const TypeScanResult& result);

protected:
    void run() override;

private:
    std::atomic<bool> m_stop{false};
};
