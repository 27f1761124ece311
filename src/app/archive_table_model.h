#pragma once

#include "app/archive_node.h"
#include "app/cell_text.h"

#include <QAbstractItemModel>
#include <QColor>
#include <QIcon>
#include <QTimer>

#include <functional>
#include <memory>
#include <unordered_map>

// The archive table: a tree of nodes that own their records. Cell texts are computed from the records on
// every request; publications only mark their row, and the marks are turned into dataChanged a few times a
// second, so scanners never wait on painting.
class ArchiveTableModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Roles {
        LevelRole = Qt::UserRole + 1,  // int
        PositionRole,                  // int, the row's place among its siblings
        SizeRole,                      // double, the record's Size in MB
        MaxSizeRole,                   // double, the largest size so far: the full length of a size bar
        RowColourRole,                 // QColor of the row's stripe; no value where the table's own shows
    };

    explicit ArchiveTableModel(QObject* parent = nullptr);
    ~ArchiveTableModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

    void clear();
    ArchiveNode* appendTopLevel();
    ArchiveNode* appendChild(ArchiveNode* parent);

    ArchiveNode* root() { return &m_root; }
    const ArchiveNode* root() const { return &m_root; }
    ArchiveNode* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexOfNode(const ArchiveNode* node, int column = 0) const;
    ArchiveNode* nodeOfRecord(const TTobData* record) const;
    int topLevelCount() const { return m_root.childCount(); }

    // What the rest of the program reads: a row's record (shared, read-only), its level (-1 for none), and
    // the user rows' records in the table's current order, hidden rows included.
    std::shared_ptr<const TTobData> record(const QModelIndex& index) const;
    int level(const QModelIndex& index) const;
    std::vector<std::shared_ptr<const TTobData>> topLevelRecords() const;

    // Removes every child row of node (an empty placeholder, when there is nothing to show below it).
    void removeChildren(ArchiveNode* node);

    // The scale of the size bars. When it changes, every row's bar is repainted with the next flush.
    void setMaxSize(double maxSize);
    double maxSize() const { return m_maxSize; }
    // Stripe colours: Farbe1 for user rows, Farbe2 below; every row repaints.
    void setRowColours(const QColor& farbe1, const QColor& farbe2);
    QColor farbe1() const { return m_farbe1; }
    QColor farbe2() const { return m_farbe2; }

    // Identity fields of a node were set or replaced: repaint it now.
    void refreshNode(ArchiveNode* node);
    // A publication reached this record; the row repaints with the next flush.
    void markChanged(const TTobData* record);
    // Sends one dataChanged per marked row. Runs on its own timer; tests may call it directly.
    void flushChanges();
    void setFlushInterval(int ms) { m_flushTimer.setInterval(ms); }

    // Sorts every sibling group stably by the column, going down through the rows isExpanded names only;
    // persistent indexes follow their rows.
    void sortTable(int column, bool ascending, const std::function<bool(const ArchiveNode&)>& isExpanded);

    void setFormats(const CellFormats& formats);
    const CellFormats& formats() const { return m_formats; }
    void setRowIcons(const QIcon& user, const QIcon& subArchive);

private:
    // One dataChanged per sibling group for the given columns, over the whole tree.
    void emitColumnsChanged(int firstColumn, int lastColumn, const QList<int>& roles = {});

    ArchiveNode m_root;
    CellFormats m_formats;
    QIcon m_userIcon;
    QIcon m_folderIcon;
    std::unordered_map<const TTobData*, ArchiveNode*> m_byRecord;
    std::vector<ArchiveNode*> m_changed;
    bool m_barsStale = false;
    double m_maxSize = 0;
    QColor m_farbe1 = Qt::white;
    QColor m_farbe2 = Qt::white;
    QTimer m_flushTimer;
};
