// Edge cases of the scanner's counting rules, each laid out by hand.

#include "scan_fixture.h"

#include "../platform/system_listing.h"

namespace fs = std::filesystem;

namespace {

constexpr long double kMb = 1048576.0L;

std::int64_t localTime(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toSecsSinceEpoch();
}


TEST_F(ScanTest, EmptyFolderGivesZerosOneFinalPublicationAndKeepsDates)
{
    fs::create_directories(archive("E"));
    harness::ScanOptions options;
    options.record = std::make_shared<TTobData>();
    options.record->Neueste = QStringLiteral("keep new");
    options.record->Aelteste = QStringLiteral("keep old");
    options.record->Size = 5;
    const harness::ScanResult r = scan("E", options);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.finals, 1);
    EXPECT_EQ(r.interim, 0);
    EXPECT_EQ(r.record->Size, 0);
    EXPECT_EQ(r.record->SizeRoot, 0);
    EXPECT_EQ(r.record->AnzahlNachrichten, 0);
    EXPECT_EQ(r.record->AnzahlNachrichtenG, 0);
    EXPECT_EQ(r.record->Anhang, 0);
    EXPECT_EQ(r.record->AnhangG, 0);
    EXPECT_EQ(r.record->AnhangSize, 0);
    EXPECT_EQ(r.record->AnhangSizeG, 0);
    EXPECT_EQ(r.record->Neueste, QStringLiteral("keep new"));
    EXPECT_EQ(r.record->Aelteste, QStringLiteral("keep old"));
    EXPECT_TRUE(r.terminatedFlag);
}

TEST_F(ScanTest, MissingFolderGivesZerosAndOneFinalPublication)
{
    harness::ScanOptions options;
    options.record = std::make_shared<TTobData>();
    options.record->Size = 3;
    const harness::ScanResult r = scan("DOES_NOT_EXIST", options);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.finals, 1);
    EXPECT_EQ(r.interim, 0);
    EXPECT_EQ(r.record->Size, 0);
    EXPECT_TRUE(r.record->Neueste.isEmpty());
    EXPECT_TRUE(r.record->Aelteste.isEmpty());
}

TEST_F(ScanTest, AFileInsteadOfAFolderCountsNothing)
{
    gen::writeFile(archive("F"), 5000);
    const harness::ScanResult r = scan("F");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.finals, 1);
    EXPECT_EQ(r.record->Size, 0);
}

TEST_F(ScanTest, CapitalisedIndexIsNotRecognised)
{
    const fs::path a = archive("I");
    fs::create_directories(a);
    gen::writeFile(a / "ARCHIVE.DAT", 4300);
#ifdef _WIN32
    const double bytes = 4300;  // names ignore case: a second spelling would be the same file
#else
    gen::writeFile(a / "Archive.dat", 860);
    const double bytes = 5160;
#endif
    const harness::ScanResult r = scan("I");
    EXPECT_EQ(r.record->AnzahlNachrichten, 0);
    EXPECT_EQ(r.record->AnzahlNachrichtenG, 0);
    EXPECT_EQ(r.record->Size, bytes / kMb);
    EXPECT_EQ(r.record->SizeRoot, bytes / kMb);
}

TEST_F(ScanTest, IndexSizeDividedBy430)
{
    const fs::path a = archive("N");
    fs::create_directories(a / "sub");
    gen::writeFile(a / "archive.dat", 43000);
    gen::writeFile(a / "sub" / "archive.dat", 1000);
    const harness::ScanResult r = scan("N");
    EXPECT_EQ(r.record->AnzahlNachrichten, 100.0) << "exactly 100 messages";
    EXPECT_DOUBLE_EQ(r.record->AnzahlNachrichtenG, 100.0 + 1000.0 / 430.0);
    EXPECT_NEAR(r.record->AnzahlNachrichtenG - 100.0, 2.3255813953, 1e-9);
    EXPECT_EQ(r.record->Size, 44000 / kMb);
    EXPECT_EQ(r.record->SizeRoot, 43000 / kMb);
}

