#include "platform/process_limits.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

TEST(ProcessLimits, OpenFileLimitIsRaisedToTheHardLimit)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process limit of open files to raise";
#else
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max <= 256)
        GTEST_SKIP() << "the hard limit leaves nothing to raise";
    rlimit lowered = saved;
    lowered.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);

    const long now = platform::raiseOpenFileLimit();
    rlimit after {};
    getrlimit(RLIMIT_NOFILE, &after);
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_GT(after.rlim_cur, 256u);
    if (saved.rlim_max != RLIM_INFINITY)
        EXPECT_EQ(after.rlim_cur, saved.rlim_max);
    EXPECT_EQ(now, after.rlim_cur == RLIM_INFINITY ? -1 : long(after.rlim_cur));
#endif
}
