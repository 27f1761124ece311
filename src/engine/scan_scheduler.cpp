#include "engine/scan_scheduler.h"

#include "engine/my_threads.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

#include <memory>

QMutex& ScanLock()
{
    static QMutex lock;
    return lock;
}

int threadLimitFromText(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

int ResumeScanners(const std::vector<TMyThreads*>& threadArray, int limit)
{
    QMutexLocker lock(&ScanLock());
    int running = 0;
    for (const TMyThreads* t : threadArray)
        if (t && t->FEinmal && !t->FTerminated)
            ++running;
    int free = limit - running;
    int resumed = 0;
    for (TMyThreads* t : threadArray) {
        if (free <= 0)
            break;
        if (!t || t->FEinmal)
            continue;
        // A scanner resumed by an earlier pass that has not begun yet still counts as waiting; resuming
        // it again does nothing but take the place again, as it will start soon.
        t->resume();
        --free;
        ++resumed;
    }
    return resumed;
}

int runPassAndWait(const std::vector<TMyThreads*>& threadArray, int limit)
{
    // The pass works on its own copy: the list may be replaced while events are handled below. Whoever
    // deletes scanners takes ScanLock first, so none disappears under a running pass.
    int resumed = 0;
    std::unique_ptr<QThread> pass(
        QThread::create([&resumed, snapshot = threadArray, limit] { resumed = ResumeScanners(snapshot, limit); }));
    pass->start();
    while (!pass->wait(10))
        QCoreApplication::processEvents();
    return resumed;
}
