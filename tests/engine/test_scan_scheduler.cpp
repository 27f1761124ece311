#include "engine/my_threads.h"
#include "engine/scan_scheduler.h"
#include "platform/unc_path.h"
#include "scan_harness.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A scanner of a missing archive that holds at a gate once started, so that it counts as running for as
// long as the test wants; the others end on their own at once.
class GatedScanner : public TMyThreads {
public:
    explicit GatedScanner(ScanConfig config) : TMyThreads(std::move(config)) {}
    ~GatedScanner() override
    {
        open();
        wait();  // before this part of the object goes
    }
    void open()
    {
        m_open = true;
        m_open.notify_all();
    }

protected:
    void run() override
    {
        FEinmal = true;
        m_open.wait(false);
        TMyThreads::run();
    }

private:
    std::atomic<bool> m_open {false};
};

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness::app();
        ASSERT_TRUE(m_tmp.isValid());
        platform::setUncRoot(m_tmp.path());
    }

    void TearDown() override
    {
        for (TMyThreads* t : m_threads)
            delete t;
    }

    TMyThreads* add(bool endsOnItsOwn)
    {
        ScanConfig config {.FPfad = QStringLiteral("NOHOST:FEHLT\\") + QString::number(m_threads.size()),
                           .FTobData = std::make_shared<TTobData>(),
                           .sinkContext = &m_context};
        TMyThreads* t = endsOnItsOwn ? new TMyThreads(config) : new GatedScanner(config);
        m_threads.push_back(t);
        return t;
    }

    // Started: resumed by a pass. A resumed thread may not have reached FEinmal yet, so ask the thread.
    static bool started(const TMyThreads* t) { return t->FEinmal || t->isRunning() || t->isFinished(); }

    std::vector<int> startedIndices() const
    {
        std::vector<int> result;
        for (std::size_t i = 0; i < m_threads.size(); ++i)
            if (m_threads[i] && started(m_threads[i]))
                result.push_back(int(i));
        return result;
    }

    // Waits until the scanner has begun (FEinmal).
    static void settle(TMyThreads* t)
    {
        for (int i = 0; i < 5000 && !t->FEinmal; ++i)
            QThread::msleep(1);
        ASSERT_TRUE(t->FEinmal);
    }

    QTemporaryDir m_tmp;
    QObject m_context;
    std::vector<TMyThreads*> m_threads;
    ScanQueue m_queue;  // the passes below go through it, as the window's do
};

}  // namespace

TEST_F(SchedulerTest, LimitOfSevenStartsSevenAndRefillsFromTheFront)
{
    // Twenty scanners with empty places among them; numbers 2 and 5 of the scanners end by themselves.
    std::vector<int> scannerAt;  // list index of the n-th scanner
    for (int n = 0; n < 20; ++n) {
        if (n == 0 || n == 6 || n == 11)
            m_threads.push_back(nullptr);
        scannerAt.push_back(int(m_threads.size()));
        add(n == 2 || n == 5);
    }
    auto indices = [&](std::initializer_list<int> scanners) {
        std::vector<int> result;
        for (int n : scanners)
            result.push_back(scannerAt[std::size_t(n)]);
        return result;
    };

    EXPECT_EQ(m_queue.pass(m_threads, 7), 7);
    EXPECT_EQ(startedIndices(), indices({0, 1, 2, 3, 4, 5, 6}));
    for (int n = 0; n < 7; ++n)
        settle(m_threads[std::size_t(scannerAt[std::size_t(n)])]);
    ASSERT_TRUE(m_threads[std::size_t(scannerAt[2])]->wait(10000));
    ASSERT_TRUE(m_threads[std::size_t(scannerAt[5])]->wait(10000));
    EXPECT_TRUE(m_threads[std::size_t(scannerAt[2])]->FTerminated);
    EXPECT_FALSE(m_threads[std::size_t(scannerAt[0])]->FTerminated);

    // Two places are free: the first two waiting scanners get them, nobody else.
    EXPECT_EQ(m_queue.pass(m_threads, 7), 2);
    EXPECT_EQ(startedIndices(), indices({0, 1, 2, 3, 4, 5, 6, 7, 8}));
    settle(m_threads[std::size_t(scannerAt[7])]);
    settle(m_threads[std::size_t(scannerAt[8])]);

    // Full again: a pass changes nothing.
    EXPECT_EQ(m_queue.pass(m_threads, 7), 0);
    EXPECT_EQ(startedIndices().size(), 9u);

    // A larger limit takes the next ones in order.
    EXPECT_EQ(m_queue.pass(m_threads, 10), 3);
    EXPECT_EQ(startedIndices(), indices({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(SchedulerTest, LimitTextsThatAreNoNumberStartNothing)
{
    for (int n = 0; n < 5; ++n)
        add(true);
    EXPECT_EQ(threadLimitFromText(QStringLiteral("abc")), 0);
    EXPECT_EQ(threadLimitFromText(QStringLiteral("0")), 0);
    EXPECT_EQ(threadLimitFromText(QString()), 0);
    EXPECT_EQ(threadLimitFromText(QStringLiteral("7x")), 0);
    EXPECT_EQ(threadLimitFromText(QStringLiteral(" 7 ")), 7);

    for (const char* text : {"abc", "0", "", "-3"})
        EXPECT_EQ(m_queue.pass(m_threads, threadLimitFromText(QString::fromLatin1(text))), 0) << text;
    EXPECT_TRUE(startedIndices().empty());

    // Once the field holds a number again, the next pass starts scanners.
    EXPECT_EQ(m_queue.pass(m_threads, threadLimitFromText(QStringLiteral("2"))), 2);
    EXPECT_EQ(startedIndices(), (std::vector<int> {0, 1}));
}

TEST_F(SchedulerTest, ListOfEmptyPlacesStartsNothing)
{
    m_threads = {nullptr, nullptr, nullptr};
    EXPECT_EQ(m_queue.pass(m_threads, 7), 0);
    EXPECT_EQ(m_queue.pass({}, 7), 0);
}

// The queue looks at a few scanners only: those that hold places and the next waiting ones. The places of
// ended scanners are found free again, whether the run told the queue of the end or not.
TEST_F(SchedulerTest, PassesThroughTheQueueRefillPlacesOfEndedScanners)
{
    for (int n = 0; n < 10; ++n)
        add(false);
    EXPECT_EQ(m_queue.pass(m_threads, 3), 3);
    EXPECT_EQ(startedIndices(), (std::vector<int> {0, 1, 2}));
    EXPECT_EQ(m_queue.next(), 3u);
    for (int n = 0; n < 3; ++n)
        settle(m_threads[std::size_t(n)]);
    EXPECT_EQ(m_queue.pass(m_threads, 3), 0) << "the three hold their places";
    for (int n = 0; n < 3; ++n) {
        static_cast<GatedScanner*>(m_threads[std::size_t(n)])->open();
        ASSERT_TRUE(m_threads[std::size_t(n)]->wait(10000));
    }
    m_queue.ended(m_threads[0]);  // as the run learns of an end; the others the queue finds by itself
    EXPECT_EQ(m_queue.pass(m_threads, 3), 3);
    EXPECT_EQ(startedIndices(), (std::vector<int> {0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(m_queue.holding(), (std::vector<TMyThreads*> {m_threads[3], m_threads[4], m_threads[5]}));
    EXPECT_TRUE(m_queue.hasWaiting(m_threads));
}
