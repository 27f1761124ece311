#include "engine/archive_path.h"
#include "engine/tob_data.h"

#include <gtest/gtest.h>

TEST(ArchivePathToUnc, ColonsBecomeSeparatorsAndTheUncPrefixIsAddedOnce)
{
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\0000A1B2")),
              QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000A1B2"));
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE")), QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE"));
    // Every colon, not just the first; one that makes the prefix itself counts as that prefix.
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("A:B:C")), QStringLiteral("\\\\A\\B\\C"));
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("::SRV\\X")), QStringLiteral("\\\\SRV\\X"));
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral(":SRV")), QStringLiteral("\\\\\\SRV"));
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("\\SRV\\X")), QStringLiteral("\\\\\\SRV\\X"));
    EXPECT_EQ(ArchivePathToUnc(QString()), QStringLiteral("\\\\"));
    EXPECT_EQ(ArchivePathToUnc(QStringLiteral("SRV01:DAVID\\Ärchiv")), QStringLiteral("\\\\SRV01\\DAVID\\Ärchiv"));
}

TEST(TTobData, UserIdIsTheLastEightCharacters)
{
    EXPECT_EQ(userIdFromPath(QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\0000A1B2")), QStringLiteral("0000A1B2"));
    EXPECT_EQ(userIdFromPath(QStringLiteral("12345678")), QStringLiteral("12345678"));
    EXPECT_EQ(userIdFromPath(QStringLiteral("SRV:X")), QStringLiteral("SRV:X"));
    EXPECT_EQ(userIdFromPath(QString()), QString());
}
