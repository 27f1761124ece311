#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace ui {

// The band across the top of every secondary window: white, a stepped blue-to-white gradient under the
// window's title on the left and the logo on the right.
class HeaderBand : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(int gradientWidth READ gradientWidth WRITE setGradientWidth)
    Q_PROPERTY(QPoint titlePosition READ titlePosition WRITE setTitlePosition)

public:
    static constexpr int BandHeight = 57;
    static constexpr int GradientSteps = 120;
    static constexpr int DefaultGradientWidth = 355;

    explicit HeaderBand(QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

    // Width of the gradient part; the rest of the band is white.
    int gradientWidth() const { return m_gradientWidth; }
    void setGradientWidth(int width);

    // Top-left corner of the title text.
    QPoint titlePosition() const { return m_titlePosition; }
    void setTitlePosition(const QPoint& position);

    // Where the logo is drawn: flush with the right edge, centred in height.
    QRect logoRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Colour of gradient step 0..GradientSteps-1, from #0000FF to #FFFFFF.
    static QColor stepColor(int step);
    // The columns of step `step` inside a gradient `width` pixels wide and `height` high.
    static QRect stepRect(int step, int width, int height);
    // The title font: Tahoma 24 px bold (the system substitutes a similar face where Tahoma is missing).
    static QFont titleFont();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    int m_gradientWidth = DefaultGradientWidth;
    QPoint m_titlePosition{6, 13};
};

}  // namespace ui
