// The run without a window: the limit, every user row counted once however often it is measured, a
// reload during a run, and totals equal to the generator's own sums.

#include "app/scan_run.h"
#include "engine/archive_walk.h"
#include "engine/my_threads.h"
#include "engine/share_board.h"
#include "engine/share_helper.h"
#include "gen/archive_generator.h"
#include "platform/unc_path.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>

namespace {

constexpr double kMegabyte = 1048576.0;

bool near(double a, double b) { return std::fabs(a - b) < 1e-9 * std::max(1.0, std::fabs(b)); }

bool waitFor(const std::function<bool()>& done, int ms = 60000) { return QTest::qWaitFor(done, ms); }

// Users' archives generated below <tmp>/SRV01/DAVID/USER, and their records as user loading fills them.
class ScanRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        platform::setUncRoot(m_tmp.path());
    }

    void generate(int users, int messages)
    {
        gen::TreeOptions o;
        o.archives = users;
        o.archive.messages = messages;
        o.archive.attachments = messages;
        o.archive.folders = 1;
        o.archive.attachmentMax = 64 * 1024;
        m_figures = gen::generateTree(m_tmp.filePath(QStringLiteral("SRV01/DAVID/USER")).toStdString(), o, 7);
        ASSERT_EQ(int(m_figures.size()), users);
    }

    // Fresh records for every generated user, as a new load has them.
    std::vector<std::shared_ptr<TTobData>> load(ScanRun& run)
    {
        std::vector<std::shared_ptr<TTobData>> records;
        run.beginLoad(int(m_figures.size()));
        for (const auto& [name, figures] : m_figures) {
            auto record = std::make_shared<TTobData>();
            record->TobitUser = QString::fromStdString(name);
            record->Pfad = QStringLiteral("SRV01:DAVID\\USER\\") + record->TobitUser;
            run.addUser(int(records.size()), record);
            records.push_back(record);
        }
        return records;
    }

    const gen::ArchiveFigures& figuresOf(const TTobData& record) const
    {
        return m_figures.at(record.TobitUser.toStdString());
    }

    double expectedSize() const
    {
        double sum = 0;
        for (const auto& [name, f] : m_figures)
            sum += double(f.size) / kMegabyte;
        return sum;
    }

    double expectedAttachments() const
    {
        double sum = 0;
        for (const auto& [name, f] : m_figures)
            sum += double(f.anhangSizeG) / kMegabyte;
        return sum;
    }

    // One more user, far larger than the generated ones: `wide` folders of three folders with a file each.
    // Its figures are a walk's of it alone.
    void generateLarge(const std::string& name, int wide)
    {
        const std::filesystem::path folder = m_tmp.filePath(QStringLiteral("SRV01/DAVID/USER")).toStdString() + "/" + name;
        gen::ArchiveOptions o;
        o.messages = 3;
        o.folders = 2;
        o.depth = 2;
        gen::generateArchive(folder, o, 11);
        for (int i = 0; i < wide; ++i)
            for (int j = 0; j < 3; ++j) {
                const std::filesystem::path f = folder / ("w" + std::to_string(i)) / ("n" + std::to_string(j));
                std::filesystem::create_directories(f);
                gen::writeFile(f / "a.$01", std::uint64_t(100 + i));
            }
        ArchiveWalk alone(100, {}, {});
        alone.MeasureFolder(folder.string(), true);
        gen::ArchiveFigures& f = m_figures[name];
        f.size = std::uint64_t(alone.figures().FSize);
        f.anhangG = alone.figures().FAnhangG;
        f.anhangSizeG = std::uint64_t(alone.figures().FAnhangSizeG);
    }

    QTemporaryDir m_tmp;
    std::map<std::string, gen::ArchiveFigures> m_figures;
};

