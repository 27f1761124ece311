// The export run against a stand-in server: names, bytes, folders, counts and the failure rules.

#include "export/export_names.h"
#include "export/export_run.h"
#include "export/file_work.h"
#include "export_fixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace exporttest;

TEST(CleanFileName, DropsExactlyTheNineForbiddenCharacters)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Re: Test 1/2?", "Re Test 12"},
        {"a\\b/c:d*e?f\"g<h>i|j", "abcdefghij"},
        {"\\/:*?\"<>|", ""},
        {"", ""},
        {"Müller & Söhne, 50 % (neu).txt", "Müller & Söhne, 50 % (neu).txt"},
        {"Привет Ελλάδα", "Привет Ελλάδα"},
        {"..", ".."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanFileName(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(SubArchiveFolderNames, PositionsOrUniqueDisplayNames)
{
    SubArchiveFolderNames byPosition;
    EXPECT_EQ(byPosition.take(QStringLiteral("Lieferanten"), 0, false), QStringLiteral("0"));
    EXPECT_EQ(byPosition.take(QStringLiteral("Lieferanten"), 1, false), QStringLiteral("1"));

    SubArchiveFolderNames byName;
    EXPECT_EQ(byName.take(QStringLiteral("Liefer:anten"), 0, true), QStringLiteral("Lieferanten"));
    EXPECT_EQ(byName.take(QStringLiteral("LIEFERANTEN"), 1, true), QStringLiteral("LIEFERANTEN (1)"));
    EXPECT_EQ(byName.take(QStringLiteral("<>"), 2, true), QStringLiteral("2"));
    EXPECT_EQ(byName.take(QStringLiteral(".."), 3, true), QStringLiteral("3"));
    EXPECT_EQ(byName.take(QStringLiteral("2"), 4, true), QStringLiteral("2 (4)"));
    EXPECT_EQ(byName.take(QStringLiteral("Lieferanten (1)"), 5, true), QStringLiteral("Lieferanten (1) (5)"));
}

TEST(ZipEntryName, FullPathWithoutDriveAndRoot)
{
    EXPECT_EQ(zipEntryName(QStringLiteral("/srv/Export/Export-Dateien/Rechnung0.eml")),
              QStringLiteral("srv/Export/Export-Dateien/Rechnung0.eml"));
    EXPECT_EQ(zipEntryName(QStringLiteral("D:/Export/Export-Dateien/Rechnung0.eml")),
              QStringLiteral("Export/Export-Dateien/Rechnung0.eml"));
    EXPECT_EQ(zipEntryName(QStringLiteral("//host/share/a.eml")), QStringLiteral("host/share/a.eml"));
}

namespace {

const QString kUser = QStringLiteral("SRV:DAVID\\ARCHIVE\\USER\\0000B001");

// Remembers what the run reports; the option boxes are plain fields.
struct Recorder : ExportObserver {
    bool mail = true, link = true, faxes = false, subs = false;
    QStringList events;
    bool exportMail() override { return mail; }
    bool exportLink() override { return link; }
    bool exportFax() override { return faxes; }
    bool includeSubArchives() override { return subs; }
    void archiveStarted(int n) override { events << QStringLiteral("start %1").arg(n); }
    void messageExported(int position, const QString& status, int count) override
    {
        events << QStringLiteral("%1|%2|%3").arg(position).arg(status).arg(count);
    }
};

Arch sub(const QString& parentPath, const QString& key, const QString& name, QList<Msg> messages,
         QList<Arch> subs = {})
{
    const QString path = parentPath + QLatin1Char('\\') + key;
    return Arch{name, path, parentPath + QLatin1Char('\\') + name, std::move(messages), std::move(subs)};
}

class ExportRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        server = temp.filePath(QStringLiteral("server"));
        out = temp.filePath(QStringLiteral("out")) + QLatin1Char('/');
        const Arch user{
            QStringLiteral("Zoe Adler"), kUser, kUser,
            {mail(QString(), "From: a\r\n\r\nleer\r\n"),
             other(1, QStringLiteral("Anruf")),
             link(QStringLiteral("Preisliste 2024"), QStringLiteral("https://example.org/preise?f=ä")),
             fax(QStringLiteral("Fax: von/Schröder"), noise(3000, 1)),
             mail(QStringLiteral("Re: Test 1/2?"), "Subject: Re: Test 1/2?\r\n\r\nText\r\n"),
             link(QString(), QString()),
             other(7, QStringLiteral("Termin"))},
            {sub(kUser, QStringLiteral("L1"), QStringLiteral("Lieferanten"), {mail(QStringLiteral("Auftrag"), "A1")},
                 {sub(kUser + QStringLiteral("\\L1"), QStringLiteral("ALT"), QStringLiteral("Alt"),
                      {mail(QStringLiteral("Alt"), "A0")})}),
             sub(kUser, QStringLiteral("L2"), QStringLiteral("lieferanten"), {mail(QStringLiteral("Auftrag"), "A2")}),
             sub(kUser, QStringLiteral("E"), QString(), {link(QStringLiteral("X"), QStringLiteral("u"))}),
             sub(kUser, QStringLiteral("LEER"), QStringLiteral("Leer"), {},
                 {sub(kUser + QStringLiteral("\\LEER"), QStringLiteral("V"), QStringLiteral("Versteckt"),
                      {mail(QStringLiteral("nie"), "N")})}),
             sub(kUser, QStringLiteral("DD"), QStringLiteral(".."), {mail(QStringLiteral("Punkt"), "P")})}};
        writeServer(server, {user});
        account = logOn(server);
    }

    ExportOutcome exportUser(Recorder& recorder, bool displayNames = false)
    {
        ExportRequest request;
        request.folder = out;
        request.rootPfad = kUser;
        request.useDisplayName = displayNames;
        return runExport(*account, request, recorder);
    }

    QTemporaryDir temp;
    QString server, out;
    std::shared_ptr<Account> account;
};

}  // namespace

