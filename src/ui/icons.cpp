#include "ui/icons.h"

#include <QCoreApplication>
#include <QHash>
#include <QLinearGradient>
#include <QObject>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace ui {

namespace {

// Coordinates are in pixels of the 16 x 16 picture; ".5" puts a 1-pixel line on a pixel row.
void drawPerson(QPainter& p)
{
    // Shoulders and body in a blue shirt.
    QPainterPath body;
    body.moveTo(2.5, 15.5);
    body.cubicTo(2.5, 10.5, 5, 9, 8, 9);
    body.cubicTo(11, 9, 13.5, 10.5, 13.5, 15.5);
    body.closeSubpath();
    QLinearGradient shirt(0, 9, 0, 15.5);
    shirt.setColorAt(0, QColor(0x5C, 0x8F, 0xE6));
    shirt.setColorAt(1, QColor(0x1F, 0x4E, 0xB0));
    p.setPen(QPen(QColor(0x17, 0x36, 0x7A), 1));
    p.setBrush(shirt);
    p.drawPath(body);

    // Head.
    QLinearGradient skin(0, 1.5, 0, 8.5);
    skin.setColorAt(0, QColor(0xFF, 0xE2, 0xBF));
    skin.setColorAt(1, QColor(0xF0, 0xB8, 0x82));
    p.setPen(QPen(QColor(0x9A, 0x62, 0x34), 1));
    p.setBrush(skin);
    p.drawEllipse(QRectF(4.5, 1.5, 7, 7.5));

    // Hair.
    QPainterPath hair;
    hair.moveTo(4.6, 4.6);
    hair.cubicTo(4.8, 1.2, 11.2, 1.2, 11.4, 4.6);
    hair.cubicTo(9.5, 3.4, 6.5, 3.4, 4.6, 4.6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5A, 0x36, 0x1C));
    p.drawPath(hair);
}

void drawOpenFolder(QPainter& p)
{
    const QColor outline(0x8C, 0x62, 0x0C);
    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.lineTo(5.5, 3.5);
    back.lineTo(6.5, 4.5);
    back.lineTo(12.5, 4.5);
    back.lineTo(12.5, 13.5);
    back.closeSubpath();
    p.setPen(QPen(outline, 1));
    p.setBrush(QColor(0xE0, 0xB0, 0x3C));
    p.drawPath(back);

    // A sheet sticking out.
    p.setPen(QPen(QColor(0x9A, 0x9A, 0x9A), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 5.5, 8, 5));

    // The front flap, tilted open.
    QPainterPath front;
    front.moveTo(1.5, 13.5);
    front.lineTo(4.0, 7.5);
    front.lineTo(15.0, 7.5);
    front.lineTo(12.5, 13.5);
    front.closeSubpath();
    QLinearGradient flap(0, 7.5, 0, 13.5);
    flap.setColorAt(0, QColor(0xFF, 0xE4, 0x8A));
    flap.setColorAt(1, QColor(0xF2, 0xBE, 0x45));
    p.setPen(QPen(outline, 1));
    p.setBrush(flap);
    p.drawPath(front);
}

void drawFilingCabinet(QPainter& p)
{
    QLinearGradient metal(2, 0, 14, 0);
    metal.setColorAt(0, QColor(0xD8, 0xDC, 0xE2));
    metal.setColorAt(1, QColor(0x9E, 0xA6, 0xB2));
    p.setPen(QPen(QColor(0x4A, 0x52, 0x5E), 1));
    p.setBrush(metal);
    p.drawRect(QRectF(2.5, 0.5, 11, 15));

    // Three drawers, each with a label slot and a handle.
    for (int drawer = 0; drawer < 3; ++drawer) {
        const qreal top = 1.5 + drawer * 4.67;
        p.setPen(QPen(QColor(0x5E, 0x66, 0x72), 1));
        p.setBrush(QColor(0xC4, 0xCA, 0xD2));
        p.drawRect(QRectF(3.5, top + 0.5, 9, 3.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, top + 1.2, 4, 1.2));
        p.setBrush(QColor(0x33, 0x33, 0x33));
        p.drawRect(QRectF(6.5, top + 2.6, 3, 1));
    }
}

