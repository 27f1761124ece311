#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// How message dates are kept as text: the locale's short date and long time, joined by a blank, the time
// left out at midnight. The locale's own patterns are widened to a four-digit year and lose the zone field,
// since "dd.MM.yy" would read back into the 1900s and a zone name does not read back at all.
class DateTextFormat {
public:
    explicit DateTextFormat(const QLocale& locale = QLocale());

    const QString& datePattern() const { return m_date; }
    const QString& timePattern() const { return m_time; }

    QString format(const QDateTime& dateTime) const;
    // The date-time a text of format() stands for; invalid when it is none.
    QDateTime parse(const QString& text) const;
    // The same as ISO 8601 local time without a zone, 2016-03-05T14:22:10; empty when it is none.
    QString isoText(const QString& text) const;

private:
    QLocale m_locale;
    QString m_date;
    QString m_time;
};