TEST_F(ExportRunTest, WritesEveryKindUnderItsPositionWithTheExactBytes)
{
    Recorder r;
    r.faxes = true;
    const ExportOutcome outcome = exportUser(r);
    ASSERT_EQ(outcome.end, ExportEnd::Completed) << outcome.error.toStdString();

    EXPECT_EQ(listTree(out), (QStringList{QStringLiteral("0.eml"), QStringLiteral("5.url"),
                                          QStringLiteral("Fax vonSchrödersagesm2.tif.tif"),
                                          QStringLiteral("Preisliste 20242.url"), QStringLiteral("Re Test 124.eml")}));
    EXPECT_EQ(readBytes(out + QStringLiteral("0.eml")), QByteArray("From: a\r\n\r\nleer\r\n"));
    EXPECT_EQ(readBytes(out + QStringLiteral("Re Test 124.eml")), QByteArray("Subject: Re: Test 1/2?\r\n\r\nText\r\n"));
    EXPECT_EQ(readBytes(out + QStringLiteral("Fax vonSchrödersagesm2.tif.tif")), noise(3000, 1));
    EXPECT_EQ(readBytes(out + QStringLiteral("Preisliste 20242.url")),
              QByteArray("[DEFAULT]\r\nBASEURL=https://example.org/preise?f=\xE4\r\n[InternetShortcut]\r\n"
                         "URL=https://example.org/preise?f=\xE4\r\n"));
    EXPECT_EQ(readBytes(out + QStringLiteral("5.url")), QByteArray("[DEFAULT]\r\nBASEURL=\r\n[InternetShortcut]\r\nURL=\r\n"));

    // Faxes move neither the bar nor the count.
    EXPECT_EQ(r.events, (QStringList{QStringLiteral("start 7"), QStringLiteral("1|Anzahl Nachrichten: 1 (Zoe Adler)|1"),
                                     QStringLiteral("3|Anzahl Nachrichten: 3|2"),
                                     QStringLiteral("5|Anzahl Nachrichten: 5 (Zoe Adler)|3"),
                                     QStringLiteral("6|Anzahl Nachrichten: 6|4")}));
    EXPECT_EQ(outcome.exportedCount, 4);
    EXPECT_EQ(outcome.tally.written, 5);
    EXPECT_EQ(outcome.tally.failed, 0);
}

