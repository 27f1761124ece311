#include "ui/link_label.h"

#include <QMouseEvent>

namespace ui {

LinkLabel::LinkLabel(QWidget* parent) : LinkLabel(QString(), parent) {}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    applyColor();
}

void LinkLabel::setNormalColor(const QColor& color)
{
    m_normalColor = color;
    applyColor();
}

void LinkLabel::setHoverColor(const QColor& color)
{
    m_hoverColor = color;
    applyColor();
}

QColor LinkLabel::textColor() const
{
    return palette().color(QPalette::WindowText);
}

void LinkLabel::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    applyColor();
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event)
{
    m_hovered = false;
    applyColor();
    QLabel::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        // Like a button: releasing outside the label cancels the click.
        if (rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::changeEvent(QEvent* event)
{
    // A disabled label must not keep the hover colour it had when the mouse left it unseen.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_hovered = false;
        m_pressed = false;
        applyColor();
    }
    QLabel::changeEvent(event);
}

void LinkLabel::applyColor()
{
    QPalette pal = palette();
    const QColor color = m_hovered ? m_hoverColor : m_normalColor;
    pal.setColor(QPalette::Active, QPalette::WindowText, color);
    pal.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(pal);
}

}  // namespace ui
