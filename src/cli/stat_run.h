#pragma once

#include "cli/stat_listing.h"
#include "engine/my_threads.h"
#include "engine/publication_sink.h"

#include <QObject>

#include <functional>
#include <vector>

class QEventLoop;
class ShareBoard;
class ShareHelper;

// One walk of a measurement: the row it walks and the rows whose folders lie inside its tree.
struct StatWalk {
    std::size_t row = 0;
    std::vector<std::size_t> inner;            // rows measured by this walk too
    std::vector<std::string> innerRelative;    // their folders below this walk's (handed to the scanner)
};

// Which rows walk their folders and which take their figures from the walk of a row they lie in. A row
// (at a level above 0) lies in the tree of an ancestor row that walks, when its local folder is a folder
// that walk enters (below it, by real, not hidden folders); the outermost such ancestor measures it. Each
// folder is then walked once. Walks in row order.
std::vector<StatWalk> planStatWalks(const std::vector<StatRow>& rows);

// Measures listed archives with TMyThreads scanners, at most `limit` at once, in list order; a row whose
// folder lies inside the tree of a row being walked takes its figures from that walk. A freed place is
// refilled as soon as its scanner has ended; no timer is involved. A row the walk did not reach after all
// (its way led through a link or an unreadable folder) is walked on its own afterwards. When no row waits
// for a walk, a free place becomes a helper (ShareHelper) that walks unentered folders of the archives still
// running; scanners and helpers together never exceed the limit. The scanners
// publish into the rows' records on the thread this object lives on, so that thread must be the one calling
// measure() (it runs an event loop until every scanner has ended).
class StatRun : public QObject, public PublicationSink {
    Q_OBJECT
public:
    // Called on this object's thread after each final publication: archives measured, archives in all.
    using Progress = std::function<void(int done, int total)>;

    explicit StatRun(QObject* parent = nullptr);
    ~StatRun() override;

    void measure(const std::vector<StatRow>& rows, int limit, Progress progress = {});

    // The most walks (scanners and helpers) that were running at the same time during the last measure(),
    // as the run counted them and as the walks themselves did.
    int peakRunning() const { return m_peak; }
    int peakWalking() const;
    // Folders of the last measure() walked by helpers.
    int helpedFolders() const { return m_helped; }

    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override;

private:
    void startNext();
    void ended(TMyThreads* scanner, std::size_t walk);
    // Fills free places with helpers while no row waits and running archives offer folders.
    void startHelpers();
    void helperEnded(ShareHelper* helper);
    void fillPlaces();

    const std::vector<StatRow>* m_rows = nullptr;
    std::vector<StatWalk> m_plan;
    // Scanners started and not ended; an ended one is deleted at once, with what it was told about its rows.
    std::vector<TMyThreads*> m_live;
    std::vector<ShareHelper*> m_helpers;  // running
    std::shared_ptr<ShareBoard> m_board;
    int m_helped = 0;
    QEventLoop* m_loop = nullptr;
    std::size_t m_next = 0;
    int m_limit = 1;
    int m_running = 0;
    int m_peak = 0;
    int m_finals = 0;
    Progress m_progress;
};
