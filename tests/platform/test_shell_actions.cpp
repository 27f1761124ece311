#include "platform/shell_actions.h"
#include "platform/unc_path.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using platform::ShellCommand;

namespace {

// Records what the actions would start instead of starting it.
class ShellActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(shares.isValid());
        platform::setUncRoot(shares.path());
        platform::setShellLauncher([this](const ShellCommand& command) { started.push_back(command); });
    }
    void TearDown() override { platform::setShellLauncher({}); }

    // A file below the share root, made executable or not.
    QString place(const QString& relative, bool executable)
    {
        const QString path = shares.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        file.setPermissions(permissions);
        return path;
    }

    QTemporaryDir shares;
    std::vector<ShellCommand> started;
};

const QString kArchive = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000ABCD");
const QString kParameters = QStringLiteral("-A") + kArchive;

}  // namespace

#ifndef Q_OS_WIN

TEST_F(ShellActions, FolderOpensInTheDesktopsFileManagerWhereTheScannerFindsIt)
{
    platform::openFolder(kArchive);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, QStringLiteral("xdg-open"));
    EXPECT_EQ(started[0].arguments, QStringList {shares.path() + QStringLiteral("/SRV01/DAVID/ARCHIVE/USER/0000ABCD")});

    // A folder that does not exist is handed over all the same; the shell reports what it makes of it.
    platform::openFolder(QStringLiteral("\\\\C\\\\DAVID\\ARCHIVE"));
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].program, QStringLiteral("xdg-open"));
    EXPECT_EQ(started[1].arguments.size(), 1);

    // A path that climbs out of its share names no folder: nothing is opened.
    platform::openFolder(QStringLiteral("\\\\SRV01\\DAVID\\..\\..\\..\\etc"));
    EXPECT_EQ(started.size(), 2u);
}

TEST_F(ShellActions, ProgramStartsOnlyWhenItIsAnExecutableFile)
{
    const QString client = place(QStringLiteral("SRV01/PROG/DVWIN32.exe"), true);
    platform::startProgram(QStringLiteral("\\\\SRV01\\PROG\\DVWIN32.exe"), kParameters);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, client);
    // The parameter text is one argument, as it was given: no splitting, no quotes, no conversion.
    EXPECT_EQ(started[0].arguments, QStringList {QStringLiteral("-A\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000ABCD")});

    // A local path works too; a blank in the parameter text does not split it.
    platform::startProgram(client, QStringLiteral("-A\\\\SRV 01\\x"));
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1].arguments, QStringList {QStringLiteral("-A\\\\SRV 01\\x")});

    started.clear();
    place(QStringLiteral("SRV01/PROG/readme.exe"), false);
    QDir().mkpath(shares.filePath(QStringLiteral("SRV01/PROG/folder.exe")));
    for (const char* program : {"\\\\SRV01\\PROG\\readme.exe", "\\\\SRV01\\PROG\\folder.exe",
                                "\\\\SRV01\\PROG\\missing.exe", "C:\\Prog\\DVWIN32.exe", ""})
        platform::startProgram(QString::fromLatin1(program), kParameters);
    EXPECT_TRUE(started.empty());
}

TEST_F(ShellActions, WebPageOpensInTheDesktopsBrowser)
{
    platform::openWebPage(QUrl(QStringLiteral("https://www.example.org/produkte?x=1&y=ä")));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, QStringLiteral("xdg-open"));
    ASSERT_EQ(started[0].arguments.size(), 1);
    EXPECT_EQ(QUrl(started[0].arguments[0]), QUrl(QStringLiteral("https://www.example.org/produkte?x=1&y=ä")));
}

#endif

namespace {

// QSettings' native store of the client's organisation, in a folder of the test's own.
class ClientRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        clear();
    }
    void TearDown() override { clear(); }

    static void set(const QString& key, const QString& value)
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                    QStringLiteral("Tobit InfoCenter"));
        s.setValue(key, value);
        s.sync();
    }
    static void clear()
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                    QStringLiteral("Tobit InfoCenter"));
        s.clear();
        s.sync();
    }

    QTemporaryDir store;
};

}  // namespace

TEST_F(ClientRegistry, ProgramDirectoryGetsTheClientsFileName)
{
    set(QStringLiteral("Settings/ProgramDirectory"), QStringLiteral("C:\\Prog"));
    EXPECT_EQ(platform::clientProgramFromRegistry(), QStringLiteral("C:\\Prog\\DVWIN32.exe"));
    set(QStringLiteral("Settings/ProgramDirectory"), QStringLiteral("C:\\Prog\\"));
    EXPECT_EQ(platform::clientProgramFromRegistry(), QStringLiteral("C:\\Prog\\DVWIN32.exe"));
    set(QStringLiteral("Settings/ProgramDirectory"), QStringLiteral("\\\\SRV01\\Tobit\\Client"));
    EXPECT_EQ(platform::clientProgramFromRegistry(), QStringLiteral("\\\\SRV01\\Tobit\\Client\\DVWIN32.exe"));
}

TEST_F(ClientRegistry, NoKeyOrNoValueGivesNoClient)
{
    EXPECT_EQ(platform::clientProgramFromRegistry(), QString());
    // The key with other values only, and the value under another key.
    set(QStringLiteral("Settings/Language"), QStringLiteral("DE"));
    set(QStringLiteral("Other/ProgramDirectory"), QStringLiteral("C:\\Prog"));
    EXPECT_EQ(platform::clientProgramFromRegistry(), QString());
}
