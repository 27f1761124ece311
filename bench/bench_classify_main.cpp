// arvelo-bench-classify: times the attachment type scan of a whole archive tree against
// `find ROOT -name '*.$00' -exec cat {} + >/dev/null`, which reads the same index files and nothing else.
//
// The tree comes from arvelo-gen-tree, whose figures say which type counts the scan must find. Both sides run
// in the same process's rounds, alternating which goes first; the medians are compared.

#include "archive_generator.h"
#include "classify/type_scan.h"
#include "platform/windows1252.h"
#include "platform/unc_path.h"
#include "tree_bench.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace {

namespace fs = std::filesystem;

// One scan as the window's thread runs it; the wall time in seconds, negative when the counts are wrong.
double runScan(const QString& serverPath, const std::map<std::string, int>& expected)
{
    QElapsedTimer clock;
    clock.start();
    const TypeScanResult result = classify::scanTypes(serverPath, true);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::map<std::string, int> found;
    for (const TypeCount& e : result.AnhangListe.entries())
        found[platform::toWindows1252(e.key).toStdString()] = e.count;
    if (result.failed || found != expected) {
        std::fprintf(stderr, "arvelo-bench-classify: the scan's counts differ from the generator's%s%s\n",
                     result.failed ? ": " : "", qPrintable(result.reason));
        return -1;
    }
    return seconds;
}

// find ROOT -name '*.$00' -exec cat {} + with its output discarded.
double runFindCat(const fs::path& root)
{
    return bench::timeCommand({"find", root.string(), "-name", "*.$00", "-exec", "cat", "{}", "+"},
                              "find ... -exec cat");
}

using bench::median;

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arvelo-bench-classify"));
    const auto args = bench::treeArgs(
        app,
        QStringLiteral("Times the attachment type scan of <data>/BENCH/CLASSIFY against find -name '*.$00' -exec cat."),
        QStringLiteral("rounds (7)"), 7);
    if (!args)
        return 2;
    const fs::path& data = args->data;
    const int rounds = args->rounds;
    const fs::path root = data / "BENCH" / "CLASSIFY";
    const auto figures = gen::readFigures(gen::figuresPathFor(root));
    if (!figures || figures->size() != 1) {
        std::fprintf(stderr, "arvelo-bench-classify: no generated tree with its figures at %s\n", root.c_str());
        return 1;
    }
    const std::map<std::string, int>& expected = figures->begin()->second.typesTree;
    platform::setUncRoot(QString::fromStdString(data.string()));
    const QString serverPath = QStringLiteral("BENCH:CLASSIFY");

    std::uint64_t indexFiles = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() == ".$00")
            ++indexFiles;
    std::printf("tree: %llu index files, %llu entries; %d rounds\n", (unsigned long long)indexFiles,
                (unsigned long long)figures->begin()->second.entries, rounds);

    // One unmeasured pass of each, so both read from a warm cache.
    if (runScan(serverPath, expected) < 0 || runFindCat(root) < 0)
        return 1;
    std::vector<double> scan, findCat;
    for (int round = 0; round < rounds; ++round) {
        double s = 0, f = 0;
        if (round % 2 == 0) {
            s = runScan(serverPath, expected);
            f = runFindCat(root);
        } else {
            f = runFindCat(root);
            s = runScan(serverPath, expected);
        }
        if (s < 0 || f < 0)
            return 1;
        std::printf("  round %d: type scan %.3f s, find+cat %.3f s\n", round + 1, s, f);
        std::fflush(stdout);
        scan.push_back(s);
        findCat.push_back(f);
    }
    const double s = median(scan), f = median(findCat);
    std::printf("type scan:  %.3f s median\nfind + cat: %.3f s median\n", s, f);
    std::printf("ratio classify_vs_find_cat: %.2f\n", s / f);
    return 0;
}
