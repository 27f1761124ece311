// The hand-written server folder of docs/server-folder.md, loaded and compared; message files that would
// lead out of the server folder.

#include "server_test_support.h"

#include "engine/archive_path.h"
#include "platform/unc_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace servertest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Saves a message through DVEmlFromMailItem; the EML's bytes, or nothing when it fails.
std::optional<QByteArray> savedEml(MailItem& item)
{
    char buffer[kEmlPathBufferSize + 1];
    std::memset(buffer, ' ', kEmlPathBufferSize);
    buffer[kEmlPathBufferSize] = '\0';
    if (DVEmlFromMailItem(item, buffer) <= 0)
        return std::nullopt;
    const QString name = QString::fromLocal8Bit(buffer);
    const QByteArray bytes = readAll(name);
    QFile::remove(name);
    return bytes;
}

QString failureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ServerError& e) {
        return e.reason();
    }
    return {};
}

}  // namespace

TEST(HandmadeServer, UsersInServerOrderWithTheirSubArchives)
{
    const QString folder = handmadeServer();
    const auto account = logOn(folder);
    ASSERT_TRUE(account);

    const auto root = account->GetArchiveRoot(1);
    EXPECT_EQ(root->Name(), QStringLiteral("Archiv"));
    EXPECT_EQ(root->Path().toString(), QStringLiteral("BUERO:DAVID\\ARCHIVE"));
    EXPECT_EQ(root->FullPath(), QStringLiteral("\\\\BUERO\\DAVID\\ARCHIVE"));

    const auto users = root->GetSubArchives();
    ASSERT_EQ(users->Count(), 3);
    const QStringList expected[] = {
        {QStringLiteral("Zoe Adler"), QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001"),
         QStringLiteral("\\\\BUERO\\DAVID\\ARCHIVE\\USER\\0000B001")},
        {QStringLiteral("Ärztekammer Süd"), QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000A002"),
         QStringLiteral("\\\\BUERO\\DAVID\\ARCHIVE\\USER\\0000A002")},
        {QStringLiteral("Bernd Öztürk"), QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000C003"),
         QStringLiteral("\\\\BUERO\\DAVID\\ARCHIVE\\USER\\0000C003")},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto u = users->Item(i);
        EXPECT_EQ((QStringList {u->Name(), u->Path().toString(), u->FullPath()}), expected[i]);
        // The scanner's folder for the user lies under shares/.
        EXPECT_EQ(QFileInfo(archiveLocalPath(u->Path().toString())).canonicalFilePath(),
                  QFileInfo(folder + QStringLiteral("/shares/BUERO/DAVID/ARCHIVE/USER/") + expected[i][1].right(8))
                      .canonicalFilePath());
        EXPECT_TRUE(QFileInfo::exists(archiveLocalPath(u->Path().toString()) + QStringLiteral("/archive.dat")));
    }
    EXPECT_NE(failureOf([&] { users->Item(3); }), QString());
    EXPECT_NE(failureOf([&] { users->Item(-1); }), QString());
    EXPECT_NE(failureOf([&] { users->Item(QStringLiteral("eins")); }), QString());

    const auto subs = users->Item(0)->GetSubArchives();
    ASSERT_EQ(subs->Count(), 1);
    EXPECT_EQ(subs->Item(0)->Name(), QStringLiteral("Projekte"));
    EXPECT_EQ(subs->Item(0)->FullPath(), QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001\\PROJ\\Projekte"));
    EXPECT_TRUE(QFileInfo(archiveLocalPath(subs->Item(0)->Path().toString())).isDir());
    EXPECT_NE(failureOf([&] { subs->Item(1); }), QString());
    // No list and an empty list both mean no sub-archives.
    for (int i : {1, 2}) {
        EXPECT_EQ(users->Item(i)->GetSubArchives()->Count(), 0);
        EXPECT_NE(failureOf([&] { users->Item(i)->GetSubArchives()->Item(0); }), QString());
        EXPECT_EQ(users->Item(i)->GetMessages()->Count(), 0);
    }
}

TEST(HandmadeServer, ArchivesAreFoundByTheirExactPath)
{
    const auto account = logOn(handmadeServer());
    ASSERT_TRUE(account);
    for (const QString& path : {QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000A002"),
                                QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001\\PROJ"),
                                QStringLiteral("BUERO:DAVID\\ARCHIVE")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(account->ArchiveFromPath(path)->Path().toString(), path);
        EXPECT_EQ(account->OpenArchive(path)->Path().toString(), path);
    }
    EXPECT_EQ(account->ArchiveFromPath(QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001\\PROJ"))->Name(),
              QStringLiteral("Projekte"));
    EXPECT_EQ(account->OpenArchive(QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000A002"))->Name(),
              QStringLiteral("Ärztekammer Süd"));

    for (const QString& path : {QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000a002"),
                                QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000A002\\"),
                                QStringLiteral("\\\\BUERO\\DAVID\\ARCHIVE\\USER\\0000A002"),
                                QStringLiteral("Ärztekammer Süd"), QString()}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_NE(failureOf([&] { account->ArchiveFromPath(path); }), QString());
        EXPECT_NE(failureOf([&] { account->OpenArchive(path); }), QString());
    }
    EXPECT_TRUE(failureOf([&] { account->ArchiveFromPath(QStringLiteral("BUERO:NIRGENDS")); })
                    .contains(QStringLiteral("BUERO:NIRGENDS")));
}

TEST(HandmadeServer, MessagesOfEachKind)
{
    const QString folder = handmadeServer();
    const auto account = logOn(folder);
    ASSERT_TRUE(account);
    const auto archive = account->ArchiveFromPath(QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001"));
    const auto list = archive->GetMessages(197119);
    ASSERT_EQ(list->Count(), 4);
    const int kinds[] = {2, 3, 8, 1};
    const QString titles[] = {QStringLiteral("Angebot für Müller & Söhne"), QStringLiteral("Fax von Schröder"),
                              QStringLiteral("Preisliste 2024"), QStringLiteral("Anruf von Frau Weber")};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const auto entry = list->Item(i);
        EXPECT_EQ(entry->Kind(), kinds[i]);
        EXPECT_EQ(archive->GetMailItem(entry->Key(), 34)->Title(), titles[i]);
    }
    EXPECT_NE(failureOf([&] { list->Item(4); }), QString());
    EXPECT_NE(failureOf([&] { archive->GetMailItem(4); }), QString());

    const auto mail = archive->GetMailItem(list->Item(0)->Key());
    EXPECT_EQ(savedEml(*mail), readAll(folder + QStringLiteral("/messages/angebot.eml")));
    EXPECT_NE(failureOf([&] { mail->QueryFaxItem(); }), QString());

    const auto fax = archive->GetMailItem(list->Item(1)->Key())->QueryFaxItem();
    const QString image = fax->ImagePath().toString();
    EXPECT_TRUE(QFileInfo(image).isAbsolute());
    EXPECT_EQ(readAll(image), readAll(folder + QStringLiteral("/messages/fax-schroeder.tif")));
    EXPECT_TRUE(readAll(image).startsWith("II*"));
    EXPECT_FALSE(savedEml(*archive->GetMailItem(list->Item(1)->Key())));

    const auto link = archive->GetMailItem(list->Item(2)->Key());
    EXPECT_EQ(link->LinkUrl(), QStringLiteral("https://www.example.org/preise"));
    EXPECT_FALSE(savedEml(*link));
    EXPECT_NE(failureOf([&] { link->QueryFaxItem(); }), QString());

    // A file name written with backslashes, in a sub-archive found by path.
    const auto sub = account->OpenArchive(QStringLiteral("BUERO:DAVID\\ARCHIVE\\USER\\0000B001\\PROJ"));
    EXPECT_EQ(savedEml(*sub->GetMailItem(sub->GetMessages()->Item(0)->Key())),
              readAll(folder + QStringLiteral("/messages/zwischenstand.eml")));
}

TEST(HandmadeServer, TheDocumentedExampleIsTheTestedFolder)
{
    // docs/server-folder.md shows this folder's server.json; the two must not drift apart.
    const QByteArray doc = readAll(QStringLiteral(ARVELO_SERVER_TEST_DATA "/../../../docs/server-folder.md"));
    const qsizetype start = doc.indexOf("```json\n");
    ASSERT_GE(start, 0);
    const qsizetype end = doc.indexOf("```", start + 8);
    const QByteArray shown = doc.mid(start + 8, end - start - 8);
    EXPECT_EQ(QJsonDocument::fromJson(shown), QJsonDocument::fromJson(readAll(handmadeServer() + "/server.json")));
}

class MessageFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString server;
    QString outside;

    void SetUp() override
    {
        server = dir.filePath(QStringLiteral("server"));
        outside = dir.filePath(QStringLiteral("geheim"));
        writeFile(outside + QStringLiteral("/brief.eml"), "Subject: geheim\r\n\r\nnicht von hier\r\n");
        writeFile(server + QStringLiteral("/messages/ok.eml"), "Subject: ok\r\n\r\nhier\r\n");
#ifndef _WIN32  // there QFile::link makes a shortcut file, no link
        ASSERT_TRUE(QFile::link(outside + QStringLiteral("/brief.eml"), server + QStringLiteral("/messages/raus.eml")));
        ASSERT_TRUE(QFile::link(outside, server + QStringLiteral("/ausgang")));
        ASSERT_TRUE(QFile::link(server + QStringLiteral("/messages/ok.eml"), server + QStringLiteral("/innen.eml")));
#endif
        ASSERT_TRUE(QDir().mkpath(server + QStringLiteral("/messages/ordner.eml")));
    }

    // One user whose messages are e-mails and faxes naming `file`.
    std::shared_ptr<ArchiveFolder> archiveNaming(const QString& file)
    {
        QJsonObject mail {{"kind", 2}, {"title", "Mail"}, {"eml", file}};
        QJsonObject fax {{"kind", 3}, {"title", "Fax"}, {"faxImage", file}};
        QJsonObject user {{"name", "U"}, {"path", "S:D\\U"}, {"fullPath", "F"}, {"messages", QJsonArray {mail, fax}}};
        QJsonObject root {{"name", "R"}, {"path", "S:D"}, {"fullPath", "F"}, {"subArchives", QJsonArray {user}}};
        writeFile(server + QStringLiteral("/server.json"), QJsonDocument(QJsonObject {{"archiveRoot", root}}).toJson());
        const auto account = logOn(server);
        return account->ArchiveFromPath(QStringLiteral("S:D\\U"));
    }
};

TEST_F(MessageFiles, NamesLeadingOutOfTheServerFolderAreRefused)
{
    const QString absolute = outside + QStringLiteral("/brief.eml");
    const QStringList refused = {
        QStringLiteral("../geheim/brief.eml"),
        QStringLiteral("messages/../../geheim/brief.eml"),
        QStringLiteral("..\\geheim\\brief.eml"),
        absolute,
        QDir::toNativeSeparators(absolute).replace(QLatin1Char('/'), QLatin1Char('\\')),
        QStringLiteral("C:") + absolute,
#ifndef _WIN32
        QStringLiteral("messages/raus.eml"),  // a link to a file outside
        QStringLiteral("ausgang/brief.eml"),  // through a linked folder
#endif
        QStringLiteral("messages/fehlt.eml"),
        QStringLiteral("messages/ordner.eml"),
        QStringLiteral("messages"),
        QStringLiteral("."),
    };
    for (const QString& name : refused) {
        SCOPED_TRACE(name.toStdString());
        const auto archive = archiveNaming(name);
        EXPECT_FALSE(savedEml(*archive->GetMailItem(0)));
        const QString reason = failureOf([&] { archive->GetMailItem(1)->QueryFaxItem(); });
        EXPECT_TRUE(reason.endsWith(name)) << reason.toStdString();
    }
}

TEST_F(MessageFiles, NamesInsideTheServerFolderAreRead)
{
    QStringList inside = {QStringLiteral("messages/ok.eml"), QStringLiteral("messages/../messages/ok.eml"),
                          QStringLiteral("./messages//ok.eml")};
#ifndef _WIN32
    inside << QStringLiteral("innen.eml");
#endif
    for (const QString& name : inside) {
        SCOPED_TRACE(name.toStdString());
        const auto archive = archiveNaming(name);
        EXPECT_EQ(savedEml(*archive->GetMailItem(0)), QByteArray("Subject: ok\r\n\r\nhier\r\n"));
        EXPECT_EQ(QFileInfo(archive->GetMailItem(1)->QueryFaxItem()->ImagePath().toString()).canonicalFilePath(),
                  QFileInfo(server + QStringLiteral("/messages/ok.eml")).canonicalFilePath());
    }
}

TEST_F(MessageFiles, ReasonsQuoteTheBeginningOfALongName)
{
    const QString name = QStringLiteral("messages/") + QString(200, QLatin1Char('a')) + QStringLiteral(".eml");
    const auto archive = archiveNaming(name);
    EXPECT_EQ(failureOf([&] { archive->GetMailItem(1)->QueryFaxItem(); }),
              QStringLiteral("Nachrichtendatei fehlt: ") + name.left(80) + QChar(0x2026));
}
