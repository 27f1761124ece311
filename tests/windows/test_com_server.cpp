// The program through the messaging server's component (here the test component, registered in the tests'
// Wine prefix, serving a demo server): what it lists, exports and reports must be what the same server folder
// gives through the stand-in, every fault of the component must end as the program's error for that
// operation, and nothing the program got from the component may stay alive.

#include "registered_component.h"

#include "cli/stat_listing.h"
#include "demo_server.h"
#include "export/export_run.h"
#include "server/com/com_server.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

#include <thread>

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_com_server";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

// One demo server for the whole program: users with sub-archives, e-mails, faxes and links.
const QString& demoServer()
{
    static QTemporaryDir dir;
    static const QString folder = [] {
        const QString f = dir.filePath(QStringLiteral("server"));
        demo::buildDemoServer(f, demo::DemoOptions {7, 6});
        return f;
    }();
    return folder;
}

// A ZIP file's entries with their contents' hashes: the archive's own bytes hold the files' times and the
// export folder's path.
QString zipContent(const QString& file)
{
    int error = 0;
    zip_t* zip = zip_open(file.toUtf8().constData(), ZIP_RDONLY, &error);
    if (!zip)
        return QStringLiteral("(unreadable ZIP)");
    QStringList entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, zip_uint64_t(i), 0, &stat);
        QByteArray bytes(qsizetype(stat.size), '\0');
        if (zip_file_t* f = zip_fopen_index(zip, zip_uint64_t(i), 0)) {
            zip_fread(f, bytes.data(), stat.size);
            zip_fclose(f);
        }
        // Entries are named by the files' full paths; what lies below the export folder is compared.
        const QString name = QString::fromUtf8(stat.name);
        entries << name.mid(name.indexOf(QStringLiteral("Export-Dateien/"))) + QLatin1Char('=')
                + QString::number(qHash(bytes));
    }
    zip_discard(zip);
    entries.sort();
    return entries.join(QLatin1Char(','));
}

// The files below `folder` with their contents' hashes.
QStringList treeOf(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QString content =
            file.endsWith(QStringLiteral(".zip")) ? zipContent(file) : QString::number(qHash(f.readAll()));
        lines << QDir(folder).relativeFilePath(file) + QLatin1Char(' ') + content;
    }
    lines.sort();
    return lines;
}

// Everything the program reads of an archive and below, as lines to compare; a fax's image path only where it
// is to be compared (a server folder written elsewhere holds its own copies).
void describe(ArchiveFolder& archive, int level, QStringList& out, bool imagePaths = true)
{
    const QString indent(level * 2, QLatin1Char(' '));
    out << indent + archive.Name() + QLatin1Char('|') + archive.Path().toString() + QLatin1Char('|')
            + archive.FullPath();
    const auto messages = archive.GetMessages(QVariant(197119));
    for (qint32 i = 0; i < messages->Count(); ++i) {
        const auto entry = messages->Item(i);
        const auto mail = archive.GetMailItem(entry->Key(), QVariant(34));
        QString line = indent + QStringLiteral("  %1 %2 %3").arg(entry->Kind()).arg(mail->Title(), mail->LinkUrl());
        if (entry->Kind() == 3 && imagePaths)
            line += QLatin1Char(' ') + QDir::fromNativeSeparators(mail->QueryFaxItem()->ImagePath().toString());
        out << line;
    }
    const auto subs = archive.GetSubArchives();
    for (qint32 i = 0; i < subs->Count(); ++i)
        describe(*subs->Item(i), level + 1, out, imagePaths);
}

QStringList describeServer(Account& account, bool imagePaths = true)
{
    QStringList out;
    describe(*account.GetArchiveRoot(1), 0, out, imagePaths);
    return out;
}

std::shared_ptr<Account> logOnToFolder(const QString& folder)
{
    setApiFactory([folder] { return standin::createStandinApi(folder); });
    auto account = LogonAccount();
    setApiFactory({});
    return account;
}

struct QuietObserver : ExportObserver {
    bool exportFax() override { return true; }
    bool includeSubArchives() override { return true; }
};

class ComServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registeredComponent().registered()) << "the test component could not be registered";
        app();
        qunsetenv("ARVELO_SERVER");
        qputenv(kTestServerEnv, QDir::toNativeSeparators(demoServer()).toLocal8Bit());
        qputenv("ARVELO_UNC_ROOT", QDir::toNativeSeparators(demoServer() + QStringLiteral("/shares")).toLocal8Bit());
        qunsetenv(kTestFaultsEnv);
        setApiFactory({});
        com::setEmlLibrary(QStringLiteral("DvApi32.dll"));
        ASSERT_TRUE(logonUsesComponent()) << "the test component is not registered in this Wine prefix";
    }

    void TearDown() override
    {
        qunsetenv(kTestFaultsEnv);
        EXPECT_EQ(liveComponentObjects(), 0) << "objects of the component left alive";
    }

    static std::shared_ptr<Account> folderAccount() { return logOnToFolder(demoServer()); }

    static ExportOutcome exportUser(Account& account, const QString& user, const QString& folder, bool zip = false)
    {
        QuietObserver observer;
        ExportRequest request;
        request.folder = folder + QLatin1Char('/');
        request.rootPfad = user;
        request.zip = zip;
        return runExport(account, request, observer);
    }

    // The first user with sub-archives, faxes, links and e-mails.
    static QString richUser(Account& account)
    {
        const StatListing listing = listArchives(account, true);
        for (const StatRow& row : listing.rows) {
            if (row.level != 0)
                continue;
            const auto archive = account.ArchiveFromPath(row.data->Pfad);
            QSet<qint32> kinds;
            const auto messages = archive->GetMessages(QVariant(197119));
            for (qint32 i = 0; i < messages->Count(); ++i)
                kinds.insert(messages->Item(i)->Kind());
            if (kinds.contains(2) && kinds.contains(3) && kinds.contains(8) && archive->GetSubArchives()->Count() > 0)
                return row.data->Pfad;
        }
        return {};
    }
};

}  // namespace

TEST_F(ComServer, SeesWhatTheServerFolderHoldsAndReleasesEverything)
{
    LogonReport report;
    auto account = LogonAccount(&report);
    ASSERT_TRUE(account) << report.failure.toStdString();
    EXPECT_TRUE(report.server.contains(QStringLiteral("DVOBJAPILib.DvISEAPI"))) << report.server.toStdString();
    const auto folder = folderAccount();
    ASSERT_TRUE(folder);
    EXPECT_GT(liveComponentObjects(), 0);

    const QStringList viaCom = describeServer(*account);
    EXPECT_GT(viaCom.size(), 20);
    EXPECT_EQ(viaCom, describeServer(*folder));

    // The rows arvelo-stat and the window list, sub-archives included.
    const StatListing a = listArchives(*account, true), b = listArchives(*folder, true);
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (std::size_t i = 0; i < a.rows.size(); ++i) {
        EXPECT_EQ(a.rows[i].level, b.rows[i].level);
        EXPECT_EQ(a.rows[i].data->Pfad, b.rows[i].data->Pfad);
        EXPECT_EQ(a.rows[i].data->TobitUser, b.rows[i].data->TobitUser);
        EXPECT_EQ(a.rows[i].data->FullPath, b.rows[i].data->FullPath);
    }
    account.reset();
    EXPECT_EQ(liveComponentObjects(), 0);
}

// The export on a worker thread, as the export window runs it: the same files as through the folder, the
// e-mails converted by DvApi32.dll.
TEST_F(ComServer, ExportsOnAWorkerThreadWhatTheFolderExports)
{
    QTemporaryDir out;
    const auto folder = folderAccount();
    const QString user = richUser(*folder);
    ASSERT_FALSE(user.isEmpty());
    ASSERT_EQ(exportUser(*folder, user, out.filePath(QStringLiteral("folder"))).end, ExportEnd::Completed);

    ExportOutcome viaCom;
    std::thread worker([&] {
        auto account = LogonAccount();
        ASSERT_TRUE(account);
        viaCom = exportUser(*account, user, out.filePath(QStringLiteral("com")));
    });
    worker.join();
    EXPECT_EQ(viaCom.end, ExportEnd::Completed) << viaCom.error.toStdString();
    EXPECT_EQ(viaCom.tally.failed, 0) << failureLines(viaCom.tally).toStdString();
    const QStringList files = treeOf(out.filePath(QStringLiteral("com")));
    EXPECT_GT(files.size(), 3);
    EXPECT_EQ(files, treeOf(out.filePath(QStringLiteral("folder"))));
}