TEST_F(ScanTest, IndexOfSubFolderOnlyAddsToTheTree)
{
    const fs::path a = archive("S");
    fs::create_directories(a / "x" / "y");
    gen::writeFile(a / "x" / "archive.dat", 430 * 3);
    gen::writeFile(a / "x" / "y" / "archive.dat", 430 * 4);
    const harness::ScanResult r = scan("S");
    EXPECT_EQ(r.record->AnzahlNachrichten, 0);
    EXPECT_DOUBLE_EQ(r.record->AnzahlNachrichtenG, 7.0);
    EXPECT_EQ(r.record->SizeRoot, 0);
}

TEST_F(ScanTest, AttachmentExtensions)
{
    const fs::path a = archive("X");
    fs::create_directories(a / "y.$02");
    gen::writeFile(a / "x.$00", 416);   // an index: sizes only
    gen::writeFile(a / "x.$01", 1000);
    gen::writeFile(a / "x.$A7", 2000);
    gen::writeFile(a / "x.001.$01", 4000);
    gen::writeFile(a / "x.$", 8);       // ".$" begins with ".$" and is not ".$00"
    gen::writeFile(a / "x.$0", 16);
    gen::writeFile(a / "x$01", 32);     // no dot: no extension
    gen::writeFile(a / "x.S01", 64);
    const harness::ScanResult r = scan("X");
    // x.$01, x.$A7, x.001.$01, x.$, x.$0 and the folder y.$02 (size 0).
    EXPECT_EQ(r.record->Anhang, 6);
    EXPECT_EQ(r.record->AnhangG, 6);
    EXPECT_EQ(r.record->AnhangSizeG, double(1000 + 2000 + 4000 + 8 + 16) / 1048576.0);
    EXPECT_EQ(r.record->Size, (416 + 1000 + 2000 + 4000 + 8 + 16 + 32 + 64) / kMb);
    EXPECT_TRUE(r.record->Neueste.isEmpty()) << "x.001.$01 is not dated";
}

TEST_F(ScanTest, AttachmentFolderIsEnteredToo)
{
    const fs::path a = archive("Y");
    fs::create_directories(a / "y.$02");
    gen::writeFile(a / "y.$02" / "inner.$01", 500);
    const harness::ScanResult r = scan("Y");
    EXPECT_EQ(r.record->Anhang, 1);
    EXPECT_EQ(r.record->AnhangG, 2);
    EXPECT_EQ(r.record->AnhangSizeG, 500 / 1048576.0);
    EXPECT_EQ(r.record->Size, 500 / kMb);
}

TEST_F(ScanTest, MessageFileByLastExtension)
{
    const fs::path a = archive("M");
    fs::create_directories(a);
    const std::int64_t t = localTime(2011, 6, 15, 13, 14, 16);
    gen::writeFile(a / "x.$01.001", 10);
    gen::setLastWrite(a / "x.$01.001", t);
    gen::writeFile(a / "x.001.$01", 20);
    gen::setLastWrite(a / "x.001.$01", localTime(2020, 1, 1, 12, 0, 0));
    // Folders go by their names too: one named like a message file is dated, any other is not.
    const std::int64_t folderTime = localTime(2009, 3, 2, 8, 0, 0);
    fs::create_directories(a / "ordner.001");
    gen::setLastWrite(a / "ordner.001", folderTime);
    fs::create_directories(a / "sub");
    gen::setLastWrite(a / "sub", localTime(2024, 1, 1, 12, 0, 0));
    const harness::ScanResult r = scan("M");
    EXPECT_EQ(r.record->Anhang, 1);
    EXPECT_EQ(r.record->Neueste, dateText(t));
    EXPECT_EQ(r.record->Aelteste, dateText(folderTime));
}

