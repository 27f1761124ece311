// The headless run's places: scanners first, then helpers for the archives still running, never more
// walks than the limit, and every row's figures those of a walk of its folder alone.

#include "archive_generator.h"
#include "cli/stat_run.h"
#include "engine/archive_walk.h"
#include "platform/unc_path.h"
#include "stat_program.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

using clitest::app;

struct RunCase {
    const char* name;
    int tiny;        // small archives before the large one
    int wide;        // sub-folders of the large one (0: none)
    int after;       // small archives after it
    int subArchives; // rows of folders inside the large one's tree
    int limit;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class StatRunPlaces : public ::testing::TestWithParam<RunCase> {};

void smallArchive(const fs::path& folder, int seed)
{
    gen::ArchiveOptions o;
    o.messages = 2 + seed % 4;
    o.attachments = 2;
    o.folders = seed % 3;
    o.depth = seed % 3 ? 1 : 0;
    gen::generateArchive(folder, o, std::uint64_t(seed));
}

// `wide` folders, each with three folders of a few files, below a generated archive.
void largeArchive(const fs::path& folder, int wide)
{
    gen::ArchiveOptions o;
    o.messages = 4;
    o.folders = 3;
    o.depth = 2;
    gen::generateArchive(folder, o, 99);
    for (int i = 0; i < wide; ++i)
        for (int j = 0; j < 3; ++j) {
            const fs::path f = folder / ("w" + std::to_string(i)) / ("n" + std::to_string(j));
            fs::create_directories(f);
            gen::writeFile(f / ("m" + std::to_string(j) + ".$01"), std::uint64_t(10 + i));
            gen::writeFile(f / "archive.dat", std::uint64_t(431 + i));
        }
}

TEST_P(StatRunPlaces, NeverMoreWalksThanTheLimitAndFiguresOfAWalkAlone)
{
    app();
    const RunCase c = GetParam();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    // The archives lie on a share as the server names them, SRV:DAVID\..., under the temporary folder.
    platform::setUncRoot(tmp.path());
    const fs::path root = fs::path(tmp.path().toStdString()) / "SRV" / "DAVID";
    std::vector<StatRow> rows;
    std::vector<fs::path> folders;
    auto add = [&](const fs::path& folder, int level) {
        auto data = std::make_shared<TTobData>();
        data->Pfad = QStringLiteral("SRV:DAVID\\")
                     + QString::fromStdString(fs::relative(folder, root).generic_string()).replace(QLatin1Char('/'), QLatin1Char('\\'));
        rows.push_back({level, data});
        folders.push_back(folder);
    };
    for (int i = 0; i < c.tiny; ++i) {
        smallArchive(root / ("a" + std::to_string(i)), i);
        add(root / ("a" + std::to_string(i)), 0);
    }
    if (c.wide > 0) {
        largeArchive(root / "L", c.wide);
        add(root / "L", 0);
        // Sub-archives measured by the large one's walk: a listed folder, one deeper, one among the wide.
        const char* inside[] = {"w1", "w2/n1", "w7"};
        for (int k = 0; k < c.subArchives; ++k)
            add(root / "L" / inside[k], 1);
    }
    for (int i = 0; i < c.after; ++i) {
        smallArchive(root / ("z" + std::to_string(i)), 100 + i);
        add(root / ("z" + std::to_string(i)), 0);
    }

    StatRun run;
    int finals = 0;
    run.measure(rows, c.limit, [&](int done, int total) {
        finals = done;
        EXPECT_EQ(total, int(rows.size()));
    });
    EXPECT_EQ(finals, int(rows.size())) << "one final publication per row";
    EXPECT_LE(run.peakRunning(), c.limit);
    EXPECT_LE(run.peakWalking(), c.limit) << "walks counted by themselves";
    EXPECT_GE(run.peakWalking(), 1);
    // Only where the large archive is alone and large enough that its walk cannot end before a helper begins;
    // elsewhere whether one gets to help depends on how the threads are scheduled.
    if (c.tiny + c.after == 0 && c.wide >= 400 && c.limit > 1) {
        EXPECT_GT(run.helpedFolders(), 0) << "free places helped the large archive";
    }

    constexpr double mb = 1048576.0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ArchiveWalk alone(100, {}, {});
        alone.figures().FSize = alone.MeasureFolder(folders[i].string(), true);
        const ScanFigures& f = alone.figures();
        const TTobData& d = *rows[i].data;
        const std::string name = folders[i].string();
        EXPECT_EQ(double(d.Size), f.FSize / mb) << name;
        EXPECT_EQ(double(d.SizeRoot), f.FSizeRoot / mb) << name;
        EXPECT_EQ(d.AnzahlNachrichten, f.FAnzahlNachrichten) << name;
        EXPECT_EQ(d.AnzahlNachrichtenG, f.FAnzahlNachrichtenG) << name;
        EXPECT_EQ(d.Anhang, f.FAnhang) << name;
        EXPECT_EQ(d.AnhangG, f.FAnhangG) << name;
        EXPECT_EQ(d.AnhangSizeG, f.FAnhangSizeG / mb) << name;
        EXPECT_EQ(d.UnlesbareOrdner, f.FUnlesbar) << name;
        EXPECT_EQ(d.Neueste.isEmpty(), f.FNew == 0) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stat, StatRunPlaces,
    ::testing::Values(RunCase {"one_huge", 0, 400, 0, 0, 4}, RunCase {"huge_among_tiny", 6, 200, 4, 0, 3},
                      RunCase {"many_tiny", 30, 0, 0, 0, 7}, RunCase {"sub_archives", 1, 150, 1, 3, 4},
                      RunCase {"limit_one", 2, 100, 2, 2, 1}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

}  // namespace
