#pragma once

#include <QString>
#include <QVariant>

class QIODevice;

#include <functional>
#include <memory>
#include <stdexcept>

// The messaging server as the program sees it: the few objects and operations it uses. A failing call
// throws ServerError with a readable reason. Objects other than the Account are fetched anew for each use.

class ServerError : public std::runtime_error {
public:
    explicit ServerError(const QString& reason);
    QString reason() const;
};

class ArchiveFolders;
class MessageList;
class MessageEntry;
class MailItem;
class FaxItem;

class ArchiveFolder {
public:
    virtual ~ArchiveFolder() = default;
    virtual std::shared_ptr<ArchiveFolders> GetSubArchives() = 0;
    virtual QString Name() = 0;
    virtual QVariant Path() = 0;  // text, server notation
    virtual QString FullPath() = 0;
    virtual std::shared_ptr<MessageList> GetMessages(const QVariant& flags = QVariant(197119)) = 0;
    virtual std::shared_ptr<MailItem> GetMailItem(const QVariant& key, const QVariant& flags = QVariant(34)) = 0;
};

class ArchiveFolders {
public:
    virtual ~ArchiveFolders() = default;
    virtual qint32 Count() = 0;
    // Index from 0; an index beyond the list fails.
    virtual std::shared_ptr<ArchiveFolder> Item(const QVariant& index) = 0;
};

class MessageEntry {
public:
    virtual ~MessageEntry() = default;
    virtual QVariant Key() = 0;
    virtual qint32 Kind() = 0;  // 2 e-mail, 3 fax, 8 link
};

class MessageList {
public:
    virtual ~MessageList() = default;
    virtual qint32 Count() = 0;
    virtual std::shared_ptr<MessageEntry> Item(const QVariant& index) = 0;
};

class MailItem {
public:
    virtual ~MailItem() = default;
    virtual QString Title() = 0;
    virtual QString LinkUrl() = 0;
    // The same message seen as a fax; fails for a message that is none.
    virtual std::shared_ptr<FaxItem> QueryFaxItem() = 0;
    // Writes the message as an Internet message (RFC 5322) into target; what DVEmlFromMailItem saves.
    // Fails for a message that cannot be written so; the default is such a message.
    virtual void WriteEml(QIODevice& target);
    // What DVEmlFromMailItem does with this message: a new temporary EML file, its path (ANSI, with a
    // terminating zero) in the buffer of kEmlPathBufferSize characters, result > 0. By default the file is
    // written from WriteEml; the server's component has a library of its own for it. On failure the result
    // is 0 and `reason`, when given, says why.
    virtual int SaveAsEmlFile(char* buffer, QString* reason);
};

class FaxItem {
public:
    virtual ~FaxItem() = default;
    virtual QVariant ImagePath() = 0;  // text: a readable fax image file
};

class Account {
public:
    virtual ~Account() = default;
    virtual std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32 flags = 1) = 0;
    virtual std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString& path) = 0;
    virtual std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) = 0;
};

// The server's API object, used only to log on.
class DvISEAPI {
public:
    virtual ~DvISEAPI() = default;
    virtual void PrepareLogon(qint32 flags) = 0;
    virtual std::shared_ptr<Account> Logon(const QVariant& a1, const QVariant& a2, const QVariant& a3,
                                           const QVariant& a4, const QVariant& a5, const QVariant& auth) = 0;
    // Which server this is, for the user ("Serverordner: …", the component's name).
    virtual QString describe() const { return {}; }
};

// Creates the API object; returns null when the server component is not available.
using ApiFactory = std::function<std::unique_ptr<DvISEAPI>()>;
// Replaces the factory (tests put a double here); an empty one restores the default.
void setApiFactory(ApiFactory factory);

// What a log-on tells beside its account.
struct LogonReport {
    QString server;   // which server it went to (DvISEAPI::describe)
    QString failure;  // why there is no account, where the reason is known
};

// Logs on: null when the API object cannot be created or the log-on yields no account; throws when the
// preparation of the log-on fails.
std::shared_ptr<Account> LogonAccount(LogonReport* report = nullptr);

// Whether a log-on goes to the server's own component: on Windows, where it is registered and ARVELO_SERVER
// names no server folder (and no other API was set with setApiFactory). Otherwise it reads a server folder.
bool logonUsesComponent();

// Writes a message as a new temporary EML file; on success the 260-character buffer holds its full path
// and the result is greater than 0. 0 on failure, also when the path does not fit the buffer; `reason`, when
// given, then says why.
constexpr int kEmlPathBufferSize = 260;
int DVEmlFromMailItem(MailItem& item, char* buffer, QString* reason = nullptr);
