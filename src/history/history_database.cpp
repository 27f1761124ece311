#include "history/history_database.h"

#include <QAtomicInteger>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <iterator>

namespace history {

namespace {

// Marks a file as this program's history (PRAGMA application_id), so a foreign database is never written.
constexpr qint32 kApplicationId = 0x4152564C;  // "ARVL"

// How long a writer waits for another one's transaction before it gives up.
constexpr int kBusyTimeoutMs = 60000;

QAtomicInteger<quint64> g_connections;

QString quoted(const QString& path)
{
    return QStringLiteral("\u201E%1\u201C").arg(QDir::toNativeSeparators(path));
}

constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;

// SQLite's primary result code from the driver's native code (extended codes keep it in the low byte).
int primaryCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

// SQLite answers "database is locked" at once, without waiting out the busy timeout, where waiting could
// deadlock, e.g. while several connections switch a new file into WAL mode together. Such moments pass: the
// statement is tried again until the busy timeout is over.
bool execWaiting(QSqlQuery& query, const QString& sql)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (query.exec(sql))
            return true;
        const int code = primaryCode(query.lastError());
        if ((code != kSqliteBusy && code != kSqliteLocked) || waited.elapsed() > kBusyTimeoutMs)
            return false;
        QThread::msleep(5);
    }
}

// A write transaction that is rolled back when it ends uncommitted, whichever way the function leaves.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase& db) : m_query(db) {}
    ~Transaction()
    {
        if (m_active)
            m_query.exec(QStringLiteral("ROLLBACK"));
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // BEGIN IMMEDIATE takes the write lock at once, so another writer's transaction is waited out here and
    // never ends this one halfway.
    bool begin()
    {
        m_active = execWaiting(m_query, QStringLiteral("BEGIN IMMEDIATE"));
        return m_active;
    }
    bool commit()
    {
        if (!m_query.exec(QStringLiteral("COMMIT")))
            return false;
        m_active = false;
        return true;
    }
    // The statement that failed in begin() or commit().
    const QSqlQuery& query() const { return m_query; }

private:
    QSqlQuery m_query;
    bool m_active = false;
};

QString readingFailed()
{
    return QStringLiteral("Die Historie kann nicht gelesen werden");
}

constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteFull = 13;
constexpr int kSqliteNotADb = 26;

// A text for a NOT NULL column: Qt binds a null QString as NULL, and a server may give no text at all.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

qint64 msOf(const QDateTime& when)
{
    return when.toMSecsSinceEpoch();
}

QDateTime whenOf(const QVariant& ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC);
}

// The schema of each version, applied in order from the file's version up.
const char* const kSchema[] = {
    // 1
    "CREATE TABLE servers (id INTEGER PRIMARY KEY, root TEXT NOT NULL UNIQUE);"
    "CREATE TABLE runs (id INTEGER PRIMARY KEY, server INTEGER NOT NULL REFERENCES servers(id),"
    " started INTEGER NOT NULL, ended INTEGER NOT NULL, program TEXT NOT NULL, threads INTEGER NOT NULL,"
    " complete INTEGER NOT NULL, figures INTEGER NOT NULL, types INTEGER NOT NULL, archives INTEGER NOT NULL);"
    "CREATE INDEX runs_by_server ON runs (server, started);"
    "CREATE TABLE archives (id INTEGER PRIMARY KEY, server INTEGER NOT NULL REFERENCES servers(id),"
    " path TEXT NOT NULL, name TEXT NOT NULL, user_id TEXT NOT NULL, full_path TEXT NOT NULL,"
    " UNIQUE (server, path));"
    "CREATE TABLE measurements (run INTEGER NOT NULL, archive INTEGER NOT NULL, pos INTEGER NOT NULL,"
    " level INTEGER NOT NULL, size REAL NOT NULL, size_root REAL NOT NULL, messages REAL NOT NULL,"
    " messages_g REAL NOT NULL, anhang INTEGER NOT NULL, anhang_g INTEGER NOT NULL, anhang_size REAL NOT NULL,"
    " anhang_size_g REAL NOT NULL, newest TEXT, oldest TEXT, PRIMARY KEY (run, archive)) WITHOUT ROWID;"
    "CREATE INDEX measurements_by_archive ON measurements (archive, run);"
    "CREATE TABLE type_counts (run INTEGER NOT NULL, archive INTEGER NOT NULL, level INTEGER NOT NULL,"
    " type TEXT NOT NULL, count INTEGER NOT NULL, PRIMARY KEY (run, archive, type)) WITHOUT ROWID;",
};
static_assert(std::size(kSchema) == HistoryDatabase::kSchemaVersion);

