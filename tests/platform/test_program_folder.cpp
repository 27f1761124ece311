#include "ordinary_user.h"

#include "platform/program_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ProgramFolder, WhatCanBeWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(platform::folderCanBeWritten(dir.path()));
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        << "the check leaves nothing behind";

#ifndef _WIN32
    // An installed program's folder is never written, not even by root, who could.
    EXPECT_FALSE(platform::folderCanBeWritten(QStringLiteral("/usr/bin")));
    EXPECT_FALSE(platform::folderCanBeWritten(QStringLiteral("/usr/local/bin/")));
    // A folder where nobody can make a file, and one that is not there.
    EXPECT_FALSE(platform::folderCanBeWritten(QStringLiteral("/proc/self")));
#endif
    EXPECT_FALSE(platform::folderCanBeWritten(dir.filePath(QStringLiteral("fehlt"))));
    EXPECT_FALSE(platform::folderCanBeWritten(QString()));

#ifdef _WIN32
    GTEST_SKIP() << "Windows has no folder mode that keeps its user from making files, nor a second user";
#else
    // A folder without write permission for its user.
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                      | QFile::ExeOther));
    {
        AsOrdinaryUser user;
        ASSERT_TRUE(user.ok());
        EXPECT_FALSE(platform::folderCanBeWritten(dir.path()));
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}
