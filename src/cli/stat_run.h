#pragma once

#include "cli/stat_listing.h"
#include "engine/publication_sink.h"

#include <QObject>

#include <functional>
#include <vector>

class TMyThreads;

// Measures listed archives with one TMyThreads scanner each, at most `limit` at once, in list order.
// A freed place is refilled as soon as its scanner has ended; no timer is involved. The scanners publish
// into the rows' records on the thread this object lives on, so that thread must be the one calling
// measure() (it runs an event loop until every scanner has ended).
class StatRun : public QObject, public PublicationSink {
    Q_OBJECT
public:
    // Called on this object's thread after each final publication: archives measured, archives in all.
    using Progress = std::function<void(int done, int total)>;

    explicit StatRun(QObject* parent = nullptr);
    ~StatRun() override;

    void measure(const std::vector<StatRow>& rows, int limit, Progress progress = {});

    // The most scanners that were running at the same time during the last measure().
    int peakRunning() const { return m_peak; }

    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override;

private:
    void startNext();

    std::vector<TMyThreads*> m_scanners;
    std::size_t m_next = 0;
    int m_running = 0;
    int m_peak = 0;
    int m_finals = 0;
    Progress m_progress;
};
