// arvelo-stat and the history, run as the real program: runs recorded before and after archives grow, shrink,
// appear and vanish, compared with sizes counted here; writers at once; files it must refuse.

#include "archive_generator.h"
#include "cli/growth_output.h"
#include "cli/stat_history.h"
#include "csv_reader.h"
#include "stat_program.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

using clitest::app;
using Result = clitest::StatResult;

QProcess* startStat(const QStringList& args)
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ARVELO_SERVER"));
    env.remove(QStringLiteral("ARVELO_HISTORY"));
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(ARVELO_STAT_EXE), args);
    return p;
}

Result finish(QProcess* p)
{
    const Result r = clitest::finished(*p);
    delete p;
    return r;
}

Result runStat(const QStringList& args)
{
    app();
    return finish(startStat(args));
}

// Every file below a folder, dot-folders left out: the archive's size counted without the scanner.
std::uint64_t bytesBelow(const fs::path& folder)
{
    std::uint64_t sum = 0;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && it->path().filename().string().starts_with('.')) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file())
            sum += it->file_size();
    }
    return sum;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

class StatHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(m_tmp.isValid());
        m_server = m_tmp.filePath(QStringLiteral("server"));
        m_history = m_tmp.filePath(QStringLiteral("h/history.sqlite"));
        for (const char* id : {"0000A001", "0000A002", "0000A003"})
            addUser(QString::fromLatin1(id));
        writeServer();
    }

    QString pathOf(const QString& id) const { return QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\") + id; }
    fs::path folderOf(const QString& id) const
    {
        return fs::path(m_server.toStdString()) / "shares/SRV01/DAVID/ARCHIVE/USER" / id.toStdString();
    }

    void addUser(const QString& id)
    {
        gen::ArchiveOptions o;
        o.messages = 10;
        o.attachments = 6;
        o.folders = 1;
        gen::generateArchive(folderOf(id), o, id.right(1).toUInt() + 7);
        m_users.append(id);
    }

    void writeServer()
    {
        QJsonArray users;
        for (const QString& id : m_users)
            users.append(QJsonObject {{"name", QStringLiteral("Benutzer ") + id}, {"path", pathOf(id)},
                                      {"fullPath", QStringLiteral("\\\\SRV01\\") + id}});
        const QJsonObject root {{"archiveRoot", QJsonObject {{"name", "Archiv"},
                                                             {"path", "SRV01:DAVID\\ARCHIVE"},
                                                             {"fullPath", "\\\\SRV01\\DAVID\\ARCHIVE"},
                                                             {"subArchives", users}}}};
        QFile f(m_server + QStringLiteral("/server.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(root).toJson());
    }

    QStringList base() const { return {QStringLiteral("--server"), m_server, QStringLiteral("--history"), m_history}; }

    QTemporaryDir m_tmp;
    QString m_server;
    QString m_history;
    QStringList m_users;
};

}  // namespace

TEST_F(StatHistoryTest, GrowthFollowsArchivesThatGrowShrinkAppearAndVanish)
{
    Result none = runStat(base() << QStringLiteral("--growth"));
    EXPECT_EQ(none.exitCode, 3) << none.err.constData();
    EXPECT_TRUE(none.out.isEmpty());

    std::map<QString, std::uint64_t> before;
    for (const QString& id : m_users)
        before[id] = bytesBelow(folderOf(id));
    Result first = runStat(base() << QStringLiteral("--record"));
    ASSERT_EQ(first.exitCode, 0) << first.err.constData();

    // A001 grows by 3 MiB, A002 loses its attachments of the archive folder, A003 vanishes, A004 appears.
    gen::writeFile(folderOf("0000A001") / "gross.bin", 3 * 1048576);
    for (const auto& e : fs::directory_iterator(folderOf("0000A002")))
        if (e.is_regular_file() && e.path().extension().string().starts_with(".$0"))
            fs::remove(e.path());
    m_users.removeAll(QStringLiteral("0000A003"));
    addUser(QStringLiteral("0000A004"));
    writeServer();
    Result second = runStat(base() << QStringLiteral("--record") << QStringLiteral("--format=json"));
    ASSERT_EQ(second.exitCode, 0) << second.err.constData();

    Result growth = runStat(base() << QStringLiteral("--growth") << QStringLiteral("--format") << QStringLiteral("json"));
    ASSERT_EQ(growth.exitCode, 0) << growth.err.constData();
    const QJsonArray rows = QJsonDocument::fromJson(growth.out).array();
    ASSERT_EQ(rows.size(), 3);
    for (const QJsonValue& v : rows) {
        const QJsonObject o = v.toObject();
        const QString id = o.value("userId").toString();
        SCOPED_TRACE(id.toStdString());
        const double now = double(bytesBelow(folderOf(id))) / 1048576.0;
        EXPECT_NEAR(o.value("Size").toDouble(), now, 1e-9);
        if (id == QStringLiteral("0000A004")) {
            for (const char* key : {"recordedBefore", "SizeBefore", "AnzahlNachrichtenGBefore", "AnhangGBefore",
                                    "SizeGrowth"})
                EXPECT_TRUE(o.value(QLatin1String(key)).isNull()) << key;
            continue;
        }
        const double then = double(before.at(id)) / 1048576.0;
        EXPECT_NEAR(o.value("SizeBefore").toDouble(), then, 1e-9);
        EXPECT_NEAR(o.value("SizeGrowth").toDouble(), now - then, 1e-9);
        EXPECT_FALSE(o.value("recordedBefore").toString().isEmpty());
    }
    EXPECT_NEAR(rows[0].toObject().value("SizeGrowth").toDouble(), 3.0, 1e-9);
    EXPECT_LT(rows[1].toObject().value("SizeGrowth").toDouble(), 0);

    // CSV: the columns, and empty fields for the new archive.
    Result csv = runStat(base() << QStringLiteral("--growth"));
    ASSERT_EQ(csv.exitCode, 0) << csv.err.constData();
    const std::vector<QStringList> lines = clitest::readCsv(csv.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], growthColumns());
    EXPECT_EQ(lines[3].mid(8), QStringList({"", "", "", "", ""}));

    // The runs, newest first; forgetting the older one leaves no reference.
    Result runs = runStat(base() << QStringLiteral("--runs"));
    ASSERT_EQ(runs.exitCode, 0) << runs.err.constData();
    const std::vector<QStringList> runLines = clitest::readCsv(runs.out);
    ASSERT_EQ(runLines.size(), 3u);
    EXPECT_GT(runLines[1][0].toInt(), runLines[2][0].toInt());
    Result older = runStat(base() << QStringLiteral("--growth") << QStringLiteral("--since") << QStringLiteral("2000-01-01"));
    ASSERT_EQ(older.exitCode, 0);
    EXPECT_EQ(clitest::readCsv(older.out)[1].mid(8), QStringList({"", "", "", "", ""})) << "no run that old";
    EXPECT_EQ(runStat(base() << QStringLiteral("--forget-before") << QStringLiteral("-1d")).exitCode, 64);
    Result forget = runStat(base() << QStringLiteral("--forget-before") << QStringLiteral("0d"));
    ASSERT_EQ(forget.exitCode, 0) << forget.err.constData();
    EXPECT_TRUE(forget.err.contains("2")) << forget.err.constData();
    EXPECT_EQ(runStat(base() << QStringLiteral("--growth")).exitCode, 3);
}