// Several threads share one account, as scanners and the export do.
TEST_F(ComServer, ThreadsShareOneAccount)
{
    auto account = LogonAccount();
    ASSERT_TRUE(account);
    const QStringList expected = describeServer(*account);
    std::vector<QStringList> seen(4);
    std::vector<std::thread> threads;
    for (QStringList& s : seen)
        threads.emplace_back([&account, &s] { s = describeServer(*account); });
    for (std::thread& t : threads)
        t.join();
    for (const QStringList& s : seen)
        EXPECT_EQ(s, expected);
}

// Each fault of the component ends as the error of the operation that met it: a message naming the operation
// and the component's own description (or the system's text for a bare code), never a crash or a half result.
TEST_F(ComServer, EachFaultEndsAsTheErrorOfItsOperation)
{
    enum class Step { Logon, List, Export };
    const struct {
        const char* faults;
        Step step;
        const char* expected;  // in the error; empty: no account and no error
    } cases[] = {
        {"no-account", Step::Logon, ""},
        {"logon-fails", Step::Logon, "DvISEAPI.Logon: Anmeldung abgelehnt (Testserver)"},
        {"prepare-fails", Step::Logon, "DvISEAPI.PrepareLogon: PrepareLogon abgelehnt (Testserver)"},
        {"fail-call=5:Platte kaputt", Step::List, ": Platte kaputt"},
        {"hresult-call=4:0x80070005", Step::List, "0x80070005"},
        {"count-plus-one", Step::List, "ArchiveFolders.Item: "},
        {"wrong-type=Name", Step::List, "ArchiveFolder.Name: Antwort vom Typ VT_DATE kann nicht verwendet werden."},
        {"wrong-type=Count", Step::List, "ArchiveFolders.Count: Antwort vom Typ VT_DATE"},
        {"wrong-type=Kind", Step::Export, "MessageEntry.Kind: Antwort vom Typ VT_DATE"},
    };
    const auto folder = folderAccount();
    const QString user = richUser(*folder);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        qputenv(kTestFaultsEnv, c.faults);
        QString error;
        try {
            LogonReport report;
            auto account = LogonAccount(&report);
            if (!account) {
                error = report.failure;
            } else if (c.step == Step::List) {
                listArchives(*account, true);
            } else if (c.step == Step::Export) {
                QTemporaryDir out;
                const ExportOutcome outcome = exportUser(*account, user, out.path());
                error = outcome.error;
            }
        } catch (const ServerError& e) {
            error = e.reason();
        }
        if (*c.expected)
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << error.toStdString();
        else
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        qunsetenv(kTestFaultsEnv);
        EXPECT_EQ(liveComponentObjects(), 0);
    }
}

// When the e-mails cannot be converted (the library answers 0, a path longer than its buffer, is missing, or
// lacks the function), each e-mail fails with the reason and links and faxes are still written.
TEST_F(ComServer, EmailsThatCannotBeConvertedFailOneByOne)
{
    const struct {
        const char* faults;
        const char* library;
        const char* reason;
    } cases[] = {
        {"eml-zero", "DvApi32.dll", "DVEmlFromMailItem (DvApi32.dll) meldet 0."},
        {"eml-long-path", "DvApi32.dll", "lieferte einen Pfad, der länger ist als 259 Zeichen"},
        {"", "NichtDa32.dll", "NichtDa32.dll kann nicht geladen werden"},
        {"", "kernel32.dll", "kernel32.dll enthält DVEmlFromMailItem nicht."},
    };
    auto account = LogonAccount();
    ASSERT_TRUE(account);
    const QString user = richUser(*account);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults + std::string(" ") + c.library);
        qputenv(kTestFaultsEnv, c.faults);
        com::setEmlLibrary(QString::fromUtf8(c.library));
        QTemporaryDir out;
        const ExportOutcome outcome = exportUser(*account, user, out.path());
        EXPECT_EQ(outcome.end, ExportEnd::Completed) << outcome.error.toStdString();
        EXPECT_GT(outcome.tally.failed, 0);
        ASSERT_FALSE(outcome.tally.firstFailures.isEmpty());
        EXPECT_TRUE(outcome.tally.firstFailures.first().reason.contains(QString::fromUtf8(c.reason)))
            << outcome.tally.firstFailures.first().reason.toStdString();
        const QStringList files = treeOf(out.path());
        EXPECT_TRUE(files.filter(QStringLiteral(".url ")).size() > 0) << files.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(files.filter(QStringLiteral(".eml ")).isEmpty());
    }
}

