// The server folder written from a logged-on server: the same server read back, the same figures measured
// through links to the original's shares, and nothing lost or left behind when it cannot be written.

#include "../platform/tiny_file_system.h"
#include "cli/server_folder_writer.h"
#include "cli/stat_listing.h"
#include "demo_server.h"
#include "platform/excerpt.h"
#include "server/standin/server_json.h"
#include "server/standin/standin_server.h"
#include "stat_program.h"
#include "tree_server.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using Outcome = ServerFolderResult::Outcome;

// Lines as one text, so that a failure shows them readably, with a diff.
std::string text(const QStringList& lines)
{
    return lines.join(QLatin1Char('\n')).toStdString();
}

std::shared_ptr<Account> logOn(const QString& folder)
{
    const std::unique_ptr<DvISEAPI> api = standin::createStandinApi(folder);
    api->PrepareLogon(1);
    return api->Logon({}, {}, {}, {}, {}, QStringLiteral("AUTH"));
}

// A demo server with sub-archives and messages of every kind.
void buildDemo(const QString& folder)
{
    demo::DemoOptions options;
    options.users = 5;
    options.seed = 7;
    demo::buildDemoServer(folder, options);
}

// The same, built once for the tests that leave it as it is.
const QString& demoServer()
{
    static QTemporaryDir dir;
    static const QString folder = [] {
        buildDemo(dir.filePath(QStringLiteral("demo")));
        return dir.filePath(QStringLiteral("demo"));
    }();
    return folder;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

standin::ServerJson readBack(const QString& folder)
{
    return standin::readServerJson(fileBytes(folder + QStringLiteral("/server.json")), folder);
}

// The server a folder serves, one line per archive in its order and one per message: what the program reads,
// with each message file's contents instead of its name.
QStringList served(const QString& folder, bool withMessages)
{
    QStringList lines;
    for (const standin::ServerJsonArchive& a : readBack(folder).archives) {
        QStringList subs;
        for (const int s : a.subs)
            subs.append(QString::number(s));
        lines.append(QStringList {a.name, a.path, a.fullPath, subs.join(QLatin1Char(','))}.join(QLatin1Char('|')));
        for (const standin::ServerJsonMessage& m : withMessages ? a.messages : decltype(a.messages) {}) {
            const QString file = m.kind == 2 ? m.eml : m.kind == 3 ? m.faxImage : QString();
            const QByteArray hash = file.isEmpty()
                ? QByteArray()
                : QCryptographicHash::hash(
                      fileBytes(folder + QLatin1Char('/') + QString(file).replace(QLatin1Char('\\'), QLatin1Char('/'))),
                      QCryptographicHash::Sha1)
                      .toHex();
            lines.append(QStringLiteral("  %1|%2|%3|%4")
                             .arg(m.kind)
                             .arg(m.title, m.kind == 8 ? m.url : QString(), QString::fromLatin1(hash)));
        }
    }
    return lines;
}

// Every entry below `folder` with its contents' hash or link target, to see that nothing changed.
std::string snapshot(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries.append(
            info.filePath() + QLatin1Char(' ')
            + (info.isSymLink()    ? info.symLinkTarget()
                   : info.isFile() ? QString::fromLatin1(
                         QCryptographicHash::hash(fileBytes(info.filePath()), QCryptographicHash::Sha1).toHex())
                                   : QString()));
    }
    entries.sort();
    return entries.join(QLatin1Char('\n')).toStdString();
}

}  // namespace

