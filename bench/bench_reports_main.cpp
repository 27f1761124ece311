// Times the two printouts for bench/reports.
//
//   arvelo-bench-reports report N   "Übersicht Userarchive" of N users into a PDF
//   arvelo-bench-reports table      "Liste drucken (als Bild)" of the main window's table, with the users of the
//                                   server ARVELO_SERVER names, into a PDF; and the printout's peak memory above
//                                   what the program held before it
//
// Prints "key: value" lines for the script.

#include "app/archive_table_model.h"
#include "app/tform1.h"
#include "platform/program_folder.h"
#include "reports/archive_overview.h"
#include "reports/table_image_print.h"
#include "ui/fonts.h"
#include "ui_tform1.h"
#include "window_bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

using bench::statusMb;

// Processor time of the whole program in seconds: on a machine shared with other work, the wall-clock figure
// also counts the time spent waiting for a processor.
double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Makes VmHWM start again from the present size.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

int report(int users, const QString& folder)
{
    std::vector<std::shared_ptr<const TTobData>> records;
    quint32 seed = 4711;
    for (int i = 0; i < users; ++i) {
        seed = seed * 1664525u + 1013904223u;
        auto r = std::make_shared<TTobData>();
        r->TobitUser = QStringLiteral("Benutzer %1").arg(i);
        r->Pfad = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\%1").arg(i, 8, 16, QLatin1Char('0')).toUpper();
        r->UserID = userIdFromPath(r->Pfad);
        r->FullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + r->UserID;
        r->Size = (seed >> 8) % 200000 / 100.0L;
        r->AnhangSizeG = double(r->Size) / 3;
        r->AnzahlNachrichtenG = (seed >> 4) % 100000 / 4.3;
        records.push_back(r);
    }
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    reports::ArchiveOverviewReport overview;
    overview.FillReportTable(records);
    QString error;
    if (!reports::saveReportPdf(overview, folder + QStringLiteral("/report.pdf"), &error)) {
        std::fprintf(stderr, "arvelo-bench-reports: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("report_users: %d\nreport_cpu_s: %.4f\nreport_%d_users_s: %.4f\n", users, cpuSeconds() - cpu, users,
                double(clock.nsecsElapsed()) / 1e9);
    return 0;
}

int table(const QString& folder)
{
    TForm1 form;
    bench::showWindow(form);
    form.form()->Starten->click();
    const int rows = form.tableModel()->rowCount();
    if (rows == 0) {
        std::fprintf(stderr, "arvelo-bench-reports: no users loaded\n");
        return 1;
    }
    // Every row paints its bar.
    bench::giveSizes(form);
    QCoreApplication::processEvents();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder + QStringLiteral("/table.pdf"));
    const double before = statusMb("VmRSS:");
    resetPeak();
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QString error;
    if (!reports::printTableImage(form.form()->VTTabelle, printer, &error)) {
        std::fprintf(stderr, "arvelo-bench-reports: %s\n", qPrintable(error));
        return 1;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpuUsed = cpuSeconds() - cpu;
    const double peak = statusMb("VmHWM:");
    std::printf("table_rows: %d\ntable_pdf_bytes: %lld\ntable_print_%d_rows_s: %.4f\n"
                "table_print_cpu_s: %.4f\ntable_print_baseline_mb: %.1f\ntable_print_peak_mb: %.1f\n",
                rows, QFile(folder + QStringLiteral("/table.pdf")).size(), rows, seconds, cpuUsed, before,
                peak - before);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ui::installFontSubstitutes();
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTemporaryDir folder;
    platform::setProgramFolder(folder.path());
    if (mode == QLatin1String("report") && argc > 2)
        return report(QString::fromLocal8Bit(argv[2]).toInt(), folder.path());
    if (mode == QLatin1String("table"))
        return table(folder.path());
    std::fprintf(stderr, "usage: arvelo-bench-reports report N | table   (server folder in ARVELO_SERVER)\n");
    return 64;
}
