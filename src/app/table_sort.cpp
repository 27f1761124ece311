#include "app/table_sort.h"

#include "app/archive_node.h"

#include <algorithm>

namespace {

template <typename T>
int largerFirst(T a, T b)
{
    return a > b ? -1 : (a < b ? 1 : 0);
}

bool isTextColumn(int column) { return column == ColUser || column == ColUserId; }
bool isDateColumn(int column) { return column == ColNewest || column == ColOldest; }

}  // namespace

int compareOrdinal(const QString& a, const QString& b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = int(a[i].unicode()) - int(b[i].unicode());
        if (d != 0)
            return d;
    }
    return int(a.size() > b.size()) - int(a.size() < b.size());
}

SortKey sortKey(const ArchiveNode& node, int column, const CellFormats& formats)
{
    const TTobData& r = *node.data;
    const bool user = node.level == 0;
    SortKey key;
    switch (column) {
    case ColUser:
        key.text = r.TobitUser;
        break;
    case ColUserId:
        // The column shows the ID on user rows only, and is ordered by what it shows.
        key.text = user ? r.UserID : QString();
        break;
    case ColSize:
        key.number = r.Size;
        break;
    case ColMessages:
        key.number = user ? r.AnzahlNachrichtenG : r.AnzahlNachrichten;
        break;
    case ColAttachments:
        key.number = user ? r.AnhangG : r.Anhang;
        break;
    case ColAttachmentSize:
        key.number = r.AnhangSize;
        break;
    case ColNewest:
        // A text that does not read back as a date counts as none.
        if (!r.Neueste.isEmpty())
            key.date = formats.dates.parse(r.Neueste);
        break;
    case ColOldest:
        if (!r.Aelteste.isEmpty())
            key.date = formats.dates.parse(r.Aelteste);
        break;
    default:
        break;
    }
    return key;
}

int compareKeys(const SortKey& a, const SortKey& b, int column)
{
    if (isTextColumn(column))
        return compareOrdinal(a.text, b.text);
    if (isDateColumn(column)) {
        if (a.date.isValid() && b.date.isValid())
            return largerFirst(a.date, b.date);
        return int(b.date.isValid()) - int(a.date.isValid());
    }
    return largerFirst(a.number, b.number);
}

int Compare(const ArchiveNode& a, const ArchiveNode& b, int column, const CellFormats& formats)
{
    return compareKeys(sortKey(a, column, formats), sortKey(b, column, formats), column);
}

void sortSiblings(ArchiveNode& parent, int column, bool ascending, const CellFormats& formats,
                  const std::function<bool(const ArchiveNode&)>& isExpanded)
{
    auto& rows = parent.children;
    if (rows.size() >= 2) {
        struct Entry {
            SortKey key;
            std::unique_ptr<ArchiveNode> node;
        };
        std::vector<Entry> entries;
        entries.reserve(rows.size());
        for (auto& row : rows)
            entries.push_back({sortKey(*row, column, formats), std::move(row)});
        std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            const int c = compareKeys(a.key, b.key, column);
            return ascending ? c < 0 : c > 0;
        });
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = std::move(entries[i].node);
        parent.renumber();
    }
    for (auto& row : rows)
        if (isExpanded(*row))
            sortSiblings(*row, column, ascending, formats, isExpanded);
}
