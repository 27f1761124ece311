#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

class QChart;
class QPieSeries;

namespace classify {

// One slice's mark: a dashed blue arm from the slice's rim to a box holding the slice's label, the box
// filled with a blue gradient. Qt Charts' own slice labels cannot be styled like this, so the marks are
// drawn as items of their own over the chart.
class CalloutMark : public QGraphicsItem {
public:
    static QColor armColor() { return QColor(0x00, 0x00, 0xFF); }
    static constexpr int ArmWidth = 2;
    static QColor boxTop() { return QColor(0x5A, 0x76, 0xF5); }
    static QColor boxBottom() { return QColor(0xED, 0xEE, 0xFE); }
    // Pixel size, so the marks print at the size they have on screen.
    static QFont markFont();

    explicit CalloutMark(QGraphicsItem* parent = nullptr);

    // All in the parent's coordinates.
    void setGeometry(const QPointF& rim, const QPointF& elbow, const QRectF& box);
    void setText(const QString& text);
    QString text() const { return m_text; }
    QRectF box() const { return m_box; }
    QPointF rim() const { return m_rim; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QString m_text;
    QPointF m_rim;
    QPointF m_elbow;
    QRectF m_box;
};

// Keeps one CalloutMark per slice of a pie series in place: after slices change and whenever the chart's
// plot area moves. Marks on either side of the pie are spread vertically so their boxes do not overlap.
class PieCallouts : public QObject {
    Q_OBJECT
public:
    PieCallouts(QChart* chart, QPieSeries* series, QObject* parent = nullptr);
    ~PieCallouts() override;

    // Rebuilds the marks from the series' slices.
    void update();
    const QList<CalloutMark*>& marks() const { return m_marks; }

    static constexpr qreal ArmLength = 16;   // from the rim to the elbow, pixels
    static constexpr qreal ArmRun = 8;       // the level part from the elbow to the box

private:
    void layout();

    QChart* m_chart;
    QPieSeries* m_series;
    QList<CalloutMark*> m_marks;
};

}  // namespace classify
