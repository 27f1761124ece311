#include "ui/status_strip.h"

#include <QLinearGradient>
#include <QPainter>

namespace ui {

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(StripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusStrip::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void StatusStrip::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = qMax(minimum, maximum);
    m_value = qBound(m_minimum, m_value, m_maximum);
    update();
}

void StatusStrip::setValue(int value)
{
    value = qBound(m_minimum, value, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void StatusStrip::setTextIndent(int indent)
{
    m_textIndent = indent;
    update();
}

QRect StatusStrip::filledRect() const
{
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    const qint64 span = qint64(m_maximum) - m_minimum;
    if (span <= 0 || inner.isEmpty())
        return {};
    const qint64 done = qint64(m_value) - m_minimum;
    const int filled = int(qint64(inner.width()) * done / span);
    return QRect(inner.left(), inner.top(), filled, inner.height());
}

QSize StatusStrip::sizeHint() const
{
    return QSize(200, StripHeight);
}

QSize StatusStrip::minimumSizeHint() const
{
    return QSize(0, StripHeight);
}

QColor StatusStrip::borderColor() { return QColor(0x00, 0x00, 0x00); }
QColor StatusStrip::backgroundTop() { return QColor(0x00, 0x69, 0xD2); }
QColor StatusStrip::backgroundBottom() { return QColor(0x00, 0x54, 0xA8); }
QColor StatusStrip::fillTop() { return QColor(0x97, 0xCB, 0xFF); }
QColor StatusStrip::fillBottom() { return QColor(0x00, 0x76, 0xEC); }

void StatusStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);

    painter.fillRect(rect(), borderColor());
    if (!inner.isEmpty()) {
        QLinearGradient background(0, inner.top(), 0, inner.bottom());
        background.setColorAt(0, backgroundTop());
        background.setColorAt(1, backgroundBottom());
        painter.fillRect(inner, background);

        const QRect filled = filledRect();
        if (!filled.isEmpty()) {
            QLinearGradient fill(0, filled.top(), 0, filled.bottom());
            fill.setColorAt(0, fillTop());
            fill.setColorAt(1, fillBottom());
            painter.fillRect(filled, fill);
        }
    }

    if (!m_text.isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(Qt::white);
        const QRect textArea = rect().adjusted(m_textIndent, 0, -1, 0);
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
    }
}

}  // namespace ui