TEST_F(ExportRunTest, SubArchivesGoIntoFoldersByPositionOrByUniqueName)
{
    Recorder r;
    r.mail = true;
    r.link = false;
    r.subs = true;
    ASSERT_EQ(exportUser(r).end, ExportEnd::Completed);
    EXPECT_EQ(listTree(out), (QStringList{QStringLiteral("0.eml"), QStringLiteral("0/"), QStringLiteral("0/0/"),
                                          QStringLiteral("0/0/Alt0.eml"), QStringLiteral("0/Auftrag0.eml"),
                                          QStringLiteral("1/"), QStringLiteral("1/Auftrag0.eml"), QStringLiteral("2/"),
                                          QStringLiteral("3/"), QStringLiteral("4/"), QStringLiteral("4/Punkt0.eml"),
                                          QStringLiteral("Re Test 124.eml")}));
    // Deeper archives are named by their full path beyond the top archive's path.
    EXPECT_TRUE(r.events.contains(QStringLiteral("1|Anzahl Nachrichten: 1 (..\\L1\\Alt)|4")));

    QDir(out).removeRecursively();
    Recorder named;
    named.subs = true;
    named.link = false;
    ASSERT_EQ(exportUser(named, true).end, ExportEnd::Completed);
    const QStringList tree = listTree(out);
    for (const char* expected : {"Lieferanten/Auftrag0.eml", "Lieferanten/Alt/Alt0.eml", "lieferanten (1)/Auftrag0.eml",
                                 "2/", "Leer/", "4/Punkt0.eml"})
        EXPECT_TRUE(tree.contains(QString::fromUtf8(expected))) << expected << "\n" << tree.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp.filePath(QStringLiteral("Punkt0.eml"))));
}

TEST_F(ExportRunTest, ExportingTwiceKeepsEmailsAndReplacesLinks)
{
    Recorder r;
    ASSERT_EQ(exportUser(r).end, ExportEnd::Completed);
    writeBytes(out + QStringLiteral("0.eml"), "edited by the user");
    writeBytes(out + QStringLiteral("5.url"), "old link");

    Recorder again;
    const ExportOutcome second = exportUser(again);
    ASSERT_EQ(second.end, ExportEnd::Completed);
    EXPECT_EQ(readBytes(out + QStringLiteral("0.eml")), QByteArray("edited by the user"));
    EXPECT_EQ(readBytes(out + QStringLiteral("5.url")).left(9), QByteArray("[DEFAULT]"));
    EXPECT_EQ(second.tally.alreadyThere, 2);
    EXPECT_EQ(second.tally.failed, 0);
    EXPECT_EQ(second.exportedCount, 4);  // kept e-mails still count
    // The conversions that were not moved in are gone, and no half-written files are left.
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("arvelo-*")}, QDir::Files).isEmpty());
    EXPECT_EQ(listTree(out).size(), 4);
}

