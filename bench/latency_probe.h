#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// Records how late a 5 ms timer fires: the longest time the main thread kept an event waiting.
class LatencyProbe : public QObject {
public:
    LatencyProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last > 0)
                m_worst = std::max(m_worst, now - m_last - kIntervalNs);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_worst = 0;
        m_timer.start(int(kIntervalNs / 1000000));
    }
    void stop() { m_timer.stop(); }
    double worstMs() const { return double(std::max<qint64>(0, m_worst)) / 1e6; }

private:
    static constexpr qint64 kIntervalNs = 5000000;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};
