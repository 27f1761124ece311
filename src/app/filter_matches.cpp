#include "app/filter_matches.h"

#include "engine/tob_data.h"

#include <limits>

namespace {

bool isOperator(QChar c)
{
    return c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('=');
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int v = -1;
    if (u >= u'0' && u <= u'9')
        v = u - u'0';
    else if (u >= u'a' && u <= u'f')
        v = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        v = u - u'A' + 10;
    return v < base ? v : -1;
}

}  // namespace

FilterStep filterStep(const QString& text)
{
    if (text.isEmpty())
        return FilterStep::ShowAll;
    if (text.size() == 1 && isOperator(text.front()))
        return FilterStep::Keep;
    return FilterStep::Apply;
}

std::int32_t lenientInt(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }

    // Accumulate as a negative number, so the full range down to -2^31 fits.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    bool complete = true;
    for (; i < n; ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0) {
            complete = false;
            break;
        }
        const std::int64_t next = value * base - d;
        if (next < lowest || (!negative && -next > std::numeric_limits<std::int32_t>::max())) {
            complete = false;
            break;
        }
        value = next;
    }
    // A number followed by something else keeps its digits, but not its sign.
    if (complete && negative)
        return std::int32_t(value);
    return -value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                             : std::int32_t(-value);
}

QString asciiUpper(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() >= u'a' && c.unicode() <= u'z')
            c = QChar(char16_t(c.unicode() - (u'a' - u'A')));
    return out;
}

bool FilterMatches(const TTobData& record, const QString& text)
{
    if (!text.isEmpty() && isOperator(text.front())) {
        const long double n = lenientInt(QStringView(text).mid(1));
        switch (text.front().unicode()) {
        case u'>':
            return record.Size > n;
        case u'<':
            return record.Size < n;
        default:
            return record.Size == n;
        }
    }
    return asciiUpper(record.TobitUser).contains(asciiUpper(text));
}
