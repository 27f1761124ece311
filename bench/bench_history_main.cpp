// Times the history for bench/history:
//
//   arvelo-bench-history FOLDER [users] [subs] [days]
//
// 1. records one run of `users` user archives with `subs` sub-archives each into a fresh file (best of three);
// 2. builds a history of `days` daily runs of `users` user archives (kept in FOLDER between calls, so only the
//    first call pays for it), then times the growth listing as arvelo-stat --growth makes it (query and CSV);
// 3. times the detail panel's line for every 25th archive and reports the worst and the median;
// 4. prints the file's size per archive row (file and write-ahead log).
//
// Prints "key: value" lines; the targets stand beside the figures.

#include "cli/growth_output.h"
#include "history/history_database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace history;

namespace {

const QString kServer = QStringLiteral("BENCH:DAVID\\ARCHIVE\\USER");

ArchiveFigures archiveAt(const QString& path, int level, double size)
{
    ArchiveFigures a;
    a.level = level;
    a.path = path;
    a.userId = path.right(8);
    a.name = QStringLiteral("Benutzer ") + a.userId;
    a.fullPath = QStringLiteral("\\\\BENCH\\") + path.mid(6);
    a.Size = size;
    a.SizeRoot = size * 0.4;
    a.AnzahlNachrichten = size * 3.1;
    a.AnzahlNachrichtenG = size * 7.3;
    a.Anhang = int(size * 2);
    a.AnhangG = int(size * 5);
    a.AnhangSize = size * 0.3;
    a.AnhangSizeG = size * 0.5;
    a.newest = QStringLiteral("2026-12-09T17:55:26");
    a.oldest = QStringLiteral("1998-01-10T09:31:30");
    return a;
}

QString userPath(int u)
{
    return kServer + QLatin1Char('\\') + QString::number(0x00A10000 + u, 16).toUpper();
}

Run runOf(const QDateTime& started, std::vector<ArchiveFigures> archives)
{
    Run r;
    r.info.server = kServer;
    r.info.started = started;
    r.info.ended = started.addSecs(600);
    r.info.program = QStringLiteral("arvelo-bench-history");
    r.info.threads = 7;
    r.info.complete = true;
    r.archives = std::move(archives);
    return r;
}

void print(const char* key, double value)
{
    std::printf("%s: %.4f\n", key, value);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: arvelo-bench-history FOLDER [users] [subs] [days]\n");
        return 64;
    }
    const QDir folder(args.at(1));
    const int users = args.value(2, QStringLiteral("5000")).toInt();
    const int subs = args.value(3, QStringLiteral("10")).toInt();
    const int days = args.value(4, QStringLiteral("365")).toInt();
    if (!QDir().mkpath(folder.path()) || users < 1 || subs < 0 || days < 2) {
        std::fprintf(stderr, "arvelo-bench-history: bad folder or counts\n");
        return 64;
    }

    // 1. One run with sub-archives into a fresh file.
    std::vector<ArchiveFigures> wide;
    for (int u = 0; u < users; ++u) {
        wide.push_back(archiveAt(userPath(u), 0, 100 + u % 977));
        for (int s = 0; s < subs; ++s)
            wide.push_back(archiveAt(userPath(u) + QStringLiteral("\\SUB%1").arg(s), 1, 5 + s));
    }
    double best = 1e9;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int round = 0; round < 3; ++round) {
        const QString file = folder.filePath(QStringLiteral("record-%1.sqlite").arg(round));
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(file + suffix);
        HistoryDatabase db(file);
        if (!db.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(db.error()));
            return 1;
        }
        QElapsedTimer t;
        t.start();
        if (!db.record(runOf(now, wide))) {
            std::fprintf(stderr, "%s\n", qPrintable(db.error()));
            return 1;
        }
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    std::printf("record_archives: %zu\n", wide.size());
    print("record_s", best);
    print("record_target_s", 0.5);

    // 2. The daily history, made once.
    const QString file = folder.filePath(QStringLiteral("daily-%1-%2.sqlite").arg(users).arg(days));
    HistoryDatabase db(file);
    if (!db.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(db.error()));
        return 1;
    }
    const QDateTime first = now.addDays(-days + 1);
    const int have = int(db.runs(kServer).value_or(std::vector<RunInfo> {}).size());
    if (have < days) {
        std::fprintf(stderr, "arvelo-bench-history: building %d daily runs in %s ...\n", days - have, qPrintable(file));
        std::mt19937 random(42);
        std::vector<double> sizes(std::size_t(users), 0);
        for (int u = 0; u < users; ++u)
            sizes[std::size_t(u)] = 50 + u % 977;
        for (int d = have; d < days; ++d) {
            std::vector<ArchiveFigures> daily;
            daily.reserve(std::size_t(users));
            for (int u = 0; u < users; ++u) {
                sizes[std::size_t(u)] += std::uniform_real_distribution<double>(-0.5, 3.0)(random);
                daily.push_back(archiveAt(userPath(u), 0, sizes[std::size_t(u)]));
            }
            if (!db.record(runOf(first.addDays(d), std::move(daily)))) {
                std::fprintf(stderr, "%s\n", qPrintable(db.error()));
                return 1;
            }
        }
    }

    double growthBest = 1e9;
    std::size_t rows = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const std::optional<Growth> growth = db.growth(kServer, now.addDays(-30));
        if (!growth) {
            std::fprintf(stderr, "no growth: %s\n", qPrintable(db.error()));
            return 1;
        }
        const QByteArray csv = growthCsv(*growth);
        growthBest = std::min(growthBest, t.nsecsElapsed() / 1e9);
        rows = growth->rows.size();
        if (csv.isEmpty())
            return 1;
    }
    std::printf("growth_rows: %zu\n", rows);
    print("growth_s", growthBest);
    print("growth_target_s", 1.0);

    // 3. The detail panel's line.
    std::vector<double> latencies;
    for (int u = 0; u < users; u += 25) {
        QElapsedTimer t;
        t.start();
        const std::optional<ArchiveGrowth> g = db.archiveGrowth(kServer, userPath(u));
        latencies.push_back(t.nsecsElapsed() / 1e6);
        if (!g)
            return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    print("panel_line_worst_ms", latencies.back());
    print("panel_line_median_ms", latencies[latencies.size() / 2]);
    print("panel_line_target_ms", 50);

    // 4. Size per archive row: the file and what its write-ahead log holds.
    const qint64 bytes = QFileInfo(file).size() + QFileInfo(file + QStringLiteral("-wal")).size();
    const double archiveRows = double(days) * users;
    std::printf("history_file_bytes: %lld\n", static_cast<long long>(bytes));
    print("bytes_per_archive_row", double(bytes) / archiveRows);
    return 0;
}
