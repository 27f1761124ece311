#include "app/anchors.h"

#include <QWidget>

void Anchors::add(QWidget* widget, int edges)
{
    m_items.append({widget, edges, widget->geometry(), widget->parentWidget()->size()});
}

void Anchors::apply()
{
    for (const Item& item : std::as_const(m_items)) {
        const QSize now = item.widget->parentWidget()->size();
        const int dw = now.width() - item.parentSize.width();
        const int dh = now.height() - item.parentSize.height();
        QRect r = item.designed;
        if (item.edges & Right) {
            if (item.edges & Left)
                r.setWidth(qMax(0, r.width() + dw));
            else
                r.moveLeft(r.left() + dw);
        }
        if (item.edges & Bottom) {
            if (item.edges & Top)
                r.setHeight(qMax(0, r.height() + dh));
            else
                r.moveTop(r.top() + dh);
        }
        item.widget->setGeometry(r);
    }
}
