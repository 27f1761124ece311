#pragma once

#include "engine/archive_walk.h"
#include "engine/tob_data.h"

#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class PublicationSink;
class ShareBoard;
class WalkShare;

// An archive whose folder lies inside the scanner's tree: its figures come from the scanner's walk.
struct InnerArchive {
    std::string relative;               // its folder below the scanner's, "a/b"
    std::shared_ptr<TTobData> record;   // its row
    bool unter = true;
};

// Everything a scanner is told, given whole when it is created.
struct ScanConfig {
    QString FPfad {};                       // archive path in server notation
    std::shared_ptr<TTobData> FTobData {};  // the row to publish into; written on the sink context's thread only
    bool FUnter = false;                    // the row lies below the top level
    std::int32_t FSchritt = 100;            // entries of one folder between two interim publications
    QThread::Priority priority = QThread::NormalPriority;
    bool freeOnTerminate = false;           // the thread object deletes itself (on its owner's thread) when done
    PublicationSink* sink = nullptr;        // told of each publication once the record holds it; may be null
    QObject* sinkContext = nullptr;         // publications run on its thread; without one nothing is published
    std::vector<InnerArchive> FInnen {};    // rows measured by this walk too, each with one final publication
    // The run's board: with one, the walk counts on it and offers its unentered folders to helpers
    // (share()); without, it walks alone.
    std::shared_ptr<ShareBoard> board {};
};

// Measures one archive folder tree on a thread of its own and publishes the figures into its row's record.
// Created "suspended" (not started) and started by resume(). Each publication posts a copy of the running
// figures to the sink context's thread and the walk goes on; there, in the order they were made, the copy
// is written into the record and the sink is told. A stop request (Stop) ends the walk between two entries
// and drops every publication not yet delivered, so a removed row or a superseded measurement is never
// written again. Stop also holds for a scanner that has not started yet.
class TMyThreads : public QThread {
    Q_OBJECT
public:
    explicit TMyThreads(ScanConfig config, QObject* parent = nullptr);
    // Stops the walk and waits for the thread, which never waits for anyone.
    ~TMyThreads() override;

    const ScanConfig& config() const { return m_config; }

    // Starts the thread with the configured priority; a second call has no effect.
    void resume();

    // Whether resume() was called; the thread may not have begun yet.
    bool resumed() const { return m_resumed.load(); }
    // Folders of this archive's tree that helpers may walk, while its walk runs; null without a board. The
    // final publication comes after every helper's part has been added.
    const std::shared_ptr<WalkShare>& share() const { return m_share; }

    // Asks the scanner to end, helpers of its tree included; safe before it has started and from any thread. Publications still on
    // their way are dropped when they arrive, so call it on the sink context's thread to be sure that none
    // is written after it returns.
    void Stop();
    bool stopRequested() const;

    // After the thread has ended: whether FInnen[i] got its final publication (false where the walk never
    // reached its folder, e.g. behind a link or an unreadable folder, or was stopped).
    bool innerMeasured(std::size_t i) const { return i < m_innerDone.size() && m_innerDone[i]; }

    // Read by the scheduler from another thread: the scanner has started / has made its final publication.
    std::atomic<bool> FTerminated {false};
    std::atomic<bool> FEinmal {false};

protected:
    void run() override;

private:
    struct Target;

    void Execute();
    void publish(const std::shared_ptr<Target>& target, const ScanFigures& figures);
    // Copies published figures into the row and tells the sink; on the sink context's thread.
    static void PublishResult(const Target& target, const ScanFigures& figures);

    const ScanConfig m_config;
    std::shared_ptr<Target> m_target;  // shared with publications on their way, which may outlive the scanner
    std::vector<std::shared_ptr<Target>> m_inner;  // FInnen's rows
    std::vector<char> m_innerDone;
    QPointer<QObject> m_sinkContext;
    std::shared_ptr<WalkShare> m_share;
    std::atomic<bool> m_resumed {false};
};
