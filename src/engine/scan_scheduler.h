#pragma once

#include <QMutex>
#include <QString>

#include <vector>

class TMyThreads;

// The process-wide lock held for the whole of a pass (ResumeScanners), so that passes started from different
// threads never hand out the same free places twice. The window runs its passes on its own thread, one after
// the other; the lock costs it nothing then.
QMutex& ScanLock();

// The whole number a "Threads gleichzeitig" text holds; 0 for a text that is none, so a pass starts
// nothing until the field holds a number again.
int threadLimitFromText(const QString& text);

// One pass: counts the started, unfinished scanners and resumes waiting ones from the front of the list
// while free places remain. Empty places are passed over. Returns how many it resumed.
int ResumeScanners(const std::vector<TMyThreads*>& threadArray, int limit);

// Where the passes over one list of scanners stand, so that a pass needs only the few scanners that may hold
// a place and the next waiting ones, not the whole list: a run of 20,000 users frees 20,000 places, and a
// pass over the whole list for each made the run quadratic. Kept on the thread that owns the list.
//
// Entries before next() have been resumed or are empty; the list is resumed from the front only, so the
// waiting scanners all lie at next() or behind it.
class ScanQueue {
public:
    // Learns the list afresh (a new list, or entries replaced): the first waiting entry and the resumed
    // scanners that have not ended.
    void assign(const std::vector<TMyThreads*>& threadArray);
    void clear();

    // One pass over the list: ResumeScanners over passList(), then advance(). Starts what a pass over the
    // whole list would start; returns how many it resumed.
    int pass(const std::vector<TMyThreads*>& threadArray, int limit);

    // What a pass looks at, in list order: the resumed scanners not known to have ended, then up to `limit`
    // waiting ones from next().
    std::vector<TMyThreads*> passList(const std::vector<TMyThreads*>& threadArray, int limit) const;
    // After a pass: moves past the entries it resumed, and forgets scanners whose thread has finished.
    void advance(const std::vector<TMyThreads*>& threadArray);
    // A scanner's thread has finished: it holds no place any more.
    void ended(const TMyThreads* t);

    // Whether an entry at or behind next() waits to be resumed (not resumed, not asked to stop).
    bool hasWaiting(const std::vector<TMyThreads*>& threadArray) const;
    std::size_t next() const { return m_next; }
    // Resumed scanners not known to have ended, in the order they were resumed.
    const std::vector<TMyThreads*>& holding() const { return m_holding; }

private:
    std::size_t m_next = 0;
    std::vector<TMyThreads*> m_holding;
};
