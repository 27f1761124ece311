#include "server/udavid_api.h"

#include "platform/program_folder.h"
#include "server/standin/standin_server.h"

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

std::unique_ptr<DvISEAPI> createApi()
{
    ApiFactory factory;
    {
        QMutexLocker lock(&factoryMutex);
        factory = customFactory;
    }
    if (!factory)
        return standin::createStandinApi(standin::serverFolder());
    return factory();
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

QString standin::demoServerToBuild()
{
    {
        QMutexLocker lock(&factoryMutex);
        if (customFactory)
            return {};
    }
    if (!qEnvironmentVariableIsEmpty("ARVELO_SERVER"))
        return {};
    const QString folder = standin::serverFolder();
    const bool ours = folder == platform::userDataFolder() + QStringLiteral("demo-server");
    return ours && !QFileInfo::exists(folder + QStringLiteral("/server.json")) ? folder : QString();
}

std::shared_ptr<Account> LogonAccount()
{
    std::unique_ptr<DvISEAPI> api;
    try {
        api = createApi();
    } catch (const std::exception&) {
        // Creating the API object is the component's availability test: failing counts as "not there".
        return nullptr;
    }
    if (!api)
        return nullptr;

    api->PrepareLogon(1);  // a failure here is the caller's error

    std::shared_ptr<Account> account;
    try {
        account = api->Logon(QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                             QVariant(QStringLiteral("AUTH")));
    } catch (const std::exception&) {
        account.reset();  // a refused log-on is simply no account
    }
    api.reset();  // only the account outlives the log-on
    return account;
}

int DVEmlFromMailItem(MailItem& item, char* buffer)
{
    if (!buffer)
        return 0;
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
            return 0;
    }
    if (!file.isOpen())
        return 0;
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
        return 0;
    }

    try {
        item.WriteEml(file);
    } catch (const std::exception&) {
        discard();
        return 0;
    }
    if (!file.flush()) {
        discard();
        return 0;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        file.remove();
        return 0;
    }

    std::memcpy(buffer, ansi.constData(), static_cast<size_t>(ansi.size()));
    buffer[ansi.size()] = '\0';
    return static_cast<int>(ansi.size());
}