TEST_F(ScanTest, DotFolderIsNotEnteredButCounted)
{
    const fs::path a = archive("D");
    fs::create_directories(a / ".cache");
    gen::writeFile(a / ".cache" / "archive.dat", 4300);
    gen::writeFile(a / ".cache" / "a.$01", 999);
    gen::writeFile(a / ".cache" / "m.001", 1);
    gen::setLastWrite(a / ".cache" / "m.001", localTime(2001, 1, 1, 10, 0, 0));
    // 97 files + ".cache" + "." + ".." = 100 entries: one interim publication only if ".cache" counts.
    for (int i = 0; i < 97; ++i)
        gen::writeFile(a / ("f" + std::to_string(i)), 1);
    const harness::ScanResult r = scan("D");
    EXPECT_EQ(r.record->Size, 97 / kMb);
    EXPECT_EQ(r.record->AnzahlNachrichtenG, 0);
    EXPECT_EQ(r.record->AnhangG, 0);
    EXPECT_TRUE(r.record->Neueste.isEmpty());
    EXPECT_EQ(r.interim, 1);
    EXPECT_EQ(r.finals, 1);
}

TEST_F(ScanTest, OneMessageFileGivesTheSameNewestAndOldest)
{
    const fs::path a = archive("O");
    fs::create_directories(a);
    const std::int64_t t = localTime(1999, 12, 31, 23, 59, 58);
    gen::writeFile(a / "00000001.001", 300);
    gen::setLastWrite(a / "00000001.001", t);
    const harness::ScanResult r = scan("O");
    EXPECT_FALSE(r.record->Neueste.isEmpty());
    EXPECT_EQ(r.record->Neueste, r.record->Aelteste);
    EXPECT_EQ(r.record->Neueste, dateText(t));
}

TEST_F(ScanTest, DescendingStampsStillGiveTheNewestAsNeueste)
{
    const fs::path a = archive("T");
    fs::create_directories(a);
    for (int i = 0; i < 20; ++i)
        gen::writeFile(a / ("m" + std::to_string(i) + ".001"), 100);
    // Newest first in the order the scanner meets them.
    std::int64_t t = localTime(2020, 5, 5, 12, 0, 0);
    const std::int64_t newest = t;
    std::int64_t oldest = t;
    for (const std::string& name : systemListing(a)) {
        if (name == "." || name == "..")
            continue;
        gen::setLastWrite(a / name, t);
        oldest = t;
        t -= 86400 * 40 + 2;
    }
    const harness::ScanResult r = scan("T");
    EXPECT_EQ(r.record->Neueste, dateText(newest)) << "the mended rule: every stamp is compared with both ends";
    EXPECT_EQ(r.record->Aelteste, dateText(oldest));
}

TEST_F(ScanTest, AscendingAndMixedStamps)
{
    const fs::path a = archive("AM");
    fs::create_directories(a / "sub");
    const std::int64_t times[] = {
        localTime(2005, 1, 2, 8, 0, 0), localTime(1990, 3, 4, 9, 30, 0), localTime(2030, 7, 8, 17, 45, 10),
        localTime(2044, 1, 1, 12, 0, 0), localTime(2043, 12, 31, 12, 0, 0),
    };
    int i = 0;
    for (std::int64_t t : times) {
        const fs::path f = (i % 2 ? a / "sub" : a) / ("m" + std::to_string(i) + ".001");
        gen::writeFile(f, 10);
        gen::setLastWrite(f, t);
        ++i;
    }
    const harness::ScanResult r = scan("AM");
    EXPECT_EQ(r.record->Neueste, dateText(times[3])) << "2044 comes after 2043";
    EXPECT_EQ(r.record->Aelteste, dateText(times[1]));
}

TEST_F(ScanTest, StampsOutsideTheDosRangeAreLeftOut)
{
    const fs::path a = archive("R");
    fs::create_directories(a);
    gen::writeFile(a / "early.001", 10);
    gen::setLastWrite(a / "early.001", localTime(1979, 6, 1, 12, 0, 0));
    gen::writeFile(a / "late.001", 10);
    gen::setLastWrite(a / "late.001", localTime(2108, 6, 1, 12, 0, 0));
    gen::writeFile(a / "fine.001", 10);
    const std::int64_t t = localTime(2000, 2, 29, 0, 0, 0);  // midnight: the time is left out
    gen::setLastWrite(a / "fine.001", t);
    const harness::ScanResult r = scan("R");
    EXPECT_EQ(r.record->Neueste, dateText(t));
    EXPECT_EQ(r.record->Aelteste, dateText(t));
    EXPECT_EQ(r.record->Neueste, DateTextFormat().format(QDateTime(QDate(2000, 2, 29), QTime(0, 0))));
}

