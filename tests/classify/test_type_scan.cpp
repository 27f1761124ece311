// The attachment type scan: record reading, counting rules and the folder walk.

#include "archive_generator.h"
#include "classify/type_scan.h"
#include "platform/windows1252.h"
#include "platform/unc_path.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using classify::kNameOffset;
using classify::kRecordSize;

namespace {

// A record with `name` at offset 85 and a tail of non-zero bytes before it, as the server writes them.
std::string record(const std::string& name)
{
    std::string r(kRecordSize, '\0');
    for (std::size_t i = 0; i < kNameOffset; ++i)
        r[i] = char('A' + i % 26);
    r.replace(kNameOffset, std::min(name.size(), kRecordSize - kNameOffset), name.substr(0, kRecordSize - kNameOffset));
    return r;
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

// The counts as a map of UTF-8 keys, the form the generator keeps its own counts in.
std::map<std::string, int> asMap(const TypeCountList& list)
{
    std::map<std::string, int> m;
    for (const TypeCount& e : list.entries())
        m[platform::toWindows1252(e.key).toStdString()] = e.count;
    return m;
}

TypeCountList countNames(const std::vector<std::string>& names)
{
    std::string content;
    for (const std::string& n : names)
        content += record(n);
    TypeCountList list;
    classify::countIndexContent(content.data(), content.size(), list);
    return list;
}

}  // namespace

struct KeyCase {
    const char* label;
    std::string name;   // Windows-1252 bytes
    std::string key;    // expected key bytes; empty: not counted
};

void PrintTo(const KeyCase& c, std::ostream* os)
{
    *os << c.label;
}

class RecordKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RecordKey, FollowsTheExtensionRule)
{
    const std::string r = record(GetParam().name);
    EXPECT_EQ(classify::recordKey(r.data(), r.size()).toStdString(), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RecordKey,
    ::testing::Values(
        KeyCase{"lower", "Rechnung.pdf", ".PDF"}, KeyCase{"upper", "scan.PDF", ".PDF"},
        KeyCase{"lastDot", "archiv.tar.gz", ".GZ"}, KeyCase{"noDot", "ohne_punkt", ""},
        KeyCase{"empty", "", ""}, KeyCase{"endsInDot", "ende.", "."},
        KeyCase{"blanksAround", "  \tnotiz.txt \x01", ".TXT"}, KeyCase{"onlyBlanks", "   ", ""},
        KeyCase{"backslashAfterDot", "C:\\ordner.alt\\datei", ""}, KeyCase{"colonAfterDot", "x.pd:f", ""},
        KeyCase{"pathBeforeDot", "C:\\ordner\\datei.Xls", ".XLS"},
        KeyCase{"umlautKept", "Preis\xFC" "bersicht.\xE4" "bc", ".\xE4" "BC"},
        KeyCase{"euroName", "Kosten 5\x80.Pdf", ".PDF"},
        KeyCase{"zeroInside", std::string("ab\0cd.doc", 9), ".DOC"},
        KeyCase{"equalsInKey", "x.a=b", ".A=B"},
        KeyCase{"fillsRecord", std::string(kRecordSize - kNameOffset, 'x') + ".pdf", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(IndexRecords, CountIsRoundedHalfToEven)
{
    const std::pair<std::uint64_t, std::size_t> cases[] = {
        {0, 0}, {103, 0}, {104, 0}, {105, 1}, {208, 1}, {312, 2}, {416, 2}, {520, 2}, {624, 3}, {728, 4}};
    for (const auto& [size, records] : cases)
        EXPECT_EQ(classify::recordCount(size), records) << size << " bytes";
}

TEST(IndexRecords, ShortLastRecordReusesNothingOfTheOneBefore)
{
    // 312 bytes: two records, the second only 104 bytes long. Its name field is zeros as far as the file
    // goes, so it names nothing, whatever the first record held at the same place.
    std::string content = record("Rechnung.pdf") + std::string(104, '\0');
    TypeCountList list;
    classify::countIndexContent(content.data(), content.size(), list);
    EXPECT_EQ(asMap(list), (std::map<std::string, int>{{".PDF", 1}}));

    // A name running up to the file's end is read as far as the file goes.
    content = record("a.doc") + std::string(kNameOffset, '1') + "bild.jpg" + std::string(11, 'x');
    ASSERT_EQ(content.size(), 312u);
    list = {};
    classify::countIndexContent(content.data(), content.size(), list);
    EXPECT_EQ(asMap(list), (std::map<std::string, int>{{".DOC", 1}, {".JPGXXXXXXXXXXX", 1}}));
}

TEST(TypeCounts, KeysIgnoreCaseAndSortLargestFirst)
{
    TypeCountList list = countNames({"a.pdf", "b.JPG", "c.PDF", "d.doc", "e.Doc", "f.doc", "g.\xE4", "h.\xC4",
                                     "i.jpg", "j.pdf", "k.pdf", "ende."});
    list.sort();
    EXPECT_EQ(list.lines().join(' ').toStdString(), ".PDF=4 .DOC=3 .JPG=2 .ä=2 .=1");
    EXPECT_EQ(list.total(), 12);

    TypeCountList example;
    for (const auto& [key, n] : {std::pair{".PDF", 3}, {".DOC", 7}, {".JPG", 5}})
        for (int i = 0; i < n; ++i)
            example.count(QString::fromLatin1(key));
    EXPECT_EQ(CompareCounts(example, 0, 1), 1);
    EXPECT_EQ(CompareCounts(example, 1, 0), -1);
    example.sort();
    EXPECT_EQ(example.lines().join(' ').toStdString(), ".DOC=7 .JPG=5 .PDF=3");
}

TEST(TypeCounts, NamesAreWindows1252)
{
    const std::string r = record("Preis\x80" "bersicht \x84" "alt\x93.PDF");
    EXPECT_EQ(classify::recordName(r.data(), r.size()).toStdString(), "Preis€bersicht „alt“.PDF");
}

class FolderScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        platform::setUncRoot(m_tmp.path());
        m_root = fs::path(m_tmp.path().toStdString()) / "SRV01" / "DAVID" / "ARCHIVE";
        fs::create_directories(m_root);
    }
    static QString serverPath(const std::string& rel = {})
    {
        return QStringLiteral("SRV01:DAVID\\ARCHIVE") + (rel.empty() ? QString() : "\\" + QString::fromStdString(rel));
    }

    QTemporaryDir m_tmp;
    fs::path m_root;
};

TEST_F(FolderScan, WalksOnlyWhatCounts)
{
    gen::writeAttachmentIndex(m_root / "0001.$00", {"a.pdf", "b.doc"});
    gen::writeAttachmentIndex(m_root / "0001.$01", {"not.read"});          // an attachment, not an index
    gen::writeAttachmentIndex(m_root / "0002.$00.bak", {"not.read"});
    gen::writeAttachmentIndex(m_root / "0003.001", {"not.read"});
    gen::writeAttachmentIndex(m_root / "archive.dat", {"not.read"});
    fs::create_directories(m_root / "SUB" / "DEEP");
    gen::writeAttachmentIndex(m_root / "SUB" / "0004.$00", {"c.pdf"});
    gen::writeAttachmentIndex(m_root / "SUB" / "DEEP" / "0005.$00", {"d.xls", "e.pdf"});
    fs::create_directories(m_root / ".cache");
    gen::writeAttachmentIndex(m_root / ".cache" / "0006.$00", {"hidden.zip"});
    // A folder named like an index file is entered, not opened.
    fs::create_directories(m_root / "ordner.$00");
    gen::writeAttachmentIndex(m_root / "ordner.$00" / "0007.$00", {"f.txt"});
#ifndef _WIN32
    // Links are neither read nor entered; a pipe is not read (it would block).
    fs::create_directory_symlink(m_root / "SUB", m_root / "link");
    fs::create_symlink(m_root / "0001.$00", m_root / "link.$00");
    ASSERT_EQ(::mkfifo((m_root / "pipe.$00").c_str(), 0644), 0);
#endif

    const TypeScanResult top = classify::scanTypes(serverPath(), false);
    EXPECT_FALSE(top.failed) << top.reason.toStdString();
    EXPECT_EQ(asMap(top.AnhangListe), (std::map<std::string, int>{{".PDF", 1}, {".DOC", 1}}));

    const TypeScanResult tree = classify::scanTypes(serverPath(), true);
    EXPECT_FALSE(tree.failed) << tree.reason.toStdString();
    EXPECT_EQ(asMap(tree.AnhangListe), (std::map<std::string, int>{{".PDF", 3}, {".DOC", 1}, {".XLS", 1}, {".TXT", 1}}));
    EXPECT_EQ(tree.AnhangListe.at(0).key, QStringLiteral(".PDF"));  // the largest first
}

TEST_F(FolderScan, MissingFolderAndEmptyFilesGiveNothing)
{
    TypeScanResult r = classify::scanTypes(serverPath("GIBTESNICHT"), true);
    EXPECT_FALSE(r.failed);
    EXPECT_TRUE(r.AnhangListe.isEmpty());

    writeBytes(m_root / "leer.$00", "");
    writeBytes(m_root / "halb.$00", std::string(104, 'x'));
    r = classify::scanTypes(serverPath(), true);
    EXPECT_FALSE(r.failed);
    EXPECT_TRUE(r.AnhangListe.isEmpty());
}

TEST_F(FolderScan, MatchesTheGeneratorsOwnCount)
{
    gen::ArchiveOptions options;
    options.messages = 12;
    options.attachments = 30;
    options.folders = 3;
    options.depth = 2;
    options.trickyNames = true;
    const gen::ArchiveFigures figures = gen::generateArchive(m_root / "00A10001", options, 42);
    ASSERT_FALSE(figures.typesTree.empty());
    EXPECT_EQ(asMap(classify::scanTypes(serverPath("00A10001"), true).AnhangListe), figures.typesTree);
    EXPECT_EQ(asMap(classify::scanTypes(serverPath("00A10001"), false).AnhangListe), figures.typesRoot);
}

TEST_F(FolderScan, UnreadableIndexFileFailsWithItsName)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file mode that keeps its owner from reading";
#else
    fs::create_directories(m_root / "SUB");
    gen::writeAttachmentIndex(m_root / "0001.$00", {"a.pdf"});
    const fs::path locked = m_root / "SUB" / "0002.$00";
    gen::writeAttachmentIndex(locked, {"b.pdf"});
    ::chmod(locked.c_str(), 0);
    for (fs::path p = locked.parent_path(); p != fs::path(m_tmp.path().toStdString()).parent_path(); p = p.parent_path())
        ::chmod(p.c_str(), 0755);

    // Root reads any file: the scan then runs as an ordinary user in a child process.
    const auto scanAndCheck = [&] {
        const TypeScanResult r = classify::scanTypes(serverPath(), true);
        return r.failed && r.reason.contains(QString::fromStdString(locked.string()))
               && r.reason.contains(QStringLiteral("Permission denied"));
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(scanAndCheck());
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(scanAndCheck() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no failure reported, or the reason lacks the file; 2: no user change";

    // Without sub-folders the locked file is never reached.
    EXPECT_FALSE(classify::scanTypes(serverPath(), false).failed);
#endif
}

TEST_F(FolderScan, StopsWhenAsked)
{
    gen::writeAttachmentIndex(m_root / "0001.$00", {"a.pdf"});
    std::atomic<bool> stop{true};
    const TypeScanResult r = classify::scanTypes(serverPath(), true, &stop);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.failed);
}
