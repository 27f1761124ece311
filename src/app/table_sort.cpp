#include "app/table_sort.h"

#include "app/archive_node.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

template <typename T>
int largerFirst(T a, T b)
{
    return a > b ? -1 : (a < b ? 1 : 0);
}

bool isTextColumn(int column) { return column == ColUser || column == ColUserId; }
bool isDateColumn(int column) { return column == ColNewest || column == ColOldest; }

}  // namespace

int compareOrdinal(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* const x = a.utf16();
    const char16_t* const y = b.utf16();
    const auto [i, j] = std::mismatch(x, x + n, y);
    if (i != x + n)
        return int(*i) - int(*j);
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
        // The keys are taken once and stay where they are; only their numbers move while sorting.
        std::vector<SortKey> keys;
        keys.reserve(rows.size());
        for (const auto& row : rows)
            keys.push_back(sortKey(*row, column, formats));
        std::vector<std::uint32_t> order(rows.size());
        std::iota(order.begin(), order.end(), 0u);
        if (isTextColumn(column)) {
            // Names compared where they lie would be fetched from all over the heap for every comparison;
            // copied side by side first they stay in the cache, which made sorting 20,000 names several
            // times faster.
            qsizetype length = 0;
            for (const SortKey& key : keys)
                length += key.text.size();
            QString pool;
            pool.reserve(length);
            std::vector<std::pair<qsizetype, qsizetype>> spans;
            spans.reserve(keys.size());
            for (const SortKey& key : keys) {
                spans.emplace_back(pool.size(), key.text.size());
                pool += key.text;
            }
            const QStringView all(pool);
            std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                const int c = compareOrdinal(all.sliced(spans[a].first, spans[a].second),
                                             all.sliced(spans[b].first, spans[b].second));
                return ascending ? c < 0 : c > 0;
            });
        } else {
            std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                const int c = compareKeys(keys[a], keys[b], column);
                return ascending ? c < 0 : c > 0;
            });
        }
        std::vector<std::unique_ptr<ArchiveNode>> sorted;
        sorted.reserve(rows.size());
        for (const std::uint32_t i : order)
            sorted.push_back(std::move(rows[i]));
        rows = std::move(sorted);
        parent.renumber();
    }
    for (auto& row : rows)
        if (isExpanded(*row))
            sortSiblings(*row, column, ascending, formats, isExpanded);
}