TEST_F(ScanRunTest, TwentyUsersWithALimitOfSevenThenOneMeasuredAgain)
{
    generate(20, 40);
    ScanRun run;
    const auto records = load(run);
    QSignalSpy finished(&run, &ScanRun::finished);
    QSignalSpy totals(&run, &ScanRun::totalsChanged);
    run.start();
    EXPECT_TRUE(run.isRunning());
    // Passes back to back instead of one a second: the limit holds however often they come.
    int most = 0;
    ASSERT_TRUE(waitFor([&] {
        most = std::max(most, run.scannersHoldingPlaces());
        if (!run.TobitDone())
            run.TimerThreadTimer();
        most = std::max(most, run.scannersHoldingPlaces());
        return run.TobitDone();
    }));
    EXPECT_LE(most, 7);
    // Scanners that finish between two looks are not seen running; every user row was still started.
    EXPECT_EQ(std::ranges::count_if(run.scanners(), [](TMyThreads* t) { return t->isRunning() || t->isFinished(); }), 20);
    EXPECT_EQ(run.done(), 20);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(totals.count(), 20);  // one final result per user row
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
    EXPECT_TRUE(near(run.SumAttachment(), expectedAttachments()));
    EXPECT_EQ(totals.last().at(0).toInt(), 20);
    EXPECT_TRUE(near(totals.last().at(2).toDouble(), expectedSize()));
    for (const auto& r : records) {
        EXPECT_TRUE(near(double(r->Size), double(figuresOf(*r).size) / kMegabyte)) << r->TobitUser.toStdString();
        EXPECT_EQ(r->AnhangG, figuresOf(*r).anhangG);
    }

    // Measured again: the row leaves the progress and the sums until its new result replaces its share.
    const double size3 = double(records[3]->Size);
    run.measureAgain(records[3], false);
    EXPECT_EQ(run.done(), 19);
    EXPECT_FALSE(run.TobitDone());
    EXPECT_TRUE(near(run.SumTobit(), expectedSize() - size3));
    ASSERT_TRUE(waitFor([&] { return run.TobitDone(); }));
    EXPECT_EQ(run.done(), 20);
    EXPECT_EQ(finished.count(), 2);
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
    EXPECT_TRUE(near(run.SumAttachment(), expectedAttachments()));
}

// A scanner that ends frees its place for the next waiting one at once: with the ticks out of the way (an
// hour apart) one first pass still leads the run to its end.
TEST_F(ScanRunTest, AFreedPlaceIsRefilledWithoutWaitingForATick)
{
    generate(40, 3);
    ScanRun run;
    const auto records = load(run);
    run.setTickInterval(3600 * 1000);
    run.setThreadLimit(3);
    run.start();
    run.TimerThreadTimer();
    int most = 0;
    ASSERT_TRUE(waitFor([&] {
        most = std::max(most, run.scannersHoldingPlaces());
        return run.TobitDone();
    }));
    EXPECT_LE(most, 3);
    EXPECT_EQ(run.done(), 40);
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
}

// "Auswahl berechnen" finished before "Berechnung starten": the run still measures and counts that row.
TEST_F(ScanRunTest, RowMeasuredBeforeTheRunIsCountedInIt)
{
    generate(3, 5);
    ScanRun run;
    const auto records = load(run);
    run.measureAgain(records[1], false);
    ASSERT_TRUE(waitFor([&] { return run.done() == 1; }));
    run.start();
    EXPECT_EQ(run.done(), 0);
    run.TimerThreadTimer();
    ASSERT_TRUE(waitFor([&] { return run.TobitDone(); }));
    EXPECT_EQ(run.done(), 3);
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
    EXPECT_TRUE(near(run.MaxSize(), std::max({double(records[0]->Size), double(records[1]->Size),
                                              double(records[2]->Size)})));
}

TEST_F(ScanRunTest, ReloadDuringARunKeepsTheEarlierLoadOut)
{
    generate(6, 120);
    ScanRun run;
    const auto first = load(run);
    run.setThreadLimit(3);
    run.start();
    run.TimerThreadTimer();  // the first pass now, not after a second
    // The pass started some of the first load's scanners; how far their walks got is no part of this test.
    ASSERT_GT(std::ranges::count_if(run.scanners(), [](TMyThreads* t) { return t->isRunning() || t->isFinished(); }), 0);

    QSignalSpy resets(&run, &ScanRun::loadReset);
    const auto second = load(run);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_FALSE(run.isRunning());
    // The earlier load's scanners end by themselves; only the new load's waiting ones stay.
    ASSERT_TRUE(waitFor([&] { return run.findChildren<TMyThreads*>().size() == 6; }));
    EXPECT_EQ(run.done(), 0);
    EXPECT_EQ(run.SumTobit(), 0.0);
    EXPECT_EQ(run.SumAttachment(), 0.0);
    for (const auto& r : second)
        EXPECT_EQ(double(r->Size), 0.0);
    const double frozen = double(first[0]->Size);

    run.setThreadLimit(7);
    run.start();
    run.TimerThreadTimer();
    ASSERT_TRUE(waitFor([&] { return run.TobitDone(); }));
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
    EXPECT_EQ(double(first[0]->Size), frozen);  // no scanner of the earlier load wrote again
}

