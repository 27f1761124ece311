// The filter box's reading of its text, beyond the common cases of test_table_logic.cpp.

#include "app/filter_matches.h"
#include "engine/tob_data.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

bool passes(long double megabytes, const char* text)
{
    TTobData d;
    d.TobitUser = QStringLiteral("Anna");
    d.Size = megabytes;
    return FilterMatches(d, QString::fromUtf8(text));
}

bool nameMatches(const char* name, const char* text)
{
    TTobData d;
    d.TobitUser = QString::fromUtf8(name);
    return FilterMatches(d, QString::fromUtf8(text));
}

}  // namespace

TEST(LenientInt, PrefixesSignsAndWhatEndsTheNumber)
{
    EXPECT_EQ(lenientInt(u"x1f"), 31);
    EXPECT_EQ(lenientInt(u"0X7fffffff"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(lenientInt(u"   -$10"), -16);
    // Without a hexadecimal prefix the letters a to f end the number.
    EXPECT_EQ(lenientInt(u"1f"), 1);
    EXPECT_EQ(lenientInt(u"1.5"), 1);
    EXPECT_EQ(lenientInt(u"12 34"), 12);
    EXPECT_EQ(lenientInt(u"-5 "), 5);
    // A prefix or sign with no digits after it reads 0.
    for (const char16_t* text : {u"$", u"0x", u"-", u"+", u"  ", u"$g", u"--5"})
        EXPECT_EQ(lenientInt(text), 0) << QString::fromUtf16(text).toStdString();
}

TEST(LenientInt, BeyondThe32BitRangeKeepsTheDigitsReadSoFar)
{
    EXPECT_EQ(lenientInt(u"2147483648"), 214748364);
    EXPECT_EQ(lenientInt(u"-2147483649"), 214748364);
    EXPECT_EQ(lenientInt(u"$100000000"), 0x10000000);
}

TEST(FilterMatches, LenientNumbersReachTheComparison)
{
    TTobData d;
    d.Size = 150;
    d.SizeRoot = 50;  // the folder's own share is not what is compared
    EXPECT_TRUE(FilterMatches(d, QStringLiteral(">100")));
    EXPECT_FALSE(FilterMatches(d, QStringLiteral("<100")));

    EXPECT_TRUE(passes(100.5L, ">100MB"));
    EXPECT_FALSE(passes(100, ">100MB"));
    EXPECT_FALSE(passes(100, ">100 "));
    EXPECT_TRUE(passes(1.2L, ">1,5"));
    EXPECT_FALSE(passes(1, ">1,5"));
    EXPECT_TRUE(passes(0.01L, ">x"));
    EXPECT_FALSE(passes(0, ">x"));
    EXPECT_TRUE(passes(5.5L, ">-5a"));
    EXPECT_FALSE(passes(5, ">-5a"));
    EXPECT_TRUE(passes(4.99L, "<5"));
    EXPECT_FALSE(passes(5, "<5"));
    EXPECT_FALSE(passes(0.001L, "=0"));
}

TEST(FilterMatches, TextFormForEverythingThatDoesNotStartWithAnOperator)
{
    EXPECT_TRUE(nameMatches("Müller", "MüL"));
    EXPECT_FALSE(nameMatches("ÄRGER", "ärger"));
    EXPECT_TRUE(nameMatches("ANNA", "a"));
    // An operator that is not the first character is part of the name.
    EXPECT_TRUE(nameMatches("a>b", "A>"));
    TTobData big;
    big.TobitUser = QStringLiteral("Zoe");
    big.Size = 500;
    EXPECT_FALSE(FilterMatches(big, QStringLiteral(" >100")));

    EXPECT_EQ(filterStep(QStringLiteral("<")), FilterStep::Keep);
    for (const char* text : {" ", "> ", "<=", "a>"})
        EXPECT_EQ(filterStep(QString::fromLatin1(text)), FilterStep::Apply) << text;
    EXPECT_EQ(asciiUpper(QStringLiteral("äöü ß é `{@[ az")), QStringLiteral("äöü ß é `{@[ AZ"));
}
