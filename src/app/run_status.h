#pragma once

#include <QObject>
#include <QTimer>

// The run's progress and sums on their way to the status labels and the bar. A run of many small users
// counts thousands of rows a second; writing four labels and the bar for each posted layout and paint
// events by the thousand, and Qt compares each such event with the whole queue of pending publications.
// So a change is shown at once when none was shown during the last interval, and otherwise at the
// interval's end with whatever changed meanwhile: at most one showing per interval. flush() shows what is
// pending at once (the run's end), so the final figures are on screen exactly when the run is over.
class RunStatus : public QObject {
    Q_OBJECT
public:
    explicit RunStatus(QObject* parent = nullptr);

    // The shortest time between two showings.
    void setInterval(int ms) { m_timer.setInterval(ms); }

    void setProgress(int done, int total);
    void setTotals(int done, int total, double sumTobit, double sumAttachment);
    // Shows what is pending now.
    void flush();
    // Forgets what is pending, as the caller shows a new state itself; the next change is shown at once.
    void drop();

signals:
    void showProgress(int done, int total);
    void showTotals(int done, int total, double sumTobit, double sumAttachment);

private:
    void changed();
    void intervalEnded();

    QTimer m_timer;  // runs for an interval after each showing
    bool m_progressPending = false;
    bool m_totalsPending = false;
    int m_progressDone = 0;
    int m_progressTotal = 0;
    int m_totalsDone = 0;
    int m_totalsTotal = 0;
    double m_sumTobit = 0;
    double m_sumAttachment = 0;
};
