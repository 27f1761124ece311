#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

namespace ui {

// One slice's mark beside a pie: a dashed blue arm from the slice's rim out to an elbow, then level to a box
// holding the slice's label, the box filled with a blue gradient.
struct Callout {
    QString text;
    QPointF rim;
    QPointF elbow;
    QRectF box;

    static QColor armColour() { return QColor(0x00, 0x00, 0xFF); }
    static constexpr int ArmWidth = 2;
    static QColor boxTop() { return QColor(0x5A, 0x76, 0xF5); }
    static QColor boxBottom() { return QColor(0xED, 0xEE, 0xFE); }
    static constexpr qreal ArmLength = 16;  // from the rim to the elbow, pixels
    static constexpr qreal ArmRun = 8;      // the level part from the elbow to the box
    // Pixel size, so the marks print at the size they have on screen.
    static QFont font();

    void paint(QPainter& painter) const;
};

struct CalloutSlice {
    QString text;
    qreal startDegrees;  // clockwise from twelve o'clock
    qreal spanDegrees;
};

// Marks for the slices of a pie around `centre`: each arm leaves its slice's middle; the boxes on either side
// of the pie are spread top to bottom so none covers another, and kept above `foot`.
QList<Callout> layoutCallouts(const QList<CalloutSlice>& slices, const QPointF& centre, qreal radius, qreal foot);

}  // namespace ui
