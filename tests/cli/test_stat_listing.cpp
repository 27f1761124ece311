#include "cli/stat_listing.h"
#include "server/udavid_api.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

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

std::shared_ptr<ArchiveFolders> TreeFolder::GetSubArchives()
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
    std::shared_ptr<ArchiveFolder> OpenArchive(const QVariant& path) override { return ArchiveFromPath(path.toString()); }

private:
    std::shared_ptr<Tree> m_tree;
};

// Users Anna (sub-archives Eingang with Alt, and Gesendet), Bernd (none), Clara (Projekte).
std::shared_ptr<Tree> sampleTree()
{
    auto t = std::make_shared<Tree>();
    t->byPath[QStringLiteral("ROOT")] = {QStringLiteral("Archiv"),
                                         {QStringLiteral("S:U\\0000ANNA"), QStringLiteral("U\\BERND"),
                                          QStringLiteral("S:U\\0000CLARA")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA")] = {QStringLiteral("Anna"),
                                                  {QStringLiteral("S:U\\0000ANNA\\E"), QStringLiteral("S:U\\0000ANNA\\G")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\E")] = {QStringLiteral("Eingang"), {QStringLiteral("S:U\\0000ANNA\\E\\ALT")}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\E\\ALT")] = {QStringLiteral("Alt"), {}};
    t->byPath[QStringLiteral("S:U\\0000ANNA\\G")] = {QStringLiteral("Gesendet"), {}};
    t->byPath[QStringLiteral("U\\BERND")] = {QStringLiteral("Bernd"), {}};
    t->byPath[QStringLiteral("S:U\\0000CLARA")] = {QStringLiteral("Clara"), {QStringLiteral("S:U\\0000CLARA\\P")}};
    t->byPath[QStringLiteral("S:U\\0000CLARA\\P")] = {QStringLiteral("Projekte"), {}};
    return t;
}

QStringList outline(const StatListing& listing)
{
    QStringList lines;
    for (const StatRow& r : listing.rows)
        lines.append(QStringLiteral("%1 %2").arg(r.level).arg(r.data->TobitUser));
    return lines;
}

}  // namespace

TEST(StatListing, UsersAloneOrWithEverySubArchiveAfterItsParent)
{
    const auto tree = sampleTree();
    TreeAccount account(tree);

    const StatListing users = listArchives(account, false);
    EXPECT_EQ(outline(users), (QStringList {"0 Anna", "0 Bernd", "0 Clara"}));
    EXPECT_EQ(tree->fetches, 1);  // the users' list only
    const TTobData& anna = *users.rows[0].data;
    EXPECT_EQ(anna.Pfad, QStringLiteral("S:U\\0000ANNA"));
    EXPECT_EQ(anna.UserID, QStringLiteral("0000ANNA"));
    EXPECT_EQ(anna.FullPath, QStringLiteral("FULL:S:U\\0000ANNA"));
    EXPECT_EQ(users.rows[1].data->UserID, QStringLiteral("U\\BERND"));  // shorter than 8 characters: whole
    EXPECT_EQ(anna.Size, 0);
    EXPECT_TRUE(anna.Neueste.isEmpty());

    const StatListing all = listArchives(account, true);
    EXPECT_EQ(outline(all), (QStringList {"0 Anna", "1 Eingang", "2 Alt", "1 Gesendet", "0 Bernd", "0 Clara",
                                          "1 Projekte"}));
    EXPECT_EQ(all.rows[2].data->Pfad, QStringLiteral("S:U\\0000ANNA\\E\\ALT"));
    EXPECT_EQ(all.rows[2].data->UserID, QStringLiteral("NA\\E\\ALT"));
    EXPECT_TRUE(all.notes.isEmpty());
    // Each record is a row of its own.
    EXPECT_NE(all.rows[0].data, all.rows[1].data);
}

TEST(StatListing, ALoopOnTheServerEndsAndIsReported)
{
    const auto tree = sampleTree();
    // Alt lists its grandparent Anna again, Projekte lists itself.
    tree->byPath[QStringLiteral("S:U\\0000ANNA\\E\\ALT")].subs = {QStringLiteral("S:U\\0000ANNA")};
    tree->byPath[QStringLiteral("S:U\\0000CLARA\\P")].subs = {QStringLiteral("S:U\\0000CLARA\\P")};
    TreeAccount account(tree);

    const StatListing all = listArchives(account, true);
    EXPECT_EQ(outline(all), (QStringList {"0 Anna", "1 Eingang", "2 Alt", "3 Anna", "1 Gesendet", "0 Bernd",
                                          "0 Clara", "1 Projekte", "2 Projekte"}));
    EXPECT_EQ(all.notes.size(), 2);
}

TEST(StatListing, AServerFailureIsPassedOn)
{
    const auto tree = sampleTree();
    tree->failOn = QStringLiteral("S:U\\0000ANNA\\E");
    TreeAccount account(tree);
    EXPECT_NO_THROW(listArchives(account, false));  // the failing list is never asked for
    EXPECT_THROW(listArchives(account, true), ServerError);

    tree->failOn.clear();
    tree->byPath[QStringLiteral("S:U\\0000CLARA\\P")].subs = {QStringLiteral("S:U\\GONE")};
    EXPECT_THROW(listArchives(account, true), ServerError);  // ArchiveFromPath of an unknown archive
}
