#include "classify/pie_callouts.h"

#include <QChart>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QtMath>

#include <algorithm>

namespace classify {

QFont CalloutMark::markFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

CalloutMark::CalloutMark(QGraphicsItem* parent) : QGraphicsItem(parent)
{
    setZValue(10);
}

void CalloutMark::setGeometry(const QPointF& rim, const QPointF& elbow, const QRectF& box)
{
    prepareGeometryChange();
    m_rim = rim;
    m_elbow = elbow;
    m_box = box;
}

void CalloutMark::setText(const QString& text)
{
    m_text = text;
    update();
}

QRectF CalloutMark::boundingRect() const
{
    const qreal m = ArmWidth + 1;
    QRectF arm = QRectF(m_rim, m_elbow).normalized();
    arm = arm.united(QRectF(m_elbow, QPointF(m_box.center().x(), m_box.center().y())).normalized());
    return arm.united(m_box).adjusted(-m, -m, m, m);
}

void CalloutMark::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPen arm(armColor(), ArmWidth, Qt::DashLine);
    arm.setCapStyle(Qt::FlatCap);
    painter->setPen(arm);
    const QPointF boxSide(m_elbow.x() < m_box.left() ? m_box.left() : m_box.right(), m_box.center().y());
    painter->drawPolyline(QList<QPointF>{m_rim, m_elbow, boxSide});

    QLinearGradient fill(m_box.topLeft(), m_box.bottomLeft());
    fill.setColorAt(0, boxTop());
    fill.setColorAt(1, boxBottom());
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(Qt::black, 1));
    painter->setBrush(fill);
    painter->drawRect(m_box);
    painter->setFont(markFont());
    painter->drawText(m_box, Qt::AlignCenter | Qt::TextSingleLine, m_text);
    painter->restore();
}

PieCallouts::PieCallouts(QChart* chart, QPieSeries* series, QObject* parent)
    : QObject(parent), m_chart(chart), m_series(series)
{
    connect(m_chart, &QChart::plotAreaChanged, this, &PieCallouts::layout);
}

PieCallouts::~PieCallouts()
{
    // The chart may be gone already when the window closes down; the marks went with its scene then.
    m_marks.clear();
}

void PieCallouts::update()
{
    const QList<QPieSlice*> slices = m_series->slices();
    while (m_marks.size() > slices.size())
        delete m_marks.takeLast();
    while (m_marks.size() < slices.size())
        m_marks.append(new CalloutMark(m_chart));
    for (qsizetype i = 0; i < slices.size(); ++i)
        m_marks[i]->setText(slices[i]->label());
    layout();
}

void PieCallouts::layout()
{
    const QList<QPieSlice*> slices = m_series->slices();
    if (slices.size() != m_marks.size())
        return;
    // The pie's geometry as Qt Charts lays it out: centred in the plot area at the series' position, its
    // radius the smaller half side times the pie size. Angles run clockwise from twelve o'clock.
    const QRectF plot = m_chart->plotArea();
    const QPointF centre(plot.left() + plot.width() * m_series->horizontalPosition(),
                         plot.top() + plot.height() * m_series->verticalPosition());
    const qreal radius = std::min(plot.width(), plot.height()) / 2 * m_series->pieSize();
    const QFontMetricsF metrics(CalloutMark::markFont());

    struct Placed {
        CalloutMark* mark;
        QPointF rim;
        QPointF elbow;
        QRectF box;
        bool right;
    };
    QList<Placed> placed;
    for (qsizetype i = 0; i < slices.size(); ++i) {
        const qreal angle = qDegreesToRadians(slices[i]->startAngle() + slices[i]->angleSpan() / 2);
        const QPointF dir(qSin(angle), -qCos(angle));
        const QPointF rim = centre + dir * radius;
        const QPointF elbow = centre + dir * (radius + ArmLength);
        const bool right = dir.x() >= 0;
        const QSizeF size(std::max<qreal>(metrics.horizontalAdvance(m_marks[i]->text()) + 8, 12),
                          metrics.height() + 4);
        const qreal left = right ? elbow.x() + ArmRun : elbow.x() - ArmRun - size.width();
        placed.append({m_marks[i], rim, elbow, QRectF(QPointF(left, elbow.y() - size.height() / 2), size), right});
    }

    // Spread each side's boxes top to bottom so none covers another.
    for (const bool side : {true, false}) {
        QList<Placed*> column;
        for (Placed& p : placed)
            if (p.right == side)
                column.append(&p);
        std::sort(column.begin(), column.end(),
                  [](const Placed* a, const Placed* b) { return a->box.top() < b->box.top(); });
        for (qsizetype k = 1; k < column.size(); ++k) {
            const qreal floor = column[k - 1]->box.bottom() + 1;
            if (column[k]->box.top() < floor)
                column[k]->box.moveTop(floor);
        }
        // Pushed past the chart's foot: move the stack up from the bottom as far as it needs.
        const qreal foot = m_chart->rect().bottom() - 2;
        for (qsizetype k = column.size() - 1; k >= 0; --k) {
            const qreal ceiling = k + 1 < column.size() ? column[k + 1]->box.top() - 1 : foot;
            if (column[k]->box.bottom() > ceiling)
                column[k]->box.moveBottom(ceiling);
        }
    }
    for (Placed& p : placed) {
        const QPointF elbow(p.elbow.x(), p.box.center().y());
        p.mark->setGeometry(p.rim, elbow, p.box);
    }
}

}  // namespace classify
