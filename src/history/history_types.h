#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

struct TTobData;
class DateTextFormat;

namespace history {

// How many attachments of one file type an archive holds (".PDF", 12).
struct TypeTally {
    QString key;
    qint64 count = 0;
};

// Which folders a run's type counts cover: none counted, each archive's whole tree, the archive folder alone.
enum class TypesScope { None = 0, Tree = 1, Top = 2 };

// One measured archive as a run keeps it: its identity and every figure of its record. Dates are ISO 8601
// local time (2016-03-05T14:22:10), empty when the archive has no message.
struct ArchiveFigures {
    int level = 0;
    QString name;
    QString userId;
    QString path;  // server notation: what identifies the archive from run to run
    QString fullPath;
    double Size = 0;
    double SizeRoot = 0;
    double AnzahlNachrichten = 0;
    double AnzahlNachrichtenG = 0;
    qint32 Anhang = 0;
    qint32 AnhangG = 0;
    double AnhangSize = 0;
    double AnhangSizeG = 0;
    QString newest;
    QString oldest;
    // Counted types, when the run counted them for this archive.
    std::optional<std::vector<TypeTally>> types;
};

// The figures of a record; its dates are read with `dates`.
ArchiveFigures figuresOf(const TTobData& record, int level, const DateTextFormat& dates);

// What a run says of itself.
struct RunInfo {
    qint64 id = 0;        // given by the history
    QString server;       // the archive root's path as the server gives it
    QDateTime started;    // UTC
    QDateTime ended;
    QString program;      // "arvelo", "arvelo-stat"
    int threads = 0;      // the limit of scanners at once
    bool complete = false;    // every user archive of the server was measured (or counted)
    bool figures = true;      // the archives' figures were measured; false for a run of type counts only
    TypesScope types = TypesScope::None;
    int archives = 0;     // archives kept for the run
};

struct Run {
    RunInfo info;
    std::vector<ArchiveFigures> archives;
};

// One line of a growth listing: an archive of the latest run and, when the reference run holds it, its
// figures there.
struct GrowthRow {
    int level = 0;
    QString name;
    QString userId;
    QString path;
    double Size = 0;
    double AnzahlNachrichtenG = 0;
    qint32 AnhangG = 0;
    bool before = false;  // the reference run holds the archive
    double SizeBefore = 0;
    double AnzahlNachrichtenGBefore = 0;
    qint32 AnhangGBefore = 0;
    double sizeGrowth() const { return Size - SizeBefore; }
};

struct Growth {
    RunInfo latest;
    std::optional<RunInfo> reference;  // none when no run fits
    std::vector<GrowthRow> rows;       // in the latest run's order
};

// The growth of one archive's Size for the detail panel: since the run before its latest recorded one, and
// over 30 days when a run that old holds it.
struct ArchiveGrowth {
    QDateTime previousRun;  // when the run before the latest was started
    double sincePrevious = 0;
    std::optional<double> over30Days;
};

// One point of the server's size over time.
struct ServerSize {
    QDateTime started;
    double Size = 0;  // sum of the user archives' Size (level 0)
};

// A type over a whole run: attachments and archives holding it.
struct TypeTotal {
    QString key;
    qint64 count = 0;
    int archives = 0;
};

}  // namespace history
