#pragma once

// An in-memory server for window tests: a tree of archives, optionally failing on a chosen user.

#include "server/udavid_api.h"

#include <QHash>
#include <QList>

#include <memory>

struct FakeArchive {
    QString name;
    QString path;
    QString fullPath;
    QList<std::shared_ptr<FakeArchive>> subs;
};

struct FakeServerState {
    std::shared_ptr<FakeArchive> root = std::make_shared<FakeArchive>();
    int failOnUser = -1;    // Item(i) of the users' list fails for this index
    int failOnSubArchive = -1;  // Item(i) of a sub-archive list fails from this index on
    QString failSubArchivesOf;  // GetSubArchives fails for the archive of this name
    bool noAccount = false; // Logon yields nothing
    int requests = 0;
};

class FakeFolders;

class FakeFolder : public ArchiveFolder {
public:
    FakeFolder(std::shared_ptr<FakeServerState> s, std::shared_ptr<FakeArchive> a, bool isUserList = false)
        : m_state(std::move(s)), m_archive(std::move(a)), m_isRoot(isUserList)
    {
    }
    std::shared_ptr<ArchiveFolders> GetSubArchives() override;
    QString Name() override { return ++m_state->requests, m_archive->name; }
    QVariant Path() override { return ++m_state->requests, m_archive->path; }
    QString FullPath() override { return ++m_state->requests, m_archive->fullPath; }
    std::shared_ptr<MessageList> GetMessages(const QVariant&) override { throw ServerError("no messages"); }
    std::shared_ptr<MailItem> GetMailItem(const QVariant&, const QVariant&) override
    {
        throw ServerError("no messages");
    }

private:
    std::shared_ptr<FakeServerState> m_state;
    std::shared_ptr<FakeArchive> m_archive;
    bool m_isRoot;
};

class FakeFolders : public ArchiveFolders {
public:
    FakeFolders(std::shared_ptr<FakeServerState> s, std::shared_ptr<FakeArchive> owner, bool users)
        : m_state(std::move(s)), m_owner(std::move(owner)), m_users(users)
    {
    }
    qint32 Count() override { return qint32(m_owner->subs.size()); }
    std::shared_ptr<ArchiveFolder> Item(const QVariant& index) override
    {
        const int i = index.toInt();
        if (m_users && i == m_state->failOnUser)
            throw ServerError(QStringLiteral("Benutzer %1 nicht lesbar").arg(i));
        if (!m_users && m_state->failOnSubArchive >= 0 && i >= m_state->failOnSubArchive)
            throw ServerError(QStringLiteral("Archiv %1 nicht lesbar").arg(i));
        if (i < 0 || i >= m_owner->subs.size())
            throw ServerError(QStringLiteral("Index %1 außerhalb der Liste").arg(i));
        return std::make_shared<FakeFolder>(m_state, m_owner->subs[i]);
    }

private:
    std::shared_ptr<FakeServerState> m_state;
    std::shared_ptr<FakeArchive> m_owner;
    bool m_users;
};

inline std::shared_ptr<ArchiveFolders> FakeFolder::GetSubArchives()
{
    if (!m_archive->name.isEmpty() && m_archive->name == m_state->failSubArchivesOf)
        throw ServerError(QStringLiteral("kaputt"));
    return std::make_shared<FakeFolders>(m_state, m_archive, m_isRoot);
}

class FakeAccount : public Account {
public:
    explicit FakeAccount(std::shared_ptr<FakeServerState> s) : m_state(std::move(s)) {}
    std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32) override
    {
        return std::make_shared<FakeFolder>(m_state, m_state->root, true);
    }
    std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString& path) override
    {
        std::function<std::shared_ptr<FakeArchive>(const std::shared_ptr<FakeArchive>&)> find =
            [&](const std::shared_ptr<FakeArchive>& a) -> std::shared_ptr<FakeArchive> {
            if (a->path == path)
                return a;
            for (const auto& s : a->subs)
                if (auto hit = find(s))
                    return hit;
            return nullptr;
        };
        if (auto hit = find(m_state->root))
            return std::make_shared<FakeFolder>(m_state, hit);
        throw ServerError(QStringLiteral("Unbekanntes Archiv: ") + path);
    }
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) override
    {
        return ArchiveFromPath(path.toString());
    }

private:
    std::shared_ptr<FakeServerState> m_state;
};

class FakeApi : public DvISEAPI {
public:
    explicit FakeApi(std::shared_ptr<FakeServerState> s) : m_state(std::move(s)) {}
    void PrepareLogon(qint32) override {}
    std::shared_ptr<Account> Logon(const QVariant&, const QVariant&, const QVariant&, const QVariant&,
                                   const QVariant&, const QVariant&) override
    {
        if (m_state->noAccount)
            return nullptr;
        return std::make_shared<FakeAccount>(m_state);
    }

private:
    std::shared_ptr<FakeServerState> m_state;
};

inline void installFakeServer(const std::shared_ptr<FakeServerState>& state)
{
    setApiFactory([state] { return std::make_unique<FakeApi>(state); });
}
