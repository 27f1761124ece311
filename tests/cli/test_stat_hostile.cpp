// arvelo-stat against server folders and outputs as an attacker or a careless user would set them up: archive
// paths that climb out of shares/, special files in place of server.json, a reader that goes away, a share that
// fails in the middle of a walk.

#include "archive_generator.h"
#include "../platform/special_files.h"
#include "stat_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

struct Outcome {
    bool ended = false;  // on its own, within the patience given
    bool crashed = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs arvelo-stat. `inChild` runs in the child before the program starts (not on Windows, which starts a
// program without a child of the test in between). A run that has not ended after
// `patience` is killed.
Outcome runStat(const QStringList& args, const std::function<void()>& inChild = {}, int patience = 60000,
                const QStringList& extraEnvironment = {})
{
    clitest::app();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ARVELO_SERVER"));
    for (const QString& pair : extraEnvironment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    // Should reading ever run away again, the run ends at a bounded size instead of taking the machine.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("hard_rss_limit_mb=3072"));
    p.setProcessEnvironment(env);
#ifdef _WIN32
    Q_UNUSED(inChild);
#else
    p.setChildProcessModifier([inChild] {
#ifndef __SANITIZE_ADDRESS__
        // The sanitizer reserves terabytes of address space, so this limit is for the plain build only.
        const rlimit data {rlim_t(3) << 30, rlim_t(3) << 30};
        ::setrlimit(RLIMIT_DATA, &data);
#endif
        if (inChild)
            inChild();
    });
#endif
    p.start(QStringLiteral(ARVELO_STAT_EXE), args);
    Outcome r;
    r.ended = p.waitForFinished(patience);
    if (!r.ended) {
        p.kill();
        p.waitForFinished();
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = r.crashed ? -1 : p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QJsonObject archive(const QString& name, const QString& path, const QJsonArray& subs = {})
{
    QJsonObject o {{QStringLiteral("name"), name}, {QStringLiteral("path"), path}, {QStringLiteral("fullPath"), path}};
    if (!subs.isEmpty())
        o.insert(QStringLiteral("subArchives"), subs);
    return o;
}

void writeServerJson(const QString& folder, const QJsonArray& users)
{
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/server.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QJsonObject root {
        {QStringLiteral("archiveRoot"), archive(QStringLiteral("Archiv"), QStringLiteral("SRV:DAVID"), users)}};
    f.write(QJsonDocument(root).toJson());
}

// An archive folder holding `messages` messages' worth of archive.dat.
void archiveFolder(const QString& folder, int messages)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    gen::writeFile((folder + QStringLiteral("/archive.dat")).toStdString(), std::uint64_t(430 * messages));
}

}  // namespace

// Each escaping path once measured a folder outside shares/ (the folder it would reach holds messages here);
// now it leads to no folder at all. Paths whose ".." stay inside the share, and links placed inside shares/,
// still lead where they lead.
TEST(StatHostileServer, NoArchivePathLeadsOutOfShares)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString top = tmp.path();
    const QString server = top + QStringLiteral("/a/b/server");
    const QString shares = server + QStringLiteral("/shares");

    // Where each path would lead if it were joined onto shares/ as it stands.
    archiveFolder(top + QStringLiteral("/a/X1"), 3);
    archiveFolder(top + QStringLiteral("/a/b/X2"), 4);
    archiveFolder(top + QStringLiteral("/a/X3"), 5);
    archiveFolder(server + QStringLiteral("/X4"), 6);

    archiveFolder(shares + QStringLiteral("/SRV/DAVID/ARCHIVE/USER/0000A001"), 7);
    archiveFolder(top + QStringLiteral("/elsewhere"), 8);
    ASSERT_TRUE(QFile::link(top + QStringLiteral("/elsewhere"), shares + QStringLiteral("/SRV/DAVID/LINKED")));

    writeServerJson(server, QJsonArray {
        archive(QStringLiteral("share as .."), QStringLiteral(R"(SRV:..\..\..\..\X1)")),
        archive(QStringLiteral("host as .."), QStringLiteral(R"(..\..\X2)")),
        archive(QStringLiteral("written as UNC"), QStringLiteral(R"(\\..\..\..\X3)")),
        archive(QStringLiteral("above the share"), QStringLiteral(R"(SRV:DAVID\..\..\..\X4)")),
        archive(QStringLiteral("inside the share"), QStringLiteral(R"(SRV:DAVID\ARCHIVE\USER\..\USER\0000A001)")),
        archive(QStringLiteral("linked"), QStringLiteral(R"(SRV:DAVID\LINKED)")),
    });

    const Outcome r = runStat({QStringLiteral("--server"), server, QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QStringList got;
    for (const QJsonValue& row : QJsonDocument::fromJson(r.out).array()) {
        const QJsonObject o = row.toObject();
        got << QStringLiteral("%1: %2 messages, %3 bytes")
                   .arg(o.value(QStringLiteral("name")).toString())
                   .arg(o.value(QStringLiteral("AnzahlNachrichten")).toDouble())
                   .arg(o.value(QStringLiteral("Size")).toDouble() * 1048576);
    }
    EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), "share as ..: 0 messages, 0 bytes\n"
                                                          "host as ..: 0 messages, 0 bytes\n"
                                                          "written as UNC: 0 messages, 0 bytes\n"
                                                          "above the share: 0 messages, 0 bytes\n"
                                                          "inside the share: 7 messages, 3010 bytes\n"
#ifdef _WIN32  // QFile::link makes a shortcut file there, which no walk enters
                                                          "linked: 0 messages, 0 bytes");
#else
                                                          "linked: 8 messages, 3440 bytes");
#endif
}

// A FIFO as server.json once kept arvelo-stat waiting for ever, a link to /dev/zero made it eat memory until the
// machine gave out. Both now end the run at once with the server's exit code and the reason.
TEST(StatHostileServer, SpecialFilesAsServerJsonEndTheRunAtOnce)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither FIFOs nor /dev/zero";
#else
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString json = tmp.filePath(QStringLiteral("server.json"));
    ASSERT_TRUE(specialfiles::makeFifo(json));
    Outcome r = runStat({QStringLiteral("--server"), tmp.path()}, {}, 20000);
    EXPECT_TRUE(r.ended) << "arvelo-stat waited for the FIFO";
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("benannte Pipe")) << r.err.constData();

    ASSERT_TRUE(QFile::remove(json));
    ASSERT_TRUE(specialfiles::linkToDevZero(json));
    r = runStat({QStringLiteral("--server"), tmp.path()}, {}, 20000);
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Gerät")) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());
#endif
}

