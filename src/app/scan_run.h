#pragma once

#include "engine/publication_sink.h"
#include "engine/scan_scheduler.h"
#include "engine/tob_data.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ShareBoard;
class ShareHelper;
class TMyThreads;

// The measurement of one load of users, without any widget: one waiting scanner per user row (ThreadArray),
// the passes that release them within the limit, the measurements outside the run (sub-archives, "Auswahl
// berechnen"), and the run's bookkeeping: every user row counts once toward the progress and the sums,
// however often it is measured. The window learns of every change through the signals and writes its
// labels and bar from them.
//
// Every scanner is a child of the run and is made by createScanner. Scanners are stopped by asking them;
// the run waits for them only while it keeps serving queued calls, since a scanner may be waiting in a
// publication for the main thread.
class ScanRun : public QObject, public PublicationSink {
    Q_OBJECT
public:
    explicit ScanRun(QObject* parent = nullptr);
    ~ScanRun() override;  // stops every scanner and waits for it

    // A new load with `users` announced rows: every scanner of the earlier load is stopped, its rows,
    // sums, progress and the largest size are forgotten.
    void beginLoad(int users);
    // User row `row` of the load (0-based, server order) with its waiting run scanner.
    void addUser(int row, const std::shared_ptr<TTobData>& record);

    // "Berechnung starten": sums and progress from zero, then a pass every second until every user row
    // has been counted. Rows whose run scanner was already used or superseded get a fresh one, so each
    // user row is measured in this run. With no user rows the run is finished at once.
    void start();
    // The number of walks working at the same time, read at every pass; 0 or less starts none. Once no user
    // row waits, free places become helpers walking unentered folders of the archives still running.
    void setThreadLimit(int limit) { m_limit = limit; }
    int threadLimit() const { return m_limit; }

    // Measures a row at once, outside the run and its limit (idle priority); supersedes the row's earlier
    // measurement. A user row that was counted leaves the sums and the progress until its new result.
    void measureAgain(const std::shared_ptr<TTobData>& record, bool unter);
    // A sub-archive row of an expansion: measured at once, outside the run.
    void measureSubArchive(const std::shared_ptr<TTobData>& record) { measureAgain(record, true); }

    // Stops every scanner and waits until all have ended; nothing starts afterwards.
    void shutdown();

    // One timer tick of a started run: a pass, and the next tick unless the run has finished.
    void TimerThreadTimer();
    // The time between two ticks; a second unless a test or a benchmark wants the ticks out of the way.
    void setTickInterval(int ms) { m_timer.setInterval(ms); }

    bool TobitDone() const { return m_done; }
    bool isRunning() const { return m_timer.isActive(); }
    int done() const { return m_counted; }
    int total() const { return m_total; }
    double SumTobit() const { return m_sumTobit; }
    double SumAttachment() const { return m_sumAttachment; }
    double MaxSize() const { return m_maxSize; }
    // Run scanners that have started and not ended.
    int runningScanners() const;
    // Run scanners that hold a place: started, walk not over. One whose walk is over gives its place up before
    // its thread has ended.
    int scannersHoldingPlaces() const;
    // Helpers of the run that have not ended.
    int runningHelpers() const;
    // The places of the limit that scanners may take now.
    int scannerPlaces() const;
    // What the run's walks count: the most that walked at once since the run began.
    const std::shared_ptr<ShareBoard>& board() const { return m_board; }
    // When "Berechnung starten" began the present run (UTC); invalid before the first.
    const QDateTime& runStartedAt() const { return m_runStartedAt; }
    // Sub-archive records whose final result arrived since the present run began: measured in that run.
    bool subArchiveMeasuredInRun(const TTobData* record) const { return m_subFinals.count(record) > 0; }
    // The run scanners, entry i for user row i; null where loading stopped before the row.
    const std::vector<TMyThreads*>& scanners() const { return ThreadArray; }

    // Every publication ends here, on the main thread.
    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override;

signals:
    // The earlier load is gone: no sums, no progress (the window shows "..." and "Tobit: 0/0").
    void loadReset();
    // A run began from zero.
    void runStarted();
    // Progress moved: done user rows of total.
    void progressChanged(int done, int total);
    // A user row's final result was counted; the sums are the run's new figures.
    void totalsChanged(int done, int total, double sumTobit, double sumAttachment);
    // Every user row has been counted.
    void finished();
    // A publication wrote into this record.
    void recordPublished(const TTobData* record);
    // The largest size published since the load grew.
    void maxSizeChanged(double maxSize);

private:
    struct UserRow {
        std::shared_ptr<TTobData> record;
        bool counted = false;
        double countedSize = 0;
        double countedAttachments = 0;
    };
    struct Measurement {
        std::shared_ptr<TTobData> record;  // kept alive, so the key stays this record's
        QPointer<TMyThreads> scanner;      // the measurement the row takes its figures from
    };

    // The one place a scanner is made: waiting, configured for the record and its path.
    TMyThreads* createScanner(const std::shared_ptr<TTobData>& record, bool unter, bool outsideRun);
    // The record's newest measurement; the one before is stopped.
    void supersede(const std::shared_ptr<TTobData>& record, TMyThreads* scanner);
    // A scanner no row takes figures from any more: stopped, and deleted once its thread has ended.
    void discard(TMyThreads* scanner);
    void takeOutOfTotals(UserRow& row);
    void countFinal(UserRow& row);
    void finish();
    // A scanner or helper ended, so its place is free: a pass at once instead of at the next tick.
    void placeFreed();
    // The one pass of the tick and of a freed place: waiting user rows take the free places in loading
    // order, then free places become helpers. It only starts threads, so it runs here, on the run's thread.
    void pass();
    // Free places while no user row waits: helpers for the archives still running that offer folders.
    void startHelpers();
    void stopHelpers();

    std::vector<TMyThreads*> ThreadArray;  // entry i belongs to user row i
    ScanQueue m_queue;                     // where the passes over ThreadArray stand
    std::vector<UserRow> m_users;
    std::unordered_map<const TTobData*, std::size_t> m_userIndex;
    std::unordered_map<const TTobData*, Measurement> m_current;
    QTimer m_timer;                       // TimerThread
    std::shared_ptr<ShareBoard> m_board;  // of the present run
    std::vector<QPointer<ShareHelper>> m_helpers;
    int m_limit = 7;
    int m_total = 0;
    int m_counted = 0;
    double m_sumTobit = 0;
    double m_sumAttachment = 0;
    double m_maxSize = 0;
    bool m_done = false;
    bool m_started = false;  // "Berechnung starten" was given for this load
    QDateTime m_runStartedAt;
    std::unordered_set<const TTobData*> m_subFinals;
    bool m_ended = false;
};
