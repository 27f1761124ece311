#include "cli/server_folder_writer.h"

#include "cli/stat_output.h"
#include "export/eml_save.h"
#include "platform/excerpt.h"
#include "platform/file_copy.h"
#include "platform/regular_file.h"
#include "server/udavid_api.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <memory>
#include <optional>
#include <vector>

namespace {

using platform::excerpt;
using Outcome = ServerFolderResult::Outcome;

constexpr int kEmail = 2;
constexpr int kFax = 3;
constexpr int kLink = 8;

// Ends the walk: the outcome and its reason.
struct Stop {
    Outcome outcome;
    QString reason;
};

[[noreturn]] void cannotWrite(const QString& what, const QString& reason)
{
    throw Stop {Outcome::WriteFailed,
                QStringLiteral("%1 konnte nicht geschrieben werden: %2").arg(QDir::toNativeSeparators(what), reason)};
}

// A name in the folder no one else uses, for what is renamed into place at the end.
QString freeName(const QString& folder, const QString& prefix)
{
    for (;;) {
        const QString name =
            folder + QLatin1Char('/') + prefix + QString::number(QRandomGenerator::global()->generate64(), 36);
        if (!QFileInfo::exists(name))
            return name;
    }
}

// The fax image's own suffix where it is a plain one, so a viewer knows the file; else what the export uses.
QString faxSuffix(const QString& source)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9]{1,10}$"));
    const QString suffix = QFileInfo(source).suffix();
    return plain.match(suffix).hasMatch() ? suffix : QStringLiteral("tif");
}

class Writer {
public:
    Writer(Account& account, const ServerFolderRequest& request, const ServerFolderProgress& progress)
        : m_account(account), m_request(request), m_progress(progress),
          m_folder(QFileInfo(request.folder).absoluteFilePath())
    {
    }

    ServerFolderResult run()
    {
        try {
            prepare();
            writeServer();
            commit();
        } catch (const Stop& stop) {
            undo();
            m_result.outcome = stop.outcome;
            m_result.error = stop.reason;
        } catch (const std::exception& e) {  // ServerError and whatever else the server's layer throws
            undo();
            m_result.outcome = Outcome::ServerFailed;
            m_result.error = QString::fromUtf8(e.what());
        }
        return std::move(m_result);
    }

private:
    // One list of sub-archives being written.
    struct Level {
        std::shared_ptr<ArchiveFolders> list;
        qint32 count = 0;
        qint32 next = 0;
        int written = 0;
        QString owner;  // the path of the archive the list belongs to
    };

