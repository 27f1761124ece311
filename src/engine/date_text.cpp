#include "engine/date_text.h"

#include <QRegularExpression>

namespace {

QString widenYear(QString pattern)
{
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    return pattern.replace(twoDigitYear, QStringLiteral("yyyy"));
}

QString withoutZone(QString pattern)
{
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    // Keep a blank where the zone sat between two other fields.
    pattern.replace(zone, QStringLiteral(" "));
    return pattern.trimmed();
}

}  // namespace

DateTextFormat::DateTextFormat(const QLocale& locale)
    : m_locale(locale),
      m_date(widenYear(locale.dateFormat(QLocale::ShortFormat))),
      m_time(withoutZone(locale.timeFormat(QLocale::LongFormat)))
{
}

QString DateTextFormat::format(const QDateTime& dateTime) const
{
    if (!dateTime.isValid())
        return {};
    const QString date = m_locale.toString(dateTime.date(), m_date);
    if (dateTime.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + m_locale.toString(dateTime.time(), m_time);
}

QDateTime DateTextFormat::parse(const QString& text) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const int blank = trimmed.indexOf(QLatin1Char(' '), 0);
    // The date pattern itself may hold blanks ("d. MMM yyyy"), so try every split point from the left.
    for (int at = blank; at > 0; at = trimmed.indexOf(QLatin1Char(' '), at + 1)) {
        const QDate date = m_locale.toDate(trimmed.left(at), m_date);
        if (!date.isValid())
            continue;
        const QTime time = m_locale.toTime(trimmed.mid(at + 1), m_time);
        if (time.isValid())
            return QDateTime(date, time);
    }
    const QDate date = m_locale.toDate(trimmed, m_date);
    if (date.isValid())
        return QDateTime(date, QTime(0, 0));
    return {};
}

QString DateTextFormat::isoText(const QString& text) const
{
    const QDateTime when = parse(text);
    if (!when.isValid())
        return {};
    // The fields as they were written, without going through a time zone.
    return when.date().toString(Qt::ISODate) + QLatin1Char('T') + when.time().toString(QStringLiteral("HH:mm:ss"));
}
