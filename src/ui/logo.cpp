#include "ui/logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace ui {

namespace {

QImage renderLogo()
{
    const QSize size = logoSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A blue disc, lit from the upper left ...
    const QRectF disc(9.5, 6.5, 44, 44);
    QRadialGradient shade(disc.center() - QPointF(9, 10), 40);
    shade.setColorAt(0, QColor(0x5A, 0x9B, 0xFF));
    shade.setColorAt(1, QColor(0x0A, 0x2F, 0xB4));
    p.setPen(QPen(QColor(0x06, 0x1E, 0x78), 1.2));
    p.setBrush(shade);
    p.drawEllipse(disc);

    // ... carrying a white "A" made of two strokes ...
    QPainterPath letter;
    letter.moveTo(20.5, 42);
    letter.lineTo(31.5, 15);
    letter.lineTo(42.5, 42);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 5.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(letter);

    // ... crossed by an amber arc that stands for a stored message stream.
    QPainterPath arc;
    arc.moveTo(12, 35);
    arc.cubicTo(22, 27, 40, 26, 55, 31);
    p.setPen(QPen(QColor(0xFF, 0xA6, 0x1A), 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(arc);

    // A soft highlight on the upper rim gives the disc some depth.
    QLinearGradient gloss(0, disc.top(), 0, disc.center().y());
    gloss.setColorAt(0, QColor(255, 255, 255, 110));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawEllipse(QRectF(disc.left() + 6, disc.top() + 2, disc.width() - 12, disc.height() / 2 - 2));
    p.end();
    return image;
}

}  // namespace

QSize logoSize()
{
    return QSize(62, 60);
}

QImage logoImage()
{
    static const QImage logo = renderLogo();
    return logo;
}

}  // namespace ui
