#include "../platform/local_zone.h"
#include "engine/date_text.h"
#include "platform/dos_stamp.h"
#include "scan_fixture.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <random>

namespace {

struct LocaleCase {
    const char* name;
    QLocale locale;
};

void PrintTo(const LocaleCase& c, std::ostream* os) { *os << c.name; }

class DateTextRoundTrip : public ::testing::TestWithParam<LocaleCase> {};

}  // namespace

// Stamps from the whole range a message date can have: every text reads back as the same stamp, so sorting
// by the parsed text sorts by time.
TEST_P(DateTextRoundTrip, StampsFrom1980To2107ReadBackAsThemselves)
{
    // Pinned, so no stamp falls into a summer-time gap of the machine's zone (no file time can).
    LocalZone zone(kUtc);
    const DateTextFormat format(GetParam().locale);
    EXPECT_FALSE(format.datePattern().contains(QLatin1String("yyyy") + QLatin1Char('y')));
    EXPECT_TRUE(format.datePattern().contains(QLatin1String("yyyy")));
    EXPECT_FALSE(format.timePattern().contains(QLatin1Char('t')));

    std::mt19937 random(20240229);
    auto field = [&random](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    int checked = 0;
    for (int year = 1980; year <= 2107; ++year) {
        for (int i = 0; i < 12; ++i) {
            const int month = i + 1;
            const int day = field(1, QDate(year, month, 1).daysInMonth());
            // Every third stamp in the hours around noon and midnight, where AM/PM and 0/12 differ.
            const int hour = i % 3 == 0 ? (i % 2 ? 12 : 0) : field(0, 23);
            const platform::DosStamp stamp =
                platform::packDosStamp(year, month, day, hour, field(0, 59), field(0, 59));
            ASSERT_TRUE(platform::isValidDosStamp(stamp));
            const QDateTime dateTime = platform::dosStampToDateTime(stamp);
            const QString text = format.format(dateTime);
            const QDateTime back = format.parse(text);
            ASSERT_TRUE(back.isValid()) << qPrintable(text);
            const platform::DosStamp again = platform::packDosStamp(
                back.date().year(), back.date().month(), back.date().day(), back.time().hour(),
                back.time().minute(), back.time().second());
            ASSERT_EQ(again, stamp) << qPrintable(text);
            ASSERT_TRUE(text.contains(QString::number(year))) << qPrintable(text);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 128 * 12);
}

TEST_P(DateTextRoundTrip, MidnightGivesTheDateAlone)
{
    const QLocale locale = GetParam().locale;
    const DateTextFormat format(locale);
    for (const QDate date : {QDate(1980, 1, 1), QDate(1999, 12, 31), QDate(2044, 2, 29), QDate(2107, 12, 31)}) {
        const QString text = format.format(QDateTime(date, QTime(0, 0)));
        EXPECT_EQ(text, locale.toString(date, format.datePattern()));
        EXPECT_EQ(format.parse(text), QDateTime(date, QTime(0, 0))) << qPrintable(text);
        // One second later the time is there.
        const QString withTime = format.format(QDateTime(date, QTime(0, 0, 2)));
        EXPECT_TRUE(withTime.startsWith(text + QLatin1Char(' '))) << qPrintable(withTime);
        EXPECT_GT(withTime.size(), text.size() + 1);
    }
}

TEST_P(DateTextRoundTrip, TextsThatAreNoDateReadAsInvalid)
{
    const DateTextFormat format(GetParam().locale);
    EXPECT_FALSE(format.parse(QString()).isValid());
    EXPECT_FALSE(format.parse(QStringLiteral("   ")).isValid());
    EXPECT_FALSE(format.parse(QStringLiteral("Neueste")).isValid());
    EXPECT_FALSE(format.parse(QStringLiteral("99.99.9999 99:99:99")).isValid());
    EXPECT_TRUE(format.format(QDateTime()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTextRoundTrip,
                         ::testing::Values(LocaleCase {"German", QLocale(QLocale::German, QLocale::Germany)},
                                           LocaleCase {"English", QLocale(QLocale::English, QLocale::UnitedStates)},
                                           LocaleCase {"British", QLocale(QLocale::English, QLocale::UnitedKingdom)}),
                         [](const auto& info) { return std::string(info.param.name); });

// The patterns a German system gets: the year widened, the zone gone.
TEST(DateTextFormat, GermanPatternsAndText)
{
    const DateTextFormat format(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(format.datePattern(), QStringLiteral("dd.MM.yyyy"));
    EXPECT_EQ(format.timePattern(), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(format.format(QDateTime(QDate(2005, 3, 7), QTime(8, 5, 4))), QStringLiteral("07.03.2005 08:05:04"));
    EXPECT_EQ(format.parse(QStringLiteral("07.03.2005 08:05:04")), QDateTime(QDate(2005, 3, 7), QTime(8, 5, 4)));
}

// The scanner writes its dates in the default locale of the moment it publishes, also after a change.
TEST_F(ScanTest, DatesFollowTheDefaultLocale)
{
    const std::filesystem::path folder = archive("00000ABC");
    std::filesystem::create_directories(folder);
    gen::writeFile(folder / "00000001.001", 100);
    gen::setLastWrite(folder / "00000001.001", 1700000000);
    gen::writeFile(folder / "00000002.001", 100);
    gen::setLastWrite(folder / "00000002.001", 1000000000);

    const QLocale before;
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        const harness::ScanResult result = scan("00000ABC");
        ASSERT_TRUE(result.finished);
        const DateTextFormat format(locale);
        EXPECT_EQ(result.record->Neueste, format.format(QDateTime::fromSecsSinceEpoch(1700000000)));
        EXPECT_EQ(result.record->Aelteste, format.format(QDateTime::fromSecsSinceEpoch(1000000000)));
    }
    QLocale::setDefault(before);
}
