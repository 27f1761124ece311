// The history database: runs recorded and compared, several writers at once, and files that must be refused
// without being touched.

#include "history/history_database.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace history;

namespace {

const QString kServer = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER");

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_history";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)instance;
    return *QCoreApplication::instance();
}

ArchiveFigures archive(const QString& id, double size, int level = 0)
{
    ArchiveFigures a;
    a.level = level;
    a.name = QStringLiteral("Benutzer ") + id;
    a.userId = id;
    a.path = kServer + QLatin1Char('\\') + id;
    a.fullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + id;
    a.Size = size;
    a.SizeRoot = size / 2;
    a.AnzahlNachrichten = size / 10;
    a.AnzahlNachrichtenG = size / 5;
    a.Anhang = int(size) / 3;
    a.AnhangG = int(size) / 2;
    a.AnhangSize = size / 4;
    a.AnhangSizeG = size / 4;
    a.newest = QStringLiteral("2024-12-26T17:55:26");
    return a;
}

Run run(const QDateTime& started, std::vector<ArchiveFigures> archives, const QString& server = kServer)
{
    Run r;
    r.info.server = server;
    r.info.started = started;
    r.info.ended = started.addSecs(90);
    r.info.program = QStringLiteral("test");
    r.info.threads = 7;
    r.info.complete = true;
    r.archives = std::move(archives);
    return r;
}

QDateTime day(int d)
{
    return QDateTime(QDate(2026, 11, 1).addDays(d), QTime(2, 0), Qt::UTC);
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(m_tmp.isValid());
    }
    QString file(const QString& name = QStringLiteral("history.sqlite")) const { return m_tmp.filePath(name); }

    QTemporaryDir m_tmp;
};

