#pragma once

#include "engine/tob_data.h"
#include "platform/dos_stamp.h"

#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>

class PublicationSink;

// Measures one archive folder tree on a thread of its own and publishes the figures into its row's record.
// Created "suspended" (not started); the creator sets the F fields, the priority and FreeOnTerminate, then
// calls resume(). A stop request (Stop, or requestInterruption) ends the walk between two entries; from then
// on the scanner publishes nothing more. Stop also holds for a scanner that has not started yet.
class TMyThreads : public QThread {
    Q_OBJECT
public:
    // Publications run on the thread of sinkContext (the main thread) while the scanner waits.
    TMyThreads(PublicationSink* sink, QObject* sinkContext, QObject* parent = nullptr);
    ~TMyThreads() override;

    // Starts the thread with the priority set; a second call has no effect.
    void resume();
    void setPriorityToUse(QThread::Priority priority) { m_priority = priority; }
    QThread::Priority priorityToUse() const { return m_priority; }
    // The thread object deletes itself (on its owner's thread) once it has finished.
    void setFreeOnTerminate(bool free);
    bool freeOnTerminate() const { return m_freeOnTerminate; }

    // Asks the scanner to end; safe before it has started and from any thread.
    void Stop();
    bool stopRequested() const;

    // Walks one folder and its sub-folders; returns the bytes of that folder's tree.
    double MeasureFolder(const QString& path, bool root);
    // Copies the figures into the row and hands them to the sink. Runs on the main thread.
    void PublishResult();

    // Running figures, written by the scanner thread only; read on the main thread while it waits.
    double FSize = 0;
    double FSizeRoot = 0;
    bool FZwischen = false;
    double FAnzahlNachrichten = 0;
    double FAnzahlNachrichtenG = 0;
    std::int32_t FAnhang = 0;
    std::int32_t FAnhangG = 0;
    platform::DosStamp FNew = 0;  // 0: none yet
    platform::DosStamp FOld = kNoOldStamp;
    double FAnhangSize = 0;
    double FAnhangSizeG = 0;

    // Set by the creator before resume().
    QString FPfad;
    std::shared_ptr<TTobData> FTobData;
    bool FUnter = false;
    std::int32_t FSchritt = 100;

    // Read by the scheduler from another thread.
    std::atomic<bool> FTerminated {false};
    std::atomic<bool> FEinmal {false};

    // Later than every valid stamp.
    static constexpr platform::DosStamp kNoOldStamp = 0xFFFFFFFFu;

protected:
    void run() override;

private:
    void Execute();
    double measureDir(bool root);
    // Hands the figures to the main thread and waits until PublishResult has run there. With walkAhead,
    // the wait is spent listing the next entries of the walk, leaving the figures untouched.
    void publish(bool walkAhead = false);

    PublicationSink* m_sink;
    QPointer<QObject> m_sinkContext;
    QThread::Priority m_priority = QThread::NormalPriority;
    bool m_freeOnTerminate = false;
    bool m_resumed = false;
    std::atomic<bool> m_stop {false};
    struct Walk;
    std::unique_ptr<Walk> m_walk;  // the entries of the tree in walking order, listed on demand or ahead
};
