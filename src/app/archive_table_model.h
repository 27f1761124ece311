#pragma once

#include "app/archive_node.h"
#include "app/cell_text.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QTimer>

#include <functional>
#include <unordered_map>

// The archive table: a tree of nodes that own their records. Cell texts are computed from the records on
// every request; publications only mark their row, and the marks are turned into dataChanged a few times a
// second, so scanners never wait on painting.
class ArchiveTableModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Roles {
        LevelRole = Qt::UserRole + 1,  // int
        RecordRole,                    // const TTobData* as quintptr
        PositionRole,                  // int, the row's place among its siblings
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

    ArchiveNode m_root;
    CellFormats m_formats;
    QIcon m_userIcon;
    QIcon m_folderIcon;
    std::unordered_map<const TTobData*, ArchiveNode*> m_byRecord;
    std::vector<ArchiveNode*> m_changed;
    QTimer m_flushTimer;
};
