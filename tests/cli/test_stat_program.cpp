// Runs the real arvelo-stat on server folders built here and compares its output with figures counted
// while the archive trees were written.

#include "archive_generator.h"
#include "as_nobody.h"
#include "cli/stat_output.h"
#include "csv_reader.h"
#include "stat_program.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using clitest::app;
using clitest::StatResult;

// Exit code of a child that could not give up root.
constexpr int kNoDrop = 125;

// With `nobody`, the program runs as that user.
StatResult runStat(const QStringList& args, const QString& serverEnv = {}, const QString& outputFile = {},
                   const clitest::NobodyProgram* nobody = nullptr)
{
    app();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ARVELO_SERVER"));
    if (!serverEnv.isEmpty())
        env.insert(QStringLiteral("ARVELO_SERVER"), serverEnv);
    // The output must not depend on the user's formats.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    p.setProcessEnvironment(env);
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
#ifndef _WIN32
    if (nobody) {
        p.setChildProcessModifier([] {
            if (!clitest::becomeNobody())
                ::_exit(kNoDrop);
        });
    }
#endif
    p.start(nobody ? nobody->path() : QStringLiteral(ARVELO_STAT_EXE), args);
    return clitest::finished(p);
}

// What one output line says, whichever format it came in.
struct OutRow {
    int level = -1;
    QString name, userId, path, fullPath;
    long double size = -1, sizeRoot = -1;
    double nachrichten = -1, nachrichtenG = -1;
    long long anhang = -1, anhangG = -1;
    double anhangSize = -1, anhangSizeG = -1;
    QString newest, oldest;  // empty when none
};

std::vector<OutRow> fromCsv(const QByteArray& bytes)
{
    const std::vector<QStringList> records = clitest::readCsv(bytes);
    EXPECT_FALSE(records.empty());
    if (records.empty())
        return {};
    EXPECT_EQ(records[0], statColumns());
    std::vector<OutRow> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const QStringList& f = records[i];
        if (f.size() != 15) {
            ADD_FAILURE() << "line " << i << " has " << f.size() << " fields";
            continue;
        }
        const auto ld = [](const QString& s) { return std::strtold(s.toUtf8().constData(), nullptr); };
        const auto d = [](const QString& s) { return std::strtod(s.toUtf8().constData(), nullptr); };
        rows.push_back({f[0].toInt(), f[1], f[2], f[3], f[4], ld(f[5]), ld(f[6]), d(f[7]), d(f[8]), f[9].toLongLong(),
                        f[10].toLongLong(), d(f[11]), d(f[12]), f[13], f[14]});
    }
    return rows;
}

std::vector<OutRow> fromJson(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    std::vector<OutRow> rows;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const auto s = [&](const char* k) { return o.value(QLatin1String(k)).toString(); };
        const auto n = [&](const char* k) { return o.value(QLatin1String(k)).toDouble(-1); };
        rows.push_back({o.value(QLatin1String("level")).toInt(-1), s("name"), s("userId"), s("path"), s("fullPath"),
                        n("Size"), n("SizeRoot"), n("AnzahlNachrichten"), n("AnzahlNachrichtenG"),
                        (long long)n("Anhang"), (long long)n("AnhangG"), n("AnhangSize"), n("AnhangSizeG"),
                        s("newest"), s("oldest")});
    }
    return rows;
}

// An archive of the test server with the figures expected for its row.
struct Expected {
    int level;
    QString name;
    QString path;
    gen::ArchiveFigures figures;
};

// A sub-archive folder inside its parent's folder adds its whole tree to the parent's tree figures; the
// parent's own folder gains only the sub-archive's folder entry, of size 0.
gen::ArchiveFigures withNested(gen::ArchiveFigures parent, const gen::ArchiveFigures& sub)
{
    parent.size += sub.size;
    parent.anzahlNachrichtenG += sub.anzahlNachrichtenG;
    parent.anhangG += sub.anhangG;
    parent.anhangSizeG += sub.anhangSizeG;
    if (sub.newest)
        parent.newest = parent.newest ? std::max(*parent.newest, *sub.newest) : *sub.newest;
    if (sub.oldest)
        parent.oldest = parent.oldest ? std::min(*parent.oldest, *sub.oldest) : *sub.oldest;
    return parent;
}

