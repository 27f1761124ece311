#include "app/up_down.h"

#include <QLineEdit>
#include <QToolButton>

UpDown::UpDown(QWidget* parent) : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(6, 6));
    }
    connect(m_up, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(m_down, &QToolButton::clicked, this, &UpDown::stepDown);
}

void UpDown::setBuddy(QLineEdit* edit)
{
    m_buddy = edit;
    if (m_buddy) {
        bool ok = false;
        const int typed = m_buddy->text().toInt(&ok);
        if (ok)
            m_position = qBound(m_min, typed, m_max);
    }
}

void UpDown::setRange(int minimum, int maximum)
{
    m_min = minimum;
    m_max = qMax(minimum, maximum);
    m_position = qBound(m_min, m_position, m_max);
}

void UpDown::setPosition(int position)
{
    m_position = qBound(m_min, position, m_max);
    if (m_buddy)
        m_buddy->setText(QString::number(m_position));
}

void UpDown::step(int delta)
{
    // Step from what the edit holds now, as far as it is a number.
    if (m_buddy) {
        bool ok = false;
        const int typed = m_buddy->text().trimmed().toInt(&ok);
        if (ok)
            m_position = typed;
    }
    setPosition(m_position + delta);
}

void UpDown::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}
