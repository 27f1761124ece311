// One archive's tree walked by several walks at once: the figures stay those of one walk alone, for the
// tree and for every inner folder, unreadable folders named once and in walk order, and a stop ends all.
//
// Without threads the interleaving is chosen by the test: the owner's stop check hands a folder to a helper
// walk on the same thread every few entries. With threads, scanners and helpers share a board.

#include "archive_generator.h"
#include "engine/archive_walk.h"
#include "engine/share_board.h"
#include "engine/share_helper.h"
#include "hostile_trees.h"
#include "scan_fixture.h"
#include "walk_figures.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <map>
#include <utility>

namespace fs = std::filesystem;

namespace {

using walktest::enteredFolders;
using walktest::expectSameFigures;
using walktest::walkAlone;

// Serves the main thread's events until `done` holds; false after `ms` without it.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

// A walk of `top` shared with helper walks on the same thread: at every `every`-th look at the stop
// request one folder is handed over. Every folder is an inner folder too.
struct SharedResult {
    ScanFigures tree;
    std::map<std::string, std::vector<ScanFigures>> inner;
    int taken = 0;
};

SharedResult walkShared(const fs::path& top, const std::vector<std::string>& folders, int every)
{
    SharedResult r;
    auto share = std::make_shared<WalkShare>();
    int looks = 0;
    ArchiveWalk walk(100, [&] {
        if (++looks % every == 0)
            share->helpOnce();
        return false;
    }, {});
    for (const std::string& f : folders)
        walk.addInner(f, [&r, f](const ScanFigures& figures) { r.inner[f].push_back(figures); });
    walk.shareWith(share);
    walk.figures().FSize = walk.MeasureFolder(top.string(), true);
    r.tree = walk.figures();
    r.taken = share->taken();
    EXPECT_EQ(share->offered(), 0) << "nothing is left offered once the walk has ended";
    return r;
}

struct Shape {
    const char* name;
    int folders;
    int depth;
    int messages;
    int chain;  // >0: a chain of this many folders as well, deeper than the open levels
    int every;
};

class SharedWalk : public ::testing::TestWithParam<Shape> {};

TEST_P(SharedWalk, TreeAndInnerFoldersGetTheFiguresOfAWalkAlone)
{
    const Shape shape = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path top = fs::path(tmp.path().toStdString()) / "A";
    gen::ArchiveOptions o;
    o.messages = shape.messages;
    o.attachments = shape.messages / 2;
    o.folders = shape.folders;
    o.depth = shape.depth;
    o.trickyNames = true;
    o.archiveDatExtra = 17;  // index sizes off the 430 grid: sums of message counts are not whole
    gen::generateArchive(top, o, 23);
    if (shape.chain > 0)
        hostile::makeChain((top / "kette").string(), shape.chain, "k", 7);
    const std::vector<std::string> folders = enteredFolders(top);

    const SharedResult got = walkShared(top, folders, shape.every);
    expectSameFigures(got.tree, walkAlone(top.string()), "the tree");
    for (const std::string& f : folders) {
        ASSERT_EQ(got.inner.count(f), 1u) << f;
        ASSERT_EQ(got.inner.at(f).size(), 1u) << f;
        expectSameFigures(got.inner.at(f).front(), walkAlone((top / f).string()), f);
    }
    if (!folders.empty()) {
        EXPECT_GT(got.taken, 0) << "helpers took part of the tree";
    }
    if (shape.chain > 0)
        hostile::removeBelow((top / "kette").string());
}

INSTANTIATE_TEST_SUITE_P(
    Walk, SharedWalk,
    ::testing::Values(Shape {"one_huge", 4, 3, 6, 0, 1}, Shape {"one_huge_seldom", 4, 3, 6, 0, 37},
                      Shape {"wide", 60, 1, 3, 0, 2}, Shape {"deep", 1, 14, 4, 0, 1}, Shape {"deep_rare", 2, 6, 2, 0, 11},
                      Shape {"tiny", 0, 0, 2, 0, 1}, Shape {"chain", 2, 2, 3, 45, 3}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

class SharedUnreadable : public ::testing::TestWithParam<int> {};

// Unreadable folders wherever helpers may walk: each is named once, in the order a walk alone names them,
// for the tree and for the folders around it.
TEST_P(SharedUnreadable, NamedOnceInTheOrderOfAWalkAlone)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no mode-000 folder that keeps its owner out";
#else
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path top = fs::path(tmp.path().toStdString()) / "U";
    std::vector<fs::path> closed;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 4; ++j) {
            const fs::path folder = top / ("x" + std::to_string(i)) / ("y" + std::to_string(j));
            fs::create_directories(folder / "z");
            gen::writeFile(folder / "f", std::uint64_t(100 * i + j));
            gen::writeFile(folder / "z" / "g", 1);
            if ((i + j) % 3 == 0)
                closed.push_back(j % 2 ? folder / "z" : folder);
        }
        if (i == 4)
            closed.push_back(top / ("x" + std::to_string(i)));
    }
    const std::vector<std::string> folders = enteredFolders(top);
    for (const fs::path& p : closed)
        fs::permissions(p, fs::perms::none);
    fs::permissions(tmp.path().toStdString(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);

    ScanFigures alone;
    std::map<std::string, ScanFigures> innerAlone;
    SharedResult got;
    // Helpers run on the owner's thread here, so all of it can do without root's rights.
    if (!hostile::runUnprivileged([&] {
            alone = walkAlone(top.string());
            for (const std::string& f : folders)
                innerAlone[f] = walkAlone((top / f).string());
            got = walkShared(top, folders, GetParam());
        }))
        GTEST_SKIP() << "running as root and cannot give up root: a mode-000 folder keeps nobody out";
    for (const fs::path& p : closed)
        fs::permissions(p, fs::perms::owner_all);

    // x4/y2 lies inside x4, which nobody may read: it is never reached.
    ASSERT_EQ(alone.FUnlesbar.size(), qsizetype(closed.size()) - 1) << "the fixture names its unreadable folders";
    expectSameFigures(got.tree, alone, "the tree");
    EXPECT_EQ(got.tree.FUnlesbar.removeDuplicates(), 0);
    EXPECT_GT(got.taken, 0);
    for (const std::string& f : folders) {
        if (got.inner.count(f) == 0)
            continue;  // inside an unreadable folder: never entered, never done, as alone
        ASSERT_EQ(got.inner.at(f).size(), 1u) << f;
        expectSameFigures(got.inner.at(f).front(), innerAlone.at(f), f);
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Walk, SharedUnreadable, ::testing::Values(1, 2, 5, 13));

TEST(SharedWalkStop, AStopEndsOwnerAndHelpersAndNoInnerFolderIsDoneAfterIt)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path top = fs::path(tmp.path().toStdString()) / "S";
    gen::ArchiveOptions o;
    o.messages = 3;
    o.folders = 4;
    o.depth = 3;
    gen::generateArchive(top, o, 5);
    const std::vector<std::string> folders = enteredFolders(top);

    auto share = std::make_shared<WalkShare>();
    bool stopped = false;
    int doneAfterStop = 0;
    ArchiveWalk walk(100, [&] {
        if (!stopped && share->taken() < 3) {
            share->helpOnce();
        } else if (!stopped) {
            share->stop();  // as TMyThreads::Stop does from another thread
            stopped = true;
        }
        return stopped;
    }, {});
    for (const std::string& f : folders)
        walk.addInner(f, [&](const ScanFigures&) { doneAfterStop += stopped ? 1 : 0; });
    walk.shareWith(share);
    walk.figures().FSize = walk.MeasureFolder(top.string(), true);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(doneAfterStop, 0);
    EXPECT_LT(walk.figures().FSize, walkAlone(top.string()).FSize);
    EXPECT_FALSE(share->helpOnce()) << "a stopped tree offers nothing";
    EXPECT_EQ(share->offered(), 0);
}

// Many archives, one of them far larger: three scanners and helpers on their threads, a board counting them.
class ThreadedShareTest : public ScanTest {
protected:
    // A huge archive: a generated one and `wide` folders more, each holding a few folders with a file.
    void huge(const std::string& name, int wide)
    {
        gen::ArchiveOptions o;
        o.messages = 2;
        o.attachments = 1;
        o.otherFiles = 1;
        o.folders = wide;
        o.depth = 1;
        gen::generateArchive(archive(name), o, 31);
        for (int i = 0; i < wide; ++i)
            for (int j = 0; j < 3; ++j) {
                const fs::path folder = archive(name) / ("w" + std::to_string(i)) / ("n" + std::to_string(j));
                fs::create_directories(folder);
                gen::writeFile(folder / "x.$01", 10);
            }
    }
};

TEST_F(ThreadedShareTest, AStopEndsEveryWalkOfTheTreeAndNothingIsPublishedAfterIt)
{
    huge("H", 150);
    harness::RecordingSink sink;
    QObject context;
    // The scanner is held where it first offers folders, before it enters any of them, until the helpers
    // have taken some: on a slow or busy machine it could otherwise end its walk before they start.
    std::promise<void> open;
    const std::shared_future<void> opened = open.get_future().share();
    std::atomic<bool> held {false};
    auto board = std::make_shared<ShareBoard>([&held, opened] {
        held = true;
        opened.wait();
    });
    board->wantWork();
    auto record = std::make_shared<TTobData>();
    TMyThreads scanner(
        {.FPfad = serverPath("H"), .FTobData = record, .FSchritt = 1, .sink = &sink, .sinkContext = &context, .board = board});
    std::vector<std::unique_ptr<ShareHelper>> helpers;
    bool released = false;
    const auto release = [&] {
        if (!std::exchange(released, true))
            open.set_value();
    };
    // Before the threads are waited for, whatever the outcome.
    const auto guard = qScopeGuard(release);
    scanner.resume();
    ASSERT_TRUE(waitFor([&] { return held.load() || scanner.isFinished(); }, 60000));
    ASSERT_TRUE(scanner.share()->hasWork()) << "the walk offered folders before it ended";
    for (int i = 0; i < 3; ++i) {
        helpers.push_back(std::make_unique<ShareHelper>(std::vector {scanner.share()}, board));
        helpers.back()->start();
    }
    ASSERT_TRUE(waitFor([&] { return scanner.share()->taken() > 0; }, 60000));

    scanner.Stop();
    release();
    const std::size_t before = sink.publications.size();
    const TTobData shown = *record;
    ASSERT_TRUE(waitFor([&] {
        return scanner.isFinished() && std::ranges::all_of(helpers, [](const auto& h) { return h->isFinished(); });
    }, 60000));
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.publications.size(), before) << "nothing arrives after the stop";
    EXPECT_EQ(record->Size, shown.Size);
    EXPECT_EQ(board->walking(), 0);
    EXPECT_LE(board->peak(), 4);
}

