#include "cli/stat_listing.h"
#include "server/udavid_api.h"
#include "tree_server.h"

#include <gtest/gtest.h>

namespace {

using namespace clitest;

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
