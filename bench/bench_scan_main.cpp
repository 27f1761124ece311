// arvelo-bench-scan: times the archive scanner against `du -sb` on trees laid out by arvelo-gen-tree.
//
// <data>/BENCH/LARGE is one large archive, <data>/BENCH/TREE holds the archives of a run; the figures the
// generator wrote beside each are what the scanner must find. Both are measured in the same run, several
// rounds each, alternating which side goes first, and the medians are compared. Publications are posted to a
// sink on this (the main) thread, which runs a real event loop as the window does and copies every
// publication's figures, so their cost is part of the figures.

#include "archive_generator.h"
#include "engine/my_threads.h"
#include "engine/publication_sink.h"
#include "engine/scan_scheduler.h"
#include "engine/tob_data.h"
#include "platform/unc_path.h"
#include "tree_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What the window does with a publication: keep a copy of the row's figures and note the row as changed.
class CopyingSink : public PublicationSink {
public:
    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override
    {
        (void)Unter;
        Row& row = m_rows[TmpData];
        row.shown = *TmpData;
        row.size = Size;
        row.final = !Zwischen;
    }

    struct Row {
        TTobData shown;
        double size = 0;
        bool final = false;
    };
    const Row* row(const TTobData* data) const
    {
        const auto it = m_rows.find(data);
        return it == m_rows.end() ? nullptr : &it->second;
    }
    void clear() { m_rows.clear(); }

private:
    std::unordered_map<const TTobData*, Row> m_rows;
};

struct Job {
    QString serverPath;
    const gen::ArchiveFigures* expected = nullptr;
};

// True when the final publication shows what the generator counted.
bool figuresMatch(const CopyingSink::Row* row, const gen::ArchiveFigures& f, const QString& path)
{
    constexpr long double mb = 1048576.0L;
    const bool ok = row && row->final && row->shown.Size == (long double)f.size / mb &&
                    row->shown.SizeRoot == (long double)f.sizeRoot / mb && row->shown.AnhangG == f.anhangG &&
                    row->shown.Anhang == f.anhang &&
                    std::fabs(row->shown.AnzahlNachrichtenG - f.anzahlNachrichtenG) <=
                        1e-9 * (1 + f.anzahlNachrichtenG) &&
                    row->shown.AnhangSizeG == double(f.anhangSizeG) / 1048576.0;
    if (!ok)
        std::fprintf(stderr, "arvelo-bench-scan: the scanner's figures for %s differ from the generator's\n",
                     qPrintable(path));
    return ok;
}

// Measures every job with at most `limit` scanners at once, the freed places filled from the front of the
// list as the scheduler does. Returns the wall time in seconds, or a negative value when a figure is wrong.
double runScanners(const std::vector<Job>& jobs, int limit, CopyingSink& sink, QObject& context)
{
    sink.clear();
    std::vector<std::shared_ptr<TTobData>> records;
    std::vector<TMyThreads*> threads;
    for (const Job& job : jobs) {
        auto record = std::make_shared<TTobData>();
        record->Pfad = job.serverPath;
        records.push_back(record);
        threads.push_back(new TMyThreads(
            {.FPfad = job.serverPath, .FTobData = record, .sink = &sink, .sinkContext = &context}));
    }

    QEventLoop loop;
    QElapsedTimer clock;
    double seconds = 0;
    std::size_t done = 0;
    for (TMyThreads* t : threads) {
        QObject::connect(t, &QThread::finished, &context, [&] {
            if (++done == threads.size()) {
                seconds = double(clock.nsecsElapsed()) / 1e9;
                loop.quit();
            } else {
                ResumeScanners(threads, limit);
            }
        });
    }
    clock.start();
    ResumeScanners(threads, limit);
    loop.exec();

    bool ok = true;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        threads[i]->wait();  // all have finished; nothing waits for this thread any more
        ok = figuresMatch(sink.row(records[i].get()), *jobs[i].expected, jobs[i].serverPath) && ok;
        delete threads[i];
    }
    return ok ? seconds : -1;
}

// Runs `du -sb path` with its output discarded; the wall time in seconds, negative when du failed.
double runDu(const fs::path& path)
{
    return bench::timeCommand({"du", "-sb", path.string()}, "du -sb " + path.string());
}

using bench::median;

