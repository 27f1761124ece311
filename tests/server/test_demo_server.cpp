// The demo server builder: deterministic for a seed, and what it writes is a server folder the stand-in reads
// completely.

#include "server_test_support.h"

#include "engine/archive_path.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

using namespace servertest;

namespace {

bool buildDemo(const QString& out, const QStringList& more = {})
{
    QProcess p;
    p.start(QStringLiteral(ARVELO_DEMO_SERVER_EXE), QStringList {QStringLiteral("--out"), out} + more);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Every entry below the folder: relative path, type and size; message files also with their time stamp.
QStringList listing(const QString& root)
{
    QStringList lines;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo& info = it.fileInfo();
        QString line = QDir(root).relativeFilePath(info.filePath());
        if (info.isDir()) {
            line += QStringLiteral("/");
        } else {
            line += QStringLiteral(" %1").arg(info.size());
            if (line.contains(QStringLiteral(".001 ")))
                line += QStringLiteral(" %1").arg(info.lastModified().toSecsSinceEpoch());
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

QByteArray contentOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(DemoServer, SameSeedSameServer)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b")),
                  c = dir.filePath(QStringLiteral("c"));
    // Six users include one of the large ones.
    const QStringList six = {QStringLiteral("--users"), QStringLiteral("6"), QStringLiteral("--seed")};
    ASSERT_TRUE(buildDemo(a, six + QStringList {QStringLiteral("17")}));
    ASSERT_TRUE(buildDemo(b, six + QStringList {QStringLiteral("17")}));
    ASSERT_TRUE(buildDemo(c, six + QStringList {QStringLiteral("18")}));

    const QByteArray json = contentOf(a + QStringLiteral("/server.json"));
    ASSERT_FALSE(json.isEmpty());
    EXPECT_EQ(json, contentOf(b + QStringLiteral("/server.json")));
    const QStringList tree = listing(a);
    EXPECT_GT(tree.size(), 1000);
    EXPECT_EQ(tree, listing(b));
    // The message files match byte for byte too.
    for (const QString& line : tree) {
        if (!line.startsWith(QStringLiteral("messages/")) || line.endsWith(QLatin1Char('/')))
            continue;
        const QString name = line.section(QLatin1Char(' '), 0, 0);
        ASSERT_EQ(contentOf(a + QLatin1Char('/') + name), contentOf(b + QLatin1Char('/') + name)) << name.toStdString();
    }

    EXPECT_NE(json, contentOf(c + QStringLiteral("/server.json")));
    // An existing server is never overwritten.
    EXPECT_FALSE(buildDemo(a, six + QStringList {QStringLiteral("19")}));
    EXPECT_EQ(contentOf(a + QStringLiteral("/server.json")), json);
}

TEST(DemoServer, IsAPlausibleOfficeTheStandInReadsCompletely)
{
    QTemporaryDir dir;
    const QString server = dir.filePath(QStringLiteral("demo"));
    ASSERT_TRUE(buildDemo(server));
    const auto account = logOn(server);
    ASSERT_TRUE(account);
    const auto users = account->GetArchiveRoot(1)->GetSubArchives();
    ASSERT_GE(users->Count(), 40);

    QSet<QString> ids;
    QSet<int> kinds;
    qint64 total = 0;
    QList<qint64> sizes;
    int emails = 0, deepest = 0;
    const QRegularExpression hex8(QStringLiteral("^[0-9A-F]{8}$"));
    std::function<void(const std::shared_ptr<ArchiveFolder>&, int)> visit = [&](const std::shared_ptr<ArchiveFolder>& a,
                                                                                 int level) {
        deepest = std::max(deepest, level);
        const QString path = a->Path().toString();
        EXPECT_EQ(account->ArchiveFromPath(path)->Name(), a->Name());
        EXPECT_TRUE(QFileInfo(archiveLocalPath(path)).isDir()) << path.toStdString();
        const auto messages = a->GetMessages();
        for (int i = 0; i < messages->Count(); ++i) {
            const auto entry = messages->Item(i);
            kinds.insert(entry->Kind());
            const auto item = a->GetMailItem(entry->Key());
            if (entry->Kind() == 2) {
                char buffer[kEmlPathBufferSize + 1] = {};
                ASSERT_GT(DVEmlFromMailItem(*item, buffer), 0);
                const QByteArray eml = contentOf(QString::fromLocal8Bit(buffer));
                QFile::remove(QString::fromLocal8Bit(buffer));
                EXPECT_TRUE(eml.contains("\r\nSubject: =?UTF-8?B?")) << eml.constData();
                EXPECT_TRUE(eml.contains("\r\nMessage-ID: <")) << eml.constData();
                EXPECT_TRUE(eml.contains("\r\n\r\n"));
                ++emails;
            } else if (entry->Kind() == 3) {
                EXPECT_TRUE(contentOf(item->QueryFaxItem()->ImagePath().toString()).startsWith("II*"));
            } else if (entry->Kind() == 8) {
                EXPECT_TRUE(item->LinkUrl().startsWith(QStringLiteral("https://")));
            }
        }
        const auto subs = a->GetSubArchives();
        for (int i = 0; i < subs->Count(); ++i) {
            const auto sub = subs->Item(i);
            EXPECT_TRUE(sub->FullPath().startsWith(path)) << sub->FullPath().toStdString();
            visit(sub, level + 1);
        }
    };
    for (int i = 0; i < users->Count(); ++i) {
        const auto user = users->Item(i);
        const QString id = user->Path().toString().right(8);
        EXPECT_TRUE(hex8.match(id).hasMatch()) << id.toStdString();
        ids.insert(id);
        EXPECT_TRUE(user->Name().contains(QLatin1Char(' ')));
        visit(user, 0);
        qint64 size = 0;
        QDirIterator it(archiveLocalPath(user->Path().toString()), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            size += it.fileInfo().size();
        }
        sizes << size;
        total += size;
    }
    EXPECT_EQ(ids.size(), users->Count());
    EXPECT_GE(deepest, 2);
    EXPECT_LE(deepest, 3);
    for (int kind : {2, 3, 8})
        EXPECT_TRUE(kinds.contains(kind)) << kind;
    EXPECT_GT(kinds.size(), 3);
    EXPECT_GT(emails, 50);

    // A few large users, many small ones; the whole demo stays a few gigabytes of apparent size.
    std::sort(sizes.begin(), sizes.end());
    EXPECT_GT(sizes.back(), 500LL << 20);
    EXPECT_LT(sizes[sizes.size() / 2], 200LL << 20);
    EXPECT_LT(total, 15LL << 30);
}
