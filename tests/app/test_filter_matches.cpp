// The filter box's reading of its text: the lenient number after an operator, the comparison with the total
// size, the name search, and what a change of the text does to the rows.

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
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char16_t* text;
        std::int32_t value;
    } cases[] = {
        {u"100", 100},
        {u" 100", 100},
        {u"100MB", 100},
        {u"100 ", 100},
        {u"-5", -5},
        {u"+7", 7},
        {u"$1F", 31},
        {u"0x10", 16},
        {u"X10", 16},
        {u"x1f", 31},
        {u"0X7fffffff", max},
        {u"   -$10", -16},
        {u"-2147483648", min},
        {u"2147483647", max},
        // Without a hexadecimal prefix the letters a to f end the number.
        {u"1f", 1},
        {u"1.5", 1},
        {u"1,5", 1},
        {u"12 34", 12},
        // A fault after the digits drops the sign.
        {u"-5a", 5},
        {u"-5 ", 5},
        // Nothing to read, or a prefix or sign with no digits after it.
        {u"", 0},
        {u"abc", 0},
        {u"x", 0},
        {u"$", 0},
        {u"0x", 0},
        {u"-", 0},
        {u"+", 0},
        {u"  ", 0},
        {u"$g", 0},
        {u"--5", 0},
        // Beyond the 32-bit range the reading stops before the digit that would overflow.
        {u"99999999999", 999999999},
        {u"2147483648", 214748364},
        {u"-2147483649", 214748364},
        {u"$100000000", 0x10000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lenientInt(c.text), c.value) << QString::fromUtf16(c.text).toStdString();
}

TEST(FilterMatches, OperatorsCompareTheTotalSizeWithTheLenientNumber)
{
    TTobData d;
    d.Size = 150;
    d.SizeRoot = 50;  // the folder's own share is not what is compared
    EXPECT_TRUE(FilterMatches(d, QStringLiteral(">100")));
    EXPECT_FALSE(FilterMatches(d, QStringLiteral("<100")));

    const struct {
        long double megabytes;
        const char* text;
        bool passes;
    } cases[] = {
        {100.5L, ">100", true},
        {100.5L, "> 100", true},
        {100, ">100", false},
        {100.5L, ">100MB", true},
        {100, ">100MB", false},
        {100, ">100 ", false},
        {100, "=100", true},
        {100.5L, "=100", false},
        {0, "=0", true},
        {0.001L, "=0", false},
        {0, "<5", true},
        {4.99L, "<5", true},
        {5, "<5", false},
        {100.5L, "<5", false},
        {1.2L, ">1,5", true},
        {1, ">1,5", false},
        // No number reads 0: every measured archive passes, an empty one does not.
        {0.01L, ">x", true},
        {0, ">x", false},
        {100.5L, ">abc", true},
        {0, ">abc", false},
        {0, ">-5", true},
        {5.5L, ">-5a", true},
        {5, ">-5a", false},
        {0, ">-5a", false},
        // An operator after a blank is part of a name.
        {500, " >100", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(passes(c.megabytes, c.text), c.passes) << double(c.megabytes) << " " << c.text;
}

TEST(FilterMatches, TextFormFoldsOnlyAsciiLetters)
{
    const struct {
        const char* name;
        const char* text;
        bool matches;
    } cases[] = {
        {"Müller", "mül", true},
        {"Müller", "MüL", true},
        {"Müller", "MÜLLER", false},
        {"ÄRGER", "ärger", false},
        {"Mueller", "MUELLER", true},
        {"Hans Abel", "a", true},
        {"ANNA", "a", true},
        {"Hans", "x", false},
        // An operator that is not the first character is part of the name.
        {"a>b", "A>", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameMatches(c.name, c.text), c.matches) << c.name << " / " << c.text;
    EXPECT_EQ(asciiUpper(QStringLiteral("äöü ß é `{@[ az")), QStringLiteral("äöü ß é `{@[ AZ"));
}

TEST(FilterMatches, StepsOfATextChange)
{
    EXPECT_EQ(filterStep(QString()), FilterStep::ShowAll);
    for (const char* text : {">", "=", "<"})
        EXPECT_EQ(filterStep(QString::fromLatin1(text)), FilterStep::Keep) << text;
    for (const char* text : {">1", "a", " ", "> ", "<=", "a>"})
        EXPECT_EQ(filterStep(QString::fromLatin1(text)), FilterStep::Apply) << text;
}