const char* const kRunColumns = "id, started, ended, program, threads, complete, figures, types, archives";

}  // namespace

namespace {

RunInfo runInfo(const QSqlQuery& query)
{
    RunInfo info;
    info.id = query.value(0).toLongLong();
    info.started = whenOf(query.value(1));
    info.ended = whenOf(query.value(2));
    info.program = query.value(3).toString();
    info.threads = query.value(4).toInt();
    info.complete = query.value(5).toBool();
    info.figures = query.value(6).toBool();
    info.types = TypesScope(query.value(7).toInt());
    info.archives = query.value(8).toInt();
    return info;
}

// Inserts rows many at a time, one statement per batch of rows instead of one per row: a large run's rows
// cost mostly the statement's round through Qt SQL, not SQLite's work.
class BatchInsert {
public:
    BatchInsert(const QSqlDatabase& db, QString head, int columns, QString tail = {})
        : m_full(db), m_rest(db), m_head(std::move(head)), m_tail(std::move(tail)), m_columns(columns)
    {
        m_values.reserve(kRows * columns);
    }

    bool add(std::initializer_list<QVariant> row)
    {
        for (const QVariant& v : row)
            m_values.append(v);
        return m_values.size() < kRows * m_columns || flush();
    }

    bool flush()
    {
        const int rows = int(m_values.size() / m_columns);
        if (rows == 0)
            return true;
        QSqlQuery& query = rows == kRows ? m_full : m_rest;
        m_last = &query;
        if (rows != kRows || !m_fullPrepared) {
            if (!query.prepare(statement(rows)))
                return false;
            m_fullPrepared = m_fullPrepared || rows == kRows;
        }
        for (int i = 0; i < m_values.size(); ++i)
            query.bindValue(i, m_values[i]);
        m_values.clear();
        return query.exec();
    }

    QSqlQuery& query() { return *m_last; }

private:
    // 64 rows of at most 14 columns stay far below SQLite's limit of bound values per statement.
    static constexpr int kRows = 64;

    QString statement(int rows) const
    {
        QString tuple = QStringLiteral(" (") + QStringLiteral("?, ").repeated(m_columns - 1) + QStringLiteral("?)");
        QString sql = m_head;
        for (int r = 0; r < rows; ++r)
            sql += r == 0 ? tuple : QLatin1Char(',') + tuple;
        return sql + m_tail;
    }

    QSqlQuery m_full, m_rest;
    QSqlQuery* m_last = &m_full;
    QString m_head, m_tail;
    int m_columns;
    bool m_fullPrepared = false;
    QVariantList m_values;
};

// The steps of writing one run, inside the caller's transaction. A step that fails returns false and keeps
// the error of the statement that failed.
class RunWriter {
public:
    RunWriter(const QSqlDatabase& db, const Run& run, qint64 server) : m_db(db), m_run(run), m_server(server)
    {
        m_renamed.prepare(QStringLiteral("UPDATE archives SET name = ?, user_id = ?, full_path = ? WHERE id = ?"));
    }

    // The server's archives known so far, so that each archive row costs one insert.
    bool readKnownArchives()
    {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT id, path, name, user_id, full_path FROM archives WHERE server = ?"));
        query.addBindValue(m_server);
        if (!query.exec())
            return failed(query);
        while (query.next())
            m_known.insert(query.value(1).toString(),
                           Known {query.value(0).toLongLong(), query.value(2).toString(), query.value(3).toString(),
                                  query.value(4).toString()});
        // A new archive's id is chosen here rather than by SQLite, so that archive rows can be inserted many at
        // a time like the rest; the write lock taken by BEGIN IMMEDIATE keeps the ids free until the commit.
        if (!query.exec(QStringLiteral("SELECT coalesce(max(id), 0) FROM archives")) || !query.next())
            return failed(query);
        m_nextArchive = query.value(0).toLongLong() + 1;
        return true;
    }