TEST_F(ScanTest, OnlyInvalidStampsKeepTheDates)
{
    const fs::path a = archive("RI");
    fs::create_directories(a);
    gen::writeFile(a / "early.001", 10);
    gen::setLastWrite(a / "early.001", localTime(1975, 6, 1, 12, 0, 0));
    harness::ScanOptions options;
    options.record = std::make_shared<TTobData>();
    options.record->Neueste = QStringLiteral("n");
    options.record->Aelteste = QStringLiteral("o");
    const harness::ScanResult r = scan("RI", options);
    EXPECT_EQ(r.record->Neueste, QStringLiteral("n"));
    EXPECT_EQ(r.record->Aelteste, QStringLiteral("o"));
}

TEST_F(ScanTest, FolderWith250EntriesPublishesAfterThe100thAnd200th)
{
    const fs::path a = archive("P");
    fs::create_directories(a);
    for (int i = 0; i < 248; ++i)  // + "." and ".." = 250 entries
        gen::writeFile(a / ("f" + std::to_string(i)), 1);
    const harness::ScanResult r = scan("P");
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.interim, 2);
    EXPECT_EQ(r.finals, 1);
    ASSERT_EQ(r.publications.size(), 3u);
    EXPECT_TRUE(r.publications[0].zwischen);
    EXPECT_TRUE(r.publications[1].zwischen);
    EXPECT_FALSE(r.publications[2].zwischen);
    // After the 100th entry, 98 to 100 files of one byte have been counted ("." and ".." come anywhere).
    EXPECT_GE(r.publications[0].data.Size * kMb, 98);
    EXPECT_LE(r.publications[0].data.Size * kMb, 100);
    EXPECT_GE(r.publications[1].data.Size * kMb, 198);
    EXPECT_LE(r.publications[1].data.Size * kMb, 200);
    EXPECT_EQ(r.publications[2].data.Size * kMb, 248);
}

TEST_F(ScanTest, EachFolderLevelHasItsOwnCounter)
{
    const fs::path a = archive("L");
    fs::create_directories(a / "sub");
    // Root: ".", "..", 97 files and "sub" = 100 entries. sub: ".", "..", 148 files = 150 entries.
    for (int i = 0; i < 97; ++i)
        gen::writeFile(a / ("f" + std::to_string(i)), 1);
    for (int i = 0; i < 148; ++i)
        gen::writeFile(a / "sub" / ("g" + std::to_string(i)), 1);
    const harness::ScanResult r = scan("L");
    EXPECT_EQ(r.interim, 2);
    EXPECT_EQ(r.finals, 1);
    EXPECT_EQ(r.record->Size, 245 / kMb);
}

TEST_F(ScanTest, SchrittIsTheCreatorsChoice)
{
    const fs::path a = archive("K");
    fs::create_directories(a);
    for (int i = 0; i < 18; ++i)  // 20 entries
        gen::writeFile(a / ("f" + std::to_string(i)), 1);
    harness::ScanOptions options;
    options.schritt = 5;
    const harness::ScanResult r = scan("K", options);
    EXPECT_EQ(r.interim, 4);
    EXPECT_EQ(r.finals, 1);
}

TEST_F(ScanTest, LocalPathWithoutUncRootWorksToo)
{
#ifdef _WIN32
    GTEST_SKIP() << "on Windows \\\\C\\... names a host C, as the server's own paths mean it";
#else
    // A path that is no server path: ArchivePathToUnc puts "\\" before it; with no UNC root set, the
    // separators are only turned and the result still names the folder.
    const fs::path a = archive("LP");
    fs::create_directories(a);
    gen::writeFile(a / "archive.dat", 860);
    platform::setUncRoot(QString());
    const harness::ScanResult r = harness::scan(QString::fromStdString(a.string()));
    EXPECT_EQ(r.record->AnzahlNachrichten, 2.0);
#endif
}

}  // namespace
