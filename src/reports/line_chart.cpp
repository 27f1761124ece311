#include "reports/line_chart.h"

#include "reports/band_writer.h"
#include "reports/report_chart.h"
#include "reports/report_numbers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

constexpr double kChartPoints = 8;
constexpr int kDateLabels = 6;

}  // namespace

void paintLineChart(QPainter& painter, const QRectF& box, const std::vector<LinePoint>& points, const QLocale& locale)
{
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    const QFont font = reportFont(kChartPoints, false, painter.device());
    painter.setFont(font);
    const QFontMetricsF fm(font, painter.device());
    QPen thin(Qt::black);
    thin.setWidthF(0.5);

    double largest = 0;
    for (const LinePoint& p : points)
        largest = std::max(largest, p.megabytes);
    const bool gigabytes = largest >= 10 * 1024;
    const double divisor = gigabytes ? 1024 : 1;
    const ValueScale scale = valueScale(largest / divisor);
    const int ticks = int(std::lround(scale.top / scale.step));
    double tickWidth = fm.horizontalAdvance(gigabytes ? QStringLiteral("GB") : QStringLiteral("MB"));
    for (int i = 0; i <= ticks; ++i)
        tickWidth = std::max(tickWidth, fm.horizontalAdvance(numberText(i * scale.step, locale)));

    const double left = box.left() + 6 + tickWidth + 6;
    const double right = box.right() - 16;
    const double top = box.top() + fm.height() + 6;
    const double bottom = box.bottom() - fm.height() - 8;
    const auto yOf = [&](double mb) { return bottom - (mb / divisor) / scale.top * (bottom - top); };

    painter.setPen(thin);
    painter.setBrush(QColor(0xF4, 0xF4, 0xF4));
    painter.drawRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(box.left(), box.top(), left - 5 - box.left(), fm.height()),
                     Qt::AlignRight | Qt::AlignVCenter, gigabytes ? QStringLiteral("GB") : QStringLiteral("MB"));

    QPen grid(QColor(0x90, 0x90, 0x90));
    grid.setWidthF(0.5);
    grid.setStyle(Qt::DotLine);
    for (int i = 0; i <= ticks; ++i) {
        const double value = i * scale.step;
        const double y = bottom - value / scale.top * (bottom - top);
        if (i > 0 && i < ticks) {
            painter.setPen(grid);
            painter.drawLine(QPointF(left, y), QPointF(right, y));
        }
        painter.setPen(thin);
        painter.drawLine(QPointF(left - 3, y), QPointF(left, y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(box.left(), y - fm.height() / 2, left - 5 - box.left(), fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter, numberText(value, locale));
    }

    if (points.empty()) {
        painter.drawText(QRectF(left, top, right - left, bottom - top), Qt::AlignCenter,
                         QStringLiteral("Noch keine Läufe aufgezeichnet."));
        painter.restore();
        return;
    }

    // Time runs from the first point to the last; a single point stands in the middle.
    const qint64 first = points.front().when.toMSecsSinceEpoch();
    const qint64 span = points.back().when.toMSecsSinceEpoch() - first;
    const double inset = 10;
    const auto xOf = [&](const QDateTime& when) {
        if (span <= 0)
            return (left + right) / 2;
        return left + inset + double(when.toMSecsSinceEpoch() - first) / double(span) * (right - left - 2 * inset);
    };

    const int labels = span <= 0 ? 1 : std::min<int>(kDateLabels, int(points.size()));
    for (int i = 0; i < labels; ++i) {
        const QDateTime when = span <= 0 ? points.front().when
                                         : QDateTime::fromMSecsSinceEpoch(first + span * i / std::max(1, labels - 1));
        const double x = xOf(when);
        painter.setPen(thin);
        painter.drawLine(QPointF(x, bottom), QPointF(x, bottom + 3));
        const QString text = when.date().toString(QStringLiteral("dd.MM.yyyy"));
        const double width = fm.horizontalAdvance(text) + 4;
        const double at = std::clamp(x - width / 2, box.left(), box.right() - width);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(at, bottom + 4, width, fm.height()), Qt::AlignCenter, text);
    }

    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen line(barColour(3));
    line.setWidthF(1.5);
    painter.setPen(line);
    painter.setBrush(Qt::NoBrush);
    QPainterPath path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF at(xOf(points[i].when), yOf(points[i].megabytes));
        if (i == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    painter.drawPath(path);
    painter.setBrush(barColour(3));
    const double marker = points.size() > 60 ? 1.2 : 2.5;
    for (const LinePoint& p : points)
        painter.drawEllipse(QPointF(xOf(p.when), yOf(p.megabytes)), marker, marker);
    if (points.size() < 2) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(left, top + 6, right - left, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
                         QStringLiteral("Für einen Verlauf braucht es mindestens zwei aufgezeichnete Läufe."));
    }
    painter.restore();
}

}  // namespace reports
