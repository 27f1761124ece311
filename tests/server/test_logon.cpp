// LogonAccount with test doubles of the API object, the choice of server folder, and DVEmlFromMailItem.

#include "server_test_support.h"

#include "platform/program_folder.h"
#include "server/standin/standin_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace servertest;

namespace {

struct NoAccount : Account {
    std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32) override { return nullptr; }
    std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString&) override { return nullptr; }
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant&) override { return nullptr; }
};

enum class Step { Succeed, Throw, ReturnNothing };

// Records what the log-on does with it, into a log that outlives it.
class ApiDouble : public DvISEAPI {
public:
    ApiDouble(std::vector<std::string>& log, Step prepare, Step logon, std::shared_ptr<Account> account)
        : m_log(log), m_prepare(prepare), m_logon(logon), m_account(std::move(account))
    {
    }
    ~ApiDouble() override { m_log.push_back("released"); }
    void PrepareLogon(qint32 flags) override
    {
        m_log.push_back("prepare " + std::to_string(flags));
        if (m_prepare == Step::Throw)
            throw ServerError(QStringLiteral("Vorbereitung abgelehnt"));
    }
    std::shared_ptr<Account> Logon(const QVariant& a1, const QVariant& a2, const QVariant& a3, const QVariant& a4,
                                   const QVariant& a5, const QVariant& auth) override
    {
        std::string entry = "logon";
        for (const QVariant* v : {&a1, &a2, &a3, &a4, &a5})
            entry += v->isValid() ? " value" : " empty";
        m_log.push_back(entry + " " + auth.toString().toStdString());
        if (m_logon == Step::Throw)
            throw ServerError(QStringLiteral("Anmeldung abgelehnt"));
        return m_logon == Step::ReturnNothing ? nullptr : m_account;
    }

private:
    std::vector<std::string>& m_log;
    Step m_prepare, m_logon;
    std::shared_ptr<Account> m_account;
};

class Logon : public ::testing::Test {
protected:
    std::vector<std::string> log;
    void TearDown() override { setApiFactory({}); }
    void use(Step prepare, Step logon, std::shared_ptr<Account> account = std::make_shared<NoAccount>())
    {
        setApiFactory([this, prepare, logon, account] {
            log.push_back("create");
            return std::make_unique<ApiDouble>(log, prepare, logon, account);
        });
    }
};

const std::vector<std::string> kFullLogon = {"create", "prepare 1", "logon empty empty empty empty empty AUTH",
                                             "released"};

}  // namespace

TEST_F(Logon, AccountOutlivesTheApiObject)
{
    const auto account = std::make_shared<NoAccount>();
    use(Step::Succeed, Step::Succeed, account);
    EXPECT_EQ(LogonAccount(), account);
    EXPECT_EQ(log, kFullLogon);

    // Each log-on creates its own API object.
    log.clear();
    EXPECT_EQ(LogonAccount(), account);
    EXPECT_EQ(log, kFullLogon);

    setApiFactory({});
    EXPECT_EQ(account.use_count(), 1);  // nothing of the log-on kept a reference
}

TEST_F(Logon, NoApiObjectMeansNoAccount)
{
    setApiFactory([this]() -> std::unique_ptr<DvISEAPI> {
        log.push_back("create");
        return nullptr;
    });
    EXPECT_EQ(LogonAccount(), nullptr);
    setApiFactory([this]() -> std::unique_ptr<DvISEAPI> {
        log.push_back("create");
        throw ServerError(QStringLiteral("Komponente fehlt"));
    });
    EXPECT_EQ(LogonAccount(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string> {"create", "create"}));
}

TEST_F(Logon, FailingPreparationIsAnErrorAndReleasesTheApiObject)
{
    use(Step::Throw, Step::Succeed);
    try {
        LogonAccount();
        ADD_FAILURE() << "no error";
    } catch (const ServerError& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("Vorbereitung abgelehnt"));
    }
    EXPECT_EQ(log, (std::vector<std::string> {"create", "prepare 1", "released"}));
}

TEST_F(Logon, RefusedLogonIsNoAccount)
{
    for (Step logon : {Step::Throw, Step::ReturnNothing}) {
        log.clear();
        use(Step::Succeed, logon);
        EXPECT_EQ(LogonAccount(), nullptr);
        EXPECT_EQ(log, kFullLogon);
    }
}

