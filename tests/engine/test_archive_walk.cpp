// The folder walk and the counting rules on their own, without a thread or a record.

#include "archive_generator.h"
#include "engine/archive_walk.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

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

}  // namespace
