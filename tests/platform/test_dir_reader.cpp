#include "archive_generator.h"
#include "platform/dir_reader.h"
#include "system_listing.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Seen {
    bool isDir = false;
    bool isLink = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
};

std::vector<std::string> listNames(platform::DirReader& reader, std::map<std::string, Seen>* seen = nullptr)
{
    std::vector<std::string> names;
    platform::DirEntry e;
    while (reader.next(e)) {
        names.emplace_back(e.name);
        if (seen)
            (*seen)[names.back()] = {e.isDir, e.isLink, e.size, e.mtime};
    }
    return names;
}


class DirReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_root = fs::path(m_tmp.path().toStdString());
    }
    // QTemporaryDir cannot remove names that are no UTF-8; the byte-wise removal can.
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    QTemporaryDir m_tmp;
    fs::path m_root;
};

}  // namespace

TEST_F(DirReaderTest, ListsEveryEntryWithSizeTypeAndTime)
{
    const fs::path dir = m_root / "archiv";
    fs::create_directories(dir / "unter");
    gen::writeFile(dir / "archive.dat", 4300);
    gen::writeFile(dir / "leer.001", 0);
    gen::writeFile(dir / "gross.$01", 5ULL * 1024 * 1024 * 1024 + 17);  // sparse, beyond 32 bits
    gen::setLastWrite(dir / "archive.dat", 1234567890);
    gen::setLastWrite(dir / "gross.$01", 4102444800);  // 2100, beyond 32-bit seconds
#ifndef _WIN32
    // Links: to a folder, to a file, dangling. None is followed, each has its own size (the target text).
    fs::create_directory_symlink("unter", dir / "link-ordner");
    fs::create_symlink("archive.dat", dir / "link-datei");
    fs::create_symlink("fehlt/nirgends", dir / "link-tot");
    // A name that is no UTF-8 (Latin-1 "é") must come back byte for byte.
    const std::string latin1 = std::string("caf") + char(0xE9) + ".001";
    gen::writeFile(dir / latin1, 12);
    constexpr std::size_t kEntries = 11;
#else
    constexpr std::size_t kEntries = 7;  // Windows has neither symbolic links for everyone nor names outside UTF-16
#endif
    // A name beyond ASCII and Latin-1 comes back in UTF-8 on every system.
    const std::string unicode = "\xC3\x9C" "bersicht \xE2\x82\xAC.001";  // "Übersicht €.001"
    gen::writeFile(dir / std::filesystem::path(std::u8string(unicode.begin(), unicode.end())), 31);

    platform::DirReader reader;
    ASSERT_TRUE(reader.open(dir.string()));
    EXPECT_EQ(reader.path(), dir.string());
    std::map<std::string, Seen> seen;
    const std::vector<std::string> names = listNames(reader, &seen);
    EXPECT_EQ(names, systemListing(dir));
    EXPECT_EQ(names.size(), kEntries);
    EXPECT_EQ(seen[unicode].size, 31u);

    ASSERT_TRUE(seen.count(".") && seen.count(".."));
    EXPECT_TRUE(seen["."].isDir);
    EXPECT_TRUE(seen[".."].isDir);
    EXPECT_EQ(seen["."].size, 0u);
    EXPECT_TRUE(seen["unter"].isDir);
    EXPECT_EQ(seen["unter"].size, 0u);  // folders count 0 whatever the file system says

    EXPECT_EQ(seen["archive.dat"].size, 4300u);
    EXPECT_EQ(seen["archive.dat"].mtime, 1234567890);
    EXPECT_FALSE(seen["archive.dat"].isDir);
    EXPECT_EQ(seen["gross.$01"].size, 5ULL * 1024 * 1024 * 1024 + 17);
    EXPECT_EQ(seen["gross.$01"].mtime, 4102444800);
    EXPECT_EQ(seen["leer.001"].size, 0u);
#ifndef _WIN32
    EXPECT_EQ(seen[latin1].size, 12u);

    for (const char* link : {"link-ordner", "link-datei", "link-tot"}) {
        SCOPED_TRACE(link);
        ASSERT_TRUE(seen.count(link));
        EXPECT_TRUE(seen[link].isLink);
        EXPECT_FALSE(seen[link].isDir);
        struct stat st;
        ASSERT_EQ(::lstat((dir / link).c_str(), &st), 0);
        EXPECT_EQ(seen[link].size, std::uint64_t(st.st_size));
    }
    EXPECT_EQ(seen["link-ordner"].size, 5u);  // "unter"
#endif

    // At the end it stays at the end.
    platform::DirEntry e;
    EXPECT_FALSE(reader.next(e));

    // Folders whose time is not wanted keep everything else; links and files are looked up as before.
    platform::DirReader quick;
    quick.setFolderTimes([](std::string_view) { return false; });
    ASSERT_TRUE(quick.open(dir.string()));
    std::map<std::string, Seen> quickSeen;
    EXPECT_EQ(listNames(quick, &quickSeen), names);
    for (const auto& [name, was] : seen) {
        SCOPED_TRACE(name);
        const Seen& now = quickSeen[name];
        EXPECT_EQ(now.isDir, was.isDir);
        EXPECT_EQ(now.isLink, was.isLink);
        EXPECT_EQ(now.size, was.size);
        if (!was.isDir) {
            EXPECT_EQ(now.mtime, was.mtime);
        }
    }

    // Kinds only: the same names and kinds, nothing looked up (Windows lists sizes and times anyway).
    platform::DirReader kinds;
    kinds.setKindsOnly(true);
    ASSERT_TRUE(kinds.open(dir.string()));
    std::map<std::string, Seen> kindsSeen;
    EXPECT_EQ(listNames(kinds, &kindsSeen), names);
    for (const auto& [name, was] : seen) {
        SCOPED_TRACE(name);
        const Seen& now = kindsSeen[name];
        EXPECT_EQ(now.isDir, was.isDir);
        EXPECT_EQ(now.isLink, was.isLink);
#ifndef _WIN32
        EXPECT_EQ(now.size, 0u);
        EXPECT_EQ(now.mtime, 0);
#endif
    }
    // Its files read by the names it gave: a link is not followed, a missing file is named in the reason.
    std::vector<char> content;
    std::string reason;
    EXPECT_EQ(kinds.readFile("archive.dat", content, reason), platform::WholeFileResult::Read);
    EXPECT_EQ(content.size(), 4300u);
#ifndef _WIN32
    EXPECT_EQ(kinds.readFile("link-datei", content, reason), platform::WholeFileResult::NotRegular);
#endif
    EXPECT_EQ(kinds.readFile("fehlt.$00", content, reason), platform::WholeFileResult::Failed);
    EXPECT_NE(reason.find((dir / "fehlt.$00").string()), std::string::npos) << reason;
}

