// server.json as the stand-in server reads it at log-on: the JSON, the whole validation, and then every
// archive and message the file describes, including the message files it names. Both readers of the file
// see every input: the one-pass reader takes a file only when the document reader takes it too and reads
// the same archives from it, and the log-on says what the document reader says.

#include "fuzz_support.h"

#include "server/standin/server_json.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <optional>

namespace {

// A server folder with one message file inside, and a file and a link outside it for the names to reach for.
const QString& serverFolder()
{
    static const QString folder = [] {
        const QString base = fuzz::scratchFolder();
        const QString server = base + QStringLiteral("/server");
        QDir().mkpath(server + QStringLiteral("/messages"));
        QDir().mkpath(server + QStringLiteral("/shares/SRV/DAVID"));
        QFile mail(server + QStringLiteral("/messages/a.eml"));
        mail.open(QIODevice::WriteOnly);
        mail.write("Subject: a\r\n\r\nText\r\n");
        QFile outside(base + QStringLiteral("/outside.tif"));
        outside.open(QIODevice::WriteOnly);
        outside.write("II*\0", 4);
        QFile::link(base + QStringLiteral("/outside.tif"), server + QStringLiteral("/messages/out.tif"));
        QFile::link(base, server + QStringLiteral("/messages/up"));
        return QFileInfo(server).canonicalFilePath();
    }();
    return folder;
}

struct Walk {
    std::shared_ptr<Account> account;
    QSet<QString> paths;
};

void visit(Walk& walk, const std::shared_ptr<ArchiveFolder>& archive)
{
    const QString path = archive->Path().toString();
    FUZZ_CHECK(!walk.paths.contains(path), QStringLiteral("path given twice: ") + path);
    walk.paths.insert(path);
    // An archive is found again by its path, and it is this one.
    FUZZ_CHECK(walk.account->ArchiveFromPath(path)->FullPath() == archive->FullPath(), path);
    archive->Name();

    const auto messages = archive->GetMessages();
    const qint32 count = messages->Count();
    FUZZ_CHECK(count >= 0, path);
    for (qint32 i = 0; i < count; ++i) {
        const auto entry = messages->Item(i);
        const auto mail = archive->GetMailItem(entry->Key());
        mail->Title();
        mail->LinkUrl();
        try {
            const QString image = mail->QueryFaxItem()->ImagePath().toString();
            // Whatever server.json names, a message file lies inside the server folder.
            FUZZ_CHECK(QFileInfo(image).canonicalFilePath().startsWith(serverFolder() + QLatin1Char('/')), image);
        } catch (const ServerError&) {
        }
        try {
            QBuffer eml;
            eml.open(QIODevice::WriteOnly);
            mail->WriteEml(eml);
        } catch (const ServerError&) {
        }
    }
    try {
        messages->Item(count);
        FUZZ_CHECK(false, QStringLiteral("a message beyond the list opened"));
    } catch (const ServerError&) {
    }

    const auto subs = archive->GetSubArchives();
    for (qint32 i = 0; i < subs->Count(); ++i)
        visit(walk, subs->Item(i));
}

QString describe(const standin::ServerJson& read)
{
    QString text;
    for (const standin::ServerJsonArchive& a : read.archives)
        text += QStringLiteral("[%1|%2|%3|%4 messages|%5 subs] ")
                    .arg(a.name, a.path, a.fullPath)
                    .arg(a.messages.size())
                    .arg(a.subs.size());
    return text;
}

// What the document reader says of the file: the archives, or the reason it refuses it.
struct DocumentVerdict {
    std::optional<standin::ServerJson> read;
    QString refusal;
};

DocumentVerdict compareReaders(const QByteArray& json, const QString& file)
{
    DocumentVerdict verdict;
    try {
        verdict.read = standin::readServerJsonDocument(json, file);
    } catch (const ServerError& e) {
        verdict.refusal = e.reason();
    }
    const std::optional<standin::ServerJson> direct = standin::readServerJsonDirect(json);
    if (direct) {
        FUZZ_CHECK(verdict.read, QStringLiteral("read in one pass, refused as a document: ") + verdict.refusal);
        const bool same = direct->archives == verdict.read->archives && direct->byPath == verdict.read->byPath;
        FUZZ_CHECK(same, QStringLiteral("one pass: %1\ndocument: %2").arg(describe(*direct), describe(*verdict.read)));
    }
    return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString folder = serverFolder();
    QFile file(folder + QStringLiteral("/server.json"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();

    const DocumentVerdict document =
        compareReaders(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)), file.fileName());

    const auto api = standin::createStandinApi(folder);
    try {
        api->PrepareLogon(1);
    } catch (const ServerError& e) {
        const QString reason = e.reason();
        FUZZ_CHECK(!document.read && reason == document.refusal,
                   QStringLiteral("log-on: %1\ndocument: %2").arg(reason, document.refusal));
        // "file: place: problem", the file named first.
        const QString prefix = QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ");
        FUZZ_CHECK(reason.startsWith(prefix), reason);
        const QString rest = reason.mid(prefix.size());
        FUZZ_CHECK(rest.indexOf(QStringLiteral(": ")) > 0, reason);
        return 0;
    }
    FUZZ_CHECK(document.read, QStringLiteral("logged on, refused as a document: ") + document.refusal);
    Walk walk;
    walk.account = api->Logon(QString(), QString(), QString(), QString(), QString(), QStringLiteral("AUTH"));
    FUZZ_CHECK(walk.account != nullptr, QStringLiteral("no account after a good server.json"));
    visit(walk, walk.account->GetArchiveRoot(1));
    return 0;
}
