#pragma once

#include <QLocale>
#include <QString>

namespace reports {

// "#0.##": at least one integer digit, at most two decimals (rounded, trailing zeros and a bare separator
// dropped), no digit grouping, the locale's decimal separator.
QString numberText(double value, const QLocale& locale);

// The shortest text of the value with up to 15 significant digits, the locale's decimal separator,
// no digit grouping.
QString generalNumberText(double value, const QLocale& locale);

// A printed number text read back; 0 when it is not a number.
double numberFromText(const QString& text, const QLocale& locale);

}  // namespace reports
