#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps child widgets at fixed distances from the edges they are anchored to when their parent changes
// size, as the window was designed with absolute positions.
class Anchors {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };

    // Records the widget's designed geometry against its parent's current size.
    void add(QWidget* widget, int edges);
    // Places every widget for the parent's new size.
    void apply();

private:
    struct Item {
        QWidget* widget;
        int edges;
        QRect designed;
        QSize parentSize;
    };
    QList<Item> m_items;
};
