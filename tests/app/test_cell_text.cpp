#include "app/cell_text.h"
#include "app/number_format.h"
#include "engine/tob_data.h"

#include <gtest/gtest.h>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);
const QLocale english(QLocale::English, QLocale::UnitedStates);

TTobData measured()
{
    TTobData d;
    d.TobitUser = QStringLiteral("Anna Becker");
    d.Pfad = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\0000A1B2");
    d.UserID = userIdFromPath(d.Pfad);
    d.Size = 12.5L;
    d.SizeRoot = 2.25L;
    d.AnzahlNachrichten = 2;
    d.AnzahlNachrichtenG = 1000.0 / 430.0;
    d.Anhang = 3;
    d.AnhangG = 1536;
    d.AnhangSize = 0.004;
    return d;
}

}  // namespace

TEST(NumberFormat, PatternsDropOrKeepDecimalsAndNeverGroup)
{
    EXPECT_EQ(formatTable(12.5, german), "12,5");
    EXPECT_EQ(formatTable(2.0, german), "2");
    EXPECT_EQ(formatTable(1000.0 / 430.0, german), "2,33");
    EXPECT_EQ(formatTable(1234567.891, german), "1234567,89");
    EXPECT_EQ(formatTable(0.004, german), "0");
    EXPECT_EQ(formatTable(-0.001, german), "0");
    EXPECT_EQ(formatTable(2.999, english), "3");

    EXPECT_EQ(formatDetail(1536, german), "1536,0");
    EXPECT_EQ(formatDetail(1.5, german), "1,5");
    EXPECT_EQ(formatDetail(0.125, english), "0.13");

    EXPECT_EQ(formatTotal(1536, german), "1536,00");
    EXPECT_EQ(formatTotal(0.5, german), "0,50");
    EXPECT_EQ(formatTotal(1024.0 / 1024, english), "1.00");
}

TEST(CellText, UserRowUnderGermanAndEnglishSettings)
{
    const TTobData d = measured();
    const CellFormats de(german, true);
    EXPECT_EQ(cellText(d, 0, ColUser, de), "Anna Becker");
    EXPECT_EQ(cellText(d, 0, ColSize, de), "12,5 (2,25) MB");
    EXPECT_EQ(cellText(d, 0, ColUserId, de), "0000A1B2");
    EXPECT_EQ(cellText(d, 0, ColMessages, de), "2,33");
    EXPECT_EQ(cellText(d, 0, ColAttachments, de), "1536");
    EXPECT_EQ(cellText(d, 0, ColAttachmentSize, de), "0 MB");

    const CellFormats en(english, true);
    EXPECT_EQ(cellText(d, 0, ColSize, en), "12.5 (2.25) MB");
    EXPECT_EQ(cellText(d, 0, ColMessages, en), "2.33");
}

TEST(CellText, SubArchiveRowUsesFolderFiguresAndHidesUserId)
{
    const TTobData d = measured();
    const CellFormats de(german, true);
    for (int level : {1, 3}) {
        EXPECT_EQ(cellText(d, level, ColUserId, de), "");
        EXPECT_EQ(cellText(d, level, ColMessages, de), "2");
        EXPECT_EQ(cellText(d, level, ColAttachments, de), "3");
        EXPECT_EQ(cellText(d, level, ColSize, de), "12,5 (2,25) MB");
    }
}

TEST(CellText, UnmeasuredRowAndColumnsOutOfRange)
{
    TTobData d;
    d.TobitUser = QStringLiteral("Zoe");
    d.UserID = QStringLiteral("1234");
    const CellFormats de(german, false);
    EXPECT_EQ(cellText(d, 0, ColSize, de), "0 (0) MB");
    EXPECT_EQ(cellText(d, 0, ColMessages, de), "0");
    EXPECT_EQ(cellText(d, 0, ColAttachments, de), "0");
    EXPECT_EQ(cellText(d, 0, ColAttachmentSize, de), "0 MB");
    EXPECT_EQ(cellText(d, 0, ColNewest, de), "");
    EXPECT_EQ(cellText(d, 0, ColOldest, de), "");
    EXPECT_EQ(cellText(d, 0, ColUserId, de), "1234");
    EXPECT_EQ(cellText(d, 0, -1, de), "");
    EXPECT_EQ(cellText(d, 0, 8, de), "");
}

TEST(CellText, DatesWithAndWithoutTime)
{
    for (const QLocale& locale : {german, english}) {
        const DateTextFormat format(locale);
        TTobData d;
        d.Neueste = format.format(QDateTime(QDate(2016, 3, 5), QTime(14, 22, 10)));
        d.Aelteste = format.format(QDateTime(QDate(1999, 12, 31), QTime(0, 0)));
        const CellFormats withTime(locale, true);
        EXPECT_EQ(cellText(d, 0, ColNewest, withTime), d.Neueste);
        const CellFormats dateOnly(locale, false);
        EXPECT_EQ(cellText(d, 0, ColNewest, dateOnly), "05.03.2016");
        EXPECT_EQ(cellText(d, 1, ColOldest, dateOnly), "31.12.1999");
    }
    const DateTextFormat de(german);
    EXPECT_EQ(de.format(QDateTime(QDate(2016, 3, 5), QTime(14, 22, 10))), "05.03.2016 14:22:10");
}
