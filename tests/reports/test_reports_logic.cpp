// The report's texts, the chart rules and how the table's picture is cut into pages.

#include "reports/report_chart.h"
#include "reports/report_numbers.h"
#include "reports/report_table.h"
#include "reports/table_image_print.h"

#include <gtest/gtest.h>

using namespace reports;

namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

std::shared_ptr<TTobData> record(const QString& name, long double size, double messages)
{
    auto r = std::make_shared<TTobData>();
    r->TobitUser = name;
    r->Size = size;
    r->AnzahlNachrichtenG = messages;
    return r;
}

ReportTable tableOf(const std::vector<std::pair<QString, double>>& sizes)
{
    ReportTable table;
    for (const auto& [name, size] : sizes)
        table.append(reportRow(*record(name, size, size), kGerman));
    return table;
}

}  // namespace

TEST(ReportTexts, NumbersAsPrinted)
{
    EXPECT_EQ(numberText(1234.567, kGerman), "1234,57");
    EXPECT_EQ(numberText(12.5, kGerman), "12,5");
    EXPECT_EQ(numberText(0, kGerman), "0");
    EXPECT_EQ(numberText(2.999, kGerman), "3");
    EXPECT_EQ(numberText(-0.001, kGerman), "0");
    EXPECT_EQ(numberText(1234567.891, QLocale::c()), "1234567.89");
    EXPECT_EQ(generalNumberText(1234.5813953488, kGerman), "1234,5813953488");
    EXPECT_EQ(generalNumberText(1000.0 / 430, kGerman), "2,32558139534884");
    EXPECT_EQ(generalNumberText(1234567, kGerman), "1234567");
    EXPECT_EQ(generalNumberText(0, kGerman), "0");
    EXPECT_DOUBLE_EQ(numberFromText("1234,57", kGerman), 1234.57);
    EXPECT_DOUBLE_EQ(numberFromText("kaputt", kGerman), 0);
}

TEST(ReportTexts, RowFieldsCutToTheirWidths)
{
    TTobData r;
    r.TobitUser = QString(60, QLatin1Char('N'));
    r.Pfad = QString(200, QLatin1Char('P'));
    r.UserID = QStringLiteral("0000A0001");
    r.FullPath = QString(151, QLatin1Char('F'));
    r.Size = 1234.567L;
    r.AnhangSizeG = 12.5;
    r.AnhangG = 7;
    r.AnzahlNachrichtenG = 1234.5813953488;
    ReportTable table;
    table.append(reportRow(r, kGerman));
    const ArchivDataRow& row = table.rows().at(0);
    EXPECT_EQ(row.TobitUser.size(), 50);
    EXPECT_EQ(row.ArchiveID.size(), 150);
    EXPECT_EQ(row.UserID, "0000A000");
    EXPECT_EQ(row.FullPath.size(), 150);
    EXPECT_EQ(row.SpeicherTobit, "1234,57");
    EXPECT_EQ(row.AnhangSizeG, "12,5");
    EXPECT_EQ(row.AnhangG, "7");
    EXPECT_EQ(row.AnzahlNachrichtenG, "1234,5813953488");
}

TEST(ReportChart, UpToFiveBarsInTableOrder)
{
    const auto bars = chartBars(tableOf({{"b", 1}, {"a", 30}, {"c", 2.5}, {"d", 0}}), ChartValue::SpeicherTobit,
                                kGerman);
    const std::vector<ChartBar> expected {{"b", 1}, {"a", 30}, {"c", 2.5}, {"d", 0}};
    EXPECT_EQ(bars, expected);
    EXPECT_TRUE(chartBars(ReportTable(), ChartValue::AnzahlNachrichtenG, kGerman).empty());
}

TEST(ReportChart, MoreThanFiveGiveTheLargestAndAndere)
{
    // Equal values: the name later in the alphabet (case ignored) comes first.
    const auto bars = chartBars(
        tableOf({{"eva", 5}, {"Zora", 9}, {"anna", 9}, {"Bert", 9}, {"kai", 1.25}, {"lea", 2}, {"max", 7}}),
        ChartValue::AnzahlNachrichtenG, kGerman);
    const std::vector<ChartBar> expected {{"Zora", 9}, {"Bert", 9}, {"anna", 9}, {"max", 7}, {"eva", 5},
                                          {"Andere", 3.25}};
    EXPECT_EQ(bars, expected);
}

TEST(ReportChart, ValuesReadBackFromThePrintedTexts)
{
    // The size is printed with two decimals; the bar shows what was printed.
    const auto bars = chartBars(tableOf({{"a", 1.23456}}), ChartValue::SpeicherTobit, kGerman);
    EXPECT_DOUBLE_EQ(bars.at(0).value, 1.23);
}

TEST(ReportChart, ValueScaleCoversTheLargestValue)
{
    struct Case {
        double largest, step, top;
    };
    for (const Case& c : {Case {0, 0.2, 1}, Case {9, 2, 10}, Case {10, 2, 10}, Case {1234.57, 500, 1500},
                          Case {0.3, 0.1, 0.3}, Case {47, 10, 50}}) {
        const ValueScale s = valueScale(c.largest);
        EXPECT_NEAR(s.step, c.step, 1e-12) << c.largest;
        EXPECT_NEAR(s.top, c.top, 1e-9) << c.largest;
    }
}

TEST(TablePageGrid, PagesAcrossAndDown)
{
    struct Case {
        QSize picture;
        int across, down;
    };
    // A printer page of 2000 x 3000 device pixels at scale 2 shows 1000 x 1500 picture pixels.
    for (const Case& c : {Case {{1000, 1500}, 1, 1}, Case {{1001, 1500}, 2, 1}, Case {{999, 3001}, 1, 3},
                          Case {{1, 1}, 1, 1}, Case {{2500, 100}, 3, 1}}) {
        const TablePageGrid grid = tablePageGrid(c.picture, QSizeF(2000, 3000), 2.0);
        EXPECT_EQ(grid.page, QSize(1000, 1500));
        EXPECT_EQ(grid.across, c.across) << c.picture.width();
        EXPECT_EQ(grid.down, c.down) << c.picture.height();
    }
    // Row by row of pages, left to right within a row.
    const TablePageGrid grid = tablePageGrid({2500, 1600}, QSizeF(2000, 3000), 2.0);
    EXPECT_EQ(grid.count(), 6);
    EXPECT_EQ(grid.pageRect(1), QRect(1000, 0, 1000, 1500));
    EXPECT_EQ(grid.pageRect(3), QRect(0, 1500, 1000, 1500));
}