TEST_F(DirReaderTest, FoldersBelowOpenByRelativePathAndFailuresSayWhy)
{
    const fs::path dir = m_root / "r";
    fs::create_directories(dir / "b" / "c");
    gen::writeFile(dir / "b" / "datei", 3);
#ifndef _WIN32  // MinGW's library makes no symbolic links
    fs::create_directory_symlink("b", dir / "zu-b");
#endif

    platform::DirReader anchor, below;
    ASSERT_TRUE(anchor.open(dir.string()));
    ASSERT_TRUE(below.openBelow(anchor, "b/c"));
    EXPECT_EQ(below.path(), (dir / "b" / "c").string());
    EXPECT_EQ(listNames(below).size(), 2u);
    EXPECT_EQ(below.error(), 0);

    struct Case {
        const char* relative;
        int error;
    };
    for (const Case& c : {Case {"fehlt/c", ENOENT}, Case {"b/datei", ENOTDIR}, Case {"b/datei/x", ENOTDIR},
#ifndef _WIN32
                          Case {"zu-b", ENOTDIR},  // a link is not entered
#endif
                         }) {
        EXPECT_FALSE(below.openBelow(anchor, c.relative)) << c.relative;
        EXPECT_EQ(below.error(), c.error) << c.relative;
    }
    EXPECT_FALSE(below.open((dir / "fehlt").string()));
    EXPECT_EQ(below.error(), ENOENT);
}

TEST_F(DirReaderTest, ChildrenOpenByNameButLinksAreNotEntered)
{
    const fs::path dir = m_root / "a";
    fs::create_directories(dir / "b" / "c");
    gen::writeFile(dir / "b" / "datei", 3);
#ifndef _WIN32  // MinGW's library makes no symbolic links
    fs::create_directory_symlink("b", dir / "zu-b");
#endif

    platform::DirReader parent, child, grandchild;
    ASSERT_TRUE(parent.open(dir.string()));
    ASSERT_TRUE(child.openChild(parent, "b"));
    EXPECT_EQ(child.path(), (dir / "b").string());
    std::set<std::string> names;
    for (const std::string& n : listNames(child))
        names.insert(n);
    EXPECT_EQ(names, (std::set<std::string> {".", "..", "c", "datei"}));
    ASSERT_TRUE(grandchild.openChild(child, "c"));
    EXPECT_EQ(listNames(grandchild).size(), 2u);

    platform::DirReader viaLink;
    EXPECT_FALSE(viaLink.openChild(parent, "zu-b"));
    EXPECT_FALSE(viaLink.isOpen());
    EXPECT_FALSE(viaLink.openChild(parent, "fehlt"));
    EXPECT_FALSE(viaLink.openChild(child, "datei"));  // a file is no folder

    platform::DirReader missing;
    EXPECT_FALSE(missing.open((m_root / "fehlt").string()));
    EXPECT_FALSE(missing.open((dir / "b" / "datei").string()));
    platform::DirEntry e;
    EXPECT_FALSE(missing.next(e));

    // A reader can be opened again after close, and reused for another folder.
    parent.close();
    EXPECT_FALSE(parent.isOpen());
    EXPECT_FALSE(parent.next(e));
    ASSERT_TRUE(parent.open((dir / "b").string()));
    EXPECT_EQ(listNames(parent).size(), 4u);
}

