#pragma once

#include <QLocale>
#include <QString>

// The three number patterns of the program, with the locale's decimal separator and no digit grouping:
// "#0.##" in the table, "#0.0#" in the detail panel, "#0.#0" in the totals.
QString formatTable(double value, const QLocale& locale = QLocale());   // #0.##
QString formatDetail(double value, const QLocale& locale = QLocale());  // #0.0#
QString formatTotal(double value, const QLocale& locale = QLocale());   // #0.#0
