#include "settings/color_square.h"

#include <QMouseEvent>
#include <QPainter>

namespace settings {

ColorSquare::ColorSquare(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColorSquare::setValue(ColorValue value)
{
    m_value = value;
    update();
}

void ColorSquare::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), color());
    // A raised edge like a panel's: light on the top and left, dark on the bottom and right.
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

void ColorSquare::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    QWidget::mousePressEvent(event);
}

void ColorSquare::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

}  // namespace settings