    bool insertRun()
    {
        const RunInfo& info = m_run.info;
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("INSERT INTO runs (server, started, ended, program, threads, complete, figures,"
                                     " types, archives) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant& v :
             {QVariant(m_server), QVariant(msOf(info.started)), QVariant(msOf(info.ended)), text(info.program),
              QVariant(info.threads), QVariant(info.complete), QVariant(info.figures), QVariant(int(info.types)),
              QVariant(qint64(m_run.archives.size()))})
            query.addBindValue(v);
        if (!query.exec())
            return failed(query);
        m_runId = query.lastInsertId().toLongLong();
        return true;
    }

    // Every archive's row (new, or with its latest names), its measurement and its type counts.
    bool insertArchives()
    {
        QSet<qint64> inRun;
        int pos = 0;
        for (const ArchiveFigures& a : m_run.archives) {
            const std::optional<qint64> archive = archiveId(a);
            if (!archive)
                return false;
            // A server that lists an archive twice: the first listing counts.
            if (inRun.contains(*archive))
                continue;
            inRun.insert(*archive);
            if (m_run.info.figures
                && !m_measurement.add({QVariant(m_runId), QVariant(*archive), QVariant(pos++), QVariant(a.level),
                                       QVariant(a.Size), QVariant(a.SizeRoot), QVariant(a.AnzahlNachrichten),
                                       QVariant(a.AnzahlNachrichtenG), QVariant(a.Anhang), QVariant(a.AnhangG),
                                       QVariant(a.AnhangSize), QVariant(a.AnhangSizeG),
                                       a.newest.isEmpty() ? QVariant() : QVariant(a.newest),
                                       a.oldest.isEmpty() ? QVariant() : QVariant(a.oldest)}))
                return failed(m_measurement.query());
            if (a.types) {
                for (const TypeTally& t : *a.types) {
                    if (!m_typeCount.add({QVariant(m_runId), QVariant(*archive), QVariant(a.level), QVariant(t.key),
                                          QVariant(t.count)}))
                        return failed(m_typeCount.query());
                }
            }
        }
        for (BatchInsert* batch : {&m_newArchive, &m_measurement, &m_typeCount}) {
            if (!batch->flush())
                return failed(batch->query());
        }
        return true;
    }

    qint64 runId() const { return m_runId; }
    const QSqlError& error() const { return m_error; }

private:
    struct Known {
        qint64 id;
        QString name, userId, fullPath;
    };

    bool failed(const QSqlQuery& query)
    {
        m_error = query.lastError();
        return false;
    }

    std::optional<qint64> archiveId(const ArchiveFigures& a)
    {
        auto it = m_known.find(a.path);
        if (it == m_known.end()) {
            if (!m_newArchive.add({QVariant(m_nextArchive), QVariant(m_server), text(a.path), text(a.name),
                                   text(a.userId), text(a.fullPath)})) {
                failed(m_newArchive.query());
                return std::nullopt;
            }
            return m_known.insert(a.path, Known {m_nextArchive++, a.name, a.userId, a.fullPath})->id;
        }
        if (it->name != a.name || it->userId != a.userId || it->fullPath != a.fullPath) {
            // The latest names are the ones to show.
            for (const QVariant& v : {text(a.name), text(a.userId), text(a.fullPath), QVariant(it->id)})
                m_renamed.addBindValue(v);
            if (!m_renamed.exec()) {
                failed(m_renamed);
                return std::nullopt;
            }
            *it = Known {it->id, a.name, a.userId, a.fullPath};
        }
        return it->id;
    }

    QSqlDatabase m_db;
    const Run& m_run;
    qint64 m_server;
    qint64 m_runId = -1;
    qint64 m_nextArchive = 1;
    QHash<QString, Known> m_known;
    BatchInsert m_newArchive {
        m_db, QStringLiteral("INSERT INTO archives (id, server, path, name, user_id, full_path) VALUES"), 6};
    QSqlQuery m_renamed {m_db};
    BatchInsert m_measurement {m_db,
                               QStringLiteral("INSERT INTO measurements (run, archive, pos, level, size, size_root,"
                                              " messages, messages_g, anhang, anhang_g, anhang_size, anhang_size_g,"
                                              " newest, oldest) VALUES"),
                               14};
    BatchInsert m_typeCount {
        m_db, QStringLiteral("INSERT INTO type_counts (run, archive, level, type, count) VALUES"), 5,
        QStringLiteral(" ON CONFLICT (run, archive, type) DO UPDATE SET count = count + excluded.count")};
    QSqlError m_error;
};

}  // namespace

