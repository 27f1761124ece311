#include "app/archive_tree_view.h"

#include "app/archive_table_model.h"
#include "app/cell_text.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

const int kInitialWidths[] = {190, 160, 90, 70, 60, 80, 130, 130};
const QColor kTreeLine(0x80, 0x80, 0x80);

// Fixed row height, and the size bar under the text of the size column (by its index, wherever it stands).
class ArchiveItemDelegate : public QStyledItemDelegate {
public:
    explicit ArchiveItemDelegate(ArchiveTreeView* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(ArchiveTreeView::kRowHeight);
        return s;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const DisplayFlags& flags = m_view->displayFlags();
        const QVariant size = index.data(ArchiveTableModel::SizeRole);
        if (index.column() != ColSize || !flags.ShowBars || !size.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // Selection first, then frame and bar, then the text over them.
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
        painter->save();
        paintSizeBar(*painter, opt.rect, size.toDouble(), index.data(ArchiveTableModel::MaxSizeRole).toDouble(),
                     flags);
        painter->restore();
        QStyleOptionViewItem text(opt);
        if (text.state & QStyle::State_Selected)
            text.palette.setColor(QPalette::Text, opt.palette.color(QPalette::HighlightedText));
        text.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        text.backgroundBrush = Qt::NoBrush;
        style->drawControl(QStyle::CE_ItemViewItem, &text, painter, widget);
    }

private:
    ArchiveTreeView* m_view;
};

}  // namespace

ArchiveTreeView::ArchiveTreeView(QWidget* parent) : QTreeView(parent)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(9);
    font.setBold(true);
    setFont(font);
    QFont headerFont(QStringLiteral("MS Sans Serif"));
    headerFont.setPixelSize(11);
    header()->setFont(headerFont);
    header()->setFixedHeight(kHeaderHeight);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(kMinimumColumnWidth);
    header()->setSectionsClickable(true);

    setItemDelegate(new ArchiveItemDelegate(this));
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setRootIsDecorated(true);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);

    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::Highlight, QColor(0x15, 0xC2, 0xE1));
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x15, 0xC2, 0xE1).lighter(130));
    pal.setColor(QPalette::Active, QPalette::HighlightedText, Qt::black);
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    setPalette(pal);
}

void ArchiveTreeView::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    for (int c = 0; c < int(std::size(kInitialWidths)) && c < header()->count(); ++c)
        header()->resizeSection(c, kInitialWidths[c]);
    applyResizeRule();
}

int ArchiveTreeView::sizeColumnWidth(int tableWidth, int firstColumnWidth)
{
    return qMax(kMinimumColumnWidth, tableWidth - firstColumnWidth - 580);
}

void ArchiveTreeView::applyResizeRule()
{
    if (!model() || header()->count() < 3)
        return;
    header()->resizeSection(1, sizeColumnWidth(width(), header()->sectionSize(0)));
    header()->resizeSection(2, 90);
}

void ArchiveTreeView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    applyResizeRule();
}

void ArchiveTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            setCurrentIndex(index);
        return;
    }
    QTreeView::mousePressEvent(event);
}

bool ArchiveTreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid()) {
            const QString text = index.data(Qt::DisplayRole).toString();
            QRect cell = visualRect(index);
            if (index.column() == 0 && !index.data(Qt::DecorationRole).isNull())
                cell.adjust(iconSize().width() + 4, 0, 0, 0);
            // A cut text shows whole; a note of the model's (unreadable folders) follows it.
            QString tip;
            if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) + 6 > cell.width())
                tip = text;
            const QString note = index.data(Qt::ToolTipRole).toString();
            if (!note.isEmpty())
                tip = tip.isEmpty() ? note : tip + QLatin1Char('\n') + note;
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void ArchiveTreeView::setDisplayFlags(const DisplayFlags& flags)
{
    m_flags = flags;
    viewport()->update();
}

std::optional<QColor> ArchiveTreeView::rowColour(const QModelIndex& index)
{
    const QVariant colour = index.data(ArchiveTableModel::RowColourRole);
    if (!colour.isValid())
        return std::nullopt;
    return colour.value<QColor>();
}

void ArchiveTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Stripes by the row's place among its siblings, under everything else of the row.
    if (const std::optional<QColor> colour = rowColour(index))
        painter->fillRect(option.rect, *colour);
    QTreeView::drawRow(painter, option, index);
    // Horizontal grid line under every row.
    painter->save();
    painter->setPen(QColor(0xD4, 0xD0, 0xC8));
    painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(), option.rect.bottom());
    painter->restore();
}

void ArchiveTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    // Rows below a collapsed row are not on screen: there is nothing to repaint. QTreeView would look each
    // such group up in its list of shown rows one by one, and a new maximum size changes the bars of every
    // group, 20,000 placeholders among them.
    for (QModelIndex above = topLeft.parent(); above.isValid(); above = above.parent())
        if (!isExpanded(above))
            return;
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void ArchiveTreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    // Dotted tree lines beside the arrows (the style draws arrows only): the row's own elbow, and a line
    // through every level whose row has siblings still to come below. Drawn after the style's part, which
    // fills the selection under it, and clear of the arrow.
    QTreeView::drawBranches(painter, rect, index);
    painter->save();
    QPen pen(kTreeLine);
    pen.setStyle(Qt::DotLine);
    painter->setPen(pen);
    const int step = indentation();
    const int midY = rect.top() + rect.height() / 2;
    const auto hasNext = [this](const QModelIndex& i) { return i.row() + 1 < model()->rowCount(i.parent()); };
    const bool hasChildren = model()->hasChildren(index);
    // Room left free around an arrow.
    const int gap = hasChildren ? 5 : 0;
    int x = rect.right() + 1 - step / 2;
    const bool firstOfAll = !index.parent().isValid() && index.row() == 0;
    if (!firstOfAll)
        painter->drawLine(x, rect.top(), x, midY - gap);
    if (hasNext(index))
        painter->drawLine(x, midY + gap, x, rect.bottom());
    painter->drawLine(x + gap, midY, rect.right() + 1 - 2, midY);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) {
        x -= step;
        if (hasNext(up))
            painter->drawLine(x, rect.top(), x, rect.bottom());
    }
    painter->restore();
}
