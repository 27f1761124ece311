#include "app/archive_table_model.h"

#include "app/row_painting.h"
#include "app/table_sort.h"

#include <unordered_set>

namespace {

const char* const kHeaders[ColumnCount] = {
    "Tobit-User",       "Tobit-Archivgröße (gesamt)", "User-ID",           "Nachrichten",
    "Anhänge",          "Anhanggröße",                "Jüngste Nachricht", "Älteste Nachricht",
};

Qt::Alignment alignmentOf(int column)
{
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    return column == ColSize || column == ColUserId ? centred : left;
}

}  // namespace

ArchiveTableModel::ArchiveTableModel(QObject* parent) : QAbstractItemModel(parent)
{
    m_flushTimer.setInterval(250);
    connect(&m_flushTimer, &QTimer::timeout, this, &ArchiveTableModel::flushChanges);
    m_flushTimer.start();
}

ArchiveTableModel::~ArchiveTableModel() = default;

QModelIndex ArchiveTableModel::index(int row, int column, const QModelIndex& parent) const
{
    const ArchiveNode* p = parent.isValid() ? nodeFromIndex(parent) : &m_root;
    if (!p || row < 0 || row >= p->childCount() || column < 0 || column >= ColumnCount)
        return {};
    return createIndex(row, column, p->child(row));
}

QModelIndex ArchiveTableModel::parent(const QModelIndex& child) const
{
    const ArchiveNode* node = nodeFromIndex(child);
    if (!node || !node->parent || node->parent == &m_root)
        return {};
    return createIndex(node->parent->position, 0, node->parent);
}

int ArchiveTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const ArchiveNode* p = parent.isValid() ? nodeFromIndex(parent) : &m_root;
    return p ? p->childCount() : 0;
}

int ArchiveTableModel::columnCount(const QModelIndex&) const { return ColumnCount; }

bool ArchiveTableModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant ArchiveTableModel::data(const QModelIndex& index, int role) const
{
    const ArchiveNode* node = nodeFromIndex(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(*node->data, node->level, index.column(), m_formats);
    case Qt::DecorationRole:
        if (index.column() == ColUser)
            return node->level == 0 ? m_userIcon : m_folderIcon;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignmentOf(index.column()));
    case Qt::ToolTipRole:
        // Folders the walk could not read are missing from the figures: the name says so.
        if (index.column() == ColUser && !node->data->UnlesbareOrdner.isEmpty())
            return QStringLiteral("%1 Ordner konnten nicht gelesen werden").arg(node->data->UnlesbareOrdner.size());
        return {};
    case LevelRole:
        return node->level;
    case PositionRole:
        return node->position;
    case SizeRole:
        return double(node->data->Size);
    case MaxSizeRole:
        return m_maxSize;
    case RowColourRole:
        if (const std::optional<QColor> colour = rowBackground(node->level, node->position, m_farbe1, m_farbe2))
            return *colour;
        return {};
    default:
        return {};
    }
}

QVariant ArchiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(kHeaders[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(section));
    return {};
}

ArchiveNode* ArchiveTableModel::nodeFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<ArchiveNode*>(index.internalPointer());
}

QModelIndex ArchiveTableModel::indexOfNode(const ArchiveNode* node, int column) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(node->position, column, const_cast<ArchiveNode*>(node));
}

ArchiveNode* ArchiveTableModel::nodeOfRecord(const TTobData* record) const
{
    const auto it = m_byRecord.find(record);
    return it == m_byRecord.end() ? nullptr : it->second;
}

std::shared_ptr<const TTobData> ArchiveTableModel::record(const QModelIndex& index) const
{
    const ArchiveNode* node = nodeFromIndex(index);
    return node ? node->data : nullptr;
}

int ArchiveTableModel::level(const QModelIndex& index) const
{
    const ArchiveNode* node = nodeFromIndex(index);
    return node ? node->level : -1;
}

std::vector<std::shared_ptr<const TTobData>> ArchiveTableModel::topLevelRecords() const
{
    std::vector<std::shared_ptr<const TTobData>> records;
    records.reserve(m_root.children.size());
    for (const auto& row : m_root.children)
        records.push_back(row->data);
    return records;
}