// `arvelo-stat | head` on a large server: the reader is gone before the output is written. The program
// must end with 74 and say why, not be killed by SIGPIPE (141 in a shell).
TEST(StatOutput, AClosedPipeIsOutputThatCouldNotBeWritten)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no SIGPIPE: a closed pipe is a failed write there";
#else
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString server = tmp.filePath(QStringLiteral("server"));
    archiveFolder(server + QStringLiteral("/shares/SRV/DAVID/U1"), 1);
    writeServerJson(server, QJsonArray {archive(QStringLiteral("U1"), QStringLiteral(R"(SRV:DAVID\U1)"))});

    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[0]);  // nobody will ever read
    const int writeEnd = ends[1];
    const Outcome r = runStat({QStringLiteral("--server"), server}, [writeEnd] {
        // As a shell starts a pipeline: SIGPIPE at its default, whatever the test program does with it.
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(writeEnd, STDOUT_FILENO);
    });
    ::close(writeEnd);
    EXPECT_FALSE(r.crashed) << "killed by a signal";
    EXPECT_EQ(r.exitCode, 74);
    EXPECT_TRUE(r.err.contains("Die Ausgabe konnte nicht geschrieben werden.")) << r.err.constData();
#endif
}

// A share that fails in the middle of a walk: a folder whose listing breaks off with EIO after its first batch,
// a folder that vanishes between being listed and being opened. The run ends on its own, every figure read
// before the failure is kept, and the broken folder is named and counted as an unreadable one; a vanished
// folder was simply not there.
TEST(StatFailingShare, FoldersThatFailMidWalkAreCountedAndTheFiguresSoFarKept)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows cannot preload a library that makes folder listings fail";
#else
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString server = tmp.filePath(QStringLiteral("server"));
    const QString user = server + QStringLiteral("/shares/SRV/DAVID/ARCHIVE/USER/");
    archiveFolder(user + QStringLiteral("0000A001"), 3);
    archiveFolder(user + QStringLiteral("0000A001/KAPUTT"), 4);     // listed, then EIO
    archiveFolder(user + QStringLiteral("0000B002"), 6);
    archiveFolder(user + QStringLiteral("0000B002/WEG"), 7);        // gone when opened
    archiveFolder(user + QStringLiteral("0000C003/KAPUTT"), 8);      // the archive folder's child fails at once
    writeServerJson(server, QJsonArray {
        archive(QStringLiteral("A"), QStringLiteral(R"(SRV:DAVID\ARCHIVE\USER\0000A001)")),
        archive(QStringLiteral("B"), QStringLiteral(R"(SRV:DAVID\ARCHIVE\USER\0000B002)")),
        archive(QStringLiteral("C"), QStringLiteral(R"(SRV:DAVID\ARCHIVE\USER\0000C003)")),
    });

    const Outcome r = runStat({QStringLiteral("--server"), server, QStringLiteral("--format"), QStringLiteral("json")},
                              {}, 60000,
                              {QStringLiteral("LD_PRELOAD=") + QStringLiteral(ARVELO_FAULT_SHIM),
                               QStringLiteral("ARVELO_FAULT_EIO=KAPUTT"), QStringLiteral("ARVELO_FAULT_GONE=WEG"),
                               QStringLiteral("ASAN_OPTIONS=verify_asan_link_order=0")});
    ASSERT_TRUE(r.ended) << "the run hangs";
    ASSERT_FALSE(r.crashed) << r.err.constData();
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    QStringList got;
    for (const QJsonValue& row : QJsonDocument::fromJson(r.out).array()) {
        const QJsonObject o = row.toObject();
        got << QStringLiteral("%1: %2 messages in the tree")
                   .arg(o.value(QStringLiteral("name")).toString())
                   .arg(o.value(QStringLiteral("AnzahlNachrichtenG")).toDouble());
    }
    // A keeps its own 3 and the 4 its broken folder listed before it failed.
    EXPECT_EQ(got.join(QLatin1Char('\n')).toStdString(), "A: 7 messages in the tree\n"
                                                          "B: 6 messages in the tree\n"
                                                          "C: 8 messages in the tree");
    EXPECT_EQ(r.err.count("Ordner konnte nicht gelesen werden: "), 2) << r.err.constData();
    EXPECT_TRUE(r.err.contains("0000A001/KAPUTT")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("0000C003/KAPUTT")) << r.err.constData();
#endif
}
