#include "ui/header_band.h"

#include "ui/logo.h"

#include <QPainter>

namespace ui {

HeaderBand::HeaderBand(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(BandHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HeaderBand::setTitle(const QString& title)
{
    m_title = title;
    update();
}

void HeaderBand::setGradientWidth(int width)
{
    m_gradientWidth = qMax(0, width);
    update();
}

void HeaderBand::setTitlePosition(const QPoint& position)
{
    m_titlePosition = position;
    update();
}

QRect HeaderBand::logoRect() const
{
    const QSize size = logoSize();
    return QRect(width() - size.width(), (height() - size.height()) / 2, size.width(), size.height());
}

QSize HeaderBand::sizeHint() const
{
    return QSize(m_gradientWidth + logoSize().width(), BandHeight);
}

QSize HeaderBand::minimumSizeHint() const
{
    return QSize(0, BandHeight);
}

QColor HeaderBand::stepColor(int step)
{
    step = qBound(0, step, GradientSteps - 1);
    // Red and green rise from 0 to 255 while blue stays full, so step 0 is pure blue and the last pure white.
    const int level = (255 * step + (GradientSteps - 1) / 2) / (GradientSteps - 1);
    return QColor(level, level, 255);
}

QRect HeaderBand::stepRect(int step, int width, int height)
{
    const int left = width * step / GradientSteps;
    const int right = width * (step + 1) / GradientSteps;
    return QRect(left, 0, right - left, height);
}

QFont HeaderBand::titleFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(24);
    font.setBold(true);
    return font;
}

void HeaderBand::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);

    const int gradient = qMin(m_gradientWidth, width());
    for (int step = 0; step < GradientSteps; ++step) {
        const QRect band = stepRect(step, gradient, height());
        if (!band.isEmpty())
            painter.fillRect(band, stepColor(step));
    }

    painter.drawImage(logoRect().topLeft(), logoImage());

    if (!m_title.isEmpty()) {
        painter.setFont(titleFont());
        painter.setPen(Qt::white);
        const QRect textArea(m_titlePosition, QPoint(width() - 1, height() - 1));
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_title);
    }
}

}  // namespace ui
