#pragma once

#include "settings/color_text.h"

#include <QWidget>

namespace settings {

// A small square showing a stored colour, with a hand cursor; a left click released over it emits clicked().
class ColorSquare : public QWidget {
    Q_OBJECT

public:
    explicit ColorSquare(QWidget* parent = nullptr);

    ColorValue value() const { return m_value; }
    void setValue(ColorValue value);
    // The colour the square is painted in.
    QColor color() const { return paintColor(m_value); }

    QSize sizeHint() const override { return QSize(20, 20); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ColorValue m_value = 0x00FFFFFF;
    bool m_pressed = false;
};

}  // namespace settings
