#include "server/udavid_api.h"

#include "platform/program_folder.h"
#include "server/standin/standin_server.h"
#ifdef _WIN32
#include "server/com/com_server.h"
#endif

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>

#include <cstring>

ServerError::ServerError(const QString& reason) : std::runtime_error(reason.toStdString()) {}

QString ServerError::reason() const
{
    return QString::fromStdString(what());
}

void MailItem::WriteEml(QIODevice&)
{
    throw ServerError(QStringLiteral("Die Nachricht kann nicht als EML-Datei geschrieben werden."));
}

namespace {

QMutex factoryMutex;
ApiFactory customFactory;

bool customFactorySet()
{
    QMutexLocker lock(&factoryMutex);
    return bool(customFactory);
}

std::unique_ptr<DvISEAPI> createApi()
{
    ApiFactory factory;
    {
        QMutexLocker lock(&factoryMutex);
        factory = customFactory;
    }
    if (factory)
        return factory();
#ifdef _WIN32
    if (logonUsesComponent())
        return com::createComApi();
#endif
    return standin::createStandinApi(standin::serverFolder());
}

// QDir::tempPath() resolves the folder's links anew on every call, which for thousands of converted e-mails
// adds up; the answer changes only with the environment variables it is taken from.
QString temporaryFolder()
{
    static QMutex mutex;
    static QString variables;
    static QString folder;
    const QString now = qEnvironmentVariable("TMPDIR") + QLatin1Char('\n') + qEnvironmentVariable("TMP")
                        + QLatin1Char('\n') + qEnvironmentVariable("TEMP");
    QMutexLocker lock(&mutex);
    if (folder.isEmpty() || now != variables) {
        variables = now;
        folder = QDir::tempPath();
    }
    return folder;
}

}  // namespace

void setApiFactory(ApiFactory factory)
{
    QMutexLocker lock(&factoryMutex);
    customFactory = std::move(factory);
}

bool logonUsesComponent()
{
#ifdef _WIN32
    return !customFactorySet() && qEnvironmentVariableIsEmpty("ARVELO_SERVER") && com::componentRegistered();
#else
    return false;
#endif
}

QString standin::demoServerToBuild()
{
    if (customFactorySet() || !qEnvironmentVariableIsEmpty("ARVELO_SERVER") || logonUsesComponent())
        return {};
    const QString folder = standin::serverFolder();
    const bool ours = folder == platform::userDataFolder() + QStringLiteral("demo-server");
    return ours && !QFileInfo::exists(folder + QStringLiteral("/server.json")) ? folder : QString();
}

std::shared_ptr<Account> LogonAccount(LogonReport* report)
{
    LogonReport ignored;
    LogonReport& said = report ? *report : ignored;
    said = {};
    std::unique_ptr<DvISEAPI> api;
    try {
        api = createApi();
    } catch (const std::exception& e) {
        // Creating the API object is the component's availability test: failing counts as "not there".
        said.failure = QString::fromUtf8(e.what());
        return nullptr;
    }
    if (!api)
        return nullptr;
    said.server = api->describe();

    api->PrepareLogon(1);  // a failure here is the caller's error

    std::shared_ptr<Account> account;
    try {
        account = api->Logon(QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                             QVariant(QStringLiteral("AUTH")));
    } catch (const std::exception& e) {
        account.reset();  // a refused log-on is simply no account
        said.failure = QString::fromUtf8(e.what());
    }
    api.reset();  // only the account outlives the log-on
    return account;
}

int DVEmlFromMailItem(MailItem& item, char* buffer, QString* reason)
{
    if (!buffer)
        return 0;
    return item.SaveAsEmlFile(buffer, reason);
}

int MailItem::SaveAsEmlFile(char* buffer, QString* reason)
{
    const auto failed = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return 0;
    };
    // A named file opened exclusively: QTemporaryFile's unnamed O_TMPFILE files cost ext4 a scan of recently
    // deleted inodes each, which made the export of thousands of e-mails several times slower.
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QFile file;
    for (int attempt = 0; attempt < 100 && !file.isOpen(); ++attempt) {
        QString unique(6, QLatin1Char('X'));  // as long as QTemporaryFile's "XXXXXX"
        for (QChar& c : unique)
            c = QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        file.setFileName(temporaryFolder() + QStringLiteral("/arvelo-") + unique + QStringLiteral(".eml"));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !file.exists())
            return failed(QStringLiteral("Temporäre Datei nicht anlegbar: %1").arg(file.errorString()));
    }
    if (!file.isOpen())
        return failed(QStringLiteral("Kein freier Name für eine temporäre Datei."));
    const QString name = QDir::toNativeSeparators(QFileInfo(file.fileName()).absoluteFilePath());
    const auto discard = [&file] {
        file.close();
        file.remove();
    };

    // The caller reads the name back as ANSI text: it must survive the round trip and leave room for the
    // terminating zero.
    const QByteArray ansi = platform::toAnsi(name);
    if (ansi.isEmpty() || ansi.size() >= kEmlPathBufferSize || platform::fromAnsi(ansi) != name
        || ansi.contains('\0')) {
        discard();
        return failed(QStringLiteral("Der Pfad der temporären Datei passt nicht in %1 Zeichen ANSI-Text: %2")
                          .arg(kEmlPathBufferSize - 1)
                          .arg(name));
    }

    try {
        WriteEml(file);
    } catch (const std::exception& e) {
        discard();
        return failed(QString::fromUtf8(e.what()));
    }
    if (!file.flush()) {
        const QString why = file.errorString();
        discard();
        return failed(why);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        const QString why = file.errorString();
        file.remove();
        return failed(why);
    }

    std::memcpy(buffer, ansi.constData(), static_cast<size_t>(ansi.size()));
    buffer[ansi.size()] = '\0';
    return static_cast<int>(ansi.size());
}
