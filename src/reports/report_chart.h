#pragma once

#include "reports/report_table.h"

#include <QLocale>
#include <QRectF>

#include <vector>

class QPainter;

namespace reports {

// The colour of the bar at a place, repeating after the palette's end.
QColor barColour(int index);

// A value axis from 0 to top in steps: top is the smallest step multiple not below the largest value.
struct ValueScale {
    double step = 0.2;
    double top = 1;
};
ValueScale valueScale(double largest);

// A three-dimensional bar chart in box (report units): oblique bars (front, top and side in shades of the
// bar's colour), one colour per bar, a value axis with grid lines on the walls, the labels under the bars and
// a legend on the right; no value labels.
void paintBarChart3D(QPainter& painter, const QRectF& box, const std::vector<ChartBar>& bars, const QLocale& locale);

}  // namespace reports
