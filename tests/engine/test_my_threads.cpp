// The scanner's thread and its publications: they never wait for the main thread, arrive in order, and
// a stopped or deleted scanner writes nothing more.

#include "scan_fixture.h"

#include "engine/publication_sink.h"
#include "hostile_trees.h"

namespace fs = std::filesystem;

namespace {

// A folder of `files` one-byte files: (files + 2) / schritt interim publications.
void flatArchive(const fs::path& folder, int files)
{
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i)
        gen::writeFile(folder / ("f" + std::to_string(i)), 1);
}

TEST_F(ScanTest, ScannerEndsWhileTheMainThreadHandlesNoEvents)
{
    flatArchive(archive("W"), 598);  // 600 entries: 120 interim publications with a step of 5
    harness::RecordingSink sink;
    QObject context;
    auto record = std::make_shared<TTobData>();
    TMyThreads scanner(
        {.FPfad = serverPath("W"), .FTobData = record, .FSchritt = 5, .sink = &sink, .sinkContext = &context});
    scanner.resume();
    // A scanner that waited for its publications would never end here.
    ASSERT_TRUE(scanner.wait(60000));
    EXPECT_TRUE(scanner.FTerminated);
    EXPECT_TRUE(sink.publications.empty()) << "nothing is written before the main thread handles its events";
    EXPECT_EQ(record->Size, 0);

    QCoreApplication::processEvents();
    ASSERT_EQ(sink.interim(), 120);
    ASSERT_EQ(sink.finals(), 1);
    EXPECT_FALSE(sink.publications.back().zwischen) << "the final publication comes last";
    // In the order they were made: the k-th came after 5k entries, "." and ".." (0 bytes) among them.
    for (int k = 1; k <= 120; ++k) {
        const double bytes = sink.publications[std::size_t(k - 1)].size * 1048576.0;
        EXPECT_GE(bytes, 5 * k - 2) << k;
        EXPECT_LE(bytes, 5 * k) << k;
    }
    EXPECT_EQ(record->Size, 598 / 1048576.0L);
}

TEST_F(ScanTest, StoppedOrDeletedScannerWritesNothingMore)
{
    flatArchive(archive("Z"), 3000);
    for (const bool deleteIt : {false, true}) {
        SCOPED_TRACE(deleteIt ? "deleted" : "stopped");
        harness::RecordingSink sink;
        QObject context;
        auto record = std::make_shared<TTobData>();
        record->Size = 42;
        auto* scanner = new TMyThreads(
            {.FPfad = serverPath("Z"), .FTobData = record, .FSchritt = 1, .sink = &sink, .sinkContext = &context});
        scanner->resume();
        while (!scanner->FEinmal)
            QThread::yieldCurrentThread();
        // Publications may be on their way; the main thread has handled none of them.
        if (deleteIt) {
            delete scanner;  // stops it and waits, never for the main thread
            scanner = nullptr;
        } else {
            scanner->Stop();
            ASSERT_TRUE(scanner->wait(60000));
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(sink.publications.empty());
        EXPECT_EQ(record->Size, 42);
        delete scanner;
    }
}

TEST_F(ScanTest, SevenScannersMeasureSevenTreesAThousandLevelsDeepAtTheDefaultFileLimit)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process limit of open files to set";
#else
    std::vector<std::uint64_t> bytes;
    for (int i = 0; i < 7; ++i)
        bytes.push_back(hostile::makeChain(archive("T" + std::to_string(i)).string(), 1000, "d", 10));
    const hostile::FileLimit limit(1024);
    ASSERT_TRUE(limit.ok());

    harness::RecordingSink sink;
    QObject context;
    std::vector<std::unique_ptr<TMyThreads>> scanners;
    for (int i = 0; i < 7; ++i) {
        scanners.push_back(std::make_unique<TMyThreads>(ScanConfig {.FPfad = serverPath("T" + std::to_string(i)),
                                                                    .FTobData = std::make_shared<TTobData>(),
                                                                    .sink = &sink,
                                                                    .sinkContext = &context}));
    }
    for (auto& t : scanners)
        t->resume();
    for (auto& t : scanners)
        while (!t->wait(10))
            QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    ASSERT_EQ(sink.finals(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const TTobData& record = *scanners[std::size_t(i)]->config().FTobData;
        EXPECT_EQ(record.Size, (long double)bytes[std::size_t(i)] / 1048576.0L);
        EXPECT_TRUE(record.UnlesbareOrdner.isEmpty()) << record.UnlesbareOrdner.join(' ').toStdString();
    }
#endif
}

}  // namespace