QString HistoryDatabase::defaultPath()
{
    const QString named = qEnvironmentVariable("ARVELO_HISTORY");
    if (!named.isEmpty())
        return named;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("history.sqlite"));
}

HistoryDatabase::HistoryDatabase(const QString& path)
    : m_path(path), m_connection(QStringLiteral("arvelo-history-%1").arg(++g_connections))
{
}

HistoryDatabase::~HistoryDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryDatabase::failText(const QString& text)
{
    m_error = text;
    return false;
}

bool HistoryDatabase::fail(const QString& what, const QSqlQuery& query)
{
    return fail(what, query.lastError());
}

bool HistoryDatabase::read(QSqlQuery& query)
{
    return query.exec() || fail(readingFailed(), query);
}

bool HistoryDatabase::fail(const QString& what, const QSqlError& error)
{
    const QString reason = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    switch (primaryCode(error)) {
    case kSqliteNotADb:
        return failText(QStringLiteral("Die Datei %1 ist keine SQLite-Datenbank; sie wird nicht als Historie benutzt "
                                       "und bleibt unverändert.")
                            .arg(quoted(m_path)));
    case kSqliteCorrupt:
        return failText(QStringLiteral("Die Historie %1 ist beschädigt (%2); sie wird nicht benutzt und bleibt "
                                       "unverändert.")
                            .arg(quoted(m_path), reason));
    case kSqliteCantOpen:
        return failText(QStringLiteral("Die Historie %1 kann nicht geöffnet oder angelegt werden (%2).")
                            .arg(quoted(m_path), reason));
    case kSqliteReadOnly:
        return failText(QStringLiteral("Die Historie %1 kann nicht beschrieben werden: die Datei oder ihr Ordner ist "
                                       "schreibgeschützt (%2). Sie bleibt unverändert.")
                            .arg(quoted(m_path), reason));
    case kSqliteFull:
        return failText(QStringLiteral("%1: Auf dem Datenträger der Historie %2 ist kein Platz mehr (%3).")
                            .arg(what, quoted(m_path), reason));
    default:
        return failText(QStringLiteral("%1: Historie %2: %3").arg(what, quoted(m_path), reason));
    }
}

bool HistoryDatabase::open()
{
    m_open = false;
    m_error.clear();
    const QFileInfo file(m_path);
    if (file.exists() && !file.isFile())
        return failText(QStringLiteral("Die Historie %1 ist keine Datei.").arg(quoted(m_path)));
    if (!QDir().mkpath(file.absolutePath()))
        return failText(QStringLiteral("Der Ordner der Historie %1 kann nicht angelegt werden.").arg(quoted(m_path)));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return failText(QStringLiteral("Für die Historie %1 fehlt der SQLite-Treiber von Qt (Paket libqt6sql6-sqlite).")
                            .arg(quoted(m_path)));

    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        return failText(QStringLiteral("Die Historie %1 kann nicht geöffnet werden: %2")
                            .arg(quoted(m_path), error.databaseText().isEmpty() ? error.text() : error.databaseText()));
    }
    if (!prepareSchema()) {
        db.close();
        return false;
    }
    m_open = true;
    return true;
}