TEST_F(DirReaderTest, LargeFolderComesCompleteAndInReaddirOrder)
{
    // Long names, so the listing takes many reads of the reader's buffer.
    const fs::path dir = m_root / "viele";
    fs::create_directory(dir);
    const std::string pad(180, 'x');
    for (int i = 0; i < 3000; ++i)
        gen::writeFile(dir / (std::to_string(i) + pad + ".$01"), std::uint64_t(i));
    platform::DirReader reader;
    ASSERT_TRUE(reader.open(dir.string()));
    std::map<std::string, Seen> seen;
    const std::vector<std::string> names = listNames(reader, &seen);
    EXPECT_EQ(names, systemListing(dir));
    ASSERT_EQ(seen.size(), 3002u);
    for (int i = 0; i < 3000; i += 499)
        EXPECT_EQ(seen[std::to_string(i) + pad + ".$01"].size, std::uint64_t(i));
}

#ifndef _WIN32
namespace {
const fs::path* vanishing = nullptr;  // the folder whose files vanish while its listing is looked up
}  // namespace
#endif

TEST_F(DirReaderTest, EntriesThatVanishAfterListingAreSkipped)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows gives an entry's size and time with the listing itself: no later lookup finds it gone";
#else
    const fs::path dir = m_root / "weg";
    fs::create_directory(dir);
    for (int i = 0; i < 50; ++i)
        gen::writeFile(dir / ("f" + std::to_string(i)), 1);
    for (int i = 0; i < 10; ++i)
        fs::create_directory(dir / ("d" + std::to_string(i)));
    // The folder filter is asked between the listing of a batch and the lookups of its entries: at the
    // first folder met, every file but f7 goes. Files listed before that folder were looked up already.
    vanishing = &dir;
    platform::DirReader reader;
    reader.setFolderTimes([](std::string_view) {
        if (vanishing) {
            for (int i = 0; i < 50; ++i)
                if (i != 7)
                    fs::remove(*vanishing / ("f" + std::to_string(i)));
            vanishing = nullptr;
        }
        return false;
    });
    ASSERT_TRUE(reader.open(dir.string()));
    const std::vector<std::string> names = listNames(reader);
    const auto isFolder = [](const std::string& name) { return name[0] == '.' || name[0] == 'd'; };
    const auto firstFolder = std::find_if(names.begin(), names.end(), isFolder);
    for (auto it = firstFolder; it != names.end(); ++it)
        EXPECT_TRUE(isFolder(*it) || *it == "f7") << *it;
    EXPECT_LT(std::count_if(names.begin(), names.end(), [&](const std::string& n) { return !isFolder(n); }), 50);
    EXPECT_EQ(std::count_if(names.begin(), names.end(), isFolder), 12);
#endif
}

TEST_F(DirReaderTest, AThreadsOwnWorkingFolderLeavesRelativePathsAsTheyWere)
{
    const fs::path dir = m_root / "eigen";
    fs::create_directories(dir / "unter");
    gen::writeFile(dir / "a.001", 5);
    gen::writeFile(dir / "unter" / "b.001", 7);
    const fs::path before = fs::current_path();
    std::vector<std::string> names;
    fs::path during, after;
    std::thread walker([&] {
        const bool own = platform::DirReader::ownWorkingFolder();
#ifdef _WIN32
        EXPECT_FALSE(own);
#else
        EXPECT_TRUE(own);
#endif
        platform::DirReader top, child;
        ASSERT_TRUE(top.open(dir.string()));
        platform::DirEntry e;
        while (top.next(e)) {
            names.emplace_back(e.name);
            if (e.name == "unter") {
                ASSERT_TRUE(child.openChild(top, e.name));
                during = fs::current_path();
                while (child.next(e))
                    names.emplace_back(e.name);
            }
        }
        after = fs::current_path();
    });
    walker.join();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> {".", ".", "..", "..", "a.001", "b.001", "unter"}));
    EXPECT_EQ(during, before);
    EXPECT_EQ(after, before);
    EXPECT_EQ(fs::current_path(), before);
}
