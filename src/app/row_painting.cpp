#include "app/row_painting.h"

#include <QPainter>

#include <cmath>

namespace {

int roundHalfEven(double v)
{
    return int(std::nearbyint(v));  // the default rounding mode rounds halves to even
}

// A rectangle with a 1-pixel outline inside its edges and a fill within.
void drawBox(QPainter& painter, const Edges& e, const QColor& outline, const QColor& fill)
{
    const QRect r(QPoint(e.left, e.top), QPoint(e.right - 1, e.bottom - 1));
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.fillRect(r, outline);
    if (r.width() > 2 && r.height() > 2)
        painter.fillRect(r.adjusted(1, 1, -1, -1), fill);
}

}  // namespace

std::optional<QColor> rowBackground(int level, int position, const QColor& farbe1, const QColor& farbe2)
{
    if (position % 2 != 0)
        return std::nullopt;
    return level == 0 ? farbe1 : farbe2;
}

int barLength(long double size, double maxSize, int cellWidth)
{
    if (size == 0 || !(maxSize > 0))
        return 0;
    const float p = float(size * 100 / maxSize);
    if (!std::isfinite(p))
        return 0;
    const double len = double(cellWidth) * double(p) / 100.0;
    if (!std::isfinite(len) || std::fabs(len) > 1e9)
        return 0;
    return roundHalfEven(len);
}

SizeBarLayout sizeBarLayout(const Edges& cell, long double size, double maxSize, const DisplayFlags& flags)
{
    SizeBarLayout layout;
    if (!flags.ShowBars)
        return layout;
    const int len = barLength(size, maxSize, cell.right - cell.left);
    if (flags.ShowFrame)
        layout.frame = Edges {cell.left + 2, cell.top + 2, cell.right, cell.bottom - 2};
    if (len <= 3)
        return layout;
    layout.bar = Edges {cell.left + 3, cell.top + 3, cell.left + len - 1, cell.bottom - 3};
    layout.gradient = flags.ShowGradient;
    return layout;
}

void paintSizeBar(QPainter& painter, const QRect& cell, long double size, double maxSize, const DisplayFlags& flags)
{
    const Edges edges {cell.left(), cell.top(), cell.right() + 1, cell.bottom() + 1};
    const SizeBarLayout layout = sizeBarLayout(edges, size, maxSize, flags);
    if (layout.frame)
        drawBox(painter, *layout.frame, kFrameOutline, kFrameFill);
    if (!layout.bar)
        return;
    if (layout.gradient)
        FillGradient(painter, kGradientTop, kGradientBottom, *layout.bar);
    else
        drawBox(painter, *layout.bar, kPlainBar, kPlainBar);
}

void FillGradient(QPainter& painter, const QColor& start, const QColor& end, const Edges& e)
{
    const int height = e.bottom - e.top;
    if (height < 0 || e.right <= e.left)
        return;
    const QColor a = start.toRgb();
    const QColor b = end.toRgb();
    const QPen pen = painter.pen();
    for (int i = 0; i <= height; ++i) {
        // A zero-height rectangle gets its one line in the start colour.
        const auto channel = [&](int from, int to) {
            return height == 0 ? from : roundHalfEven(from + double((to - from) * i) / height);
        };
        const QColor line(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
        painter.fillRect(QRect(e.left, e.top + i, e.right - e.left, 1), line);
    }
    painter.setPen(pen);
}
