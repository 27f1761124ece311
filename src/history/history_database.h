#pragma once

#include "history/history_types.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace history {

// The history of runs in one SQLite file. Each object has a connection of its own, bound to the thread that
// opened it: a worker thread makes its own object. Several objects and processes may write the same file at
// once (write-ahead log, busy timeout); each run is written in one transaction.
//
// The file is never deleted, truncated or rebuilt: a file that is no SQLite database, a foreign or newer
// database, a damaged one or one that cannot be written is refused with a message naming it.
class HistoryDatabase {
public:
    // The schema this program writes, kept in PRAGMA user_version.
    static constexpr int kSchemaVersion = 1;

    // The file named by ARVELO_HISTORY, else history.sqlite in the user's application data folder.
    static QString defaultPath();

    explicit HistoryDatabase(const QString& path);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // Opens the file, creating it (and its folder) when missing and bringing an older schema up to date.
    // False with error() set when it cannot be used.
    bool open();
    bool isOpen() const { return m_open; }
    const QString& path() const { return m_path; }
    // The last failure in words, naming the file.
    const QString& error() const { return m_error; }

    // Writes a run in one transaction; its id, or nothing with error() set and the file as it was.
    std::optional<qint64> record(const Run& run);

    // The server's runs, newest first. Nothing with error() set on a read failure.
    std::optional<std::vector<RunInfo>> runs(const QString& server);

    // The server's latest run with figures against a reference: the latest such run started at or before
    // `since`, or without `since` the one before the latest. Nothing with error() empty when the server has
    // no run with figures.
    std::optional<Growth> growth(const QString& server, const std::optional<QDateTime>& since = {});

    // The growth of one archive for the detail panel; nothing when no earlier run holds it (or on a read
    // failure, with error() set).
    std::optional<ArchiveGrowth> archiveGrowth(const QString& server, const QString& archivePath);

    // The server's size at each run with figures started at or after `from`, oldest first.
    std::optional<std::vector<ServerSize>> serverSizes(const QString& server, const QDateTime& from);

    // Every archive of a run with its figures, in the run's order.
    std::optional<std::vector<ArchiveFigures>> runArchives(qint64 run);

    // The types of a run over its user archives (level 0), most attachments first.
    std::optional<std::vector<TypeTotal>> typeTotals(qint64 run);

    // Forgets the server's runs started before `before`, whole runs only; how many, or nothing on failure
    // (the file then as it was).
    std::optional<int> forgetBefore(const QString& server, const QDateTime& before);

private:
    bool fail(const QString& what, const QSqlQuery& query);
    bool fail(const QString& what, const QSqlError& error);
    bool failText(const QString& text);
    // Runs a prepared read; false with error() set when it fails.
    bool read(QSqlQuery& query);
    bool prepareSchema();
    bool upgradeFrom(int version);
    qint64 serverId(const QString& server, bool create);

    QString m_path;
    QString m_connection;
    QString m_error;
    bool m_open = false;
};

}  // namespace history
