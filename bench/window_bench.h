#pragma once

// What the programs that drive the real main window share: the window as it first opens, sizes as after a
// run, waiting in the event loop, and the program's memory.

#include "app/archive_table_model.h"
#include "app/tform1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

namespace bench {

// The window at the size it first opens with, shown (offscreen) and drawn once.
inline void showWindow(TForm1& form)
{
    form.resize(964, 745);
    form.show();
    QCoreApplication::processEvents();
}

// Sizes as after a run (spread, some equal), the same every time, so sorting and painting have real work.
inline void giveSizes(TForm1& form)
{
    quint32 seed = 12345;
    for (const auto& row : form.tableModel()->root()->children) {
        seed = seed * 1664525u + 1013904223u;
        row->data->Size = (seed >> 8) % 20000 / 10.0L;
    }
}

// Lets the window work until `done` holds or `limitMs` has passed; true when it held. The wait is in the
// event loop itself (processEvents with a time limit would spin), looking every `everyMs`.
template <typename Done>
bool waitFor(Done done, qint64 limitMs, int everyMs = 5)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > limitMs)
            loop.quit();
    });
    check.start(everyMs);
    loop.exec();
    return done();
}

// A line of /proc/self/status in megabytes (VmRSS now, VmHWM the peak since start or the last reset); -1 when
// it cannot be read.
inline double statusMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

}  // namespace bench
