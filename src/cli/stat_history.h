#pragma once

#include "cli/stat_listing.h"
#include "cli/stat_types.h"
#include "history/history_types.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class DateTextFormat;

namespace statexit {
constexpr int kNoRun = 3;    // --growth: the history holds no run of the server
constexpr int kHistory = 4;  // the history could not be opened, read or written
}  // namespace statexit

// What arvelo-stat does with the history.

// "--since" and "--forget-before": a date (2026-12-03, local time) or a number of days back ("30d"). A date
// stands for its whole day when it ends a span (--since: runs up to the day's end) and for its start when
// it begins one (--forget-before: runs before the day). Nothing when the text is neither.
enum class DayEdge { Start, End };
std::optional<QDateTime> historyMoment(const QString& text, DayEdge edge,
                                       const QDateTime& now = QDateTime::currentDateTime());

// The run arvelo-stat measured, ready to record: every listed archive, with its type counts when counted.
history::Run statRun(const StatListing& listing, const QDateTime& started, const QDateTime& ended, int threads,
                     const StatTypes* types, history::TypesScope scope, const DateTextFormat& dates);

// What arvelo-stat does with the history without measuring.
struct HistoryQuery {
    enum class Kind { Growth, Runs, Forget };
    Kind kind = Kind::Growth;
    std::optional<QDateTime> moment;  // --since, --forget-before
    bool json = false;
};

// Opens the history `file`, answers the query for `server` and writes the answer; the exit code.
int runHistoryQuery(const HistoryQuery& query, const QString& file, const QString& server,
                    const std::function<bool(const QByteArray&)>& write, const std::function<void(const QString&)>& say);

// Records a measured run into `file`; the exit code (0 or kHistory), reasons through `say`.
int recordStatRun(const history::Run& run, const QString& file, const std::function<void(const QString&)>& say);
