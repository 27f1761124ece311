#include "app/archive_tree_view.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

const int kInitialWidths[] = {190, 160, 90, 70, 60, 80, 130, 130};

class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(ArchiveTreeView::kRowHeight);
        return s;
    }
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

    setItemDelegate(new RowHeightDelegate(this));
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

void ArchiveTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QTreeView::drawRow(painter, option, index);
    // Horizontal grid line under every row.
    painter->save();
    painter->setPen(QColor(0xD4, 0xD0, 0xC8));
    painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(), option.rect.bottom());
    painter->restore();
}