TEST_F(Logon, ServerFolderFromTheEnvironmentElseBesideTheProgram)
{
    QTemporaryDir program;
    ASSERT_TRUE(copyTree(handmadeServer(), program.filePath(QStringLiteral("demo-server"))));
    platform::setProgramFolder(program.path());
    const auto restore = qScopeGuard([] { platform::setProgramFolder({}); });

    const auto firstUser = [] { return LogonAccount()->GetArchiveRoot(1)->GetSubArchives()->Item(0)->Name(); };
    {
        const ScopedEnv env("ARVELO_SERVER", std::nullopt);
        EXPECT_EQ(standin::serverFolder(), program.filePath(QStringLiteral("demo-server")));
        EXPECT_EQ(firstUser(), QStringLiteral("Zoe Adler"));
    }
    {
        const ScopedEnv env("ARVELO_SERVER", QByteArray());
        EXPECT_EQ(firstUser(), QStringLiteral("Zoe Adler"));
    }
    QTemporaryDir other;
    writeFile(other.filePath(QStringLiteral("server.json")),
              R"({"archiveRoot": {"name": "R", "path": "S:D", "fullPath": "F", "subArchives": [
                 {"name": "Anderer Server", "path": "S:D\\1", "fullPath": "F1"}]}})");
    {
        const ScopedEnv env("ARVELO_SERVER", QFile::encodeName(other.path()));
        EXPECT_EQ(firstUser(), QStringLiteral("Anderer Server"));
    }
    {
        // A broken server folder is an error of the log-on, with the reason naming the file.
        const ScopedEnv env("ARVELO_SERVER", QFile::encodeName(program.path()));
        try {
            LogonAccount();
            ADD_FAILURE() << "no error";
        } catch (const ServerError& e) {
            EXPECT_TRUE(e.reason().startsWith(QDir::toNativeSeparators(program.filePath(QStringLiteral("server.json")))))
                << e.what();
        }
    }
}

TEST_F(Logon, WithoutAServerBesideTheProgramTheDemoServerInTheUsersDataFolderIsBuiltOnce)
{
#ifdef _WIN32
    GTEST_SKIP() << "the data folder is chosen by XDG_DATA_HOME on Linux only";
#endif
    QTemporaryDir program, data;
    platform::setProgramFolder(program.path());
    const auto restore = qScopeGuard([] { platform::setProgramFolder({}); });
    const ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const ScopedEnv named("ARVELO_SERVER", std::nullopt);
    setApiFactory(nullptr);

    const QString folder = data.filePath(QStringLiteral("Arvelo/demo-server"));
    EXPECT_EQ(QDir::cleanPath(standin::serverFolder()), folder);
    EXPECT_EQ(QDir::cleanPath(standin::demoServerToBuild()), folder);

    ASSERT_TRUE(copyTree(handmadeServer(), folder));
    EXPECT_EQ(standin::demoServerToBuild(), QString()) << "built once";
    EXPECT_EQ(LogonAccount()->GetArchiveRoot(1)->GetSubArchives()->Item(0)->Name(), QStringLiteral("Zoe Adler"));
    {
        // A server named or installed by other means is never replaced by a demo.
        QDir(folder).removeRecursively();
        const ScopedEnv other("ARVELO_SERVER", QByteArray("/srv/david"));
        EXPECT_EQ(standin::demoServerToBuild(), QString());
    }
    setApiFactory([] { return std::unique_ptr<DvISEAPI>(); });
    EXPECT_EQ(standin::demoServerToBuild(), QString());
    setApiFactory(nullptr);
}

namespace {

class FixedMail : public MailItem {
public:
    explicit FixedMail(QByteArray eml, bool failHalfway = false) : m_eml(std::move(eml)), m_fail(failHalfway) {}
    QString Title() override { return QStringLiteral("Test"); }
    QString LinkUrl() override { return {}; }
    std::shared_ptr<FaxItem> QueryFaxItem() override { throw ServerError(QStringLiteral("kein Fax")); }
    void WriteEml(QIODevice& target) override
    {
        target.write(m_fail ? m_eml.left(m_eml.size() / 2) : m_eml);
        if (m_fail)
            throw ServerError(QStringLiteral("Verbindung verloren"));
    }

private:
    QByteArray m_eml;
    bool m_fail;
};

class NoEmlMail : public MailItem {
public:
    QString Title() override { return {}; }
    QString LinkUrl() override { return {}; }
    std::shared_ptr<FaxItem> QueryFaxItem() override { throw ServerError(QStringLiteral("kein Fax")); }
};

// DVEmlFromMailItem writes into a temporary folder of the test's own, so leftovers can be counted.
class EmlFile : public ::testing::Test {
protected:
    QTemporaryDir base;
    std::optional<ScopedEnv> tmp;
    char buffer[kEmlPathBufferSize + 1];