TEST(ServerFolderWriter, TheWrittenFolderServesTheSameServer)
{
    const QString original = demoServer();
    const QStringList expected = served(original, true);
    ASSERT_GT(readBack(original).archives.size(), 6u) << "the demo server should have sub-archives";
    ASSERT_TRUE(expected.join(QLatin1Char('\n')).contains(QStringLiteral("\n  3|"))) << "and faxes";

    for (const bool withMessages : {false, true}) {
        SCOPED_TRACE(withMessages ? "with messages" : "without messages");
        QTemporaryDir tmp;
        const QString out = tmp.filePath(QStringLiteral("written"));
        const std::shared_ptr<Account> account = logOn(original);
        ASSERT_TRUE(account);
        const ServerFolderResult r = writeServerFolder(*account, {out, withMessages, false});
        ASSERT_EQ(r.outcome, Outcome::Written) << r.error.toStdString();
        EXPECT_TRUE(r.notes.isEmpty()) << r.notes.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(r.archives, int(readBack(original).archives.size()));

        EXPECT_EQ(text(served(out, withMessages)), text(served(original, withMessages)));
        if (!withMessages) {
            EXPECT_EQ(text(served(out, true)), text(served(out, false))) << "no messages without the option";
            EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/messages")));
        } else {
            // Readable by whoever may read the rest of the folder, though it was written under another name.
            EXPECT_EQ(QFileInfo(out + QStringLiteral("/messages")).permissions(),
                      QFileInfo(out + QStringLiteral("/shares")).permissions());
        }
        // The stand-in reads it in its one fast pass, which matters at thousands of users.
        EXPECT_TRUE(standin::readServerJsonDirect(fileBytes(out + QStringLiteral("/server.json"))).has_value());
        EXPECT_TRUE(QDir(out + QStringLiteral("/shares")).isEmpty());
        EXPECT_EQ(text(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)),
                  withMessages ? "messages\nserver.json\nshares" : "server.json\nshares");
    }
}

TEST(ServerFolderWriter, AMessageFileThatCannotBeHadIsNamedAndItsEntryKept)
{
    QTemporaryDir tmp;
    const QString copy = tmp.filePath(QStringLiteral("demo"));
    buildDemo(copy);
    const standin::ServerJson json = readBack(copy);
    QString eml, fax;
    for (const standin::ServerJsonArchive& a : json.archives)
        for (const standin::ServerJsonMessage& m : a.messages) {
            if (m.kind == 2 && eml.isEmpty())
                eml = m.eml;
            if (m.kind == 3 && fax.isEmpty())
                fax = m.faxImage;
        }
    ASSERT_TRUE(QFile::remove(copy + QLatin1Char('/') + eml));
    ASSERT_TRUE(QFile::remove(copy + QLatin1Char('/') + fax));

    const QString out = tmp.filePath(QStringLiteral("written"));
    const ServerFolderResult r = writeServerFolder(*logOn(copy), {out, true, false});
    ASSERT_EQ(r.outcome, Outcome::Written) << r.error.toStdString();
    EXPECT_FALSE(r.complete());
    ASSERT_EQ(r.notes.size(), 2) << r.notes.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(r.notes.join(QLatin1Char('\n')).contains(fax)) << "the fax's reason names its file";
    // Every message is there; the two lost ones name files that are not, so exporting them fails as before.
    const QStringList got = served(out, true);
    EXPECT_EQ(got.size(), served(copy, true).size());
    EXPECT_EQ(got.filter(QStringLiteral("|")
                         + QString::fromLatin1(QCryptographicHash::hash("<missing>", QCryptographicHash::Sha1).toHex()))
                  .size(),
              2);
}

