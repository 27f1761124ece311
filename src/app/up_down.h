#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of arrow buttons that steps the whole number in a buddy edit within a range. The edit stays
// free text: what the user types is kept as typed.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    void setBuddy(QLineEdit* edit);
    void setRange(int minimum, int maximum);
    void setPosition(int position);
    int position() const { return m_position; }
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(int delta);

    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
};
