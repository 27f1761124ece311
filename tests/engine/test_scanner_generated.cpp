// The scanner's figures for generated archives against the generator's own bookkeeping.

#include "scan_fixture.h"

namespace {

struct Case {
    const char* name;
    gen::ArchiveOptions options;
    std::uint64_t seed;
};

// Test lists show the case's name, not its bytes.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

gen::ArchiveOptions base()
{
    gen::ArchiveOptions o;
    o.messages = 30;
    o.attachments = 25;
    o.otherFiles = 12;
    o.folders = 2;
    o.depth = 2;
    return o;
}

std::vector<Case> cases()
{
    std::vector<Case> list;
    list.push_back({"default", gen::ArchiveOptions(), 1});
    list.push_back({"nested", base(), 2});
    {
        auto o = base();
        o.trickyNames = true;
        list.push_back({"tricky", o, 3});
    }
    {
        auto o = base();
        o.archiveDatExtra = 123;  // not a multiple of 430
        list.push_back({"uneven_index", o, 4});
    }
    {
        auto o = base();
        o.rootAttachments = 0;  // attachments only in the sub-folders
        list.push_back({"attachments_below_only", o, 5});
    }
    {
        auto o = base();
        o.messages = 0;
        o.archiveDat = false;
        list.push_back({"no_messages", o, 6});
    }
    {
        auto o = base();
        o.sparse = false;
        o.attachmentMax = 20000;
        list.push_back({"real_bytes", o, 7});
    }
    {
        auto o = base();
        o.messages = 120;  // folders above 100 entries: interim publications
        o.attachments = 90;
        o.depth = 1;
        o.folders = 3;
        list.push_back({"large_folders", o, 8});
    }
    {
        auto o = base();
        o.yearFrom = 1975;  // stamps before 1980 are no valid DOS dates and are left out
        o.yearTo = 1982;
        list.push_back({"early_years", o, 9});
    }
    {
        auto o = base();
        o.yearFrom = 2040;  // 2044 on sets bit 31 of the stamp
        o.yearTo = 2107;
        list.push_back({"late_years", o, 10});
    }
    {
        auto o = base();
        o.dotFolder = false;
        o.depth = 4;
        o.folders = 2;
        o.messages = 5;
        o.attachments = 3;
        list.push_back({"deep", o, 11});
    }
    return list;
}

class GeneratedArchive : public ScanTest, public ::testing::WithParamInterface<Case> {};

TEST_P(GeneratedArchive, TopLevelRowMatchesExpectedFigures)
{
    const Case& c = GetParam();
    const gen::ArchiveFigures expected = gen::generateArchive(archive("A"), c.options, c.seed);
    const harness::ScanResult r = scan("A");
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.finals, 1);
    ASSERT_FALSE(r.publications.back().zwischen) << "the final publication comes last";
    EXPECT_EQ(std::uint64_t(r.interim), expected.interimPublications);
    expectFigures(*r.record, expected, false);
    EXPECT_EQ(r.publications.back().size, double(expected.size) / 1048576.0);
    EXPECT_FALSE(r.publications.back().unter);
    EXPECT_TRUE(r.terminatedFlag);
    EXPECT_TRUE(r.startedFlag);
}

TEST_P(GeneratedArchive, SubArchiveRowMatchesExpectedFigures)
{
    const Case& c = GetParam();
    const gen::ArchiveFigures expected = gen::generateArchive(archive("B"), c.options, c.seed + 100);
    harness::ScanOptions options;
    options.unter = true;
    const harness::ScanResult r = scan("B", options);
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.finals, 1);
    expectFigures(*r.record, expected, true);
    EXPECT_TRUE(r.publications.back().unter);
}

TEST_P(GeneratedArchive, InterimPublicationsNeverDecrease)
{
    const Case& c = GetParam();
    gen::ArchiveOptions o = c.options;
    gen::generateArchive(archive("C"), o, c.seed + 200);
    harness::ScanOptions options;
    options.schritt = 7;  // many interim publications
    const harness::ScanResult r = scan("C", options);
    ASSERT_TRUE(r.finished);
    long double last = 0;
    std::int32_t lastAnhang = 0;
    for (const harness::Publication& p : r.publications) {
        EXPECT_GE(p.data.Size, last);
        EXPECT_GE(p.data.AnhangG, lastAnhang);
        last = p.data.Size;
        lastAnhang = p.data.AnhangG;
    }
}

INSTANTIATE_TEST_SUITE_P(Scanner, GeneratedArchive, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(ScanTest, AttachmentsOnlyBelowTheArchiveFolder)
{
    gen::ArchiveOptions o = base();
    o.rootAttachments = 0;
    const gen::ArchiveFigures expected = gen::generateArchive(archive("U"), o, 42);
    ASSERT_GT(expected.anhangG, 0);

    const harness::ScanResult top = scan("U");
    EXPECT_EQ(top.record->Anhang, 0);
    EXPECT_GT(top.record->AnhangG, 0);
    EXPECT_EQ(top.record->AnhangSize, top.record->AnhangSizeG) << "a top-level row shows the tree's attachments";

    harness::ScanOptions options;
    options.unter = true;
    const harness::ScanResult sub = scan("U", options);
    EXPECT_EQ(sub.record->AnhangSize, 0.0) << "a sub-archive row shows its own folder's attachments";
    EXPECT_GT(sub.record->AnhangSizeG, 0.0);
}

TEST_F(ScanTest, ManyArchivesOfATreeMatchTheirFiguresFile)
{
    gen::TreeOptions tree;
    tree.archives = 6;
    tree.archive = base();
    tree.archive.trickyNames = true;
    const auto written = gen::generateTree(m_share / "TREE", tree, 77);
    ASSERT_TRUE(gen::writeFigures(gen::figuresPathFor(m_share / "TREE"), written));
    const auto figures = gen::readFigures(gen::figuresPathFor(m_share / "TREE"));
    ASSERT_TRUE(figures.has_value());
    ASSERT_EQ(figures->size(), 6u);
    for (const auto& [name, expected] : *figures) {
        SCOPED_TRACE(name);
        const harness::ScanResult r = harness::scan(serverPath("TREE\\" + name));
        ASSERT_TRUE(r.finished);
        expectFigures(*r.record, expected, false);
    }
}

}  // namespace