void ArchiveTableModel::removeChildren(ArchiveNode* node)
{
    if (!node || node->childCount() == 0)
        return;
    beginRemoveRows(node == &m_root ? QModelIndex() : indexOfNode(node), 0, node->childCount() - 1);
    const std::function<void(ArchiveNode&)> forget = [&](ArchiveNode& n) {
        for (const auto& child : n.children) {
            m_byRecord.erase(child->data.get());
            std::erase(m_changed, child.get());
            forget(*child);
        }
    };
    forget(*node);
    node->children.clear();
    endRemoveRows();
}

void ArchiveTableModel::setMaxSize(double maxSize)
{
    if (maxSize == m_maxSize)
        return;
    m_maxSize = maxSize;
    m_barsStale = true;
}

void ArchiveTableModel::setRowColours(const QColor& farbe1, const QColor& farbe2)
{
    m_farbe1 = farbe1;
    m_farbe2 = farbe2;
    emitColumnsChanged(0, ColumnCount - 1, {RowColourRole});
}

void ArchiveTableModel::emitColumnsChanged(int firstColumn, int lastColumn, const QList<int>& roles)
{
    const std::function<void(const ArchiveNode&)> group = [&](const ArchiveNode& parent) {
        if (parent.children.empty())
            return;
        const QModelIndex p = &parent == &m_root ? QModelIndex() : indexOfNode(&parent);
        emit dataChanged(index(0, firstColumn, p), index(parent.childCount() - 1, lastColumn, p), roles);
        for (const auto& child : parent.children)
            group(*child);
    };
    group(m_root);
}

void ArchiveTableModel::clear()
{
    beginResetModel();
    m_changed.clear();
    m_byRecord.clear();
    m_root.children.clear();
    endResetModel();
}

ArchiveNode* ArchiveTableModel::appendTopLevel() { return appendChild(&m_root); }

ArchiveNode* ArchiveTableModel::appendChild(ArchiveNode* parent)
{
    const int row = parent->childCount();
    beginInsertRows(parent == &m_root ? QModelIndex() : indexOfNode(parent), row, row);
    auto node = std::make_unique<ArchiveNode>();
    node->parent = parent;
    node->position = row;
    node->level = parent->level + 1;
    ArchiveNode* raw = node.get();
    m_byRecord[raw->data.get()] = raw;
    parent->children.push_back(std::move(node));
    endInsertRows();
    return raw;
}

void ArchiveTableModel::refreshNode(ArchiveNode* node)
{
    if (!node || node == &m_root)
        return;
    emit dataChanged(indexOfNode(node, 0), indexOfNode(node, ColumnCount - 1));
}

void ArchiveTableModel::markChanged(const TTobData* record)
{
    ArchiveNode* node = nodeOfRecord(record);
    if (!node || node->changed)
        return;
    node->changed = true;
    m_changed.push_back(node);
}

void ArchiveTableModel::flushChanges()
{
    // A new scale changes every bar, not only those of the rows that published.
    if (m_barsStale) {
        m_barsStale = false;
        emitColumnsChanged(ColSize, ColSize, {MaxSizeRole});
    }
    if (m_changed.empty())
        return;
    std::vector<ArchiveNode*> changed;
    changed.swap(m_changed);
    for (ArchiveNode* node : changed) {
        node->changed = false;
        refreshNode(node);
    }
}

void ArchiveTableModel::setFormats(const CellFormats& formats)
{
    m_formats = formats;
    emitColumnsChanged(0, ColumnCount - 1, {Qt::DisplayRole});
}

void ArchiveTableModel::setRowIcons(const QIcon& user, const QIcon& subArchive)
{
    m_userIcon = user;
    m_folderIcon = subArchive;
}

void ArchiveTableModel::sortTable(int column, bool ascending,
                                  const std::function<bool(const ArchiveNode&)>& isExpanded)
{
    // Which rows are open is asked before anything moves, while the view's indexes still hold.
    std::unordered_set<const ArchiveNode*> open;
    const std::function<void(const ArchiveNode&)> collect = [&](const ArchiveNode& parent) {
        for (const auto& row : parent.children)
            if (isExpanded(*row)) {
                open.insert(row.get());
                collect(*row);
            }
    };
    collect(m_root);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<ArchiveNode*, int>> held;
    held.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        held.emplace_back(nodeFromIndex(index), index.column());

    sortSiblings(m_root, column, ascending, m_formats,
                 [&](const ArchiveNode& node) { return open.count(&node) > 0; });

    QModelIndexList after;
    after.reserve(before.size());
    for (const auto& [node, col] : held)
        after.append(indexOfNode(node, col));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
