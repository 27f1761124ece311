#include "platform/unc_path.h"

#include <gtest/gtest.h>

#include <cstdlib>

using platform::resolveUncPath;

// Once a root has been set it holds for the rest of the process, so the environment is checked first,
// and every case that depends on the root lives in this one test.
TEST(UncPath, RootFromEnvironmentThenFromSetter)
{
    ::setenv("ARVELO_UNC_ROOT", "/srv/unc", 1);
    EXPECT_EQ(platform::uncRoot(), QStringLiteral("/srv/unc"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000A1B2")),
              QStringLiteral("/srv/unc/SRV01/DAVID/ARCHIVE/USER/0000A1B2"));
    // Read when asked, not once at start.
    ::setenv("ARVELO_UNC_ROOT", "/mnt/shares/", 1);
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE")), QStringLiteral("/mnt/shares/HOST/SHARE"));
    ::unsetenv("ARVELO_UNC_ROOT");
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\x")), QStringLiteral("//HOST/SHARE/x"));

    ::setenv("ARVELO_UNC_ROOT", "/from/environment", 1);
    platform::setUncRoot(QStringLiteral("/tmp/server/shares//"));
    EXPECT_EQ(platform::uncRoot(), QStringLiteral("/tmp/server/shares//"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\Ordner mit Blank\\Übersicht")),
              QStringLiteral("/tmp/server/shares/HOST/SHARE/Ordner mit Blank/Übersicht"));
    // A trailing separator of the rest is kept.
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\\\HOST\\SHARE\\")), QStringLiteral("/tmp/server/shares/HOST/SHARE/"));
    ::unsetenv("ARVELO_UNC_ROOT");

    // Paths that are not UNC ignore the root.
    platform::setUncRoot(QStringLiteral("/tmp/server/shares"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("C:\\Daten\\Archiv")), QStringLiteral("C:/Daten/Archiv"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("/already/local/path")), QStringLiteral("/already/local/path"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("relativ\\unter\\ordner")), QStringLiteral("relativ/unter/ordner"));
    EXPECT_EQ(resolveUncPath(QStringLiteral("\\HOST\\SHARE")), QStringLiteral("/HOST/SHARE"));
    EXPECT_EQ(resolveUncPath(QString()), QString());
}
