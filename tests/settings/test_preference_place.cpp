// Where the preference files are read and saved when the program's folder can or cannot be written.

#include "file_bytes.h"
#include "../platform/ordinary_user.h"

#include "platform/program_folder.h"
#include "settings/display_prefs.h"
#include "settings/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace settings;

namespace {

class PreferencePlace : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        // An ordinary user must reach both folders and make the configuration folder.
        QFile::setPermissions(root.path(), QFile::ReadOther | QFile::WriteOther | QFile::ExeOther | QFile::ReadOwner
                                               | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("bin")));
        platform::setProgramFolder(program());
        platform::setUserConfigFolder(config());
    }
    void TearDown() override
    {
        platform::setProgramFolder({});
        platform::setUserConfigFolder({});
        QFile::setPermissions(program(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString program() const { return root.filePath(QStringLiteral("bin")); }
    QString config() const { return root.filePath(QStringLiteral("config/Arvelo")); }
    QString beside(const char* name) const { return program() + QLatin1Char('/') + QLatin1String(name); }
    QString inConfig(const char* name) const { return config() + QLatin1Char('/') + QLatin1String(name); }
    // What an installed program's folder is like: read and searched by everybody, written by nobody.
    void makeProgramFolderReadOnly()
    {
        ASSERT_TRUE(QFile::setPermissions(program(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                         | QFile::ExeOther));
    }
    QStringList besideFiles() const
    {
        return QDir(program()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir root;
};

}  // namespace

TEST_F(PreferencePlace, AWritableProgramFolderKeepsTheFilesBesideTheProgram)
{
    EXPECT_TRUE(saveDisplayPrefs(DisplayPrefs{true, false, false}));
    EXPECT_TRUE(writeSettings(settingsSavePath(), SettingsValues{}));
    EXPECT_EQ(readBytes(beside("Darstellung.dat")), QByteArray("1\r\n"));
    EXPECT_EQ(readBytes(beside("Einstellungen.dat")), QByteArray("-1\r\n$00FBE7CE\r\n$00F4F4F2\r\n"));
    EXPECT_FALSE(QFileInfo::exists(config())) << "nothing is made in the user's folder";
}

TEST_F(PreferencePlace, AReadOnlyProgramFolderSendsSavesToTheUsersFolderAndLosesNothing)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no folder mode that keeps its user from making files, nor a second user";
#else
    ASSERT_TRUE(writeBytes(beside("Darstellung.dat"), "5\r\n"));
    ASSERT_TRUE(writeBytes(beside("Einstellungen.dat"), "0\r\nclWhite\r\n$00F4F4F2\r\n"));
    makeProgramFolderReadOnly();
    AsOrdinaryUser user;
    ASSERT_TRUE(user.ok());

    // The files an earlier version left beside the program are still read from there.
    EXPECT_EQ(loadDisplayPrefs(), (DisplayPrefs{true, false, true}));
    const SettingsRead before = readSettings(settingsReadPath(), SettingsValues{});
    EXPECT_TRUE(before.ok);
    EXPECT_FALSE(before.values.ShowUhrzeit);
    EXPECT_EQ(before.values.Farbe1, 0xFFFFFFu);

    // Saving goes to the user's folder, byte for byte as beside the program; the old file stays as it was.
    EXPECT_TRUE(saveDisplayPrefs(DisplayPrefs{false, false, true}));
    EXPECT_EQ(readBytes(inConfig("Darstellung.dat")), QByteArray("4\r\n"));
    EXPECT_EQ(readBytes(beside("Darstellung.dat")), QByteArray("5\r\n"));
    EXPECT_TRUE(writeSettings(settingsSavePath(), SettingsValues::standard()));
    EXPECT_EQ(readBytes(inConfig("Einstellungen.dat")), QByteArray("-1\r\n$00FDE8FF\r\n$00F4F4F2\r\n"));

    // From now on the user's own files win.
    EXPECT_EQ(loadDisplayPrefs(), (DisplayPrefs{false, false, true}));
    EXPECT_EQ(readSettings(settingsReadPath(), SettingsValues{}).values, SettingsValues::standard());
    EXPECT_EQ(besideFiles(), (QStringList{QStringLiteral("Darstellung.dat"), QStringLiteral("Einstellungen.dat")}))
        << "nothing was written beside the program";
#endif
}

TEST_F(PreferencePlace, FilesOfTheUsersFolderAreReadWhenTheProgramFolderBecomesWritable)
{
    ASSERT_TRUE(QDir().mkpath(config()));
    ASSERT_TRUE(writeBytes(inConfig("Darstellung.dat"), "2\r\n"));
    EXPECT_EQ(loadDisplayPrefs(), (DisplayPrefs{false, true, false}));
    EXPECT_TRUE(saveDisplayPrefs(DisplayPrefs{false, true, true}));
    EXPECT_EQ(readBytes(beside("Darstellung.dat")), QByteArray("6\r\n"));
    EXPECT_EQ(loadDisplayPrefs(), (DisplayPrefs{false, true, true}));
}
