#include "server/standin/standin_server.h"

#include "platform/excerpt.h"
#include "platform/file_copy.h"
#include "platform/program_folder.h"
#include "platform/regular_file.h"
#include "platform/unc_path.h"
#include "server/standin/server_json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QMutex>
#include <QMutexLocker>

namespace standin {

namespace {

// A server.json beyond this is no server's description but a mistake or an attack; reading it would take the
// memory of the machine.
constexpr qint64 kServerJsonLimit = qint64(1) << 30;

using platform::excerpt;
using Message = ServerJsonMessage;

struct ServerData {
    QString folder;     // absolute, canonical
    ServerJson json;    // archives ([0] is the archive root) and the index by path
    // Canonical forms of the folders that hold message files, found once per log-on: resolving every
    // message's whole path anew cost the export more than copying the message.
    mutable QMutex folderMutex;
    mutable QHash<QString, QString> canonicalFolders;
};

std::shared_ptr<ServerData> load(const QString& folder)
{
    auto data = std::make_shared<ServerData>();
    const QFileInfo info(folder);
    data->folder = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QString file = data->folder + QStringLiteral("/server.json");

    QString why;
    std::optional<QByteArray> bytes = platform::readRegularFile(file, kServerJsonLimit, platform::OverLimit::Refuse, &why);
    if (!bytes)
        throw ServerError(QStringLiteral("%1: Datei: kann nicht gelesen werden (%2)")
                              .arg(QDir::toNativeSeparators(file), why));
    data->json = readServerJson(*bytes, file);
    // The list grew by doubling while it was read; what it kept spare (up to half of it, 12 MB at 163,000
    // archives) would be held through a whole listing beside the rows made from it. The file's text goes
    // first, so that it and the list's two copies are never held at once.
    bytes.reset();
    data->json.archives.shrink_to_fit();
    return data;
}

// A message file named in server.json, refused when it leads out of the server folder.
// Both "/" and "\" separate folders, so a server folder written on either system reads the same.
QString messageFile(const ServerData& data, const QString& relative)
{
    QString name = relative;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty() || QDir::isAbsolutePath(name) || name.contains(QLatin1Char(':')))
        throw ServerError(QStringLiteral("Ungültiger Dateiname der Nachricht: %1").arg(excerpt(relative)));
    const QString joined = QDir::cleanPath(data.folder + QLatin1Char('/') + name);
    QString canonical;
    bool isFile = false;
    const qsizetype slash = joined.lastIndexOf(QLatin1Char('/'));
    QString folder;
    {
        QMutexLocker lock(&data.folderMutex);
        folder = data.canonicalFolders.value(joined.left(slash));
    }
    if (folder.isEmpty()) {
        folder = QFileInfo(joined.left(slash)).canonicalFilePath();
        if (!folder.isEmpty()) {
            QMutexLocker lock(&data.folderMutex);
            data.canonicalFolders.insert(joined.left(slash), folder);
        }
    }
    if (!folder.isEmpty()) {
        const QFileInfo inFolder(folder + joined.mid(slash));
        // A link as the file itself is resolved in full, like any path.
        canonical = inFolder.isSymLink() ? inFolder.canonicalFilePath()
                                         : (inFolder.exists() ? inFolder.absoluteFilePath() : QString());
        isFile = inFolder.isFile();
    }
    if (canonical.isEmpty())
        throw ServerError(QStringLiteral("Nachrichtendatei fehlt: %1").arg(excerpt(relative)));
    if (!canonical.startsWith(data.folder + QLatin1Char('/')))
        throw ServerError(
            QStringLiteral("Nachrichtendatei liegt außerhalb des Serverordners: %1").arg(excerpt(relative)));
    if (!isFile)
        throw ServerError(QStringLiteral("Nachrichtendatei ist keine Datei: %1").arg(excerpt(relative)));
    return canonical;
}

class Folder;

class Folders : public ArchiveFolders {
public:
    Folders(std::shared_ptr<ServerData> d, int owner) : m_data(std::move(d)), m_owner(owner) {}
    qint32 Count() override { return qint32(m_data->json.archives[std::size_t(m_owner)].subs.size()); }
    std::shared_ptr<ArchiveFolder> Item(const QVariant& index) override;

private:
    std::shared_ptr<ServerData> m_data;
    int m_owner;
};

class Fax : public FaxItem {
public:
    explicit Fax(QString image) : m_image(std::move(image)) {}
    QVariant ImagePath() override { return QDir::toNativeSeparators(m_image); }

private:
    QString m_image;
};

class Mail : public MailItem {
public:
    Mail(std::shared_ptr<ServerData> d, Message m) : m_data(std::move(d)), m_message(std::move(m)) {}
    QString Title() override { return m_message.title; }
    QString LinkUrl() override { return m_message.url; }
    std::shared_ptr<FaxItem> QueryFaxItem() override
    {
        if (m_message.kind != 3 || m_message.faxImage.isEmpty())
            throw ServerError(QStringLiteral("Die Nachricht ist kein Fax."));
        return std::make_shared<Fax>(messageFile(*m_data, m_message.faxImage));
    }
    void WriteEml(QIODevice& target) override
    {
        if (m_message.eml.isEmpty())
            MailItem::WriteEml(target);
        QFile source;
        QString why;
        if (!platform::openRegularFile(source, messageFile(*m_data, m_message.eml), &why))
            throw ServerError(QStringLiteral("Nachricht nicht lesbar: %1").arg(why));
        if (auto* file = qobject_cast<QFileDevice*>(&target)) {
            if (!platform::copyRest(source, *file))
                throw ServerError(QStringLiteral("Nachricht konnte nicht geschrieben werden."));
            return;
        }
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(64 * 1024);
            if (chunk.isEmpty() || target.write(chunk) != chunk.size())
                throw ServerError(QStringLiteral("Nachricht konnte nicht geschrieben werden."));
        }
    }

private:
    std::shared_ptr<ServerData> m_data;
    Message m_message;
};