void drawXSubscript2(QPainter& p)
{
    // The letter x, slightly slanted like a formula variable.
    p.setPen(QPen(QColor(0x10, 0x20, 0x70), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2.5, 2.5), QPointF(8.5, 10.5));
    p.drawLine(QPointF(9.0, 2.5), QPointF(2.0, 10.5));

    // A small red "2" at the lower right.
    QPainterPath two;
    two.moveTo(10.0, 10.2);
    two.cubicTo(10.0, 8.2, 14.6, 8.2, 14.4, 10.4);
    two.cubicTo(14.2, 12.0, 10.6, 13.2, 10.0, 15.0);
    two.lineTo(14.8, 15.0);
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(two);
}

void drawFloppyDisk(QPainter& p)
{
    QPainterPath shell;
    shell.moveTo(1.5, 1.5);
    shell.lineTo(13.0, 1.5);
    shell.lineTo(14.5, 3.0);
    shell.lineTo(14.5, 14.5);
    shell.lineTo(1.5, 14.5);
    shell.closeSubpath();
    p.setPen(QPen(QColor(0x10, 0x1C, 0x4C), 1));
    p.setBrush(QColor(0x2C, 0x44, 0xA8));
    p.drawPath(shell);

    // Metal shutter with its window.
    p.setPen(QPen(QColor(0x70, 0x78, 0x84), 1));
    p.setBrush(QColor(0xD4, 0xD8, 0xDE));
    p.drawRect(QRectF(4.5, 1.5, 7, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2C, 0x44, 0xA8));
    p.drawRect(QRectF(8.5, 2.5, 2, 2.5));

    // Label.
    p.setPen(QPen(QColor(0x9A, 0xA0, 0xAA), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 8.5, 9, 6));
    p.setPen(QPen(QColor(0x8A, 0xA8, 0xE0), 1));
    p.drawLine(QPointF(4.5, 10.5), QPointF(11.5, 10.5));
    p.drawLine(QPointF(4.5, 12.5), QPointF(11.5, 12.5));
}

void drawPageWithArrow(QPainter& p)
{
    QPainterPath page;
    page.moveTo(1.5, 0.5);
    page.lineTo(8.5, 0.5);
    page.lineTo(11.5, 3.5);
    page.lineTo(11.5, 15.5);
    page.lineTo(1.5, 15.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x70, 0x78, 0x84), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    // Folded corner.
    QPainterPath fold;
    fold.moveTo(8.5, 0.5);
    fold.lineTo(8.5, 3.5);
    fold.lineTo(11.5, 3.5);
    p.setBrush(QColor(0xDD, 0xE1, 0xE6));
    p.drawPath(fold);
    // Text lines.
    p.setPen(QPen(QColor(0xA8, 0xB4, 0xC8), 1));
    for (qreal y : {5.5, 7.5, 9.5})
        p.drawLine(QPointF(3.5, y), QPointF(9.5, y));

    // A green arrow leaving the page to the right.
    QPainterPath arrow;
    arrow.moveTo(5.5, 10.5);
    arrow.lineTo(10.0, 10.5);
    arrow.lineTo(10.0, 8.5);
    arrow.lineTo(15.5, 12.0);
    arrow.lineTo(10.0, 15.5);
    arrow.lineTo(10.0, 13.5);
    arrow.lineTo(5.5, 13.5);
    arrow.closeSubpath();
    QLinearGradient green(0, 8, 0, 15);
    green.setColorAt(0, QColor(0x7C, 0xD8, 0x52));
    green.setColorAt(1, QColor(0x2C, 0x96, 0x1C));
    p.setPen(QPen(QColor(0x1E, 0x5E, 0x14), 1));
    p.setBrush(green);
    p.drawPath(arrow);
}