TEST(ServerFolderWriter, AnArchiveThatComesAgainIsLeftOutSoTheFolderStaysReadable)
{
    const auto tree = clitest::sampleTree();
    // Alt lists its grandparent Anna again; the server lists Clara twice.
    tree->byPath[QStringLiteral("S:U\\0000ANNA\\E\\ALT")].subs = {QStringLiteral("S:U\\0000ANNA")};
    tree->byPath[QStringLiteral("ROOT")].subs.append(QStringLiteral("S:U\\0000CLARA"));
    clitest::TreeAccount account(tree);

    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("written"));
    const ServerFolderResult r = writeServerFolder(account, {out, false, false});
    ASSERT_EQ(r.outcome, Outcome::Written) << r.error.toStdString();
    ASSERT_EQ(r.notes.size(), 2);
    EXPECT_TRUE(r.notes[0].contains(QStringLiteral("sich selbst"))) << r.notes[0].toStdString();
    EXPECT_TRUE(r.notes[1].contains(QStringLiteral("zweimal"))) << r.notes[1].toStdString();

    QStringList rows;
    for (const StatRow& row : listArchives(*logOn(out), true).rows)
        rows.append(QStringLiteral("%1 %2 %3").arg(row.level).arg(row.data->TobitUser, row.data->FullPath));
    EXPECT_EQ(text(rows),
              text({"0 Anna FULL:S:U\\0000ANNA", "1 Eingang FULL:S:U\\0000ANNA\\E", "2 Alt FULL:S:U\\0000ANNA\\E\\ALT",
                    "1 Gesendet FULL:S:U\\0000ANNA\\G", "0 Bernd FULL:U\\BERND", "0 Clara FULL:S:U\\0000CLARA",
                    "1 Projekte FULL:S:U\\0000CLARA\\P"}));
}

TEST(ServerFolderWriter, AnOccupiedTargetIsRefusedAndLeftAsItWas)
{
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    };
    struct Case {
        const char* name;
        bool replace;
        std::function<void(const QString& target)> make;
    };
    const Case cases[] = {
        {"a file", false, [&](const QString& t) { write(t, "x"); }},
        {"a folder holding a file", false, [&](const QString& t) { write(t + "/notes.txt", "x"); }},
        {"a hidden file", false, [&](const QString& t) { write(t + "/.x", "x"); }},
        {"a server folder", false, [&](const QString& t) { write(t + "/server.json", "{}"); }},
#ifndef _WIN32
        {"a pipe as server.json, even with --replace", true,
         [](const QString& t) {
             QDir().mkpath(t);
             ::mkfifo(QFile::encodeName(t + "/server.json").constData(), 0600);
         }},
#endif
    };
    const auto account = logOn(demoServer());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tmp;
        const QString target = tmp.filePath(QStringLiteral("target"));
        c.make(target);
        const std::string before = snapshot(tmp.path());
        const ServerFolderResult r = writeServerFolder(*account, {target, true, c.replace});
        EXPECT_EQ(r.outcome, Outcome::Refused);
        EXPECT_TRUE(r.error.contains(QDir::toNativeSeparators(target))) << r.error.toStdString();
        EXPECT_EQ(snapshot(tmp.path()), before);
    }
}

TEST(ServerFolderWriter, AServerFailureLeavesTheTargetAsItWas)
{
    const auto tree = clitest::sampleTree();
    tree->failOn = QStringLiteral("S:U\\0000CLARA");  // after Anna and Bernd are written
    clitest::TreeAccount account(tree);
    for (const char* state : {"missing", "empty", "an earlier server folder"}) {
        SCOPED_TRACE(state);
        QTemporaryDir tmp;
        const QString target = tmp.filePath(QStringLiteral("target"));
        const bool earlier = QByteArray(state) == "an earlier server folder";
        if (QByteArray(state) != "missing")
            QDir().mkpath(target + (earlier ? QStringLiteral("/shares/SRV") : QString()));
        if (earlier) {
            QFile old(target + QStringLiteral("/server.json"));
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("{\"archiveRoot\": {\"name\": \"old\", \"path\": \"P\", \"fullPath\": \"F\"}}");
        }
        const std::string before = snapshot(tmp.path());
        const ServerFolderResult r = writeServerFolder(account, {target, false, earlier});
        EXPECT_EQ(r.outcome, Outcome::ServerFailed);
        EXPECT_TRUE(r.error.contains(QStringLiteral("Unterarchive von S:U\\0000CLARA"))) << r.error.toStdString();
        EXPECT_EQ(snapshot(tmp.path()), before);
    }
}

