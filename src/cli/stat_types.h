#pragma once

#include "classify/type_count_list.h"
#include "cli/stat_listing.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

// The companion's "types" field: each row's attachment types as the classification window counts them.
struct StatTypes {
    // One per row, in row order: the counts, largest first, or nothing when the row's scan failed.
    std::vector<std::optional<std::vector<TypeCount>>> rows;
    // One line per failed row, naming the archive and the reason.
    QStringList failures;
};

// Scans every row's archive folder, the whole tree (`wholeTree`, the window's "Ja") or the folder alone
// ("Nein"), at most `threads` at once.
StatTypes scanStatTypes(const std::vector<StatRow>& rows, bool wholeTree, int threads);

// The field's text: CSV ".PDF=12;.DOC=7;.=1" (empty for a failed scan, quoted by the caller as any field),
// JSON {".PDF": 12, ".DOC": 7, ".": 1} in list order, or null.
QString typesCsvText(const std::optional<std::vector<TypeCount>>& types);
QByteArray typesJsonValue(const std::optional<std::vector<TypeCount>>& types);