TEST_F(ThreadedShareTest, ScannersAndHelpersGiveEveryArchiveTheFiguresOfAWalkAlone)
{
    huge("H", 120);
    for (int i = 0; i < 4; ++i) {
        gen::ArchiveOptions o;
        o.messages = 2 + i;
        o.folders = i;
        o.depth = i > 0 ? 2 : 0;
        gen::generateArchive(archive("t" + std::to_string(i)), o, std::uint64_t(40 + i));
    }
    const std::vector<std::string> names {"t0", "H", "t1", "t2", "t3"};
    harness::RecordingSink sink;
    QObject context;
    auto board = std::make_shared<ShareBoard>();
    std::vector<std::unique_ptr<TMyThreads>> scanners;
    std::vector<std::shared_ptr<WalkShare>> shares;
    for (const std::string& n : names) {
        auto record = std::make_shared<TTobData>();
        record->Pfad = serverPath(n);
        scanners.push_back(std::make_unique<TMyThreads>(ScanConfig {.FPfad = serverPath(n),
                                                                    .FTobData = record,
                                                                    .sink = &sink,
                                                                    .sinkContext = &context,
                                                                    .board = board}));
        shares.push_back(scanners.back()->share());
        scanners.back()->resume();
    }
    ShareHelper a(shares, board), b(shares, board);
    a.start();
    b.start();
    ASSERT_TRUE(waitFor([&] {
        return std::ranges::all_of(scanners, [](const auto& t) { return t->isFinished(); }) && a.isFinished()
            && b.isFinished();
    }, 120000));
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.finals(), int(names.size()));
    EXPECT_LE(board->peak(), int(names.size()) + 2);
    EXPECT_EQ(board->walking(), 0);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const ScanFigures alone = walkAlone(archive(names[i]).string());
        const TTobData& d = *scanners[i]->config().FTobData;
        EXPECT_EQ(d.Size, (long double)alone.FSize / 1048576.0L) << names[i];
        EXPECT_EQ(d.SizeRoot, (long double)alone.FSizeRoot / 1048576.0L) << names[i];
        EXPECT_EQ(d.AnzahlNachrichtenG, alone.FAnzahlNachrichtenG) << names[i];
        EXPECT_EQ(d.AnhangG, alone.FAnhangG) << names[i];
        EXPECT_EQ(d.AnhangSizeG, alone.FAnhangSizeG / 1048576.0) << names[i];
        // Interim figures, the helpers' parts among them, never run ahead of the final ones.
        for (const harness::Publication& p : sink.publications) {
            if (p.zwischen && p.data.Pfad == d.Pfad) {
                EXPECT_LE(p.size, double(d.Size)) << names[i];
            }
        }
    }
}

}  // namespace
