// Drives the real main window offscreen for bench/gui_run.
//
//   arvelo-bench-gui run   measures one calculation run on the server ARVELO_SERVER names, from the start of the
//                          first pass to TobitDone, and the longest wait of a 5 ms timer on the main thread
//   arvelo-bench-gui load  times "User auslesen" (the server's own reading included) and a sort by size
//
// Prints "key: value" lines for the script.

#include "app/archive_table_model.h"
#include "app/scan_run.h"
#include "app/tform1.h"
#include "platform/program_folder.h"
#include "ui_tform1.h"
#include "latency_probe.h"
#include "window_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int run(TForm1& form)
{
    form.form()->Starten->click();
    if (form.tableModel()->rowCount() == 0) {
        std::fprintf(stderr, "arvelo-bench-gui: no users loaded\n");
        return 1;
    }
    LatencyProbe probe;
    form.form()->Button2->click();
    // The run's timer waits a second before its first pass; the measurement starts with that pass, run now.
    ScanRun* scanRun = form.scanRun();
    probe.start();
    QElapsedTimer clock;
    clock.start();
    scanRun->TimerThreadTimer();
    const bool ended = bench::waitFor([scanRun] { return scanRun->TobitDone(); }, 600000, 2);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    probe.stop();
    if (!ended) {
        std::fprintf(stderr, "arvelo-bench-gui: the run did not end\n");
        return 1;
    }
    std::printf("window_run_s: %.4f\nworst_input_latency_ms: %.1f\n", seconds, probe.worstMs());
    return 0;
}

int load(TForm1& form)
{
    QElapsedTimer clock;
    clock.start();
    form.form()->Starten->click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const int rows = form.tableModel()->rowCount();
    bench::giveSizes(form);
    QCoreApplication::processEvents();
    clock.restart();
    form.VTTabelleHeaderClick(1);
    QCoreApplication::processEvents();
    const double sortMs = double(clock.nsecsElapsed()) / 1e6;
    // Scrolling through the table from top to bottom, a page at a time.
    clock.restart();
    QScrollBar* bar = form.form()->VTTabelle->verticalScrollBar();
    for (int v = 0; v <= bar->maximum(); v += std::max(1, bar->pageStep())) {
        bar->setValue(v);
        form.form()->VTTabelle->viewport()->repaint();
    }
    const double scrollMs = double(clock.nsecsElapsed()) / 1e6;
    std::printf("rows: %d\nload_s: %.4f\nsort_by_size_ms: %.1f\nscroll_all_pages_ms: %.1f\n", rows, seconds, sortMs,
                scrollMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode != QLatin1String("run") && mode != QLatin1String("load")) {
        std::fprintf(stderr, "usage: arvelo-bench-gui run|load   (server folder in ARVELO_SERVER)\n");
        return 64;
    }
    // Preferences of the benchmark's windows stay out of the build folder.
    QTemporaryDir programDir;
    platform::setProgramFolder(programDir.path());
    TForm1 form;
    bench::showWindow(form);
    return mode == QLatin1String("run") ? run(form) : load(form);
}
