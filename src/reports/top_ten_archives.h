#pragma once

#include "history/history_types.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace history {
class HistoryDatabase;
}

namespace reports {

// A user archive with the figures the report starts from.
struct CurrentArchive {
    QString name;
    QString userId;
    QString path;
    double Size = 0;
    double AnzahlNachrichtenG = 0;
};

struct TopTenLine {
    QString name;
    QString userId;
    double Size = 0;
    double AnzahlNachrichtenG = 0;
    std::optional<double> sincePrevious;  // MB since the previous recorded run
    std::optional<double> growth;         // MB over 30 days, or since the oldest run (see growthSpan)
};

// What "Top-Ten Archive" shows.
struct TopTenArchivesData {
    QString figuresFrom;      // where the sizes come from: the table, or a recorded run
    std::vector<TopTenLine> largest;
    std::vector<TopTenLine> growing;  // empty without an earlier run
    QString growthSpan;       // "in 30 Tagen", or "seit 03.11.2026" (the oldest run, when the history is younger)
    QString note;             // why growth figures are missing, if they are
    std::vector<history::ServerSize> sizes;  // the server's size over the recorded runs of the last twelve months
};

// Builds the report's figures. `current` are the table's user archives with their figures (empty when the table
// holds none; the history's latest run stands in then); `currentRun` is the run that recorded those very
// figures (0 when none did), so "since the previous run" compares with the run before it. `db` may be null
// or closed: the table's figures alone then.
TopTenArchivesData buildTopTenArchives(std::vector<CurrentArchive> current, history::HistoryDatabase* db,
                                       const QString& server, qint64 currentRun,
                                       const QDateTime& now = QDateTime::currentDateTimeUtc());

// Paints the report on the printer's pages (preview, print and PDF alike).
bool paintTopTenArchives(const TopTenArchivesData& data, QPrinter& printer, QString* error,
                         const QLocale& locale = QLocale(), const QDate& date = QDate::currentDate());

void showTopTenArchives(const TopTenArchivesData& data, QWidget* parent);

}  // namespace reports
