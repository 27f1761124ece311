#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace ui {

// The status strip along the bottom of a secondary window: an 18-pixel progress bar with a black border and
// blue gradients, carrying the window's status text in bold white.
class StatusStrip : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(int textIndent READ textIndent WRITE setTextIndent)

public:
    static constexpr int StripHeight = 18;

    explicit StatusStrip(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int value() const { return m_value; }
    void setMinimum(int minimum) { setRange(minimum, qMax(minimum, m_maximum)); }
    void setMaximum(int maximum) { setRange(qMin(m_minimum, maximum), maximum); }
    // A maximum below the minimum is raised to it; the value is kept inside the range.
    void setRange(int minimum, int maximum);
    void setValue(int value);

    // Left edge of the status text.
    int textIndent() const { return m_textIndent; }
    void setTextIndent(int indent);

    // The part of the bar inside the border that shows progress (empty at the minimum or for an empty range).
    QRect filledRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static QColor borderColor();
    static QColor backgroundTop();
    static QColor backgroundBottom();
    static QColor fillTop();
    static QColor fillBottom();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    int m_textIndent = 5;
};

}  // namespace ui
