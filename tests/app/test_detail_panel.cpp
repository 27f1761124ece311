// The texts and slices of the detail panel ("Info").

#include "app/detail_panel.h"
#include "engine/tob_data.h"

#include <gtest/gtest.h>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);
const QLocale english(QLocale::English, QLocale::UnitedStates);

}  // namespace

TEST(DetailTexts, MeasuredRowTextsSlicesAndPaths)
{
    TTobData r;
    r.Size = 1536;
    r.SizeRoot = 1024;
    r.AnhangSizeG = 512;
    r.Pfad = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\0000ABCD");
    r.FullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000ABCD");
    const DetailTexts t = detailTexts(r, QStringLiteral("Anna"), german);
    EXPECT_EQ(t.sizeGesamt, QStringLiteral("1536,0 MByte (1,5 GB)"));
    EXPECT_EQ(t.spTobit, QStringLiteral("1024,0 MByte (1,0 GB)"));
    EXPECT_EQ(t.sizeUnterarchive, QStringLiteral("512,0 MByte (0,5 GB)"));
    EXPECT_EQ(t.spTobit2, QStringLiteral(" / davon 512,0 MB an Dateianhängen"));
    EXPECT_EQ(t.archivId, r.Pfad);  // "ArchiveID:" shows the server path, "Pfad:" the full path
    EXPECT_EQ(t.pfad, r.FullPath);
    EXPECT_EQ(t.title, QStringLiteral("Anna"));
    EXPECT_TRUE(t.slices);
    EXPECT_EQ(t.rest, 1024);
    EXPECT_EQ(t.anhaenge, 512);
}

TEST(DetailTexts, UnmeasuredRowShowsZerosAndTwoEmptySlices)
{
    TTobData r;
    const DetailTexts t = detailTexts(r, QStringLiteral("Eingang"), german);
    for (const QString& text : {t.sizeGesamt, t.spTobit, t.sizeUnterarchive})
        EXPECT_EQ(text, QStringLiteral("0,0 MByte (0,0 GB)"));
    EXPECT_EQ(t.spTobit2, QStringLiteral(" / davon 0,0 MB an Dateianhängen"));
    EXPECT_EQ(t.rest, 0);
    EXPECT_EQ(t.anhaenge, 0);
    EXPECT_EQ(t.title, QStringLiteral("Eingang"));
}

TEST(DetailTexts, TwoDecimalsAtMostAndTheLocalesSeparator)
{
    TTobData r;
    r.Size = 1000.126L;
    r.SizeRoot = 0.5L;
    r.AnhangSizeG = 2.345;
    const DetailTexts de = detailTexts(r, QString(), german);
    // 1000.126 / 1024 = 0.9767...; no digit grouping in four-digit figures.
    EXPECT_EQ(de.sizeGesamt, QStringLiteral("1000,13 MByte (0,98 GB)"));
    EXPECT_EQ(de.spTobit, QStringLiteral("0,5 MByte (0,0 GB)"));
    EXPECT_EQ(de.sizeUnterarchive, QStringLiteral("999,63 MByte (0,98 GB)"));
    EXPECT_DOUBLE_EQ(de.rest, 1000.126 - 2.345);

    const DetailTexts en = detailTexts(r, QString(), english);
    EXPECT_EQ(en.sizeGesamt, QStringLiteral("1000.13 MByte (0.98 GB)"));
    EXPECT_EQ(megabytesAndGigabytes(2048 * 1024, english), QStringLiteral("2097152.0 MByte (2048.0 GB)"));
}

TEST(DetailTexts, TotalsAlwaysShowTwoDecimals)
{
    EXPECT_EQ(totalsText(1536, german), QStringLiteral("1536,00 MByte (1,50 GByte)"));
    EXPECT_EQ(totalsText(1024, german), QStringLiteral("1024,00 MByte (1,00 GByte)"));
    EXPECT_EQ(totalsText(0, english), QStringLiteral("0.00 MByte (0.00 GByte)"));
}
