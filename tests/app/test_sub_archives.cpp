// Reading an archive's sub-archives into plain values: the record of each entry, whether it can be expanded
// in turn, and what is kept when the server fails part-way.

#include "app/sub_archives.h"
#include "fake_server.h"

#include <gtest/gtest.h>

namespace {

// A user "U" with the given sub-archives below it, each with `grandChildren` of its own.
std::shared_ptr<FakeServerState> serverWithSubs(const QStringList& names, const QList<int>& grandChildren)
{
    auto state = std::make_shared<FakeServerState>();
    auto user = std::make_shared<FakeArchive>();
    user->name = QStringLiteral("U");
    user->path = QStringLiteral("SRV:DAVID\\USER\\0000000U");
    for (int i = 0; i < names.size(); ++i) {
        auto sub = std::make_shared<FakeArchive>();
        sub->name = names[i];
        sub->path = user->path + QStringLiteral("\\SUB") + QString::number(i);
        sub->fullPath = QStringLiteral("\\\\SRV\\") + names[i];
        for (int g = 0; g < grandChildren.value(i); ++g)
            sub->subs.append(std::make_shared<FakeArchive>());
        user->subs.append(sub);
    }
    state->root->subs.append(user);
    return state;
}

const QString kUser = QStringLiteral("SRV:DAVID\\USER\\0000000U");

}  // namespace

TEST(SubArchives, EntriesInServerOrderWithTheirIdentityAndExpandability)
{
    FakeAccount account(serverWithSubs({"Eingang", "Projekte", "Archiv"}, {0, 2, 0}));
    const SubArchiveList list = readSubArchives(account, kUser);
    EXPECT_FALSE(list.error);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[1].record.TobitUser, QStringLiteral("Projekte"));
    EXPECT_EQ(list.entries[1].record.Pfad, kUser + QStringLiteral("\\SUB1"));
    EXPECT_EQ(list.entries[1].record.UserID, QStringLiteral("00U\\SUB1"));  // the last 8 characters
    EXPECT_EQ(list.entries[1].record.FullPath, QStringLiteral("\\\\SRV\\Projekte"));
    EXPECT_EQ(list.entries[1].record.Size, 0);
    EXPECT_EQ((std::vector<bool> {list.entries[0].hasSubArchives, list.entries[1].hasSubArchives,
                                  list.entries[2].hasSubArchives}),
              (std::vector<bool> {false, true, false}));
}

TEST(SubArchives, NoneIsAnEmptyListWithoutError)
{
    FakeAccount account(serverWithSubs({}, {}));
    const SubArchiveList list = readSubArchives(account, kUser);
    EXPECT_TRUE(list.entries.empty());
    EXPECT_FALSE(list.error);
}

TEST(SubArchives, AFailureKeepsWhatWasReadAndNamesTheReason)
{
    const QStringList names {"A", "B", "C", "D"};
    const auto state = serverWithSubs(names, {1, 1, 1, 1});
    FakeAccount account(state);
    state->failOnSubArchive = 2;
    const SubArchiveList middle = readSubArchives(account, kUser);
    ASSERT_EQ(middle.entries.size(), 2u);
    ASSERT_TRUE(middle.error);
    EXPECT_TRUE(middle.error->contains(QStringLiteral("Archiv 2 nicht lesbar")));
    state->failOnSubArchive = -1;

    // The sub-archive question of a later entry failing means none; of the first entry, it ends the list.
    state->failSubArchivesOf = QStringLiteral("C");
    const SubArchiveList later = readSubArchives(account, kUser);
    EXPECT_FALSE(later.error);
    ASSERT_EQ(later.entries.size(), 4u);
    EXPECT_FALSE(later.entries[2].hasSubArchives);
    EXPECT_TRUE(later.entries[3].hasSubArchives);

    state->failSubArchivesOf = QStringLiteral("A");
    const SubArchiveList first = readSubArchives(account, kUser);
    EXPECT_TRUE(first.entries.empty());
    ASSERT_TRUE(first.error);
    EXPECT_TRUE(first.error->contains(QStringLiteral("kaputt")));

    EXPECT_TRUE(readSubArchives(account, QStringLiteral("SRV:NOWHERE")).error);
}
