#include "ui/pie_callouts.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace ui {

QFont Callout::font()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

void Callout::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen arm(armColour(), ArmWidth, Qt::DashLine);
    arm.setCapStyle(Qt::FlatCap);
    painter.setPen(arm);
    painter.setBrush(Qt::NoBrush);
    const QPointF boxSide(elbow.x() < box.left() ? box.left() : box.right(), box.center().y());
    painter.drawPolyline(QList<QPointF>{rim, elbow, boxSide});

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, boxTop());
    fill.setColorAt(1, boxBottom());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill);
    painter.drawRect(box);
    painter.setFont(font());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

QList<Callout> layoutCallouts(const QList<CalloutSlice>& slices, const QPointF& centre, qreal radius, qreal foot)
{
    const QFontMetricsF metrics(Callout::font());
    QList<Callout> marks;
    QList<bool> onRight;
    for (const CalloutSlice& s : slices) {
        const qreal angle = qDegreesToRadians(s.startDegrees + s.spanDegrees / 2);
        const QPointF dir(qSin(angle), -qCos(angle));
        const QPointF rim = centre + dir * radius;
        const QPointF elbow = centre + dir * (radius + Callout::ArmLength);
        const bool right = dir.x() >= 0;
        const QSizeF size(std::max<qreal>(metrics.horizontalAdvance(s.text) + 8, 12), metrics.height() + 4);
        const qreal left = right ? elbow.x() + Callout::ArmRun : elbow.x() - Callout::ArmRun - size.width();
        marks.append({s.text, rim, elbow, QRectF(QPointF(left, elbow.y() - size.height() / 2), size)});
        onRight.append(right);
    }

    // Spread each side's boxes top to bottom so none covers another.
    for (const bool side : {true, false}) {
        QList<Callout*> column;
        for (qsizetype i = 0; i < marks.size(); ++i)
            if (onRight[i] == side)
                column.append(&marks[i]);
        std::stable_sort(column.begin(), column.end(),
                         [](const Callout* a, const Callout* b) { return a->box.top() < b->box.top(); });
        for (qsizetype k = 1; k < column.size(); ++k) {
            const qreal floor = column[k - 1]->box.bottom() + 1;
            if (column[k]->box.top() < floor)
                column[k]->box.moveTop(floor);
        }
        // Pushed past the foot: move the stack up from the bottom as far as it needs.
        for (qsizetype k = column.size() - 1; k >= 0; --k) {
            const qreal ceiling = k + 1 < column.size() ? column[k + 1]->box.top() - 1 : foot;
            if (column[k]->box.bottom() > ceiling)
                column[k]->box.moveBottom(ceiling);
        }
    }
    for (Callout& m : marks)
        m.elbow.setY(m.box.center().y());
    return marks;
}

}  // namespace ui
