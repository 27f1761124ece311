// The filter box's text: a part of a user's name, or an operator and a number of megabytes. Whatever is
// typed, the filter answers for every row, and its answers agree with what the text says.

#include "fuzz_support.h"

#include "app/filter_matches.h"
#include "engine/tob_data.h"

#include <QRegularExpression>

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first 8 bytes are the archive's size, the rest the filter text typed into the box.
    if (size < 8)
        return 0;
    double megabytes = 0;
    std::memcpy(&megabytes, data, 8);
    if (!std::isfinite(megabytes))
        megabytes = 0;
    const QString text = fuzz::utf16Text(data + 8, size - 8);

    TTobData row;
    row.Size = megabytes;
    row.TobitUser = QStringLiteral("Zoe Adler");

    const FilterStep step = filterStep(text);
    FUZZ_CHECK((step == FilterStep::ShowAll) == text.isEmpty(), text);
    if (step == FilterStep::ShowAll)
        return 0;
    FilterMatches(row, text);

    const QChar first = text.front();
    if (first == QLatin1Char('>') || first == QLatin1Char('<') || first == QLatin1Char('=')) {
        // One size is larger than, smaller than or equal to the number: exactly one of the three passes.
        const QString rest = text.mid(1);
        const int passing = int(FilterMatches(row, QLatin1Char('>') + rest))
                            + int(FilterMatches(row, QLatin1Char('<') + rest))
                            + int(FilterMatches(row, QLatin1Char('=') + rest));
        FUZZ_CHECK(passing == 1, QStringLiteral("%1 of > < = pass for %2 and %3").arg(passing).arg(megabytes).arg(rest));

        // A plain decimal number in range is read as itself.
        static const QRegularExpression plain(QStringLiteral("\\A *[+-]?[0-9]+\\z"));
        bool ok = false;
        const int value = rest.trimmed().toInt(&ok, 10);
        if (ok && plain.match(rest).hasMatch())
            FUZZ_CHECK(lenientInt(rest) == value, QStringLiteral("%1 read as %2").arg(rest).arg(lenientInt(rest)));
        return 0;
    }

    // A name holding the text passes, whatever the letter case of a to z.
    row.TobitUser = QStringLiteral("x") + text.toLower() + QStringLiteral("y");
    const QString upper = asciiUpper(text);
    FUZZ_CHECK(upper.size() == text.size(), text);
    FUZZ_CHECK(asciiUpper(upper) == upper, text);
    row.TobitUser = QStringLiteral("x") + text + QStringLiteral("y");
    FUZZ_CHECK(FilterMatches(row, text), QStringLiteral("a name holding the text does not pass: ") + text);
    FUZZ_CHECK(FilterMatches(row, upper), QStringLiteral("upper case does not pass: ") + upper);
    return 0;
}