TEST_F(HistoryTest, GrowthFollowsArchivesThatGrowShrinkAppearAndVanish)
{
    HistoryDatabase db(file());
    ASSERT_TRUE(db.open()) << db.error().toStdString();
    EXPECT_FALSE(db.growth(kServer).has_value()) << "no run yet";
    EXPECT_TRUE(db.error().isEmpty());

    // Day 0: A, B, C. Day 20: A grew, B shrank, C vanished, D appeared. Day 40: A grew again.
    ASSERT_TRUE(db.record(run(day(0), {archive("A", 100), archive("B", 50), archive("C", 30)})));
    ASSERT_TRUE(db.record(run(day(20), {archive("A", 140), archive("B", 45), archive("D", 10)})));
    ASSERT_TRUE(db.record(run(day(40), {archive("A", 150.5), archive("B", 45), archive("D", 12), archive("S", 1, 1)})));
    // Another server's runs never mix in.
    ASSERT_TRUE(db.record(run(day(41), {archive("A", 9999)}, QStringLiteral("SRV02:ROOT"))));

    struct Case {
        std::optional<QDateTime> since;
        int referenceDay;  // -1: none
        std::vector<std::pair<QString, std::optional<double>>> growth;  // per archive of the latest run
    };
    const std::vector<Case> cases = {
        {{}, 20, {{"A", 10.5}, {"B", 0}, {"D", 2}, {"S", {}}}},
        {day(0), 0, {{"A", 50.5}, {"B", -5}, {"D", {}}, {"S", {}}}},
        {day(19), 0, {{"A", 50.5}, {"B", -5}, {"D", {}}, {"S", {}}}},
        {day(20), 20, {{"A", 10.5}, {"B", 0}, {"D", 2}, {"S", {}}}},
        {day(-1), -1, {{"A", {}}, {"B", {}}, {"D", {}}, {"S", {}}}},
    };
    for (const Case& c : cases) {
        const std::optional<Growth> g = db.growth(kServer, c.since);
        ASSERT_TRUE(g.has_value());
        EXPECT_EQ(g->latest.started, day(40));
        ASSERT_EQ(g->reference.has_value(), c.referenceDay >= 0);
        if (g->reference) {
            EXPECT_EQ(g->reference->started, day(c.referenceDay));
        }
        ASSERT_EQ(g->rows.size(), c.growth.size());
        for (std::size_t i = 0; i < c.growth.size(); ++i) {
            const GrowthRow& row = g->rows[i];
            EXPECT_EQ(row.userId, c.growth[i].first);
            EXPECT_EQ(row.before, c.growth[i].second.has_value()) << row.userId.toStdString();
            if (row.before) {
                EXPECT_DOUBLE_EQ(row.sizeGrowth(), *c.growth[i].second) << row.userId.toStdString();
            }
        }
    }

    // The detail panel's line: since the run before the latest, and over 30 days from the latest.
    const std::optional<ArchiveGrowth> a = db.archiveGrowth(kServer, kServer + QStringLiteral("\\A"));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->previousRun, day(20));
    EXPECT_DOUBLE_EQ(a->sincePrevious, 10.5);
    ASSERT_TRUE(a->over30Days.has_value());
    EXPECT_DOUBLE_EQ(*a->over30Days, 50.5);
    const std::optional<ArchiveGrowth> d = db.archiveGrowth(kServer, kServer + QStringLiteral("\\D"));
    ASSERT_TRUE(d.has_value());
    EXPECT_FALSE(d->over30Days.has_value()) << "D is younger than 30 days";
    EXPECT_FALSE(db.archiveGrowth(kServer, kServer + QStringLiteral("\\S")).has_value()) << "one run only";

    // The server's size counts the user archives only.
    const auto sizes = db.serverSizes(kServer, day(10));
    ASSERT_TRUE(sizes.has_value());
    ASSERT_EQ(sizes->size(), 2u);
    EXPECT_DOUBLE_EQ((*sizes)[0].Size, 195);
    EXPECT_DOUBLE_EQ((*sizes)[1].Size, 207.5);

    // Every figure comes back as recorded.
    const auto runs = db.runs(kServer);
    ASSERT_TRUE(runs.has_value());
    ASSERT_EQ(runs->size(), 3u);
    EXPECT_EQ(runs->front().started, day(40));
    EXPECT_EQ(runs->front().archives, 4);
    const auto kept = db.runArchives(runs->front().id);
    ASSERT_TRUE(kept.has_value());
    const ArchiveFigures expected = archive("A", 150.5);
    const ArchiveFigures& got = kept->front();
    EXPECT_EQ(std::tie(got.name, got.userId, got.path, got.fullPath, got.newest, got.oldest),
              std::tie(expected.name, expected.userId, expected.path, expected.fullPath, expected.newest, expected.oldest));
    EXPECT_EQ(std::tie(got.Size, got.SizeRoot, got.AnzahlNachrichten, got.AnzahlNachrichtenG, got.Anhang, got.AnhangG,
                       got.AnhangSize, got.AnhangSizeG),
              std::tie(expected.Size, expected.SizeRoot, expected.AnzahlNachrichten, expected.AnzahlNachrichtenG,
                       expected.Anhang, expected.AnhangG, expected.AnhangSize, expected.AnhangSizeG));

    // Forgetting takes whole runs; the rest still compares.
    EXPECT_EQ(db.forgetBefore(kServer, day(20)), 1);
    EXPECT_EQ(db.runs(kServer)->size(), 2u);
    EXPECT_FALSE(db.growth(kServer, day(10))->reference.has_value());
    EXPECT_EQ(db.runs(QStringLiteral("SRV02:ROOT"))->size(), 1u);
}

TEST_F(HistoryTest, TypeCountsAddUpOverUserArchives)
{
    HistoryDatabase db(file());
    ASSERT_TRUE(db.open());
    ArchiveFigures a = archive("A", 10), b = archive("B", 10), sub = archive("S", 5, 1);
    a.types = std::vector<TypeTally> {{".PDF", 5}, {".DOC", 2}};
    b.types = std::vector<TypeTally> {{".PDF", 1}, {".JPG", 3}};
    sub.types = std::vector<TypeTally> {{".PDF", 100}};  // inside A's tree already
    history::Run r = run(day(0), {a, b, sub});
    r.info.figures = false;
    r.info.types = TypesScope::Tree;
    const auto id = db.record(r);
    ASSERT_TRUE(id);
    const auto totals = db.typeTotals(*id);
    ASSERT_TRUE(totals);
    ASSERT_EQ(totals->size(), 3u);
    EXPECT_EQ((*totals)[0].key, ".PDF");
    EXPECT_EQ((*totals)[0].count, 6);
    EXPECT_EQ((*totals)[0].archives, 2);
    EXPECT_EQ((*totals)[1].key, ".JPG");
    EXPECT_EQ((*totals)[2].count, 2);
    // A run of type counts alone is no point of comparison for sizes.
    EXPECT_FALSE(db.growth(kServer).has_value());
}