bool HistoryDatabase::prepareSchema()
{
    const QString reading = readingFailed();
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Transaction transaction(db);
    QSqlQuery query(db);
    // Only reads until the file is known to be ours or empty: a foreign file must stay byte for byte as it is.
    // One statement, so a writer making the schema at this moment is seen whole or not at all.
    const QString ownership = QStringLiteral(
        "SELECT (SELECT count(*) FROM sqlite_master), (SELECT application_id FROM pragma_application_id())");
    const auto foreign = [&]() -> std::optional<bool> {
        if (!execWaiting(query, ownership) || !query.next())
            return std::nullopt;
        const bool result = query.value(0).toLongLong() > 0 && query.value(1).toInt() != kApplicationId;
        query.finish();
        return result;
    };
    const QString notOurs = QStringLiteral("Die Datenbank %1 ist keine Arvelo-Historie; sie wird nicht benutzt und bleibt "
                                           "unverändert.")
                                .arg(quoted(m_path));
    const std::optional<bool> before = foreign();
    if (!before)
        return fail(reading, query);
    if (*before)
        return failText(notOurs);

    if (!execWaiting(query, QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next())
        return fail(QStringLiteral("Die Historie kann nicht geschrieben werden"), query);
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA foreign_keys=ON")))
        return fail(reading, query);
    // A run of 20,000 archives changes more pages than SQLite's default cache of 2 MB holds; without room the
    // transaction spills pages into the log and writes them again as it goes on.
    if (!query.exec(QStringLiteral("PRAGMA cache_size=-32768")))
        return fail(reading, query);

    // Two programs opening a new file at once: the second waits here and then finds the schema in place.
    if (!transaction.begin())
        return fail(QStringLiteral("Die Historie kann nicht geschrieben werden"), transaction.query());
    const std::optional<bool> inside = foreign();
    if (!inside || *inside)
        return inside ? failText(notOurs) : fail(reading, query);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return fail(reading, query);
    const int version = query.value(0).toInt();
    query.finish();
    if (version > kSchemaVersion) {
        return failText(QStringLiteral("Die Historie %1 stammt von einer neueren Arvelo-Version (Schema %2, diese Version "
                                       "kennt bis %3); sie wird nicht benutzt und bleibt unverändert.")
                            .arg(quoted(m_path))
                            .arg(version)
                            .arg(kSchemaVersion));
    }
    if (version < kSchemaVersion && !upgradeFrom(version))
        return false;
    if (!transaction.commit())
        return fail(QStringLiteral("Die Historie kann nicht angelegt werden"), transaction.query());
    return true;
}

bool HistoryDatabase::upgradeFrom(int version)
{
    const QString creating = QStringLiteral("Die Historie kann nicht angelegt werden");
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (version == 0 && !query.exec(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId)))
        return fail(creating, query);
    for (int v = version; v < kSchemaVersion; ++v) {
        // The driver runs one statement per call.
        const QStringList statements = QString::fromLatin1(kSchema[v]).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& statement : statements) {
            if (!query.exec(statement))
                return fail(creating, query);
        }
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)))
        return fail(creating, query);
    return true;
}

qint64 HistoryDatabase::serverId(const QString& server, bool create)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (create) {
        query.prepare(QStringLiteral("INSERT OR IGNORE INTO servers (root) VALUES (?)"));
        query.addBindValue(text(server));
        if (!query.exec()) {
            fail(QStringLiteral("Der Lauf kann nicht geschrieben werden"), query);
            return -1;
        }
    }
    query.prepare(QStringLiteral("SELECT id FROM servers WHERE root = ?"));
    query.addBindValue(text(server));
    if (!read(query))
        return -1;
    return query.next() ? query.value(0).toLongLong() : 0;
}

std::optional<qint64> HistoryDatabase::record(const Run& run)
{
    m_error.clear();
    if (!m_open) {
        failText(QStringLiteral("Die Historie %1 ist nicht geöffnet.").arg(quoted(m_path)));
        return std::nullopt;
    }
    const QString writing = QStringLiteral("Der Lauf wurde nicht in die Historie geschrieben, sie ist unverändert");
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // Made first, so it ends last: after the writer's statements, rolling back what they did unless committed.
    Transaction transaction(db);
    if (!transaction.begin()) {
        fail(writing, transaction.query());
        return std::nullopt;
    }
    const qint64 server = serverId(run.info.server, true);
    if (server <= 0) {
        m_error = writing + QStringLiteral(": ") + m_error;
        return std::nullopt;
    }
    RunWriter writer(db, run, server);
    if (!writer.readKnownArchives() || !writer.insertRun() || !writer.insertArchives()) {
        fail(writing, writer.error());
        return std::nullopt;
    }
    if (!transaction.commit()) {
        fail(writing, transaction.query());
        return std::nullopt;
    }
    return writer.runId();
}

std::optional<std::vector<RunInfo>> HistoryDatabase::runs(const QString& server)
{
    m_error.clear();
    std::vector<RunInfo> result;
    const qint64 id = serverId(server, false);
    if (id < 0)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE server = ? ORDER BY started DESC, id DESC")
                      .arg(QLatin1String(kRunColumns)));
    query.addBindValue(id);
    if (!read(query))
        return std::nullopt;
    while (query.next()) {
        RunInfo info = runInfo(query);
        info.server = server;
        result.push_back(info);
    }
    return result;
}

