#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct ExportTally;

// The export's file work that needs no server object (moving converted e-mails into place, copying fax
// images, handing files to the ZIP, counting what was written) on a thread of its own, one job after the
// other in the order they were handed over, so the disk work of one message overlaps the conversion of the
// next. While jobs are pending the tally is theirs alone.
class FileWork {
public:
    using Job = std::function<void(ExportTally&)>;

    explicit FileWork(ExportTally& tally);
    ~FileWork();  // does every job handed over before the thread ends
    FileWork(const FileWork&) = delete;
    FileWork& operator=(const FileWork&) = delete;

    // Hands a job over; waits while many are pending, so converted files cannot pile up.
    void post(Job job);
    // Returns once every job handed over is done.
    void finish();

private:
    static constexpr std::size_t kMaxPending = 64;
    // An idle thread is woken only once this many jobs wait (or when all are wanted done): waking it for every
    // single job cost both threads more than some of the jobs themselves.
    static constexpr std::size_t kBatch = 16;

    void work();

    ExportTally& m_tally;
    std::mutex m_mutex;
    std::condition_variable m_work;  // the thread waits here for jobs
    std::condition_variable m_done;  // post() and finish() wait here
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_idle = false;
    bool m_stopping = false;
    int m_flushing = 0;  // finish() calls waiting for every job
    int m_waiting = 0;   // post() and finish() calls waiting at all
    std::thread m_thread;  // last, so it starts with everything above in place
};
