#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// What the walks of one run share: how many walk at once, and the word that a walk has offered folders of
// its tree (WalkShare) while the run had a free place and nothing to help with.
class ShareBoard {
public:
    // `wake` is called on a walking thread when folders were offered after wantWork(), once per call of
    // wantWork(); it should post to the run's thread rather than work there. Set before any walk begins.
    explicit ShareBoard(std::function<void()> wake = {}) : m_wake(std::move(wake)) {}

    // Every walk of the run, a scanner's or a helper's, between its beginning and its end.
    void walkBegins();
    void walkEnds();
    int walking() const { return m_walking.load(); }
    // The most walks at the same time so far.
    int peak() const { return m_peak.load(); }

    // The run has a free place and found no folder to help with.
    void wantWork() { m_hungry.store(true); }
    // A walk offered folders: wakes waiting helpers and, after wantWork(), the run.
    void offered();
    // Waits until a walk offers folders, at most `linger`, or until wakeAll(); false when none was offered.
    bool waitForOffer(std::chrono::milliseconds linger);
    void wakeAll();

private:
    std::function<void()> m_wake;
    std::atomic<int> m_walking {0};
    std::atomic<int> m_peak {0};
    std::atomic<bool> m_hungry {false};
    std::atomic<int> m_waiting {0};
    std::mutex m_lock;
    std::condition_variable m_changed;
    unsigned m_generation = 0;  // under m_lock: offers (and wake-ups) so far
};