QString iso(const std::optional<std::int64_t>& seconds)
{
    return seconds ? QDateTime::fromSecsSinceEpoch(*seconds).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString();
}

void expectRows(const std::vector<OutRow>& got, const std::vector<Expected>& want)
{
    ASSERT_EQ(got.size(), want.size());
    constexpr long double mb = 1048576.0L;
    for (std::size_t i = 0; i < want.size(); ++i) {
        const OutRow& g = got[i];
        const Expected& w = want[i];
        const gen::ArchiveFigures& f = w.figures;
        SCOPED_TRACE(w.path.toStdString());
        EXPECT_EQ(g.level, w.level);
        EXPECT_EQ(g.name, w.name);
        EXPECT_EQ(g.path, w.path);
        EXPECT_EQ(g.userId, w.path.right(8));
        EXPECT_EQ(g.fullPath, QStringLiteral("\\\\") + w.path);
        EXPECT_EQ(g.size, (long double)f.size / mb);
        EXPECT_EQ(g.sizeRoot, (long double)f.sizeRoot / mb);
        EXPECT_EQ(g.nachrichten, f.anzahlNachrichten);
        EXPECT_NEAR(g.nachrichtenG, f.anzahlNachrichtenG, 1e-9 * (1 + f.anzahlNachrichtenG));
        EXPECT_EQ(g.anhang, f.anhang);
        EXPECT_EQ(g.anhangG, f.anhangG);
        EXPECT_EQ(g.anhangSize, double(f.anhangSize(w.level > 0)) / 1048576.0);
        EXPECT_EQ(g.anhangSizeG, double(f.anhangSizeG) / 1048576.0);
        EXPECT_EQ(g.newest, iso(f.newest));
        EXPECT_EQ(g.oldest, iso(f.oldest));
    }
}

class StatProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(m_tmp.isValid());
        m_server = m_tmp.filePath(QStringLiteral("server"));
        buildServer();
    }

    QString local(const QString& serverPath) const
    {
        QString p = serverPath;
        p.replace(QLatin1Char(':'), QLatin1Char('/')).replace(QLatin1Char('\\'), QLatin1Char('/'));
        return m_server + QStringLiteral("/shares/") + p;
    }

    gen::ArchiveFigures generate(const QString& serverPath, const gen::ArchiveOptions& options, std::uint64_t seed)
    {
        return gen::generateArchive(fs::path(local(serverPath).toStdString()), options, seed);
    }

    static QJsonObject entry(const QString& name, const QString& path, const QJsonArray& subs = {})
    {
        QJsonObject o {{QStringLiteral("name"), name}, {QStringLiteral("path"), path},
                       {QStringLiteral("fullPath"), QStringLiteral("\\\\") + path}};
        if (!subs.isEmpty())
            o.insert(QStringLiteral("subArchives"), subs);
        return o;
    }

    void buildServer()
    {
        const QString base = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\");
        gen::ArchiveOptions small;
        small.messages = 12;
        small.attachments = 5;
        small.folders = 2;
        small.depth = 1;

        // A user with a sub-archive inside the archive, which holds one more.
        const QString u0 = base + QStringLiteral("0000A001");
        const QString s1 = u0 + QStringLiteral("\\UA1");
        const QString s2 = s1 + QStringLiteral("\\UA2");
        const gen::ArchiveFigures f0 = generate(u0, small, 11);
        const gen::ArchiveFigures f1 = generate(s1, small, 12);
        const gen::ArchiveFigures f2 = generate(s2, small, 13);
        const gen::ArchiveFigures sub1 = withNested(f1, f2);

        // Awkward names and entries, two levels of folders.
        const QString u1 = base + QStringLiteral("0000A002");
        gen::ArchiveOptions tricky = small;
        tricky.trickyNames = true;
        tricky.depth = 2;
        tricky.archiveDatExtra = 17;
        tricky.rootAttachments = 0;
        const gen::ArchiveFigures f3 = generate(u1, tricky, 21);

        // A user whose folder is missing, and one without a single message.
        const QString u2 = base + QStringLiteral("0000A003");
        const QString u3 = base + QStringLiteral("0000A004");
        gen::ArchiveOptions empty;
        empty.messages = 0;
        empty.attachments = 0;
        empty.folders = 1;
        const gen::ArchiveFigures f4 = generate(u3, empty, 31);
        ASSERT_FALSE(f4.newest);

        const QString n0 = QStringLiteral("Müller, Hans \"Chef\"");
        const QString n1 = QStringLiteral("Zeile eins\r\nZeile zwei");
        m_users = {{0, n0, u0, withNested(withNested(f0, f1), f2)},
                   {0, n1, u1, f3},
                   {0, QStringLiteral("Fehlt"), u2, {}},
                   {0, QStringLiteral("Leer"), u3, f4}};
        m_all = {m_users[0], {1, QStringLiteral("Eingang"), s1, sub1}, {2, QStringLiteral("Alt, älter"), s2, f2},
                 m_users[1], m_users[2], m_users[3]};

        const QJsonArray users {
            entry(n0, u0, QJsonArray {entry(QStringLiteral("Eingang"), s1,
                                            QJsonArray {entry(QStringLiteral("Alt, älter"), s2)})}),
            entry(n1, u1), entry(QStringLiteral("Fehlt"), u2), entry(QStringLiteral("Leer"), u3)};
        const QJsonObject top {{QStringLiteral("archiveRoot"),
                                entry(QStringLiteral("Archiv"), QStringLiteral("SRV01:DAVID\\ARCHIVE"), users)}};
        writeServerJson(QJsonDocument(top).toJson());
    }

    void writeServerJson(const QByteArray& bytes)
    {
        QFile f(m_server + QStringLiteral("/server.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QTemporaryDir m_tmp;
    QString m_server;
    std::vector<Expected> m_users;
    std::vector<Expected> m_all;
};

}  // namespace

TEST_F(StatProgramTest, FiguresMatchAnIndependentCountInBothFormats)
{
    const StatResult json = runStat({QStringLiteral("--server"), m_server, QStringLiteral("--sub"),
                              QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--threads"),
                              QStringLiteral("2")});
    ASSERT_EQ(json.exitCode, 0) << json.err.constData();
    EXPECT_TRUE(json.err.isEmpty()) << "progress only on a terminal: " << json.err.constData();
    expectRows(fromJson(json.out), m_all);

    const StatResult csv = runStat({QStringLiteral("--server=") + m_server, QStringLiteral("--sub"),
                             QStringLiteral("--threads=1")});
    ASSERT_EQ(csv.exitCode, 0) << csv.err.constData();
    expectRows(fromCsv(csv.out), m_all);

    // Without --sub the users alone, in server order; more threads than archives change nothing.
    const StatResult users = runStat({QStringLiteral("--server"), m_server, QStringLiteral("--threads"), QStringLiteral("50")});
    ASSERT_EQ(users.exitCode, 0) << users.err.constData();
    expectRows(fromCsv(users.out), m_users);
}

// A sub-archive whose way from its parent's folder leads through a link: the parent's walk never enters
// links, so that row is walked on its own, with the figures it always had.
TEST_F(StatProgramTest, ASubArchiveBehindALinkIsWalkedOnItsOwn)
{
#ifdef _WIN32
    GTEST_SKIP() << "MinGW's library makes no symbolic links";
#else
    const QString elsewhere = QStringLiteral("SRV01:DAVID\\ARCHIVE\\ANDERSWO");
    gen::ArchiveOptions o;
    o.messages = 9;
    o.attachments = 4;
    const gen::ArchiveFigures target = generate(elsewhere, o, 41);
    const std::string to = local(elsewhere).toStdString();
    fs::create_directory_symlink(to, local(m_users[1].path).toStdString() + "/verweis");
    const QString sub = m_users[1].path + QStringLiteral("\\verweis");

    QFile file(m_server + QStringLiteral("/server.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject root = top.value(QStringLiteral("archiveRoot")).toObject();
    QJsonArray users = root.value(QStringLiteral("subArchives")).toArray();
    QJsonObject user1 = users[1].toObject();
    user1.insert(QStringLiteral("subArchives"), QJsonArray {entry(QStringLiteral("Verweis"), sub)});
    users[1] = user1;
    root.insert(QStringLiteral("subArchives"), users);
    top.insert(QStringLiteral("archiveRoot"), root);
    writeServerJson(QJsonDocument(top).toJson());

    std::vector<Expected> want = m_all;
    auto user = std::find_if(want.begin(), want.end(), [&](const Expected& e) { return e.path == m_users[1].path; });
    ASSERT_NE(user, want.end());
    user->figures.size += to.size();  // the link counts with its own size
    user->figures.sizeRoot += to.size();
    want.insert(user + 1, Expected {1, QStringLiteral("Verweis"), sub, target});

    const StatResult r = runStat({QStringLiteral("--server"), m_server, QStringLiteral("--sub"), QStringLiteral("--threads"),
                                  QStringLiteral("3")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    expectRows(fromCsv(r.out), want);
#endif
}

TEST_F(StatProgramTest, UnreadableFolderIsNamedAndEndsWithOne)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no mode-000 folder that keeps its owner out";
#else
    // A folder in the first user's archive that its owner alone may enter, and nobody else.
    const fs::path secret = fs::path(local(m_users[0].path).toStdString()) / "geheim";
    fs::create_directories(secret);
    gen::writeFile(secret / "x.$01", 5000);
    fs::permissions(secret, fs::perms::none);
    fs::permissions(m_tmp.path().toStdString(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);

    // Root reads every folder: the program then runs as nobody.
    std::optional<clitest::NobodyProgram> nobody;
    if (::geteuid() == 0) {
        nobody.emplace(QStringLiteral(ARVELO_STAT_EXE));
        if (!nobody->reachable(m_server)) {
            fs::permissions(secret, fs::perms::owner_all);
            GTEST_SKIP() << nobody->problem().toStdString();
        }
    }
    const StatResult r = runStat({QStringLiteral("--server"), m_server}, {}, {}, nobody ? &*nobody : nullptr);
    fs::permissions(secret, fs::perms::owner_all);
    if (r.exitCode == kNoDrop)
        GTEST_SKIP() << "running as root and cannot give up root: a mode-000 folder keeps nobody out";
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains("Ordner konnte nicht gelesen werden: " + QByteArray::fromStdString(secret.string())))
        << r.err.constData();
    EXPECT_TRUE(r.err.contains("Einige Zahlen sind unvollständig.")) << r.err.constData();
    // The figures are written all the same, without the folder's tree.
    expectRows(fromCsv(r.out), m_users);
#endif
}

TEST_F(StatProgramTest, WithoutServerOptionTheWindowsServerIsUsed)
{
    const StatResult named = runStat({QStringLiteral("--sub")}, m_server);
    ASSERT_EQ(named.exitCode, 0) << named.err.constData();
    const StatResult given = runStat({QStringLiteral("--sub"), QStringLiteral("--server"), m_server});
    EXPECT_EQ(named.out, given.out);

    // --server wins over the environment.
    const StatResult both = runStat({QStringLiteral("--server"), m_server}, m_tmp.filePath(QStringLiteral("nowhere")));
    EXPECT_EQ(both.exitCode, 0) << both.err.constData();
}

TEST_F(StatProgramTest, BadUsageAndBrokenServersGiveTheirExitCodes)
{
    for (const QStringList& args : {QStringList {QStringLiteral("--threads"), QStringLiteral("0")},
                                    QStringList {QStringLiteral("--format"), QStringLiteral("xml")},
                                    QStringList {QStringLiteral("--frobnicate")},
                                    QStringList {QStringLiteral("positional")}}) {
        const StatResult r = runStat(QStringList {QStringLiteral("--server"), m_server} + args);
        EXPECT_EQ(r.exitCode, 64) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }

    const StatResult help = runStat({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--threads") && help.out.contains("AnzahlNachrichtenG"));

    const StatResult missing = runStat({QStringLiteral("--server"), m_tmp.filePath(QStringLiteral("nowhere"))});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_TRUE(missing.err.contains("server.json")) << missing.err.constData();

    // Output that cannot be written is no success.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        const StatResult full = runStat({QStringLiteral("--server"), m_server}, {}, QStringLiteral("/dev/full"));
        EXPECT_EQ(full.exitCode, 74);
        EXPECT_FALSE(full.err.isEmpty());
    }

    writeServerJson("{\"archiveRoot\": {\"name\": \"Archiv\", \"path\": ");
    const StatResult garbled = runStat({QStringLiteral("--server"), m_server});
    EXPECT_EQ(garbled.exitCode, 2);
    EXPECT_TRUE(garbled.out.isEmpty());
    EXPECT_TRUE(garbled.err.contains("JSON")) << garbled.err.constData();

    writeServerJson("{\"archiveRoot\": {\"name\": \"Archiv\", \"path\": \"X\", \"fullPath\": \"X\","
                    " \"subArchives\": [{\"name\": \"Ohne Pfad\"}]}}");
    const StatResult incomplete = runStat({QStringLiteral("--server"), m_server});
    EXPECT_EQ(incomplete.exitCode, 2);
    EXPECT_TRUE(incomplete.err.contains("path")) << incomplete.err.constData();
}

namespace {

void walk(const QJsonObject& archive, int level, QStringList& out)
{
    out.append(QStringLiteral("%1|%2|%3").arg(level).arg(archive.value(QStringLiteral("name")).toString(),
                                                         archive.value(QStringLiteral("path")).toString()));
    for (const QJsonValue& sub : archive.value(QStringLiteral("subArchives")).toArray())
        walk(sub.toObject(), level + 1, out);
}

}  // namespace

TEST(StatDemoServer, EverySubArchiveFollowsItsParentInServerOrder)
{
    app();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString folder = tmp.filePath(QStringLiteral("demo"));
    QProcess build;
    build.start(QStringLiteral(ARVELO_DEMO_SERVER_EXE),
                {QStringLiteral("--out"), folder, QStringLiteral("--users"), QStringLiteral("6"),
                 QStringLiteral("--seed"), QStringLiteral("5")});
    ASSERT_TRUE(build.waitForFinished(120000));
    ASSERT_EQ(build.exitCode(), 0) << build.readAllStandardError().constData();

    QFile file(folder + QStringLiteral("/server.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList expected;
    for (const QJsonValue& user :
         QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("archiveRoot")).toObject().value(
             QStringLiteral("subArchives")).toArray())
        walk(user.toObject(), 0, expected);
    ASSERT_GT(expected.size(), 6) << "the demo server should have sub-archives";

    const StatResult r = runStat({QStringLiteral("--server"), folder, QStringLiteral("--sub"), QStringLiteral("--format"),
                           QStringLiteral("json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QStringList got;
    for (const OutRow& row : fromJson(r.out))
        got.append(QStringLiteral("%1|%2|%3").arg(row.level).arg(row.name, row.path));
    EXPECT_EQ(got, expected);
}
