#include "settings/preference_file.h"

#include "platform/program_folder.h"
#include "platform/regular_file.h"

namespace settings {

namespace {

// A few lines of short values; whatever lies beyond is not read, so a huge or endless file costs nothing.
constexpr qint64 kPreferenceReadLimit = 8 * 1024;

}  // namespace

std::optional<QStringList> readPreferenceLines(const QString& path, QString* reason)
{
    const std::optional<QByteArray> bytes =
        platform::readRegularFile(path, kPreferenceReadLimit, platform::OverLimit::Cut, reason);
    if (!bytes)
        return std::nullopt;

    const QString text = platform::fromAnsi(*bytes);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

bool writePreferenceLines(const QString& path, const QStringList& lines, QString* reason)
{
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");

    return platform::saveFile(path, platform::toAnsi(text), reason);
}

std::optional<qint64> parseWholeNumber(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+'))) {
        negative = text.front() == QLatin1Char('-');
        text = text.mid(1);
    }
    int base = 10;
    if (!text.isEmpty() && text.front() == QLatin1Char('$')) {
        base = 16;
        text = text.mid(1);
    }
    if (text.isEmpty() || text.size() > 16)
        return std::nullopt;

    qint64 value = 0;
    for (const QChar c : text) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - '0'
                          : base == 16 && c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')
                              ? c.toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFLL)
            return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000LL)
            return std::nullopt;
        value = -value;
    }
    return value;
}

}  // namespace settings
