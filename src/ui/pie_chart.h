#pragma once

#include "ui/pie_callouts.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QMargins>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace ui {

struct PieSlice {
    QString label;
    double value = 0;
    QColor colour;
};

// A flat pie under a title: the slices in order, clockwise from twelve o'clock, each in its colour with a
// thin border. Optionally each slice carries a callout mark with its label beside the pie. Drawn with QPainter
// alone, so it paints the same on screen, into a picture and on a printer (every font has a pixel size).
class PieChart : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    static QColor titleColour() { return QColor(0xBF, 0x00, 0x00); }
    // Tahoma 8 pt bold by default, in pixels so it prints at its screen size.
    QFont titleFont() const { return m_titleFont; }
    void setTitleFont(const QFont& font);

    explicit PieChart(QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    const QList<PieSlice>& slices() const { return m_slices; }
    void clearSlices();
    void appendSlice(const PieSlice& slice);

    // The pie's diameter as a share of the plot area's smaller side.
    qreal pieSize() const { return m_pieSize; }
    void setPieSize(qreal size);
    // Room left free around the title and the pie along the widget's edges.
    QMargins margins() const { return m_margins; }
    void setMargins(const QMargins& margins);
    // The chart's white ground leaves this much of the window's colour along the widget's edges.
    int backgroundInset() const { return m_backgroundInset; }
    void setBackgroundInset(int inset);
    QPen sliceBorder() const { return m_border; }
    void setSliceBorder(const QPen& pen);
    bool showsCallouts() const { return m_showCallouts; }
    void setShowsCallouts(bool show);

    // Geometry for a chart of `size` (the widget's own by default): below the title, inside the margins.
    QRectF plotArea(const QSizeF& size) const;
    QRectF plotArea() const { return plotArea(QSizeF(size())); }
    QRectF pieRect(const QSizeF& size) const;
    QRectF pieRect() const { return pieRect(QSizeF(size())); }
    // The callout marks as they are drawn now (none unless shown).
    QList<Callout> callouts() const { return callouts(QSizeF(size())); }

    // Paints the whole chart, background included, as it would look at `size`, into `painter`'s current
    // coordinates (scale the painter to print it larger).
    void paintChart(QPainter& painter, const QSizeF& size) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<Callout> callouts(const QSizeF& size) const;

    QString m_title;
    QFont m_titleFont;
    QList<PieSlice> m_slices;
    qreal m_pieSize = 0.7;
    QMargins m_margins;
    int m_backgroundInset = 0;
    QPen m_border;
    bool m_showCallouts = false;
};

}  // namespace ui
