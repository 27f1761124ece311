#include "reports/report_numbers.h"

namespace reports {

namespace {

QLocale plain(const QLocale& locale)
{
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l;
}

// A text that shows only zeros ("-0") loses its sign.
QString withoutNegativeZero(QString text, const QLocale& locale)
{
    const QString minus = locale.negativeSign();
    if (!text.startsWith(minus))
        return text;
    for (QChar c : QStringView(text).mid(minus.size()))
        if (c.isDigit() && c != QLatin1Char('0'))
            return text;
    return text.mid(minus.size());
}

}  // namespace

QString numberText(double value, const QLocale& locale)
{
    const QLocale l = plain(locale);
    QString text = l.toString(value, 'f', 2);
    const int sep = text.lastIndexOf(l.decimalPoint());
    if (sep >= 0) {
        int keep = text.size();
        while (keep > sep + 1 && text.at(keep - 1) == QLatin1Char('0'))
            --keep;
        if (keep == sep + 1)
            keep = sep;
        text.truncate(keep);
    }
    return withoutNegativeZero(text, l);
}

QString generalNumberText(double value, const QLocale& locale)
{
    return withoutNegativeZero(plain(locale).toString(value, 'g', 15), locale);
}

double numberFromText(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double value = plain(locale).toDouble(text.trimmed(), &ok);
    return ok ? value : 0.0;
}

}  // namespace reports