    void SetUp() override { useTempFolder(base.path()); }
    void useTempFolder(const QString& folder)
    {
        ASSERT_TRUE(QDir().mkpath(folder));
        tmp.reset();
#ifdef _WIN32
        tmp.emplace("TMP", QFile::encodeName(QDir::toNativeSeparators(folder)));
#else
        tmp.emplace("TMPDIR", QFile::encodeName(folder));
#endif
        ASSERT_EQ(QDir::tempPath(), folder);
        std::memset(buffer, ' ', kEmlPathBufferSize);
        buffer[kEmlPathBufferSize] = '\0';
    }
    // A temporary folder whose EML file names get exactly `length` bytes.
    QString folderForNamesOf(qsizetype length)
    {
        const qsizetype nameBytes = QByteArrayLiteral("/arvelo-XXXXXX.eml").size();
        QString folder = base.path() + QLatin1Char('/');
        while (folder.size() + nameBytes < length)
            folder += folder.size() % 100 == 99 ? QLatin1Char('/') : QLatin1Char('d');
        if (folder.endsWith(QLatin1Char('/')))
            folder.replace(folder.size() - 1, 1, QLatin1Char('e'));
        return folder;
    }
    QStringList filesIn(const QString& folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }
};

}  // namespace

TEST_F(EmlFile, EachCallWritesANewTemporaryFileAndNamesItInTheBuffer)
{
    const QByteArray eml = "From: a@example.org\r\nSubject: =?UTF-8?B?w5xiZXJzaWNodA==?=\r\n\r\nText\r\n";
    FixedMail mail(eml);
    const int result = DVEmlFromMailItem(mail, buffer);
    ASSERT_GT(result, 0);
    EXPECT_EQ(std::size_t(result), std::strlen(buffer));
    const QString first = QString::fromLocal8Bit(buffer);
    EXPECT_TRUE(QFileInfo(first).isAbsolute());
    EXPECT_EQ(QFileInfo(first).path(), base.path());
    EXPECT_TRUE(first.endsWith(QStringLiteral(".eml")));
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), eml);

    ASSERT_GT(DVEmlFromMailItem(mail, buffer), 0);
    const QString second = QString::fromLocal8Bit(buffer);
    EXPECT_NE(second, first);
    EXPECT_EQ(filesIn(base.path()).size(), 2);
}

TEST_F(EmlFile, FailuresGiveZeroLeaveNoFileAndKeepTheBuffer)
{
    FixedMail broken("Subject: halb\r\n\r\nabgebrochen mitten im Text\r\n", true);
    NoEmlMail noEml;
    for (MailItem* item : std::initializer_list<MailItem*> {&broken, &noEml}) {
        EXPECT_EQ(DVEmlFromMailItem(*item, buffer), 0);
        EXPECT_EQ(std::string(buffer), std::string(kEmlPathBufferSize, ' '));
    }
    FixedMail mail("Subject: x\r\n\r\n");
    EXPECT_EQ(DVEmlFromMailItem(mail, nullptr), 0);
    EXPECT_EQ(filesIn(base.path()), QStringList());
}

TEST_F(EmlFile, ANameMustFitTheBufferWithItsTerminatingZero)
{
    FixedMail mail("Subject: lang\r\n\r\n");
    const QString fits = folderForNamesOf(kEmlPathBufferSize - 1);
    useTempFolder(fits);
    const int result = DVEmlFromMailItem(mail, buffer);
    EXPECT_EQ(result, kEmlPathBufferSize - 1);
    EXPECT_EQ(buffer[kEmlPathBufferSize - 1], '\0');
    EXPECT_EQ(filesIn(fits).size(), 1);

    for (qsizetype length : {qsizetype(kEmlPathBufferSize), qsizetype(kEmlPathBufferSize + 40)}) {
        SCOPED_TRACE(length);
#ifdef _WIN32
        if (length > 260)
            continue;  // Windows takes no temporary folder longer than MAX_PATH
#endif
        const QString tooLong = folderForNamesOf(length);
        useTempFolder(tooLong);
        EXPECT_EQ(DVEmlFromMailItem(mail, buffer), 0);
        EXPECT_EQ(std::string(buffer), std::string(kEmlPathBufferSize, ' '));
        EXPECT_EQ(filesIn(tooLong), QStringList());
    }
}
