#include "app/number_format.h"

namespace {

// Two decimals, rounded, then trailing zeros dropped down to minDecimals.
QString withDecimals(double value, int minDecimals, const QLocale& base)
{
    QLocale locale = base;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = locale.toString(value, 'f', 2);
    const QString separator = locale.decimalPoint();
    const int sep = text.lastIndexOf(separator);
    if (sep >= 0) {
        int keep = text.size();
        while (keep > sep + 1 + minDecimals && text.at(keep - 1) == QLatin1Char('0'))
            --keep;
        if (keep == sep + 1)
            keep = sep;  // no decimals left: drop the separator too
        text.truncate(keep);
    }
    // A value that rounds to zero shows no sign.
    if (text.startsWith(locale.negativeSign())) {
        bool allZero = true;
        for (QChar c : text.mid(locale.negativeSign().size()))
            if (c.isDigit() && c != QLatin1Char('0'))
                allZero = false;
        if (allZero)
            text.remove(0, locale.negativeSign().size());
    }
    return text;
}

}  // namespace

QString formatTable(double value, const QLocale& locale) { return withDecimals(value, 0, locale); }

QString formatDetail(double value, const QLocale& locale) { return withDecimals(value, 1, locale); }

QString formatTotal(double value, const QLocale& locale) { return withDecimals(value, 2, locale); }
