#include "app/archive_tree_view.h"

#include "app/archive_table_model.h"
#include "app/cell_text.h"
#include "engine/tob_data.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

const int kInitialWidths[] = {190, 160, 90, 70, 60, 80, 130, 130};

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
        const auto* record = reinterpret_cast<const TTobData*>(
            index.data(ArchiveTableModel::RecordRole).value<quintptr>());
        if (index.column() != ColSize || !flags.ShowBars || !record) {
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
        paintSizeBar(*painter, opt.rect, record->Size, m_view->maxSize(), flags);
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
            if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) + 6 > cell.width()) {
                QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void ArchiveTreeView::setPaintSources(RowColours colours, std::function<double()> maxSize, const DisplayFlags* flags)
{
    m_colours = std::move(colours);
    m_maxSize = std::move(maxSize);
    m_flags = flags;
    viewport()->update();
}

std::optional<QColor> ArchiveTreeView::rowColour(const QModelIndex& index) const
{
    if (!m_colours || !index.isValid())
        return std::nullopt;
    const auto [farbe1, farbe2] = m_colours();
    return rowBackground(index.data(ArchiveTableModel::LevelRole).toInt(),
                         index.data(ArchiveTableModel::PositionRole).toInt(), farbe1, farbe2);
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
