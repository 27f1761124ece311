#include "engine/share_board.h"

void ShareBoard::walkBegins()
{
    const int now = ++m_walking;
    int peak = m_peak.load();
    while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
    }
}

void ShareBoard::walkEnds()
{
    --m_walking;
}

void ShareBoard::offered()
{
    if (m_waiting.load() > 0)
        wakeAll();
    if (m_hungry.exchange(false) && m_wake)
        m_wake();
}

void ShareBoard::wakeAll()
{
    {
        std::lock_guard lock(m_lock);
        ++m_generation;
    }
    m_changed.notify_all();
}

bool ShareBoard::waitForOffer(std::chrono::milliseconds linger)
{
    std::unique_lock lock(m_lock);
    const unsigned seen = m_generation;
    ++m_waiting;
    const bool woken = m_changed.wait_for(lock, linger, [&] { return m_generation != seen; });
    --m_waiting;
    return woken;
}