// Rows are written many to a statement: every row comes back as it went in, across the batches' edges, for a
// server seen before (renamed archives, new ones) as for a new one.
TEST_F(HistoryTest, LargeRunsReadBackRowForRow)
{
    HistoryDatabase db(file());
    ASSERT_TRUE(db.open());
    for (const int count : {1, 63, 64, 65, 300}) {
        SCOPED_TRACE(count);
        std::vector<ArchiveFigures> archives;
        for (int i = 0; i < count; ++i) {
            ArchiveFigures a = archive(QString::number(i), 1000 + i + count, i % 3 == 0 ? 0 : 1);
            a.name += QString::number(count);  // renamed from the previous run
            a.oldest = i % 2 ? QString() : QStringLiteral("2019-01-0%1T08:00:00").arg(1 + i % 9);
            a.types = std::vector<TypeTally> {{".PDF", i + 1}, {".DOC", 2}};
            archives.push_back(a);
        }
        archives.push_back(archives.front());  // listed twice: the first listing counts
        archives.back().Size = -1;
        history::Run r = run(day(count), archives);
        r.info.types = TypesScope::Tree;
        const auto id = db.record(r);
        ASSERT_TRUE(id) << db.error().toStdString();
        const auto back = db.runArchives(*id);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->size(), std::size_t(count));
        for (int i = 0; i < count; ++i) {
            const ArchiveFigures& want = archives[std::size_t(i)];
            const ArchiveFigures& got = (*back)[std::size_t(i)];
            ASSERT_EQ(got.path, want.path) << i;
            EXPECT_EQ(got.name, want.name) << i;
            EXPECT_EQ(got.level, want.level) << i;
            EXPECT_EQ(got.Size, want.Size) << i;
            EXPECT_EQ(got.AnhangG, want.AnhangG) << i;
            EXPECT_EQ(got.AnhangSizeG, want.AnhangSizeG) << i;
            EXPECT_EQ(got.oldest, want.oldest) << i;
            EXPECT_EQ(got.newest, want.newest) << i;
        }
        // The server's totals count the user archives (level 0), whose trees hold their sub-archives.
        qint64 pdf = 0, doc = 0;
        for (int i = 0; i < count; i += 3) {
            pdf += i + 1;
            doc += 2;
        }
        const auto totals = db.typeTotals(*id);
        ASSERT_TRUE(totals);
        ASSERT_EQ(totals->size(), 2u);
        for (const TypeTotal& t : *totals)
            EXPECT_EQ(t.count, t.key == QStringLiteral(".PDF") ? pdf : doc) << t.key.toStdString();
    }
    EXPECT_EQ(db.runs(kServer)->size(), 5u);
}

TEST_F(HistoryTest, WritersAtOnceAreAllRecorded)
{
    constexpr int kWriters = 4;
    std::vector<ArchiveFigures> archives;
    for (int i = 0; i < 2000; ++i)
        archives.push_back(archive(QString::number(i, 16).rightJustified(8, QLatin1Char('0')), i));
    std::latch ready(kWriters);  // they start together, without spinning for each other
    std::vector<QString> errors(kWriters);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            HistoryDatabase db(file());  // a fresh file: the writers also race to make the schema
            ready.arrive_and_wait();
            if (!db.open() || !db.record(run(day(w), archives)))
                errors[w] = db.error();
        });
    }
    for (std::thread& t : writers)
        t.join();
    for (const QString& e : errors)
        EXPECT_TRUE(e.isEmpty()) << e.toStdString();
    HistoryDatabase db(file());
    ASSERT_TRUE(db.open());
    const auto runs = db.runs(kServer);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), std::size_t(kWriters));
    for (const RunInfo& r : *runs)
        EXPECT_EQ(db.runArchives(r.id)->size(), archives.size());
}