// The companions through the component and through the folder: the same bytes, and nothing left alive when
// they end.
TEST_F(ComServer, CompanionsGiveTheSameBytesThroughTheComponent)
{
    QTemporaryDir work;
    const auto run = [&](const QString& program, QStringList arguments, bool viaCom, QByteArray* out = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ARVELO_SERVER"));
        const QString report = work.filePath(QStringLiteral("live.txt"));
        QFile::remove(report);
        env.insert(QString::fromLatin1(kTestLiveReportEnv), QDir::toNativeSeparators(report));
        if (!viaCom)
            arguments << QStringLiteral("--server") << QDir::toNativeSeparators(demoServer());
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        EXPECT_TRUE(p.waitForFinished(180000)) << p.errorString().toStdString();
        if (out)
            *out = p.readAllStandardOutput();
        if (viaCom) {
            QFile live(report);
            EXPECT_TRUE(live.open(QIODevice::ReadOnly)) << "the component left no report";
            EXPECT_EQ(live.readAll().trimmed(), "0") << "objects left alive by " << program.toStdString();
        }
        return p.exitCode();
    };

    const QStringList optionSets[] = {
        {},
        {QStringLiteral("--sub")},
        {QStringLiteral("--sub"), QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--format"),
         QStringLiteral("json")},
        {QStringLiteral("--sub"), QStringLiteral("--types"), QStringLiteral("--format"), QStringLiteral("json")}};
    for (const QStringList& options : optionSets) {
        SCOPED_TRACE(options.join(QLatin1Char(' ')).toStdString());
        QByteArray viaFolder, viaCom;
        const int folderExit = run(QStringLiteral(ARVELO_STAT_EXE), options, false, &viaFolder);
        EXPECT_EQ(run(QStringLiteral(ARVELO_STAT_EXE), options, true, &viaCom), folderExit);
        EXPECT_GT(viaFolder.count('\n'), 6);
        EXPECT_EQ(viaCom, viaFolder);
    }

    // The server written as a server folder through the component serves what the component serves. (The
    // archive root's own messages are not written; the program reads none.)
    const QString written = work.filePath(QStringLiteral("written"));
    EXPECT_EQ(run(QStringLiteral(ARVELO_STAT_EXE),
                  {QStringLiteral("--write-server-folder"), written, QStringLiteral("--with-messages")}, true),
              0);
    {
        const auto copy = logOnToFolder(written);
        ASSERT_TRUE(copy);
        const auto original = folderAccount();
        const auto users = [](Account& account) {
            QStringList out;
            const auto list = account.GetArchiveRoot(1)->GetSubArchives();
            for (qint32 i = 0; i < list->Count(); ++i)
                describe(*list->Item(i), 1, out, false);
            return out;
        };
        const QStringList got = users(*copy);
        EXPECT_GT(got.size(), 20);
        EXPECT_EQ(got, users(*original));
    }

    const auto folder = folderAccount();
    const QString user = richUser(*folder);
    for (bool zip : {false, true}) {
        SCOPED_TRACE(zip ? "zip" : "files");
        QStringList trees;
        for (bool viaCom : {false, true}) {
            const QString out = work.filePath(QStringLiteral("export-%1-%2").arg(zip).arg(viaCom));
            QStringList arguments = {QStringLiteral("--archive"),    user,
                                     QStringLiteral("--out"),        out,
                                     QStringLiteral("--sub"),        QStringLiteral("--types"),
                                     QStringLiteral("mail,link,fax")};
            if (zip)
                arguments << QStringLiteral("--zip");
            EXPECT_EQ(run(QStringLiteral(ARVELO_EXPORT_EXE), arguments, viaCom), 0);
            trees << treeOf(out).join(QLatin1Char('\n'));
        }
        EXPECT_FALSE(trees[0].isEmpty());
        EXPECT_EQ(trees[1].toStdString(), trees[0].toStdString());
    }
}
