#include "ui/pie_chart.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace ui {

namespace {

// Space above the title and between the title and the plot area.
constexpr qreal kTitleGap = 1;

}  // namespace

PieChart::PieChart(QWidget* parent) : QWidget(parent), m_border(Qt::white, 1)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_titleFont.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
    m_titleFont.setStyleHint(QFont::SansSerif);
    m_titleFont.setPixelSize(11);
    m_titleFont.setBold(true);
}

void PieChart::setTitleFont(const QFont& font)
{
    m_titleFont = font;
    update();
}

void PieChart::setTitle(const QString& title)
{
    m_title = title;
    update();
}

void PieChart::clearSlices()
{
    m_slices.clear();
    update();
}

void PieChart::appendSlice(const PieSlice& slice)
{
    m_slices.append(slice);
    update();
}

void PieChart::setPieSize(qreal size)
{
    m_pieSize = std::clamp<qreal>(size, 0, 1);
    update();
}

void PieChart::setMargins(const QMargins& margins)
{
    m_margins = margins;
    update();
}

void PieChart::setBackgroundInset(int inset)
{
    m_backgroundInset = std::max(0, inset);
    update();
}

void PieChart::setSliceBorder(const QPen& pen)
{
    m_border = pen;
    update();
}

void PieChart::setShowsCallouts(bool show)
{
    m_showCallouts = show;
    update();
}

QRectF PieChart::plotArea(const QSizeF& size) const
{
    QRectF area = QRectF(QPointF(0, 0), size).marginsRemoved(m_margins.toMarginsF());
    if (!m_title.isEmpty())
        area.setTop(area.top() + kTitleGap + QFontMetricsF(titleFont()).height() + kTitleGap);
    return area;
}

QRectF PieChart::pieRect(const QSizeF& size) const
{
    const QRectF plot = plotArea(size);
    const qreal diameter = std::max<qreal>(0, std::min(plot.width(), plot.height()) * m_pieSize);
    QRectF pie(0, 0, diameter, diameter);
    pie.moveCenter(plot.center());
    return pie;
}

QList<Callout> PieChart::callouts(const QSizeF& size) const
{
    if (!m_showCallouts)
        return {};
    double total = 0;
    for (const PieSlice& s : m_slices)
        total += std::max(0.0, s.value);
    QList<CalloutSlice> marks;
    qreal start = 0;
    for (const PieSlice& s : m_slices) {
        const qreal span = total > 0 ? std::max(0.0, s.value) / total * 360 : 0;
        marks.append({s.label, start, span});
        start += span;
    }
    const QRectF pie = pieRect(size);
    return layoutCallouts(marks, pie.center(), pie.width() / 2, size.height() - 2);
}

void PieChart::paintChart(QPainter& painter, const QSizeF& size) const
{
    painter.save();
    const QRectF whole(QPointF(0, 0), size);
    if (m_backgroundInset > 0)
        painter.fillRect(whole, palette().window());
    const qreal inset = m_backgroundInset;
    painter.fillRect(whole.adjusted(inset, inset, -inset, -inset), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    if (!m_title.isEmpty()) {
        const QRectF inside = whole.marginsRemoved(m_margins.toMarginsF());
        const QFontMetricsF metrics(titleFont());
        painter.setFont(titleFont());
        painter.setPen(titleColour());
        const QRectF line(inside.left(), inside.top() + kTitleGap, inside.width(), metrics.height());
        painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                         metrics.elidedText(m_title, Qt::ElideRight, line.width()));
    }

    double total = 0;
    for (const PieSlice& s : m_slices)
        total += std::max(0.0, s.value);
    const QRectF pie = pieRect(size);
    if (total > 0 && !pie.isEmpty()) {
        painter.setPen(m_border);
        // QPainterPath counts degrees counter-clockwise from three o'clock.
        qreal start = 0;
        for (const PieSlice& s : m_slices) {
            const qreal span = std::max(0.0, s.value) / total * 360;
            if (span > 0) {
                QPainterPath slice;
                if (span >= 360) {
                    slice.addEllipse(pie);
                } else {
                    slice.moveTo(pie.center());
                    slice.arcTo(pie, 90 - start, -span);
                    slice.closeSubpath();
                }
                painter.setBrush(s.colour);
                painter.drawPath(slice);
            }
            start += span;
        }
    }

    for (const Callout& c : callouts(size))
        c.paint(painter);
    painter.restore();
}

void PieChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintChart(painter, QSizeF(size()));
}

}  // namespace ui
