#pragma once

// A server held in memory for the listing and the server folder writer: archives by path, each with the paths
// of its sub-archives; asking for one archive's sub-archives can be made to fail.

#include "server/udavid_api.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace clitest {

// A server held in memory: archives by path, each with the paths of its sub-archives.
struct Node {
    QString name;
    QStringList subs;
};

struct Tree {
    QHash<QString, Node> byPath;
    QString failOn;  // asking for this archive's sub-archives fails
    int fetches = 0;
};

class TreeFolders;

class TreeFolder : public ArchiveFolder {
public:
    TreeFolder(std::shared_ptr<Tree> t, QString path) : m_tree(std::move(t)), m_path(std::move(path)) {}
    std::shared_ptr<ArchiveFolders> GetSubArchives() override;
    QString Name() override { return m_tree->byPath.value(m_path).name; }
    QVariant Path() override { return m_path; }
    QString FullPath() override { return QStringLiteral("FULL:") + m_path; }
    std::shared_ptr<MessageList> GetMessages(const QVariant&) override { throw ServerError(QStringLiteral("-")); }
    std::shared_ptr<MailItem> GetMailItem(const QVariant&, const QVariant&) override
    {
        throw ServerError(QStringLiteral("-"));
    }

private:
    std::shared_ptr<Tree> m_tree;
    QString m_path;
};

class TreeFolders : public ArchiveFolders {
public:
    TreeFolders(std::shared_ptr<Tree> t, QStringList subs) : m_tree(std::move(t)), m_subs(std::move(subs)) {}
    qint32 Count() override { return qint32(m_subs.size()); }
    std::shared_ptr<ArchiveFolder> Item(const QVariant& index) override
    {
        const int i = index.toInt();
        if (i < 0 || i >= m_subs.size())
            throw ServerError(QStringLiteral("Index %1 außerhalb der Liste").arg(i));
        return std::make_shared<TreeFolder>(m_tree, m_subs[i]);
    }

private:
    std::shared_ptr<Tree> m_tree;
    QStringList m_subs;
};

inline std::shared_ptr<ArchiveFolders> TreeFolder::GetSubArchives()
{
    ++m_tree->fetches;
    if (m_path == m_tree->failOn)
        throw ServerError(QStringLiteral("Unterarchive von %1 nicht lesbar").arg(m_path));
    return std::make_shared<TreeFolders>(m_tree, m_tree->byPath.value(m_path).subs);
}

class TreeAccount : public Account {
public:
    explicit TreeAccount(std::shared_ptr<Tree> t) : m_tree(std::move(t)) {}
    std::shared_ptr<ArchiveFolder> GetArchiveRoot(qint32) override
    {
        return std::make_shared<TreeFolder>(m_tree, QStringLiteral("ROOT"));
    }
    std::shared_ptr<ArchiveFolder> ArchiveFromPath(const QString& path) override
    {
        if (!m_tree->byPath.contains(path))
            throw ServerError(QStringLiteral("Unbekanntes Archiv: %1").arg(path));
        return std::make_shared<TreeFolder>(m_tree, path);
    }
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) override
    {
        return ArchiveFromPath(path.toString());
    }

private:
    std::shared_ptr<Tree> m_tree;
};

// Users Anna (sub-archives Eingang with Alt, and Gesendet), Bernd (none), Clara (Projekte).
inline std::shared_ptr<Tree> sampleTree()
{
    auto t = std::make_shared<Tree>();
    t->byPath[QStringLiteral("ROOT")] = {
        QStringLiteral("Archiv"),
        {QStringLiteral("S:U\\0000ANNA"), QStringLiteral("U\\BERND"), QStringLiteral("S:U\\0000CLARA")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA")] = {
        QStringLiteral("Anna"), {QStringLiteral("S:U\\0000ANNA\\E"), QStringLiteral("S:U\\0000ANNA\\G")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\E")] = {QStringLiteral("Eingang"),
                                                     {QStringLiteral("S:U\\0000ANNA\\E\\ALT")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\E\\ALT")] = {QStringLiteral("Alt"), {}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\G")] = {QStringLiteral("Gesendet"), {}};
    t->byPath[QStringLiteral("U\\BERND")] = {QStringLiteral("Bernd"), {}};
    t->byPath[QStringLiteral("S:U\\0000CLARA")] = {QStringLiteral("Clara"), {QStringLiteral("S:U\\0000CLARA\\P")}};
    t->byPath[QStringLiteral("S:U\\0000CLARA\\P")] = {QStringLiteral("Projekte"), {}};
    return t;
}

}  // namespace clitest
