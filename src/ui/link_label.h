#pragma once

#include <QColor>
#include <QLabel>

namespace ui {

// A label that behaves like a link: hand cursor, its hover colour while the mouse is over it, its normal
// colour otherwise, and clicked() for a left click released over it.
class LinkLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QColor normalColor READ normalColor WRITE setNormalColor)
    Q_PROPERTY(QColor hoverColor READ hoverColor WRITE setHoverColor)

public:
    explicit LinkLabel(QWidget* parent = nullptr);
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    QColor normalColor() const { return m_normalColor; }
    void setNormalColor(const QColor& color);
    QColor hoverColor() const { return m_hoverColor; }
    void setHoverColor(const QColor& color);

    bool isHovered() const { return m_hovered; }
    // The colour the text is drawn in right now.
    QColor textColor() const;

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColor();

    QColor m_normalColor{Qt::black};
    QColor m_hoverColor{0x00, 0x00, 0xFF};
    bool m_hovered = false;
    bool m_pressed = false;
};

}  // namespace ui