TEST_F(ScanRunTest, SubArchivesRaiseTheScaleButNotTheTotals)
{
    generate(2, 5);
    ScanRun run;
    const auto records = load(run);
    QSignalSpy scale(&run, &ScanRun::maxSizeChanged);
    auto sub = std::make_shared<TTobData>(*records[0]);
    run.measureSubArchive(sub);
    ASSERT_TRUE(waitFor([&] { return run.findChildren<TMyThreads*>().size() == 2; }));  // it freed itself
    EXPECT_GT(double(sub->Size), 0.0);
    EXPECT_EQ(run.done(), 0);
    EXPECT_EQ(run.SumTobit(), 0.0);
    EXPECT_GE(scale.count(), 1);
    EXPECT_EQ(run.MaxSize(), double(sub->Size));
}

// Once no user row waits, free places help the large archive; walks of scanners and helpers together stay
// within the limit, and every row gets the figures of its walk alone.
TEST_F(ScanRunTest, FreePlacesHelpTheLargeArchiveWithinTheLimit)
{
    generate(5, 4);
    generateLarge("FFFFFFFF", 400);  // listed last: it starts when the others are under way
    ScanRun run;
    const auto records = load(run);
    run.setThreadLimit(3);
    run.start();
    run.TimerThreadTimer();
    ASSERT_TRUE(waitFor([&] { return run.TobitDone(); }));
    ASSERT_TRUE(waitFor([&] { return run.runningHelpers() == 0 && run.board()->walking() == 0; }));
    EXPECT_LE(run.board()->peak(), 3) << "walks in flight, counted by the walks";
    EXPECT_EQ(run.done(), 6);
    EXPECT_TRUE(near(run.SumTobit(), expectedSize()));
    EXPECT_TRUE(near(run.SumAttachment(), expectedAttachments()));
    for (const auto& r : records) {
        EXPECT_EQ(double(r->Size), double(figuresOf(*r).size) / kMegabyte) << r->TobitUser.toStdString();
        EXPECT_EQ(r->AnhangG, figuresOf(*r).anhangG) << r->TobitUser.toStdString();
    }
}

// Shutting down while helpers walk parts of a tree: every walk ends, and nothing is published afterwards.
TEST_F(ScanRunTest, ShutdownEndsHelpersAndNothingIsPublishedAfter)
{
    generateLarge("EEEEEEEE", 600);
    ScanRun run;
    const auto records = load(run);
    run.setThreadLimit(4);
    QSignalSpy published(&run, &ScanRun::recordPublished);
    run.start();
    run.TimerThreadTimer();
    ASSERT_TRUE(waitFor([&] { return run.runningHelpers() > 0 || run.TobitDone(); }));
    run.shutdown();
    const int before = int(published.count());
    const double shown = double(records[0]->Size);
    EXPECT_EQ(run.board()->walking(), 0) << "every walk, helpers included, has ended";
    for (const ShareHelper* h : run.findChildren<ShareHelper*>())
        EXPECT_TRUE(h->isFinished());
    QCoreApplication::processEvents();
    EXPECT_EQ(published.count(), before);
    EXPECT_EQ(double(records[0]->Size), shown);
    EXPECT_LE(run.board()->peak(), 4);
}

TEST_F(ScanRunTest, NoUsersFinishesAtOnceAndAnEndedRunStartsNothing)
{
    ScanRun run;
    run.beginLoad(0);
    QSignalSpy finished(&run, &ScanRun::finished);
    run.start();
    EXPECT_TRUE(run.TobitDone());
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(finished.count(), 1);

    generate(2, 5);
    const auto records = load(run);
    run.shutdown();
    run.start();
    run.measureAgain(records[0], false);
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(run.runningScanners(), 0);
}

}  // namespace
