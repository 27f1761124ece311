// The "Zuwachs:" line's text.

#include "app/growth_line.h"

#include <gtest/gtest.h>

namespace {

struct GrowthCase {
    double sincePrevious;
    std::optional<double> over30Days;
    const char* text;
};

class GrowthLineText : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(GrowthLineText, ReadsAsThePanelWritesNumbers)
{
    history::ArchiveGrowth g;
    g.previousRun = QDateTime(QDate(2026, 12, 3), QTime(12, 0)).toUTC();
    g.sincePrevious = GetParam().sincePrevious;
    g.over30Days = GetParam().over30Days;
    EXPECT_EQ(growthLineText(g, QLocale(QLocale::German)), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GrowthLineText,
    ::testing::Values(GrowthCase {12.34, 80.1, "+12,34 MB seit 03.12.2026, +80,1 MB in 30 Tagen"},
                      GrowthCase {12.345, {}, "+12,35 MB seit 03.12.2026"},
                      GrowthCase {-5, -1536.25, "-5,0 MB seit 03.12.2026, -1536,25 MB in 30 Tagen"},
                      GrowthCase {0, 0, "+0,0 MB seit 03.12.2026, +0,0 MB in 30 Tagen"},
                      GrowthCase {-0.001, {}, "+0,0 MB seit 03.12.2026"}));

}  // namespace