TEST_F(StatHistoryTest, FourWritersAtOnceAreAllRecorded)
{
    std::vector<QProcess*> writers;
    for (int i = 0; i < 4; ++i)
        writers.push_back(startStat(base() << QStringLiteral("--record") << QStringLiteral("--types")));
    for (QProcess* p : writers) {
        const Result r = finish(p);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    }
    const Result runs = runStat(base() << QStringLiteral("--runs") << QStringLiteral("--format=json"));
    ASSERT_EQ(runs.exitCode, 0) << runs.err.constData();
    const QJsonArray list = QJsonDocument::fromJson(runs.out).array();
    ASSERT_EQ(list.size(), 4);
    for (const QJsonValue& v : list) {
        EXPECT_EQ(v.toObject().value("archives").toInt(), 3);
        EXPECT_EQ(v.toObject().value("types").toString(), QStringLiteral("tree"));
    }
}

TEST_F(StatHistoryTest, UnusableHistoriesEndWithFourAndStayAsTheyWere)
{
    struct Case {
        const char* name;
        QByteArray content;
    };
    QByteArray newer;
    {
        // A history of a later version: recorded by this one, then its schema number raised.
        const QString made = m_tmp.filePath(QStringLiteral("newer.sqlite"));
        ASSERT_EQ(runStat({QStringLiteral("--server"), m_server, QStringLiteral("--history"), made,
                           QStringLiteral("--record")})
                      .exitCode,
                  0);
        // The schema number is SQLite's user_version, four bytes big-endian at offset 60 of the file's header.
        QFile f(made);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(60));
        ASSERT_EQ(f.write(QByteArray("\0\0\0\x09", 4)), 4);
        ASSERT_TRUE(f.seek(0));
        newer = f.readAll();
    }
    const std::vector<Case> cases = {
        {"text.sqlite", QByteArray("kein SQLite\n").repeated(400)},
        {"newer.sqlite", newer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = m_tmp.filePath(QStringLiteral("bad-") + QLatin1String(c.name));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        const QByteArray sum = digest(file);
        for (const QStringList& args :
             {QStringList {QStringLiteral("--record")}, QStringList {QStringLiteral("--growth")},
              QStringList {QStringLiteral("--forget-before"), QStringLiteral("2d")}}) {
            const Result r = runStat(QStringList {QStringLiteral("--server"), m_server, QStringLiteral("--history"), file} + args);
            EXPECT_EQ(r.exitCode, 4) << args.join(' ').toStdString() << r.err.constData();
            // Messages come in the system's code page and name the file as the system writes paths.
            EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(QDir::toNativeSeparators(file))) << r.err.constData();
        }
        EXPECT_EQ(digest(file), sum);
    }
}

TEST(StatHistoryMoment, DatesAndDaysBack)
{
    const QDateTime now(QDate(2026, 12, 10), QTime(3, 0));
    EXPECT_EQ(historyMoment(QStringLiteral("2026-12-03"), DayEdge::End, now), QDate(2026, 12, 3).endOfDay());
    EXPECT_EQ(historyMoment(QStringLiteral("2026-12-03"), DayEdge::Start, now), QDate(2026, 12, 3).startOfDay());
    EXPECT_EQ(historyMoment(QStringLiteral("30d"), DayEdge::End, now), now.addDays(-30));
    for (const char* bad : {"", "d", "-1d", "3.12.2026", "2026-13-01", "30 d", "30days"})
        EXPECT_FALSE(historyMoment(QString::fromLatin1(bad), DayEdge::End, now).has_value()) << bad;
}
