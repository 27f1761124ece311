// The folder walk and the counting rules on their own, without a thread or a record.

#include "archive_generator.h"
#include "engine/archive_walk.h"
#include "hostile_trees.h"
#include "walk_figures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

using walktest::enteredFolders;
using walktest::expectSameFigures;
using walktest::walkAlone;

struct KindCase {
    const char* name;
    EntryKind kind;
};

class EntryKindOf : public ::testing::TestWithParam<KindCase> {};

TEST_P(EntryKindOf, Name)
{
    EXPECT_EQ(entryKind(GetParam().name), GetParam().kind) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Walk, EntryKindOf,
    ::testing::Values(KindCase {"archive.dat", EntryKind::MessageIndex}, KindCase {"ARCHIVE.DAT", EntryKind::Other},
                      KindCase {"archive.dat.bak", EntryKind::Other}, KindCase {"x.$00", EntryKind::Other},
                      KindCase {"x.$01", EntryKind::Attachment}, KindCase {"x.$A7", EntryKind::Attachment},
                      KindCase {"x.$", EntryKind::Attachment}, KindCase {"x$01", EntryKind::Other},
                      KindCase {"x.S01", EntryKind::Other}, KindCase {"x.$01.001", EntryKind::MessageFile},
                      KindCase {"x.001.$01", EntryKind::Attachment}, KindCase {"memo.0011", EntryKind::Other},
                      KindCase {"00000001.001", EntryKind::MessageFile}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return "case" + std::to_string(info.index); });

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.isValid()); }
    fs::path path(const char* name) const { return fs::path(m_tmp.path().toStdString()) / name; }
    QTemporaryDir m_tmp;
};

TEST_F(WalkTest, FiguresAndPublicationsOfAGeneratedArchive)
{
    gen::ArchiveOptions o;
    o.messages = 130;  // folders above 100 entries
    o.attachments = 40;
    o.depth = 2;
    o.trickyNames = true;
    const gen::ArchiveFigures expected = gen::generateArchive(path("A"), o, 5);

    std::vector<ScanFigures> published;
    ArchiveWalk walk(100, {}, [&](const ScanFigures& f) { published.push_back(f); });
    const double total = walk.MeasureFolder(path("A").string(), true);

    const ScanFigures& f = walk.figures();
    EXPECT_EQ(total, double(expected.size));
    EXPECT_EQ(f.FSize, double(expected.size));
    EXPECT_EQ(f.FSizeRoot, double(expected.sizeRoot));
    EXPECT_EQ(f.FAnhang, expected.anhang);
    EXPECT_EQ(f.FAnhangG, expected.anhangG);
    EXPECT_EQ(f.FAnhangSize, double(expected.anhangSizeRoot));
    EXPECT_EQ(f.FAnhangSizeG, double(expected.anhangSizeG));
    EXPECT_DOUBLE_EQ(f.FAnzahlNachrichten, expected.anzahlNachrichten);
    EXPECT_NEAR(f.FAnzahlNachrichtenG, expected.anzahlNachrichtenG, 1e-9 * expected.anzahlNachrichtenG);
    EXPECT_FALSE(f.FZwischen) << "the walk of the root has ended";

    ASSERT_EQ(published.size(), expected.interimPublications);
    double last = 0;
    for (const ScanFigures& p : published) {
        EXPECT_TRUE(p.FZwischen);
        EXPECT_GE(p.FSize, last);
        last = p.FSize;
    }
}

TEST_F(WalkTest, AStopEndsTheWalkAtTheNextEntry)
{
    gen::ArchiveOptions o;
    o.messages = 150;
    o.depth = 1;
    const gen::ArchiveFigures expected = gen::generateArchive(path("S"), o, 6);
    int publications = 0;
    ArchiveWalk walk(10, [&] { return publications > 0; }, [&](const ScanFigures&) { ++publications; });
    walk.MeasureFolder(path("S").string(), true);
    EXPECT_EQ(publications, 1);
    EXPECT_LT(walk.figures().FSize, double(expected.size));
}

TEST_F(WalkTest, EndsAreFoundWhateverTheOrderAndHoweverCloseToThem)
{
    // Ends a few seconds beyond times met before, and many times in between, in the listing's own order.
    const fs::path a = path("T");
    fs::create_directories(a);
    const std::int64_t early = 946720800;  // 2000-01-01 10:00 UTC
    const std::int64_t late = 1577872800;  // 2020-01-01 10:00 UTC
    std::vector<std::int64_t> times {early + 4, late - 4, early, late, early + 2, late - 2};
    for (int i = 0; i < 40; ++i)
        times.push_back(early + (late - early) / 41 * (i + 1));
    for (std::size_t i = 0; i < times.size(); ++i) {
        const fs::path file = a / ("m" + std::to_string(i) + ".001");
        gen::writeFile(file, 1);
        gen::setLastWrite(file, times[i]);
    }
    ArchiveWalk walk(100, {}, {});
    walk.MeasureFolder(a.string(), true);
    EXPECT_EQ(walk.figures().FOld, platform::dosStampFromTime(early));
    EXPECT_EQ(walk.figures().FNew, platform::dosStampFromTime(late));
}

#ifndef _WIN32
// Descriptors the process holds now.
int openDescriptors()
{
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++n;
        closedir(dir);
    }
    return n;
}
#endif

TEST_F(WalkTest, DescriptorsStayBoundedHoweverDeepTheTree)
{
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: counts open descriptors in a chain built with POSIX calls";
#else
    const std::string top = path("D").string();
    const std::uint64_t bytes = hostile::makeChain(top, 300, "d", 10);
    const int before = openDescriptors();
    int most = before;
    ArchiveWalk walk(1, {}, [&](const ScanFigures&) { most = std::max(most, openDescriptors()); });
    EXPECT_EQ(walk.MeasureFolder(top, true), double(bytes));
    EXPECT_LE(most - before, int(ArchiveWalk::kOpenLevels) + 1);
    EXPECT_TRUE(walk.figures().FUnlesbar.isEmpty());
#endif
}