TEST_F(ExportRunTest, FailedMessagesAndSubArchivesAreCountedWhileTheRunGoesOn)
{
    const QString path = kUser;
    writeServer(server, {Arch{QStringLiteral("U"), path, path,
                              {mail(QStringLiteral("weg"), "x"), mail(QStringLiteral("da"), "y")},
                              {sub(path, QStringLiteral("A"), QStringLiteral("A"), {mail(QStringLiteral("a"), "a")}),
                               sub(path, QStringLiteral("B"), QStringLiteral("B"), {mail(QStringLiteral("b"), "b")})}}});
    QFile::remove(server + QStringLiteral("/messages/m1.eml"));
    account = logOn(server);
    writeBytes(out + QStringLiteral("0"), "a file where sub-archive 0 wants its folder");

    Recorder r;
    r.subs = true;
    const ExportOutcome outcome = exportUser(r);
    ASSERT_EQ(outcome.end, ExportEnd::Completed);
    EXPECT_EQ(outcome.tally.failed, 2);
    ASSERT_EQ(outcome.tally.firstFailures.size(), 2);
    EXPECT_TRUE(outcome.tally.firstFailures[0].name.endsWith(QStringLiteral("weg0.eml")));
    EXPECT_TRUE(outcome.tally.firstFailures[1].reason.contains(QStringLiteral("konnte nicht angelegt werden")));
    EXPECT_EQ(readBytes(out + QStringLiteral("da1.eml")), QByteArray("y"));
    EXPECT_EQ(readBytes(out + QStringLiteral("1/b0.eml")), QByteArray("b"));
    EXPECT_EQ(outcome.exportedCount, 3);  // the failed e-mail counts as handled
    EXPECT_TRUE(failureLines(outcome.tally).contains(QStringLiteral("weg0.eml: ")));
    // The warning names the sub-archive as such, not as a message.
    EXPECT_EQ(outcome.tally.failedSubArchives, 1);
    EXPECT_EQ(failureHeading(outcome.tally), QStringLiteral("1 Nachricht und 1 Unterarchiv konnten nicht exportiert werden:"));
    EXPECT_TRUE(failureLines(outcome.tally).contains(QStringLiteral("Unterarchiv ") + QDir::toNativeSeparators(out)))
        << failureLines(outcome.tally).toStdString();
}

TEST(ExportWarning, HeadingCountsMessagesAndSubArchivesApart)
{
    const struct {
        int messages, subArchives;
        const char* heading;
    } cases[] = {
        {0, 0, ""},
        {1, 0, "1 Nachricht konnte nicht geschrieben werden:"},
        {3, 0, "3 Nachrichten konnten nicht geschrieben werden:"},
        {0, 1, "1 Unterarchiv konnte nicht exportiert werden:"},
        {0, 2, "2 Unterarchive konnten nicht exportiert werden:"},
        {2, 1, "2 Nachrichten und 1 Unterarchiv konnten nicht exportiert werden:"},
    };
    for (const auto& c : cases) {
        ExportTally tally;
        for (int i = 0; i < c.messages; ++i)
            tally.fail(QStringLiteral("m"), QStringLiteral("Grund"));
        for (int i = 0; i < c.subArchives; ++i)
            tally.fail(QStringLiteral("s"), QStringLiteral("Grund"), true);
        EXPECT_EQ(failureHeading(tally), QString::fromUtf8(c.heading));
    }
}

TEST_F(ExportRunTest, RunEndingErrorsKeepWhatWasWritten)
{
    const QString path = kUser;
    // A fax whose image is gone ends the run at that message.
    Msg broken = fax(QStringLiteral("kaputt"), "x");
    broken.missingFile = true;
    writeServer(server, {Arch{QStringLiteral("U"), path, path, {mail(QStringLiteral("vorher"), "v"), broken,
                                                                  mail(QStringLiteral("nachher"), "n")}}});
    account = logOn(server);
    Recorder r;
    r.faxes = true;
    ExportOutcome outcome = exportUser(r);
    EXPECT_EQ(outcome.end, ExportEnd::ServerFailed);
    EXPECT_TRUE(outcome.error.contains(QStringLiteral("m2.tif"))) << outcome.error.toStdString();
    EXPECT_EQ(listTree(out), QStringList{QStringLiteral("vorher0.eml")});

    // A link file that cannot be written ends it as an output error.
    writeServer(server, {Arch{QStringLiteral("U"), path, path, {link(QStringLiteral("L"), QStringLiteral("u"))}}});
    account = logOn(server);
    QDir().mkpath(out + QStringLiteral("L0.url"));
    outcome = exportUser(r);
    EXPECT_EQ(outcome.end, ExportEnd::OutputFailed);
    EXPECT_TRUE(outcome.error.contains(QStringLiteral("L0.url")));

    // An unknown archive is the server's error.
    ExportRequest request;
    request.folder = out;
    request.rootPfad = QStringLiteral("SRV:NIRGENDS");
    EXPECT_EQ(runExport(*account, request, r).end, ExportEnd::ServerFailed);
}

