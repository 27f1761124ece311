#include "local_zone.h"
#include "platform/dos_stamp.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using platform::DosStamp;
using platform::dosStampFromTime;
using platform::dosStampToDateTime;
using platform::isValidDosStamp;
using platform::packDosStamp;

namespace {

std::int64_t utcSeconds(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch();
}

}  // namespace

// Values worked out by hand from the layout (date word high, time word low).
TEST(DosStamp, PacksFieldsInTheDosLayout)
{
    EXPECT_EQ(packDosStamp(1980, 1, 1, 0, 0, 0), 0x00210000u);
    EXPECT_EQ(packDosStamp(2023, 7, 15, 13, 45, 58), 0x56EF6DBDu);
    EXPECT_EQ(packDosStamp(2043, 12, 31, 23, 59, 58), 0x7F9FBF7Du);
    EXPECT_EQ(packDosStamp(2044, 1, 1, 0, 0, 0), 0x80210000u);
    EXPECT_EQ(packDosStamp(2107, 12, 31, 23, 59, 58), 0xFF9FBF7Du);
    // Seconds are kept halved: an odd second shares the stamp of the even one before it.
    EXPECT_EQ(packDosStamp(2023, 7, 15, 13, 45, 59), 0x56EF6DBDu);

    EXPECT_EQ(packDosStamp(1979, 12, 31, 23, 59, 58), 0u);
    EXPECT_EQ(packDosStamp(2108, 1, 1, 0, 0, 0), 0u);

    const QDateTime back = dosStampToDateTime(0x56EF6DBDu);
    EXPECT_EQ(back.date(), QDate(2023, 7, 15));
    EXPECT_EQ(back.time(), QTime(13, 45, 58));
}

TEST(DosStamp, TwoSecondResolution)
{
    LocalZone zone(kUtc);
    const std::int64_t even = utcSeconds(2010, 3, 4, 5, 6, 8);
    EXPECT_EQ(dosStampFromTime(even), dosStampFromTime(even + 1));
    EXPECT_EQ(dosStampFromTime(even) + 1, dosStampFromTime(even + 2));
    EXPECT_EQ(dosStampFromTime(even - 1), dosStampFromTime(even - 2));
    EXPECT_EQ(dosStampFromTime(even), packDosStamp(2010, 3, 4, 5, 6, 8));
}

TEST(DosStamp, UsesLocalTime)
{
    const std::int64_t summerNight = utcSeconds(2021, 6, 30, 22, 30, 10);
    const std::int64_t winterNoon = utcSeconds(2021, 1, 15, 12, 0, 0);
    {
        LocalZone zone(kBerlin);
        // Summer time is two hours ahead: the stamp falls on the next day.
        EXPECT_EQ(dosStampFromTime(summerNight), packDosStamp(2021, 7, 1, 0, 30, 10));
        EXPECT_EQ(dosStampFromTime(winterNoon), packDosStamp(2021, 1, 15, 13, 0, 0));
        // Back to seconds through the local date-time of the stamp.
        EXPECT_EQ(dosStampToDateTime(dosStampFromTime(summerNight)).toSecsSinceEpoch(), summerNight);
    }
    {
        LocalZone zone(kUtc);
        EXPECT_EQ(dosStampFromTime(summerNight), packDosStamp(2021, 6, 30, 22, 30, 10));
    }
}

TEST(DosStamp, YearRangeEndsInLocalTime)
{
    LocalZone zone(kBerlin);
    // 1980-01-01 00:00 in Berlin is 23:00 UTC the day before.
    const std::int64_t first = utcSeconds(1979, 12, 31, 23, 0, 0);
    EXPECT_EQ(dosStampFromTime(first), 0x00210000u);
    EXPECT_EQ(dosStampFromTime(first - 1), 0u);
    EXPECT_EQ(dosStampFromTime(0), 0u);
    EXPECT_EQ(dosStampFromTime(-86400LL * 365 * 30), 0u);

    const std::int64_t last = utcSeconds(2107, 12, 31, 22, 59, 59);  // 23:59:59 local
    EXPECT_EQ(dosStampFromTime(last), 0xFF9FBF7Du);
    EXPECT_EQ(dosStampFromTime(last + 1), 0u);
    EXPECT_EQ(dosStampFromTime(utcSeconds(2200, 6, 1, 0, 0, 0)), 0u);
}

TEST(DosStamp, UnsignedOrderFollowsTimeAcross2044)
{
    LocalZone zone(kUtc);
    // Times spread over the whole range, a few hours apart near the sign bit: as unsigned numbers the
    // stamps must keep their order; as signed ones everything from 2044 on would sort first.
    std::vector<std::int64_t> times;
    for (std::int64_t t = utcSeconds(1980, 1, 1, 0, 0, 0); t < utcSeconds(2107, 12, 31, 0, 0, 0);
         t += 86400LL * 97 + 3607)
        times.push_back(t);
    for (std::int64_t t = utcSeconds(2043, 12, 31, 20, 0, 0); t < utcSeconds(2044, 1, 1, 4, 0, 0); t += 1799)
        times.push_back(t);
    std::sort(times.begin(), times.end());

    DosStamp previous = 0;
    for (const std::int64_t t : times) {
        const DosStamp stamp = dosStampFromTime(t);
        ASSERT_TRUE(isValidDosStamp(stamp)) << t;
        ASSERT_GE(stamp, previous) << t;
        previous = stamp;
    }
    EXPECT_GT(dosStampFromTime(utcSeconds(2044, 1, 1, 0, 0, 0)), dosStampFromTime(utcSeconds(2043, 12, 31, 23, 59, 58)));
    EXPECT_LT(std::int32_t(dosStampFromTime(utcSeconds(2044, 1, 1, 0, 0, 0))), 0);
}

TEST(DosStamp, ValidityFollowsTheCalendar)
{
    EXPECT_FALSE(isValidDosStamp(0));  // month 0
    EXPECT_TRUE(isValidDosStamp(packDosStamp(2024, 2, 29, 12, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 2, 29, 12, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 4, 31, 12, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 13, 1, 12, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 1, 0, 12, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 1, 1, 24, 0, 0)));
    EXPECT_FALSE(isValidDosStamp(packDosStamp(2023, 1, 1, 23, 60, 0)));
    EXPECT_FALSE(isValidDosStamp(0x56EF6DBDu - 29 + 30));  // seconds field 30 is 60 seconds
    EXPECT_FALSE(isValidDosStamp(0xFFFFFFFFu));
    EXPECT_FALSE(dosStampToDateTime(0).isValid());
    EXPECT_FALSE(dosStampToDateTime(packDosStamp(2023, 2, 30, 0, 0, 0)).isValid());
}