TEST_F(WalkTest, TreesDeeperThanAPathCanNameAreMeasuredWhole)
{
    // Levels of 100-character names: 60 go below the deepest open level, where the path is longer than the
    // system takes in one call. On Windows 30 (3,000 characters) are far beyond MAX_PATH and still within the
    // path length of the system Wine runs on.
#ifdef _WIN32
    constexpr int kLevels = 30;
#else
    constexpr int kLevels = 60;
#endif
    const std::string top = path("L").string();
    const std::uint64_t bytes = hostile::makeChain(top, kLevels, std::string(100, 'n'), 10);
    ArchiveWalk walk(100, {}, {});
    EXPECT_EQ(walk.MeasureFolder(top, true), double(bytes));
    EXPECT_TRUE(walk.figures().FUnlesbar.isEmpty());
    hostile::removeBelow(top);
}

TEST_F(WalkTest, FoldersThatCannotBeReadAreNamed)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no mode-000 folder that keeps its owner out";
#else
    // An archive with a readable and an unreadable sub-folder, and one more unreadable folder below the
    // deepest open level.
    const fs::path a = path("U");
    fs::create_directories(a / "frei");
    fs::create_directories(a / "geheim");
    gen::writeFile(a / "f", 1000);
    gen::writeFile(a / "frei" / "g", 2000);
    gen::writeFile(a / "geheim" / "h", 3000);
    const std::uint64_t chain = hostile::makeChain((a / "tief").string(), 40, "d", 10);
    fs::path bottom = a / "tief";
    for (int i = 0; i < 40; ++i)
        bottom /= "d";
    fs::create_directories(bottom / "zu");
    gen::writeFile(bottom / "zu" / "i", 4000);
    fs::permissions(a / "geheim", fs::perms::none);
    fs::permissions(bottom / "zu", fs::perms::none);
    fs::permissions(m_tmp.path().toStdString(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);

    ArchiveWalk walk(100, {}, {});
    double total = -1;
    if (!hostile::runUnprivileged([&] { total = walk.MeasureFolder(a.string(), true); }))
        GTEST_SKIP() << "running as root and cannot give up root: a mode-000 folder keeps nobody out";
    EXPECT_EQ(total, double(1000 + 2000 + chain)) << "the unreadable trees are missing from the figures";
    QStringList named = walk.figures().FUnlesbar;
    named.sort();
    EXPECT_EQ(named, QStringList({QString::fromStdString((a / "geheim").string()),
                                  QString::fromStdString((bottom / "zu").string())}));
    fs::permissions(a / "geheim", fs::perms::owner_all);
    fs::permissions(bottom / "zu", fs::perms::owner_all);
#endif
}

struct InnerShape {
    const char* name;
    int messages;
    int folders;
    int depth;
    int chain;  // >0: a chain of this many folders below the archive as well, deeper than the open levels
};

class InnerFolders : public ::testing::TestWithParam<InnerShape> {};

// Every folder the walk enters, as an inner folder of one walk of the whole tree (twice for one of them):
// each gets exactly the figures of a walk of it alone, once, and the tree's own figures stay the same.
TEST_P(InnerFolders, EveryFolderGetsTheFiguresOfAWalkOfItAlone)
{
    const InnerShape shape = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path top = fs::path(tmp.path().toStdString()) / "A";
    gen::ArchiveOptions o;
    o.messages = shape.messages;
    o.attachments = shape.messages / 3;
    o.folders = shape.folders;
    o.depth = shape.depth;
    o.trickyNames = true;
    gen::generateArchive(top, o, 17);
    if (shape.chain > 0)
        hostile::makeChain((top / "kette").string(), shape.chain, "k", 7);

    const std::vector<std::string> folders = enteredFolders(top);
    ASSERT_GT(folders.size(), 1u);

    ArchiveWalk walk(100, {}, {});
    std::map<std::string, std::vector<ScanFigures>> got;
    for (const std::string& f : folders)
        walk.addInner(f, [&got, f](const ScanFigures& figures) { got[f].push_back(figures); });
    walk.addInner(folders.back(), [&got](const ScanFigures& figures) { got["second"].push_back(figures); });
    walk.addInner(".cache", [&got](const ScanFigures& figures) { got[".cache"].push_back(figures); });
    walk.figures().FSize = walk.MeasureFolder(top.string(), true);

    expectSameFigures(walk.figures(), walkAlone(top.string()), "the tree");
    for (const std::string& f : folders) {
        ASSERT_EQ(got[f].size(), 1u) << f;
        expectSameFigures(got[f].front(), walkAlone((top / f).string()), f);
    }
    ASSERT_EQ(got["second"].size(), 1u);
    expectSameFigures(got["second"].front(), got[folders.back()].front(), "second");
    EXPECT_EQ(got.count(".cache"), 0u);
    if (shape.chain > 0)
        hostile::removeBelow((top / "kette").string());
}

INSTANTIATE_TEST_SUITE_P(Walk, InnerFolders,
                         ::testing::Values(InnerShape {"wide", 30, 9, 1, 0}, InnerShape {"deep", 12, 1, 7, 0},
                                           InnerShape {"bushy", 130, 3, 3, 0}, InnerShape {"chain", 2, 1, 1, 40}),
                         [](const ::testing::TestParamInfo<InnerShape>& info) { return std::string(info.param.name); });

}  // namespace
