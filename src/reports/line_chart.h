#pragma once

#include <QDateTime>
#include <QLocale>
#include <QRectF>

#include <vector>

class QPainter;

namespace reports {

struct LinePoint {
    QDateTime when;
    double megabytes = 0;
};

// A line chart of sizes over time in box (report units), in the style of the report's bar charts: a framed
// plot on a light wall, a value axis with dotted grid lines (MB, or GB from 10 GB on), dates under the time
// axis, a marker at every point. Fewer than two points draw what there is and say that a course needs more.
void paintLineChart(QPainter& painter, const QRectF& box, const std::vector<LinePoint>& points, const QLocale& locale);

}  // namespace reports
