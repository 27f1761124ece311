#pragma once

#include "app/cell_text.h"

#include <QDateTime>
#include <QString>

#include <functional>

struct ArchiveNode;

// The table's own sort order: every figure and date column puts its largest or latest value first in
// ascending order; names compare by UTF-16 code unit, case-sensitively.

// What a row is compared by for one column, taken from the record once per sort.
struct SortKey {
    long double number = 0;
    QDateTime date;  // invalid: no date
    QString text;
};
SortKey sortKey(const ArchiveNode& node, int column, const CellFormats& formats);
// Negative when A belongs before B in ascending order, 0 when they are equal, positive otherwise.
int compareKeys(const SortKey& a, const SortKey& b, int column);
// The same for two sibling rows.
int Compare(const ArchiveNode& a, const ArchiveNode& b, int column, const CellFormats& formats);

// Ordinal comparison of UTF-16 code units; a prefix comes first.
int compareOrdinal(QStringView a, QStringView b);

// Sorts the children of parent stably by the column, then the children of every child that isExpanded
// says is expanded, and so on down; positions are renumbered. Rows never change their parent.
void sortSiblings(ArchiveNode& parent, int column, bool ascending, const CellFormats& formats,
                  const std::function<bool(const ArchiveNode&)>& isExpanded);
