// Drives the real main window offscreen for bench/scale.
//
//   arvelo-bench-scale window [SECONDS]  on the server ARVELO_SERVER names: "User auslesen", a whole run at the
//                                        default limit (given up after SECONDS, default 3600), expanding 100 users,
//                                        filtering, sorting by size, the overview report and the table printout
//                                        into PDF files; the window's peak memory at the end
//   arvelo-bench-scale cycles N          N times "User auslesen" and a whole run; memory, threads and open
//                                        descriptors after cycle 10 and after cycle N
//
// Prints "key: value" lines for the script.

#include "app/archive_table_model.h"
#include "app/scan_run.h"
#include "app/tform1.h"
#include "platform/program_folder.h"
#include "reports/archive_overview.h"
#include "reports/table_image_print.h"
#include "ui/fonts.h"
#include "ui_tform1.h"
#include "window_bench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

using bench::statusMb;
using bench::waitFor;

qsizetype entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// "Berechnung starten" and the run to its end; the first pass is started at once instead of after a second.
bool wholeRun(TForm1& form, qint64 limitMs)
{
    form.form()->Button2->click();
    ScanRun* run = form.scanRun();
    run->TimerThreadTimer();
    return waitFor([run] { return run->TobitDone(); }, limitMs);
}

int window(TForm1& form, const QString& scratch, qint64 limitMs)
{
    QElapsedTimer clock;
    clock.start();
    form.form()->Starten->click();
    const int users = form.tableModel()->rowCount();
    std::printf("users: %d\nload_s: %.3f\n", users, msSince(clock) / 1000);
    if (users == 0) {
        std::fprintf(stderr, "arvelo-bench-scale: no users loaded\n");
        return 1;
    }
    std::fflush(stdout);

    clock.restart();
    const bool ended = wholeRun(form, limitMs);
    std::printf("run_ended: %s\nrun_s: %.1f\nrun_users_counted: %d\n", ended ? "yes" : "no (given up)",
                msSince(clock) / 1000, form.scanRun()->done());
    std::fflush(stdout);

    QTreeView* view = form.form()->VTTabelle;
    clock.restart();
    for (int row = 0; row < 100 && row < users; ++row)
        view->expand(form.tableModel()->index(row, 0));
    const double expandMs = msSince(clock);
    int subRows = 0;
    for (int row = 0; row < 100 && row < users; ++row)
        subRows += form.tableModel()->rowCount(form.tableModel()->index(row, 0));
    std::printf("expand_100_users_ms: %.1f\nsub_archive_rows: %d\n", expandMs, subRows);

    clock.restart();
    form.sFilterChange(QStringLiteral("> 0"));
    const double filterSizeMs = msSince(clock);
    clock.restart();
    form.sFilterChange(QStringLiteral("benutzer 1"));
    const double filterNameMs = msSince(clock);
    form.sFilterChange(QString());
    std::printf("filter_by_size_ms: %.1f\nfilter_by_name_ms: %.1f\n", filterSizeMs, filterNameMs);

    clock.restart();
    form.VTTabelleHeaderClick(1);
    QCoreApplication::processEvents();
    std::printf("sort_by_size_ms: %.1f\n", msSince(clock));
    clock.restart();
    form.VTTabelleHeaderClick(0);
    QCoreApplication::processEvents();
    std::printf("sort_by_name_ms: %.1f\n", msSince(clock));

    clock.restart();
    reports::ArchiveOverviewReport overview;
    overview.FillReportTable(form.topLevelRecords());
    QString error;
    if (!reports::saveReportPdf(overview, scratch + QStringLiteral("/report.pdf"), &error)) {
        std::fprintf(stderr, "arvelo-bench-scale: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("overview_report_s: %.2f\n", msSince(clock) / 1000);

    clock.restart();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch + QStringLiteral("/table.pdf"));
    if (!reports::printTableImage(view, printer, &error)) {
        std::fprintf(stderr, "arvelo-bench-scale: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("table_printout_s: %.2f\nwindow_peak_mb: %.1f\n", msSince(clock) / 1000, statusMb("VmHWM:"));
    return 0;
}

int cycles(TForm1& form, int count)
{
    double rssAt10 = 0;
    qsizetype threadsAt10 = 0, fdsAt10 = 0;
    for (int cycle = 1; cycle <= count; ++cycle) {
        form.form()->Starten->click();
        if (!wholeRun(form, 600000)) {
            std::fprintf(stderr, "arvelo-bench-scale: cycle %d did not end\n", cycle);
            return 1;
        }
        // Scanners end on their own after their last publication; give them the moment to go.
        waitFor([] { return false; }, 100);
        if (cycle == 10 || cycle == count) {
            const double rss = statusMb("VmRSS:");
            const qsizetype threads = entriesOf(QStringLiteral("/proc/self/task"));
            const qsizetype fds = entriesOf(QStringLiteral("/proc/self/fd"));
            std::printf("cycle_%d_rss_mb: %.1f\ncycle_%d_threads: %lld\ncycle_%d_fds: %lld\n", cycle, rss, cycle,
                        qlonglong(threads), cycle, qlonglong(fds));
            if (cycle == 10) {
                rssAt10 = rss;
                threadsAt10 = threads;
                fdsAt10 = fds;
            }
        }
        std::fflush(stdout);
    }
    if (count >= 10)
        std::printf("rss_growth_10_to_%d_percent: %.1f\nthreads_left_over: %lld\nfds_left_over: %lld\n", count,
                    (statusMb("VmRSS:") / rssAt10 - 1) * 100,
                    qlonglong(entriesOf(QStringLiteral("/proc/self/task")) - threadsAt10),
                    qlonglong(entriesOf(QStringLiteral("/proc/self/fd")) - fdsAt10));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ui::installFontSubstitutes();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int number = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    if (mode != QLatin1String("window") && !(mode == QLatin1String("cycles") && number > 0)) {
        std::fprintf(stderr, "usage: arvelo-bench-scale window [SECONDS] | cycles N   (server folder in ARVELO_SERVER)\n");
        return 64;
    }
    // Preferences and printouts of the benchmark stay out of the build folder.
    QTemporaryDir scratch;
    platform::setProgramFolder(scratch.path());
    TForm1 form;
    bench::showWindow(form);
    if (mode == QLatin1String("cycles"))
        return cycles(form, number);
    return window(form, scratch.path(), qint64(number > 0 ? number : 3600) * 1000);
}