TEST_F(ExportRunTest, MissingExportFolderIsCreatedWithItsParents)
{
    out = temp.filePath(QStringLiteral("neu/tief/drin"));  // no separator at the end either
    Recorder r;
    ASSERT_EQ(exportUser(r).end, ExportEnd::Completed);
    EXPECT_EQ(listTree(out).size(), 4);

    writeBytes(temp.filePath(QStringLiteral("datei")), "x");
    out = temp.filePath(QStringLiteral("datei/unter/"));
    const ExportOutcome blocked = exportUser(r);
    EXPECT_EQ(blocked.end, ExportEnd::OutputFailed);
    EXPECT_TRUE(blocked.error.contains(QStringLiteral("konnte nicht angelegt werden")));
}

TEST_F(ExportRunTest, ArchiveWithoutEntriesSkipsItsSubArchives)
{
    const QString path = kUser;
    writeServer(server, {Arch{QStringLiteral("U"), path, path, {},
                              {sub(path, QStringLiteral("A"), QStringLiteral("A"), {mail(QStringLiteral("a"), "a")})}}});
    account = logOn(server);
    Recorder r;
    r.subs = true;
    ASSERT_EQ(exportUser(r).end, ExportEnd::Completed);
    EXPECT_TRUE(listTree(out).isEmpty());
    EXPECT_TRUE(r.events.isEmpty());
}

TEST_F(ExportRunTest, TypeBoxesAreReadWhenUsed)
{
    struct Switching : Recorder {
        void messageExported(int position, const QString& status, int count) override
        {
            Recorder::messageExported(position, status, count);
            mail = false;  // unticked during the run: later e-mails stay out
        }
    } r;
    ASSERT_EQ(exportUser(r).end, ExportEnd::Completed);
    EXPECT_EQ(listTree(out), (QStringList{QStringLiteral("0.eml"), QStringLiteral("5.url"),
                                          QStringLiteral("Preisliste 20242.url")}));
}

TEST(FileWork, JobsRunInTheirOrderAndAreAllDoneByFinishAndByTheEnd)
{
    ExportTally tally;
    QList<int> order;  // written by the jobs only, read once they are done
    const auto post = [&order](FileWork& work, int from, int to) {
        for (int i = from; i < to; ++i)
            work.post([i, &order](ExportTally& t) {
                order << i;
                if (i % 100 == 0)
                    t.fail(QString::number(i), QStringLiteral("Grund"));
            });
    };
    QList<int> expected;
    {
        FileWork work(tally);
        post(work, 0, 500);  // more than may be pending at once
        work.finish();
        for (int i = 0; i < 500; ++i)
            expected << i;
        EXPECT_EQ(order, expected);
        EXPECT_EQ(tally.failed, 5);
        post(work, 500, 1000);
    }
    for (int i = 500; i < 1000; ++i)
        expected << i;
    EXPECT_EQ(order, expected);
    EXPECT_EQ(tally.failed, 10);
    EXPECT_EQ(tally.firstFailures.first().name, QStringLiteral("0"));
}

TEST(UrlFile, AddressOutsideWindows1252IsPercentEncoded)
{
    EXPECT_EQ(urlFileContent(QStringLiteral("https://example.org/łódź")),
              QByteArray("[DEFAULT]\r\nBASEURL=https://example.org/%C5%82%C3%B3d%C5%BA\r\n[InternetShortcut]\r\n"
                         "URL=https://example.org/%C5%82%C3%B3d%C5%BA\r\n"));
}