// Files that are not a usable history: refused with the file named, and left byte for byte as they were.
TEST_F(HistoryTest, UnusableFilesAreRefusedAndLeftAlone)
{
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* says;
    };
    const auto sqlite = [](const QString& path, const QStringList& statements) {
        const QString connection = QStringLiteral("maker-") + path;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            for (const QString& s : statements)
                ASSERT_TRUE(q.exec(s)) << s.toStdString();
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    };
    const std::vector<Case> cases = {
        {"text.sqlite",
         [](const QString& p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("level,name\r\n0,Hans\r\n").repeated(300));
         },
         "keine SQLite-Datenbank"},
        {"foreign.sqlite", [&](const QString& p) { sqlite(p, {"CREATE TABLE moz_places (id INTEGER, url TEXT)"}); },
         "keine Arvelo-Historie"},
        {"newer.sqlite",
         [&](const QString& p) {
             HistoryDatabase h(p);
             ASSERT_TRUE(h.open());
             ASSERT_TRUE(h.record(run(day(0), {archive("A", 1)})));
             sqlite(p, {"PRAGMA user_version=7"});
         },
         "neueren Arvelo-Version"},
        {"corrupt.sqlite",
         [&](const QString& p) {
             {
                 HistoryDatabase h(p);
                 ASSERT_TRUE(h.open());
             }
             sqlite(p, {"PRAGMA journal_mode=DELETE"});
             // Garbage over the schema page's content, header of the file kept.
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_TRUE(f.seek(100));
             f.write(QByteArray(2000, '\x5a'));
         },
         "beschädigt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file(QString::fromLatin1(c.name));
        c.make(path);
        const QByteArray before = digest(path);
        ASSERT_FALSE(before.isEmpty());
        {
            HistoryDatabase db(path);
            ASSERT_FALSE(db.open());
            EXPECT_TRUE(db.error().contains(QDir::toNativeSeparators(path))) << db.error().toStdString();
            EXPECT_TRUE(db.error().contains(QString::fromUtf8(c.says))) << db.error().toStdString();
            EXPECT_FALSE(db.record(run(day(1), {archive("A", 2)})));
        }
        EXPECT_EQ(digest(path), before);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-wal")));
    }
}

#ifndef _WIN32
// A history its user may not write: named, refused, and left as it was. Root may write anything, so as root
// the check runs in a child process as "nobody".
TEST_F(HistoryTest, AHistoryItsUserMayNotWriteIsNamedAndLeftAlone)
{
    const QString folder = file(QStringLiteral("ro"));
    const QString existing = folder + QStringLiteral("/history.sqlite");
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        HistoryDatabase db(existing);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.record(run(day(0), {archive("A", 1)})));
    }
    const QByteArray before = digest(existing);
    const auto mode = [](const QString& path, mode_t m) { ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), m), 0); };
    mode(m_tmp.path(), 0755);
    mode(folder, 0555);
    mode(existing, 0444);

    struct Case {
        const char* name;
        QString path;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"read-only file", existing, "schreibgeschützt"},
        {"new file in a read-only folder", folder + QStringLiteral("/new.sqlite"), "kann nicht geöffnet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // 0: refused as it should be; 1: opened; 2: refused without the file or the reason named.
        const auto attempt = [&c]() -> int {
            HistoryDatabase db(c.path);
            if (db.open() && db.record(run(day(1), {archive("A", 2)})))
                return 1;
            return db.error().contains(c.path) && db.error().contains(QString::fromUtf8(c.says)) ? 0 : 2;
        };
        if (::geteuid() != 0) {
            EXPECT_EQ(attempt(), 0);
            continue;
        }
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 ? attempt() : 3);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(digest(existing), before);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/new.sqlite")));
    mode(folder, 0755);
}

// A disk that fills up during a run: nothing of the run stays, the earlier runs are intact.
TEST_F(HistoryTest, FullDiskRollsTheRunBack)
{
    HistoryDatabase db(file());
    ASSERT_TRUE(db.open());
    ASSERT_TRUE(db.record(run(day(0), {archive("A", 1), archive("B", 2)})));
    std::vector<ArchiveFigures> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back(archive(QString::number(i), i));

    // The file size limit stands in for a full disk: writes beyond it fail as they would there.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::optional<qint64> id = db.record(run(day(1), many));
    const QString error = db.error();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(id.has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("unverändert"))) << error.toStdString();
    EXPECT_TRUE(error.contains(file())) << error.toStdString();
    const auto runs = db.runs(kServer);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 1u);
    EXPECT_EQ(db.runArchives(runs->front().id)->size(), 2u);
    // And the next run goes in as usual.
    EXPECT_TRUE(db.record(run(day(2), {archive("A", 3)})));
}
#endif

}  // namespace