std::optional<Growth> HistoryDatabase::growth(const QString& server, const std::optional<QDateTime>& since)
{
    m_error.clear();
    const qint64 id = serverId(server, false);
    if (id <= 0)
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);

    const auto pick = [&](const QString& condition, const QVariantList& values) -> std::optional<RunInfo> {
        query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE server = ? AND figures = 1 %2"
                                     " ORDER BY started DESC, id DESC LIMIT 1")
                          .arg(QLatin1String(kRunColumns), condition));
        query.addBindValue(id);
        for (const QVariant& v : values)
            query.addBindValue(v);
        if (!read(query))
            return std::nullopt;
        if (!query.next())
            return std::nullopt;
        RunInfo info = runInfo(query);
        info.server = server;
        query.finish();
        return info;
    };

    const std::optional<RunInfo> latest = pick({}, {});
    if (!latest)
        return std::nullopt;
    Growth growth;
    growth.latest = *latest;
    if (since)
        growth.reference = pick(QStringLiteral("AND started <= ?"), {msOf(*since)});
    else
        growth.reference = pick(QStringLiteral("AND (started < ? OR (started = ? AND id < ?))"),
                                {msOf(latest->started), msOf(latest->started), latest->id});
    if (!m_error.isEmpty())
        return std::nullopt;

    query.prepare(QStringLiteral(
        "SELECT m.level, a.name, a.user_id, a.path, m.size, m.messages_g, m.anhang_g, r.size, r.messages_g, r.anhang_g"
        " FROM measurements m JOIN archives a ON a.id = m.archive"
        " LEFT JOIN measurements r ON r.run = ? AND r.archive = m.archive"
        " WHERE m.run = ? ORDER BY m.pos"));
    query.addBindValue(growth.reference ? growth.reference->id : qint64(-1));
    query.addBindValue(latest->id);
    if (!read(query))
        return std::nullopt;
    while (query.next()) {
        GrowthRow row;
        row.level = query.value(0).toInt();
        row.name = query.value(1).toString();
        row.userId = query.value(2).toString();
        row.path = query.value(3).toString();
        row.Size = query.value(4).toDouble();
        row.AnzahlNachrichtenG = query.value(5).toDouble();
        row.AnhangG = query.value(6).toInt();
        row.before = !query.value(7).isNull();
        if (row.before) {
            row.SizeBefore = query.value(7).toDouble();
            row.AnzahlNachrichtenGBefore = query.value(8).toDouble();
            row.AnhangGBefore = query.value(9).toInt();
        }
        growth.rows.push_back(row);
    }
    return growth;
}

std::optional<ArchiveGrowth> HistoryDatabase::archiveGrowth(const QString& server, const QString& archivePath)
{
    m_error.clear();
    const qint64 id = serverId(server, false);
    if (id <= 0)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    // The archive's measurements newest first; the index on (archive, run) holds them together.
    query.prepare(QStringLiteral("SELECT r.started, m.size FROM archives a JOIN measurements m ON m.archive = a.id"
                                 " JOIN runs r ON r.id = m.run WHERE a.server = ? AND a.path = ?"
                                 " ORDER BY r.started DESC, r.id DESC"));
    query.addBindValue(id);
    query.addBindValue(archivePath);
    if (!read(query))
        return std::nullopt;
    if (!query.next())
        return std::nullopt;
    const QDateTime latestStarted = whenOf(query.value(0));
    const double latestSize = query.value(1).toDouble();
    if (!query.next())
        return std::nullopt;
    ArchiveGrowth growth;
    growth.previousRun = whenOf(query.value(0));
    growth.sincePrevious = latestSize - query.value(1).toDouble();
    const QDateTime monthAgo = latestStarted.addDays(-30);
    do {
        if (whenOf(query.value(0)) <= monthAgo) {
            growth.over30Days = latestSize - query.value(1).toDouble();
            break;
        }
    } while (query.next());
    return growth;
}