class Entry : public MessageEntry {
public:
    Entry(int index, int kind) : m_index(index), m_kind(kind) {}
    QVariant Key() override { return m_index; }
    qint32 Kind() override { return m_kind; }

private:
    int m_index;
    int m_kind;
};

class Messages : public MessageList {
public:
    Messages(std::shared_ptr<ServerData> d, int owner) : m_data(std::move(d)), m_owner(owner) {}
    qint32 Count() override { return qint32(list().size()); }
    std::shared_ptr<MessageEntry> Item(const QVariant& index) override
    {
        bool ok = false;
        const int i = index.toInt(&ok);
        if (!ok || i < 0 || i >= int(list().size()))
            throw ServerError(QStringLiteral("Nachricht %1 gibt es nicht.").arg(excerpt(index.toString())));
        return std::make_shared<Entry>(i, list()[std::size_t(i)].kind);
    }

private:
    const std::vector<Message>& list() const { return m_data->json.archives[std::size_t(m_owner)].messages; }
    std::shared_ptr<ServerData> m_data;
    int m_owner;
};

class Folder : public ArchiveFolder {
public:
    Folder(std::shared_ptr<ServerData> d, int index) : m_data(std::move(d)), m_index(index) {}
    std::shared_ptr<ArchiveFolders> GetSubArchives() override { return std::make_shared<Folders>(m_data, m_index); }
    QString Name() override { return archive().name; }
    QVariant Path() override { return archive().path; }
    QString FullPath() override { return archive().fullPath; }
    std::shared_ptr<MessageList> GetMessages(const QVariant&) override
    {
        return std::make_shared<Messages>(m_data, m_index);
    }
    std::shared_ptr<MailItem> GetMailItem(const QVariant& key, const QVariant&) override
    {
        bool ok = false;
        const int i = key.toInt(&ok);
        if (!ok || i < 0 || i >= int(archive().messages.size()))
            throw ServerError(QStringLiteral("Nachricht %1 gibt es nicht.").arg(excerpt(key.toString())));
        return std::make_shared<Mail>(m_data, archive().messages[std::size_t(i)]);
    }

private:
    const ServerJsonArchive& archive() const { return m_data->json.archives[std::size_t(m_index)]; }
    std::shared_ptr<ServerData> m_data;
    int m_index;
};

std::shared_ptr<ArchiveFolder> Folders::Item(const QVariant& index)
{
    bool ok = false;
    const int i = index.toInt(&ok);
    const auto& subs = m_data->json.archives[std::size_t(m_owner)].subs;
    if (!ok || i < 0 || i >= int(subs.size()))
        throw ServerError(QStringLiteral("Archiv %1 gibt es in der Liste nicht.").arg(excerpt(index.toString())));
    return std::make_shared<Folder>(m_data, subs[std::size_t(i)]);
}

class StandinAccount : public Account {
public:
    explicit StandinAccount(std::shared_ptr<ServerData> d) : m_data(std::move(d)) {}
    std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32) override { return std::make_shared<Folder>(m_data, 0); }
    std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString& path) override
    {
        const auto it = m_data->json.byPath.constFind(path);
        if (it == m_data->json.byPath.constEnd())
            throw ServerError(QStringLiteral("Unbekanntes Archiv: %1").arg(excerpt(path)));
        return std::make_shared<Folder>(m_data, it.value());
    }
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) override { return ArchiveFromPath(path.toString()); }

private:
    std::shared_ptr<ServerData> m_data;
};

class StandinApi : public DvISEAPI {
public:
    explicit StandinApi(QString folder) : m_folder(std::move(folder)) {}
    void PrepareLogon(qint32) override
    {
        m_data = load(m_folder);
        platform::setUncRoot(m_data->folder + QStringLiteral("/shares"));
    }
    std::shared_ptr<Account> Logon(const QVariant&, const QVariant&, const QVariant&, const QVariant&,
                                   const QVariant&, const QVariant& auth) override
    {
        if (!m_data || auth.toString() != QLatin1String("AUTH"))
            return nullptr;
        return std::make_shared<StandinAccount>(m_data);
    }

    QString describe() const override
    {
        return QStringLiteral("Serverordner %1").arg(QDir::toNativeSeparators(QFileInfo(m_folder).absoluteFilePath()));
    }

private:
    QString m_folder;
    std::shared_ptr<ServerData> m_data;
};

}  // namespace

QString serverFolder()
{
    const QString named = qEnvironmentVariable("ARVELO_SERVER");
    if (!named.isEmpty())
        return named;
    const QString beside = platform::programFolder() + QStringLiteral("demo-server");
    if (QFileInfo::exists(beside + QStringLiteral("/server.json")))
        return beside;
    return platform::userDataFolder() + QStringLiteral("demo-server");
}

std::unique_ptr<DvISEAPI> createStandinApi(const QString& folder)
{
    return std::make_unique<StandinApi>(folder);
}

}  // namespace standin