std::uint64_t entriesOf(const std::vector<Job>& jobs)
{
    std::uint64_t n = 0;
    for (const Job& job : jobs)
        n += job.expected->entries;
    return n;
}

struct Comparison {
    double scanner = 0;
    double du = 0;
};

// Alternates which side goes first, so a drift in the machine's load hits both alike. Rounds with a
// failure give a negative time and end the comparison.
bool compare(const char* label, const std::vector<Job>& jobs, int limit, const fs::path& duPath, int rounds,
             CopyingSink& sink, QObject& context, Comparison& result)
{
    std::vector<double> scanner, du;
    for (int round = 0; round < rounds; ++round) {
        double s = 0, d = 0;
        if (round % 2 == 0) {
            s = runScanners(jobs, limit, sink, context);
            d = runDu(duPath);
        } else {
            d = runDu(duPath);
            s = runScanners(jobs, limit, sink, context);
        }
        if (s < 0 || d < 0)
            return false;
        std::printf("  %s round %d: scanner %.3f s, du %.3f s\n", label, round + 1, s, d);
        std::fflush(stdout);
        scanner.push_back(s);
        du.push_back(d);
    }
    result.scanner = median(scanner);
    result.du = median(du);
    return true;
}

void printRate(const char* what, std::uint64_t entries, double seconds)
{
    std::printf("%-26s %8.3f s median, %10.0f entries/s\n", what, seconds, double(entries) / seconds);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arvelo-bench-scan"));
    const auto args = bench::treeArgs(
        app,
        QStringLiteral("Times the archive scanner against du -sb: one scanner over <data>/BENCH/LARGE, and seven "
                       "scanners at once over the archives below <data>/BENCH/TREE. Both trees come from "
                       "arvelo-gen-tree."),
        QStringLiteral("rounds of each comparison (5)"), 5);
    if (!args)
        return 2;
    const fs::path& data = args->data;
    const int rounds = args->rounds;
    const fs::path large = data / "BENCH" / "LARGE";
    const fs::path tree = data / "BENCH" / "TREE";
    const auto largeFigures = gen::readFigures(gen::figuresPathFor(large));
    const auto treeFigures = gen::readFigures(gen::figuresPathFor(tree));
    if (!largeFigures || largeFigures->size() != 1 || !treeFigures || treeFigures->empty()) {
        std::fprintf(stderr, "arvelo-bench-scan: no generated trees with their figures below %s/BENCH\n",
                     data.c_str());
        return 1;
    }

    // The scanner gets the paths in server notation, as the window passes them.
    platform::setUncRoot(QString::fromStdString(data.string()));
    const std::vector<Job> single = {{QStringLiteral("BENCH:LARGE"), &largeFigures->begin()->second}};
    std::vector<Job> run;
    for (const auto& [name, figures] : *treeFigures)
        run.push_back({QStringLiteral("BENCH:TREE\\") + QString::fromStdString(name), &figures});

    CopyingSink sink;
    QObject context;  // lives on the main thread, like the window

    const std::uint64_t singleEntries = entriesOf(single);
    const std::uint64_t runEntries = entriesOf(run);
    std::printf("large archive: %llu entries; run: %zu archives, %llu entries; %d rounds each\n",
                (unsigned long long)singleEntries, run.size(), (unsigned long long)runEntries, rounds);

    // One unmeasured pass of each side, so neither pays for a cold cache or a first start.
    if (runScanners(single, 1, sink, context) < 0 || runDu(large) < 0 || runScanners(run, 7, sink, context) < 0 ||
        runDu(tree) < 0)
        return 1;

    Comparison one, seven;
    if (!compare("single", single, 1, large, rounds, sink, context, one))
        return 1;
    if (!compare("seven", run, 7, tree, rounds, sink, context, seven))
        return 1;

    printRate("one scanner, large:", singleEntries, one.scanner);
    printRate("du -sb, large:", singleEntries, one.du);
    printRate("seven scanners, run:", runEntries, seven.scanner);
    printRate("du -sb, run root:", runEntries, seven.du);
    std::printf("ratio single_scanner_vs_du: %.2f\n", one.scanner / one.du);
    std::printf("ratio seven_scanners_vs_du: %.2f\n", seven.scanner / seven.du);
    return 0;
}