std::optional<std::vector<ServerSize>> HistoryDatabase::serverSizes(const QString& server, const QDateTime& from)
{
    m_error.clear();
    std::vector<ServerSize> result;
    const qint64 id = serverId(server, false);
    if (id < 0)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT r.started, (SELECT total(m.size) FROM measurements m WHERE m.run = r.id"
                                 " AND m.level = 0) FROM runs r WHERE r.server = ? AND r.figures = 1 AND r.started >= ?"
                                 " ORDER BY r.started, r.id"));
    query.addBindValue(id);
    query.addBindValue(msOf(from));
    if (!read(query))
        return std::nullopt;
    while (query.next())
        result.push_back(ServerSize {whenOf(query.value(0)), query.value(1).toDouble()});
    return result;
}

std::optional<std::vector<ArchiveFigures>> HistoryDatabase::runArchives(qint64 run)
{
    m_error.clear();
    std::vector<ArchiveFigures> result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT m.level, a.name, a.user_id, a.path, a.full_path, m.size, m.size_root, m.messages, m.messages_g,"
        " m.anhang, m.anhang_g, m.anhang_size, m.anhang_size_g, m.newest, m.oldest"
        " FROM measurements m JOIN archives a ON a.id = m.archive WHERE m.run = ? ORDER BY m.pos"));
    query.addBindValue(run);
    if (!read(query))
        return std::nullopt;
    while (query.next()) {
        ArchiveFigures f;
        f.level = query.value(0).toInt();
        f.name = query.value(1).toString();
        f.userId = query.value(2).toString();
        f.path = query.value(3).toString();
        f.fullPath = query.value(4).toString();
        f.Size = query.value(5).toDouble();
        f.SizeRoot = query.value(6).toDouble();
        f.AnzahlNachrichten = query.value(7).toDouble();
        f.AnzahlNachrichtenG = query.value(8).toDouble();
        f.Anhang = query.value(9).toInt();
        f.AnhangG = query.value(10).toInt();
        f.AnhangSize = query.value(11).toDouble();
        f.AnhangSizeG = query.value(12).toDouble();
        f.newest = query.value(13).toString();
        f.oldest = query.value(14).toString();
        result.push_back(f);
    }
    return result;
}

std::optional<std::vector<TypeTotal>> HistoryDatabase::typeTotals(qint64 run)
{
    m_error.clear();
    std::vector<TypeTotal> result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT type, sum(count), count(DISTINCT archive) FROM type_counts"
                                 " WHERE run = ? AND level = 0 GROUP BY type ORDER BY sum(count) DESC, type"));
    query.addBindValue(run);
    if (!read(query))
        return std::nullopt;
    while (query.next())
        result.push_back(TypeTotal {query.value(0).toString(), query.value(1).toLongLong(), query.value(2).toInt()});
    return result;
}

std::optional<int> HistoryDatabase::forgetBefore(const QString& server, const QDateTime& before)
{
    m_error.clear();
    const QString writing = QStringLiteral("Die Läufe wurden nicht vergessen, die Historie ist unverändert");
    const qint64 id = serverId(server, false);
    if (id < 0)
        return std::nullopt;
    if (id == 0)
        return 0;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    Transaction transaction(db);
    if (!transaction.begin()) {
        fail(writing, transaction.query());
        return std::nullopt;
    }
    QSqlQuery query(db);
    const QString doomed = QStringLiteral("(SELECT id FROM runs WHERE server = %1 AND started < %2)").arg(id).arg(msOf(before));
    int forgotten = 0;
    const QStringList steps = {
        QStringLiteral("DELETE FROM type_counts WHERE run IN %1").arg(doomed),
        QStringLiteral("DELETE FROM measurements WHERE run IN %1").arg(doomed),
        QStringLiteral("DELETE FROM runs WHERE server = %1 AND started < %2").arg(id).arg(msOf(before)),
        // Archives no run holds any longer.
        QStringLiteral("DELETE FROM archives WHERE server = %1"
                       " AND NOT EXISTS (SELECT 1 FROM measurements m WHERE m.archive = archives.id)"
                       " AND id NOT IN (SELECT archive FROM type_counts)")
            .arg(id),
    };
    for (const QString& step : steps) {
        if (!query.exec(step)) {
            fail(writing, query);
            return std::nullopt;
        }
        if (step.startsWith(QLatin1String("DELETE FROM runs")))
            forgotten = query.numRowsAffected();
    }
    if (!transaction.commit()) {
        fail(writing, transaction.query());
        return std::nullopt;
    }
    return forgotten;
}

}  // namespace history
