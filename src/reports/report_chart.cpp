#include "reports/report_chart.h"

#include "reports/band_writer.h"
#include "reports/report_numbers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

constexpr double kDepth = 12;       // oblique offset of the chart's depth, right and up
constexpr double kBarShare = 0.6;   // of a bar's slot
constexpr double kChartPoints = 8;  // axis labels and legend

QPolygonF quad(QPointF a, QPointF b, QPointF c, QPointF d) { return QPolygonF({a, b, c, d}); }

}  // namespace

QColor barColour(int index)
{
    static const QColor palette[] = {QColor(0xFF, 0x00, 0x00), QColor(0x00, 0x80, 0x00), QColor(0xFF, 0xFF, 0x00),
                                     QColor(0x00, 0x00, 0xFF), QColor(0xFF, 0x00, 0xFF), QColor(0x00, 0x80, 0x80),
                                     QColor(0x80, 0x00, 0x00), QColor(0x80, 0x80, 0x80)};
    return palette[index % int(std::size(palette))];
}

ValueScale valueScale(double largest)
{
    if (!(largest > 0) || !std::isfinite(largest))
        return {};
    const double raw = largest / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
    return {step, std::ceil(largest / step - 1e-9) * step};
}

void paintBarChart3D(QPainter& painter, const QRectF& box, const std::vector<ChartBar>& bars, const QLocale& locale)
{
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFont font = reportFont(kChartPoints, false, painter.device());
    painter.setFont(font);
    const QFontMetricsF fm(font, painter.device());
    QPen thin(Qt::black);
    thin.setWidthF(0.5);

    // Legend on the right, as wide as its longest label allows.
    double legendWidth = 0;
    const double square = 10;
    if (!bars.empty()) {
        double widest = 0;
        for (const ChartBar& bar : bars)
            widest = std::max(widest, fm.horizontalAdvance(bar.label));
        legendWidth = std::min(box.width() * 0.3, square + 6 + widest + 12);
    }
    const double right = box.right() - (legendWidth > 0 ? legendWidth + 12 : 8) - kDepth;

    double largest = 0;
    for (const ChartBar& bar : bars)
        largest = std::max(largest, bar.value);
    const ValueScale scale = valueScale(largest);
    const int ticks = int(std::lround(scale.top / scale.step));
    double tickWidth = 0;
    for (int i = 0; i <= ticks; ++i)
        tickWidth = std::max(tickWidth, fm.horizontalAdvance(numberText(i * scale.step, locale)));

    const double left = box.left() + 6 + tickWidth + 6;
    const double top = box.top() + 6 + kDepth + fm.height() / 2;
    const double bottom = box.bottom() - fm.height() - 8;
    const auto yOf = [&](double value) { return bottom - value / scale.top * (bottom - top); };
    const QPointF depth(kDepth, -kDepth);

    // Walls and floor.
    painter.setPen(thin);
    painter.setBrush(QColor(0xF4, 0xF4, 0xF4));
    painter.drawRect(QRectF(QPointF(left, top) + depth, QPointF(right, bottom) + depth));
    painter.setBrush(QColor(0xDC, 0xDC, 0xDC));
    painter.drawPolygon(quad({left, top}, QPointF(left, top) + depth, QPointF(left, bottom) + depth, {left, bottom}));
    painter.drawPolygon(
        quad({left, bottom}, QPointF(left, bottom) + depth, QPointF(right, bottom) + depth, {right, bottom}));

    // Grid lines across the walls, with the axis labels.
    QPen grid(QColor(0x90, 0x90, 0x90));
    grid.setWidthF(0.5);
    grid.setStyle(Qt::DotLine);
    for (int i = 0; i <= ticks; ++i) {
        const double value = i * scale.step;
        const double y = yOf(value);
        painter.setPen(grid);
        if (i > 0) {
            painter.drawLine(QPointF(left, y), QPointF(left, y) + depth);
            painter.drawLine(QPointF(left, y) + depth, QPointF(right, y) + depth);
        }
        painter.setPen(thin);
        painter.drawLine(QPointF(left - 3, y), QPointF(left, y));
        painter.setPen(Qt::black);
        const QRectF label(box.left(), y - fm.height() / 2, left - 5 - box.left(), fm.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, numberText(value, locale));
    }

    // Bars, back to front is left to right: each bar's side lies against the next bar's empty space.
    const int n = int(bars.size());
    const double slot = n > 0 ? (right - left) / n : 0;
    const QPointF barDepth = depth * 0.8;
    for (int i = 0; i < n; ++i) {
        const QColor colour = barColour(i);
        const double width = slot * kBarShare;
        const double x = left + i * slot + (slot - width) / 2;
        const double y = yOf(std::clamp(bars[std::size_t(i)].value, 0.0, scale.top));
        const QPointF tl(x, y), tr(x + width, y), br(x + width, bottom);
        painter.setPen(thin);
        painter.setBrush(colour.darker(150));
        painter.drawPolygon(quad(tr, tr + barDepth, br + barDepth, br));
        painter.setBrush(colour.lighter(140).rgb() == colour.rgb() ? colour.darker(115) : colour.lighter(140));
        painter.drawPolygon(quad(tl, tl + barDepth, tr + barDepth, tr));
        painter.setBrush(colour);
        painter.drawRect(QRectF(tl, br));

        painter.setPen(Qt::black);
        const QRectF label(left + i * slot, bottom + 3, slot, fm.height());
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                         fm.elidedText(bars[std::size_t(i)].label, Qt::ElideRight, slot - 2));
    }

    // Axes in front of the walls.
    painter.setPen(thin);
    painter.drawLine(QPointF(left, top), QPointF(left, bottom));
    painter.drawLine(QPointF(left, bottom), QPointF(right, bottom));

    if (n > 0) {
        const double row = fm.height() + 3;
        const double height = n * row + 8;
        const QRectF frame(box.right() - legendWidth - 4, box.center().y() - height / 2, legendWidth, height);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x80, 0x80, 0x80));
        painter.drawRect(frame.translated(2, 2));
        painter.setPen(thin);
        painter.setBrush(Qt::white);
        painter.drawRect(frame);
        for (int i = 0; i < n; ++i) {
            const double y = frame.top() + 4 + i * row;
            painter.setPen(thin);
            painter.setBrush(barColour(i));
            painter.drawRect(QRectF(frame.left() + 5, y + (row - 3 - 7) / 2, square, 7));
            painter.setPen(Qt::black);
            const QRectF text(frame.left() + 5 + square + 5, y, frame.right() - (frame.left() + square + 14), row - 3);
            painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                             fm.elidedText(bars[std::size_t(i)].label, Qt::ElideRight, text.width()));
        }
    }
    painter.restore();
}

}  // namespace reports
