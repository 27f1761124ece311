#include "app/run_status.h"

RunStatus::RunStatus(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &RunStatus::intervalEnded);
}

void RunStatus::setProgress(int done, int total)
{
    m_progressDone = done;
    m_progressTotal = total;
    m_progressPending = true;
    changed();
}

void RunStatus::setTotals(int done, int total, double sumTobit, double sumAttachment)
{
    m_totalsDone = done;
    m_totalsTotal = total;
    m_sumTobit = sumTobit;
    m_sumAttachment = sumAttachment;
    m_totalsPending = true;
    changed();
}

void RunStatus::changed()
{
    if (m_timer.isActive())
        return;  // shown during this interval: waits for its end
    flush();
    m_timer.start();
}

void RunStatus::intervalEnded()
{
    // Nothing changed during the interval: the next change is shown at once.
    if (!m_progressPending && !m_totalsPending)
        return;
    flush();
    m_timer.start();
}

void RunStatus::flush()
{
    if (m_progressPending) {
        m_progressPending = false;
        emit showProgress(m_progressDone, m_progressTotal);
    }
    if (m_totalsPending) {
        m_totalsPending = false;
        emit showTotals(m_totalsDone, m_totalsTotal, m_sumTobit, m_sumAttachment);
    }
}

void RunStatus::drop()
{
    m_timer.stop();
    m_progressPending = m_totalsPending = false;
}
