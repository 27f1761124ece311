#pragma once

#include "app/row_painting.h"

#include <QTreeView>

#include <optional>

// The archive table's view: fixed row and header heights, grid lines, whole-row single selection that a
// right click moves too, a tooltip only where a cell's text is cut, and the column-width rule on resize.
class ArchiveTreeView : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kHeaderHeight = 17;
    static constexpr int kMinimumColumnWidth = 40;

    explicit ArchiveTreeView(QWidget* parent = nullptr);

    // Column 1 takes what columns 0 and 2..7 leave as designed; column 2 goes back to 90.
    void applyResizeRule();
    static int sizeColumnWidth(int tableWidth, int firstColumnWidth);

    void setModel(QAbstractItemModel* model) override;

    // The switches of "Tabelle formatieren"; the rest of what is painted comes from the model's roles.
    void setDisplayFlags(const DisplayFlags& flags);
    const DisplayFlags& displayFlags() const { return m_flags; }
    static std::optional<QColor> rowColour(const QModelIndex& index);

    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

private:
    DisplayFlags m_flags;
};