    void prepare()
    {
        const QFileInfo info(m_folder);
        const QString shown = QDir::toNativeSeparators(m_folder);
        if (info.exists() && !info.isDir())
            throw Stop {Outcome::Refused, QStringLiteral("%1 ist kein Ordner.").arg(shown)};
        if (info.exists() && !m_request.replace) {
            if (QFileInfo::exists(m_folder + QStringLiteral("/server.json")))
                throw Stop {Outcome::Refused,
                            QStringLiteral("%1 enthält schon einen Serverordner (server.json).").arg(shown)};
            if (!QDir(m_folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
                throw Stop {Outcome::Refused, QStringLiteral("%1 ist nicht leer.").arg(shown)};
        }
        QString special;
        if (platform::isSpecialFile(m_folder + QStringLiteral("/server.json"), &special))
            throw Stop {Outcome::Refused, QStringLiteral("%1: server.json: %2").arg(shown, special)};
        if (!info.exists()) {
            if (!QDir().mkpath(m_folder))
                cannotWrite(m_folder, QStringLiteral("Ordner kann nicht angelegt werden"));
            m_createdFolder = true;
        }
        const QString shares = m_folder + QStringLiteral("/shares");
        if (!QFileInfo(shares).isDir()) {
            if (!QDir().mkdir(shares))
                cannotWrite(shares, QStringLiteral("Ordner kann nicht angelegt werden"));
            m_createdShares = true;
        }
        if (m_request.withMessages) {
            // A folder of its own rather than QTemporaryDir's, which only its owner could read once renamed.
            const QString stage = freeName(m_folder, QStringLiteral(".arvelo-messages-"));
            if (!QDir().mkdir(stage))
                cannotWrite(m_folder + QStringLiteral("/messages"),
                            QStringLiteral("Ordner kann nicht angelegt werden"));
            m_stage = stage;
        }
        m_file.setFileName(m_folder + QStringLiteral("/server.json"));
        if (!m_file.open(QIODevice::WriteOnly))
            cannotWrite(m_file.fileName(), m_file.errorString());
    }

    void writeServer()
    {
        const std::shared_ptr<ArchiveFolder> root = m_account.GetArchiveRoot(1);
        const QString rootPath = root->Path().toString();
        m_out += "{\n  \"archiveRoot\": ";
        // The root's own messages are left out: nothing in the program asks for them.
        beginArchive(*root, rootPath, false);
        enterList(root->GetSubArchives(), rootPath);

        while (!m_levels.empty()) {
            Level& level = m_levels.back();
            if (level.next == level.count) {
                m_levels.pop_back();
                m_out += '\n' + indent() + "]}";
                continue;
            }
            const std::shared_ptr<ArchiveFolder> archive = level.list->Item(level.next++);
            const QString path = archive->Path().toString();
            if (m_written.contains(path)) {
                m_result.notes.append(leftOut(path));
                continue;
            }
            if (level.written++ > 0)
                m_out += ',';
            m_out += '\n' + indent();
            beginArchive(*archive, path, m_request.withMessages);
            // Asked for by path, as the window's expansion asks.
            enterList(m_account.ArchiveFromPath(path)->GetSubArchives(), path);
        }
        m_out += "\n}\n";
        flush();
    }

    // The archive's object up to its sub-archives, which follow or close it.
    void beginArchive(ArchiveFolder& archive, const QString& path, bool withMessages)
    {
        m_written.insert(path);
        m_out += "{\"name\": " + jsonString(archive.Name()) + ", \"path\": " + jsonString(path)
            + ", \"fullPath\": " + jsonString(archive.FullPath());
        const int number = m_result.archives++;
        if (withMessages)
            writeMessages(path, number);
        if (m_progress)
            m_progress(m_result.archives);
        if (m_out.size() >= kPiece)
            flush();
    }

    void enterList(std::shared_ptr<ArchiveFolders> list, const QString& owner)
    {
        const qint32 count = list->Count();
        if (count <= 0) {
            m_out += '}';
            return;
        }
        m_out += ", \"subArchives\": [";
        m_levels.push_back(Level {std::move(list), count, 0, 0, owner});
    }

    QString leftOut(const QString& path) const
    {
        for (const Level& level : m_levels) {
            if (level.owner == path)
                return QStringLiteral("Das Archiv %1 enthält sich selbst als Unterarchiv; es steht nur einmal im "
                                      "Serverordner.")
                    .arg(excerpt(path));
        }
        return QStringLiteral("Den Pfad %1 nennt der Server zweimal; das zweite Archiv fehlt im Serverordner.")
            .arg(excerpt(path));
    }

    void writeMessages(const QString& path, int number)
    {
        // Fetched as the export fetches them.
        const std::shared_ptr<ArchiveFolder> archive = m_account.OpenArchive(QVariant(path));
        const std::shared_ptr<MessageList> list = archive->GetMessages(QVariant(197119));
        const qint32 count = list->Count();
        if (count <= 0)
            return;
        m_out += ", \"messages\": [";
        const QByteArray inner = '\n' + indent() + "  ";
        for (qint32 i = 0; i < count; ++i) {
            const std::shared_ptr<MessageEntry> entry = list->Item(QVariant(i));
            const qint32 kind = entry->Kind();
            const std::shared_ptr<MailItem> message = archive->GetMailItem(entry->Key(), QVariant(34));
            m_out += (i > 0 ? "," : "") + inner + "{\"kind\": " + QByteArray::number(kind)
                + ", \"title\": " + jsonString(message->Title());
            const QString file = QStringLiteral("%1/%2.").arg(number).arg(i);
            if (kind == kEmail) {
                m_out += ", \"eml\": " + jsonString(QStringLiteral("messages/") + file + QStringLiteral("eml"));
                saveEml(*message, file + QStringLiteral("eml"), path, i);
            } else if (kind == kFax) {
                std::optional<QString> source;
                try {
                    source = message->QueryFaxItem()->ImagePath().toString();
                } catch (const std::exception& e) {
                    m_result.notes.append(messageNote(path, i, QString::fromUtf8(e.what())));
                }
                const QString name = file + (source ? faxSuffix(*source) : QStringLiteral("tif"));
                m_out += ", \"faxImage\": " + jsonString(QStringLiteral("messages/") + name);
                if (source)
                    copyFax(*source, name, path, i);
            } else if (kind == kLink) {
                m_out += ", \"url\": " + jsonString(message->LinkUrl());
            }
            m_out += '}';
            ++m_result.messages;
            if (m_out.size() >= kPiece)
                flush();
        }
        m_out += inner.chopped(2) + ']';
    }

    QString messageNote(const QString& path, int index, const QString& reason) const
    {
        return QStringLiteral("Nachricht %1 des Archivs %2: %3").arg(index).arg(excerpt(path), reason);
    }

    // The staged file `name` ("12/3.eml"), its folder made on first use.
    QString staged(const QString& name)
    {
        const QString target = m_stage + QLatin1Char('/') + name;
        const QString folder = QFileInfo(target).path();
        if (folder != m_lastFolder) {
            if (!QDir().mkpath(folder))
                cannotWrite(folder, QStringLiteral("Ordner kann nicht angelegt werden"));
            m_lastFolder = folder;
        }
        return target;
    }

    void saveEml(MailItem& message, const QString& name, const QString& path, int index)
    {
        EmlSaveFailure failure;
        const std::optional<QString> temporary = ConvertMailItemToEml(message, &failure);
        if (!temporary) {
            m_result.notes.append(messageNote(path, index, failure.reason));
            return;
        }
        const QString target = staged(name);
        if (!PlaceEmlFile(*temporary, target, &failure))
            cannotWrite(m_folder + QStringLiteral("/messages/") + name, failure.reason);
    }

    void copyFax(const QString& source, const QString& name, const QString& path, int index)
    {
        QFile from;
        QString why;
        if (!platform::openRegularFile(from, source, &why)) {
            m_result.notes.append(
                messageNote(path, index, QStringLiteral("Fax-Bild %1: %2").arg(excerpt(source), why)));
            return;
        }
        const QString shown = m_folder + QStringLiteral("/messages/") + name;
        QFile to(staged(name));
        if (!to.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            cannotWrite(shown, to.errorString());
        if (!platform::copyRest(from, to, &why))
            cannotWrite(shown, why);
        to.close();
        if (to.error() != QFileDevice::NoError)
            cannotWrite(shown, to.errorString());
    }

    QByteArray indent() const { return QByteArray(2 * int(m_levels.size() + 1), ' '); }

    void flush()
    {
        // Flushed and checked each time: Qt 6.4's commit() ignores a flush that fails (a full disk) and puts the
        // empty new file in place of the old one.
        if (m_file.write(m_out) != m_out.size() || !m_file.flush())
            cannotWrite(m_file.fileName(), m_file.errorString());
        m_out.resize(0);
    }

    // Puts the messages and server.json in place; the old messages go only once the new server.json stands.
    void commit()
    {
        const QString messages = m_folder + QStringLiteral("/messages");
        QString old;
        if (!m_stage.isEmpty()) {
            if (QFileInfo::exists(messages) || QFileInfo(messages).isSymLink()) {
                old = freeName(m_folder, QStringLiteral(".arvelo-messages-old-"));
                if (!QDir().rename(messages, old))
                    cannotWrite(messages, QStringLiteral("der alte Ordner kann nicht beiseite gelegt werden"));
            }
            if (!QDir().rename(m_stage, messages)) {
                if (!old.isEmpty())
                    QDir().rename(old, messages);
                cannotWrite(messages, QStringLiteral("Ordner kann nicht umbenannt werden"));
            }
            m_stage.clear();
        }
        if (!m_file.commit()) {
            if (m_request.withMessages) {
                QDir(messages).removeRecursively();
                if (!old.isEmpty())
                    QDir().rename(old, messages);
            }
            cannotWrite(m_file.fileName(), m_file.errorString());
        }
        if (!old.isEmpty()) {
            QFileInfo(old).isSymLink() ? QFile::remove(old) : QDir(old).removeRecursively();
        }
    }

    // Removes what this run created; what was there before stays.
    void undo()
    {
        if (m_file.isOpen()) {
            m_file.cancelWriting();
            m_file.commit();  // after cancelWriting this only discards the temporary file
        }
        if (!m_stage.isEmpty())
            QDir(m_stage).removeRecursively();
        if (m_createdFolder) {
            QDir(m_folder).removeRecursively();
        } else if (m_createdShares) {
            QDir().rmdir(m_folder + QStringLiteral("/shares"));
        }
    }

    static constexpr qsizetype kPiece = 64 * 1024;

    Account& m_account;
    const ServerFolderRequest& m_request;
    const ServerFolderProgress& m_progress;
    const QString m_folder;
    ServerFolderResult m_result;
    QSaveFile m_file;
    QByteArray m_out;
    std::vector<Level> m_levels;
    QSet<QString> m_written;  // paths of the archives written
    QString m_stage;          // the new messages/ until everything is written
    QString m_lastFolder;
    bool m_createdFolder = false;
    bool m_createdShares = false;
};

}  // namespace

ServerFolderResult writeServerFolder(Account& account, const ServerFolderRequest& request,
                                     const ServerFolderProgress& progress)
{
    return Writer(account, request, progress).run();
}