TEST(ServerFolderWriter, AFullDiskIsReportedAndLeavesTheTargetAsItWas)
{
    TinyFileSystem disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    const auto account = logOn(demoServer());
    const QString full = platform::systemErrorText(ENOSPC);

    // Runs full on the way: the messages are more than the disk holds.
    const QString fresh = disk.filePath(QStringLiteral("fresh"));
    const ServerFolderResult r = writeServerFolder(*account, {fresh, true, false});
    EXPECT_EQ(r.outcome, Outcome::WriteFailed);
    EXPECT_TRUE(r.error.contains(full)) << r.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(fresh));

    // Full from the start: an earlier server.json stays.
    const QString earlier = disk.filePath(QStringLiteral("earlier"));
    QDir().mkpath(earlier + QStringLiteral("/shares"));
    {
        QFile old(earlier + QStringLiteral("/server.json"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("{\"archiveRoot\": {\"name\": \"old\", \"path\": \"P\", \"fullPath\": \"F\"}}");
    }
    disk.fill();
    const std::string before = snapshot(earlier);
    const ServerFolderResult again = writeServerFolder(*account, {earlier, false, true});
    EXPECT_EQ(again.outcome, Outcome::WriteFailed);
    EXPECT_TRUE(again.error.contains(full)) << again.error.toStdString();
    EXPECT_EQ(snapshot(earlier), before);
}

namespace {

clitest::StatResult runStat(const QStringList& args)
{
    clitest::app();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ARVELO_SERVER"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ARVELO_STAT_EXE), args);
    return clitest::finished(p);
}

}  // namespace

#ifndef _WIN32
TEST(StatServerFolder, AWrittenFolderLinkedToTheSharesMeasuresTheSameAsTheOriginal)
{
    const QString original = demoServer();
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("written"));
    const clitest::StatResult written =
        runStat({QStringLiteral("--server"), original, QStringLiteral("--write-server-folder"), out});
    ASSERT_EQ(written.exitCode, 0) << written.err.constData();
    EXPECT_TRUE(written.out.isEmpty());
    ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/shares/SRV01")));
    ASSERT_TRUE(
        QFile::link(original + QStringLiteral("/shares/SRV01/DAVID"), out + QStringLiteral("/shares/SRV01/DAVID")));

    const QStringList measure = {QStringLiteral("--sub"), QStringLiteral("--types"), QStringLiteral("--format"),
                                 QStringLiteral("json")};
    const clitest::StatResult expected = runStat(QStringList {QStringLiteral("--server"), original} + measure);
    ASSERT_EQ(expected.exitCode, 0) << expected.err.constData();
    double size = 0;
    for (const QJsonValue& row : QJsonDocument::fromJson(expected.out).array())
        size += row[QStringLiteral("Size")].toDouble();
    ASSERT_GT(size, 0) << "the archives should hold something to measure";
    const clitest::StatResult got = runStat(QStringList {QStringLiteral("--server"), out} + measure);
    EXPECT_EQ(got.exitCode, 0) << got.err.constData();
    EXPECT_EQ(got.out, expected.out);

    // Written again over it, with messages: the link stays, the figures too, and a refusal says why.
    const clitest::StatResult refused =
        runStat({QStringLiteral("--server"), original, QStringLiteral("--write-server-folder"), out});
    EXPECT_EQ(refused.exitCode, 74);
    EXPECT_TRUE(refused.err.contains("server.json")) << refused.err.constData();
    const clitest::StatResult replaced =
        runStat({QStringLiteral("--server"), original, QStringLiteral("--write-server-folder"), out,
                 QStringLiteral("--with-messages"), QStringLiteral("--replace")});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err.constData();
    EXPECT_EQ(text(served(out, true)), text(served(original, true)));
    EXPECT_EQ(runStat(QStringList {QStringLiteral("--server"), out} + measure).out, expected.out);
}
#endif
