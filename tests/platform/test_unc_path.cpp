#include "platform/unc_path.h"

#include <gtest/gtest.h>

#include <utility>


using platform::resolveUncPath;

namespace {

// Without a root a path is the system's to resolve: Windows takes it as it is, elsewhere only the separators
// turn.
QString native(const QString& windows, const QString& elsewhere)
{
#ifdef _WIN32
    Q_UNUSED(elsewhere);
    return windows;
#else
    Q_UNUSED(windows);
    return elsewhere;
#endif
}

}  // namespace

// Once a root has been set it holds for the rest of the process, so the environment is checked first,
// and every case that depends on the root lives in this one test.
TEST(UncPath, RootFromEnvironmentThenFromSetter)
{
    qputenv("ARVELO_UNC_ROOT", "/srv/unc");
    EXPECT_EQ(platform::uncRoot(), QStringLiteral("/srv/unc"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000A1B2")),
              QStringLiteral("/srv/unc/SRV01/DAVID/ARCHIVE/USER/0000A1B2"));
    // Read when asked, not once at start.
    qputenv("ARVELO_UNC_ROOT", "/mnt/shares/");
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE")), QStringLiteral("/mnt/shares/HOST/SHARE"));
    qunsetenv("ARVELO_UNC_ROOT");
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\x")),
              native(QStringLiteral("\\\\HOST\\SHARE\\x"), QStringLiteral("//HOST/SHARE/x")));

    qputenv("ARVELO_UNC_ROOT", "/from/environment");
    platform::setUncRoot(QStringLiteral("/tmp/server/shares//"));
    EXPECT_EQ(platform::uncRoot(), QStringLiteral("/tmp/server/shares//"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\Ordner mit Blank\\Übersicht")),
              QStringLiteral("/tmp/server/shares/HOST/SHARE/Ordner mit Blank/Übersicht"));
    // A trailing separator of the rest is kept.
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\")), QStringLiteral("/tmp/server/shares/HOST/SHARE/"));
    qunsetenv("ARVELO_UNC_ROOT");

    // Paths that are not UNC ignore the root.
    platform::setUncRoot(QStringLiteral("/tmp/server/shares"));
    for (const auto& [path, elsewhere] :
         {std::pair{QStringLiteral("C:\\Daten\\Archiv"), QStringLiteral("C:/Daten/Archiv")},
          std::pair{QStringLiteral("/already/local/path"), QStringLiteral("/already/local/path")},
          std::pair{QStringLiteral("relativ\\unter\\ordner"), QStringLiteral("relativ/unter/ordner")},
          std::pair{QStringLiteral("\\HOST\\SHARE"), QStringLiteral("/HOST/SHARE")}})
        EXPECT_EQ(resolveUncPath(path), native(path, elsewhere));
    EXPECT_EQ(resolveUncPath(QString()), QString());
}

// No UNC path leads out of the root: ".." goes back at most to \\HOST\SHARE, and a path that would climb
// above it leads to no folder at all.
struct ContainedCase {
    const char* name;
    const char* unc;
    const char* local;  // below the root; nullptr for no folder
};

void PrintTo(const ContainedCase& c, std::ostream* os)
{
    *os << c.name;
}

class UncContainment : public ::testing::TestWithParam<ContainedCase> {};

TEST_P(UncContainment, NoPathClimbsAboveItsShare)
{
    platform::setUncRoot(QStringLiteral("/srv/shares"));
    const ContainedCase& c = GetParam();
    const QString expected = c.local ? QStringLiteral("/srv/shares/") + QString::fromUtf8(c.local) : QString();
    EXPECT_EQ(resolveUncPath(QString::fromUtf8(c.unc)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UncContainment,
    ::testing::Values(
        ContainedCase {"ShareDotDot", R"(\\SRV\..\..\..\..\etc)", nullptr},
        ContainedCase {"HostDotDot", R"(\\..\..\etc)", nullptr},
        ContainedCase {"AboveTheShare", R"(\\SRV\DAVID\..\..\..\tmp)", nullptr},
        ContainedCase {"JustAboveTheShare", R"(\\SRV\DAVID\ARCHIVE\..\..)", nullptr},
        ContainedCase {"SlashesSeparateToo", R"(\\SRV\DAVID/../../../etc)", nullptr},
        ContainedCase {"DotDotAfterEmptyHost", R"(\\\..\x)", nullptr},
        ContainedCase {"DotDotAfterDotShare", R"(\\SRV\.\..\x)", nullptr},
        ContainedCase {"EmptyNamesCollapse", R"(\\\SRV\\x)", "SRV/x"},
        ContainedCase {"InsideTheShare", R"(\\SRV\DAVID\ARCHIVE\USER\..\OLD)", "SRV/DAVID/ARCHIVE/OLD"},
        ContainedCase {"BackToTheShare", R"(\\SRV\DAVID\ARCHIVE\..)", "SRV/DAVID"},
        ContainedCase {"DotsAndDoubleSeparators", R"(\\SRV\DAVID\.\A\\B\.)", "SRV/DAVID/A/B"},
        ContainedCase {"HostAlone", R"(\\SRV)", "SRV"},
        ContainedCase {"NamesWithDots", R"(\\SRV\DAVID\..x\x..\...)", "SRV/DAVID/..x/x../..."}),
    [](const auto& info) { return std::string(info.param.name); });
