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

    void work();

    ExportTally& m_tally;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last, so it starts with everything above in place
};