void drawWindow(QPainter& p)
{
    p.setPen(QPen(QColor(0x1C, 0x2C, 0x5C), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 1.5, 15, 13));
    QLinearGradient title(0, 0, 16, 0);
    title.setColorAt(0, QColor(0x0A, 0x24, 0x8C));
    title.setColorAt(1, QColor(0x5A, 0x8C, 0xE8));
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRect(QRectF(1, 2, 14, 3));
    // Close box on the title bar.
    p.setBrush(QColor(0xE0, 0x40, 0x30));
    p.drawRect(QRectF(12, 2.5, 2, 2));
    // Content lines.
    p.setPen(QPen(QColor(0xB4, 0xBE, 0xCC), 1));
    for (qreal y : {7.5, 9.5, 11.5})
        p.drawLine(QPointF(2.5, y), QPointF(12.5, y));
}

void drawPrinter(QPainter& p)
{
    // Paper going in at the back.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 0.5, 7, 6));
    // Body.
    QLinearGradient body(0, 5, 0, 12);
    body.setColorAt(0, QColor(0xE4, 0xE6, 0xEA));
    body.setColorAt(1, QColor(0x9A, 0xA0, 0xA8));
    p.setPen(QPen(QColor(0x3C, 0x40, 0x48), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(0.5, 5.5, 15, 6.5), 1.5, 1.5);
    // Status light.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xC0, 0x30));
    p.drawRect(QRectF(12, 7, 2, 1.5));
    // Printed sheet coming out at the front.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 9.5, 9, 6));
    p.setPen(QPen(QColor(0x5A, 0x7A, 0xC8), 1));
    p.drawLine(QPointF(5, 11.5), QPointF(11, 11.5));
    p.drawLine(QPointF(5, 13.5), QPointF(9, 13.5));
}

void drawBrush(QPainter& p)
{
    // Wooden handle running to the upper right.
    p.setPen(QPen(QColor(0x6A, 0x3C, 0x14), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.0, 2.0), QPointF(8.5, 7.5));
    p.setPen(QPen(QColor(0xC8, 0x84, 0x40), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13.6, 2.0), QPointF(8.6, 7.0));
    // Metal ferrule.
    p.setPen(QPen(QColor(0x70, 0x74, 0x7C), 3.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(8.6, 7.4), QPointF(6.6, 9.4));
    // Bristles with paint.
    QPainterPath tip;
    tip.moveTo(5.2, 8.2);
    tip.lineTo(7.8, 10.8);
    tip.cubicTo(6.8, 13.6, 3.6, 15.2, 0.8, 15.2);
    tip.cubicTo(1.4, 12.6, 2.6, 9.2, 5.2, 8.2);
    p.setPen(QPen(QColor(0x7A, 0x10, 0x10), 1));
    p.setBrush(QColor(0xE0, 0x2A, 0x2A));
    p.drawPath(tip);
}

void drawGear(QPainter& p)
{
    const QPointF centre(8, 8);
    const int teeth = 8;
    QPainterPath gear;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: two points on the outer radius, two on the inner.
        const qreal angle = (i - 0.5) * 360.0 / (teeth * 4) * M_PI / 180.0;
        const qreal radius = (i % 4 < 2) ? 7.4 : 5.4;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (i == 0)
            gear.moveTo(point);
        else
            gear.lineTo(point);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 2.3, 2.3);
    gear.setFillRule(Qt::OddEvenFill);

    QLinearGradient steel(0, 0, 16, 16);
    steel.setColorAt(0, QColor(0xD6, 0xDA, 0xE0));
    steel.setColorAt(1, QColor(0x70, 0x78, 0x84));
    p.setPen(QPen(QColor(0x34, 0x3A, 0x44), 1));
    p.setBrush(steel);
    p.drawPath(gear);
}

void drawRedCross(QPainter& p)
{
    const QPointF a(3.5, 3.5), b(12.5, 12.5), c(12.5, 3.5), d(3.5, 12.5);
    p.setPen(QPen(QColor(0x80, 0x00, 0x00), 4.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.drawLine(c, d);
    p.setPen(QPen(QColor(0xE8, 0x1C, 0x1C), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a, b);
    p.drawLine(c, d);
}

QImage render(IconId id)
{
    QImage image(ImageList1::Width, ImageList1::Height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (id) {
    case IconId::Person: drawPerson(p); break;
    case IconId::OpenFolder: drawOpenFolder(p); break;
    case IconId::FilingCabinet: drawFilingCabinet(p); break;
    case IconId::XSubscript2: drawXSubscript2(p); break;
    case IconId::FloppyDisk: drawFloppyDisk(p); break;
    case IconId::PageWithArrow: drawPageWithArrow(p); break;
    case IconId::Window: drawWindow(p); break;
    case IconId::Printer: drawPrinter(p); break;
    case IconId::Brush: drawBrush(p); break;
    case IconId::Gear: drawGear(p); break;
    case IconId::RedCross: drawRedCross(p); break;
    }
    p.end();
    return image;
}

// QIcons are kept per application object and dropped with it: a pixmap must not outlive the GUI.
class IconCache : public QObject {
public:
    using QObject::QObject;
    QHash<int, QIcon> icons;
};

IconCache* iconCache()
{
    static QPointer<IconCache> cache;
    if (!cache && QCoreApplication::instance())
        cache = new IconCache(QCoreApplication::instance());
    return cache;
}

}  // namespace

QImage iconImage(IconId id)
{
    static const auto images = [] {
        std::array<QImage, allIconIds.size()> all;
        for (IconId each : allIconIds)
            all[size_t(each)] = render(each);
        return all;
    }();
    return images[size_t(id)];
}

QPixmap iconPixmap(IconId id)
{
    return QPixmap::fromImage(iconImage(id));
}

QIcon icon(IconId id)
{
    IconCache* cache = iconCache();
    if (!cache)
        return QIcon(iconPixmap(id));
    auto found = cache->icons.find(int(id));
    if (found == cache->icons.end())
        found = cache->icons.insert(int(id), QIcon(iconPixmap(id)));
    return *found;
}

std::optional<IconId> ImageList1::idAt(int index)
{
    switch (index) {
    case FilingCabinet: return IconId::FilingCabinet;
    case Person: return IconId::Person;
    case PageWithArrow: return IconId::PageWithArrow;
    case OpenFolder: return IconId::OpenFolder;
    case Window: return IconId::Window;
    case XSubscript2: return IconId::XSubscript2;
    case Brush: return IconId::Brush;
    case Printer: return IconId::Printer;
    case Gear: return IconId::Gear;
    case FloppyDisk: return IconId::FloppyDisk;
    case RedCross: return IconId::RedCross;
    default: return std::nullopt;
    }
}

int ImageList1::indexOf(IconId id)
{
    switch (id) {
    case IconId::FilingCabinet: return FilingCabinet;
    case IconId::Person: return Person;
    case IconId::PageWithArrow: return PageWithArrow;
    case IconId::OpenFolder: return OpenFolder;
    case IconId::Window: return Window;
    case IconId::XSubscript2: return XSubscript2;
    case IconId::Brush: return Brush;
    case IconId::Printer: return Printer;
    case IconId::Gear: return Gear;
    case IconId::FloppyDisk: return FloppyDisk;
    case IconId::RedCross: return RedCross;
    }
    return -1;
}

QImage ImageList1::image(int index)
{
    const auto id = idAt(index);
    return id ? iconImage(*id) : QImage();
}

QPixmap ImageList1::pixmap(int index)
{
    const auto id = idAt(index);
    return id ? iconPixmap(*id) : QPixmap();
}

QIcon ImageList1::icon(int index)
{
    const auto id = idAt(index);
    return id ? ui::icon(*id) : QIcon();
}

}  // namespace ui
