// The export when the disk runs full or a message file cannot be read: what is written is whole, what is not
// is said, the older ZIP stays as it was, and nothing temporary is left behind.

#include "../platform/tiny_file_system.h"
#include "export/export_options.h"
#include "export_fixture.h"
#include "platform/excerpt.h"

#include <QDirIterator>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

using namespace exporttest;

namespace {

const QString kUser = QStringLiteral("SRV:DAVID\\ARCHIVE\\USER\\0000F006");

QByteArray urlFile(const QString& url)
{
    return ("[DEFAULT]\r\nBASEURL=" + url + "\r\n[InternetShortcut]\r\nURL=" + url + "\r\n").toUtf8();
}

// A user with e-mails, faxes and links, a sub-archive with its own sub-archive: more than 128 KiB in all.
// Every message's bytes are distinct, so a file is whole exactly when it equals one of them.
QList<Arch> bigUser(QSet<QByteArray>& wholeFiles)
{
    QList<Msg> top;
    for (int i = 0; i < 8; ++i) {
        top << mail(QStringLiteral("Rechnung %1").arg(i), noise(9000, quint32(i + 1)));
        top << fax(QStringLiteral("Fax %1").arg(i), noise(7000, quint32(100 + i)));
        top << link(QStringLiteral("Link %1").arg(i), QStringLiteral("https://example.org/%1").arg(i));
    }
    QList<Msg> sub;
    for (int i = 0; i < 5; ++i)
        sub << mail(QStringLiteral("Projekt %1").arg(i), prose(6000, quint32(200 + i)));
    QList<Msg> subSub{fax(QStringLiteral("Plan"), noise(12000, 300)), link(QStringLiteral("Wiki"), QStringLiteral("https://wiki"))};
    for (const QList<Msg>* list : {&top, &sub, &subSub})
        for (const Msg& m : *list)
            wholeFiles.insert(m.kind == 8 ? urlFile(m.url) : m.body);
    return {Arch{QStringLiteral("Frida Falk"), kUser, kUser, top,
                 {Arch{QStringLiteral("Projekte"), kUser + QStringLiteral("\\P"), kUser + QStringLiteral("\\P"), sub,
                       {Arch{QStringLiteral("Alt"), kUser + QStringLiteral("\\P\\A"), kUser + QStringLiteral("\\P\\A"),
                             subSub}}}}}};
}

}  // namespace

// Run onto a file system of 128 KiB, over an older EML-Export.zip: the output error's exit code and reason,
// every file that is there complete, the older ZIP untouched, no temporary file.
TEST(FullDisk, ExportEndsWithTheReasonAndLeavesOnlyWholeFiles)
{
    const TinyFileSystem disk(128 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    QTemporaryDir temp;
    const QString server = temp.filePath(QStringLiteral("server"));
    QSet<QByteArray> wholeFiles;
    writeServer(server, bigUser(wholeFiles));
    const QByteArray olderZip = noise(20000, 7);
    writeBytes(disk.filePath(QStringLiteral("EML-Export.zip")), olderZip);

    QByteArray log;
    const int code = run(QStringLiteral(ARVELO_EXPORT_EXE),
                         {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"),
                          disk.path(), QStringLiteral("--sub"), QStringLiteral("--types"),
                          QStringLiteral("mail,link,fax"), QStringLiteral("--zip")},
                         &log);
    EXPECT_EQ(code, 74) << log.toStdString();
    EXPECT_TRUE(log.contains(platform::systemErrorText(ENOSPC).toUtf8())) << log.toStdString();

    EXPECT_EQ(readBytes(disk.filePath(QStringLiteral("EML-Export.zip"))), olderZip);
    int files = 0;
    QDirIterator it(disk.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = it.fileName();
        if (path == disk.filePath(QStringLiteral("EML-Export.zip")))
            continue;
        ASSERT_TRUE(path.startsWith(disk.filePath(QStringLiteral("Export-Dateien/"))))
            << "left behind: " << path.toStdString();
        EXPECT_TRUE(wholeFiles.contains(readBytes(path))) << "not whole: " << path.toStdString();
        ++files;
    }
    EXPECT_GT(files, 0);
}

// A ZIP export onto a disk that runs full while the message files are placed, while their packed bytes go to
// the spool beside the ZIP, and while the ZIP itself is written: each time the run ends with the output error
// and says that the disk is full, in the words every other write of the export uses; nothing temporary stays.
TEST(FullDisk, ZipExportSaysTheDiskIsFullWhereverItRunsFull)
{
    QTemporaryDir temp;
    const QString server = temp.filePath(QStringLiteral("server"));
    QList<Msg> messages;
    for (int i = 0; i < 10; ++i)
        messages << (i % 2 ? fax(QStringLiteral("Fax %1").arg(i), noise(10000, quint32(i + 1)))
                           : mail(QStringLiteral("Mail %1").arg(i), noise(10000, quint32(i + 1))));
    writeServer(server, {Arch {QStringLiteral("Frida Falk"), kUser, kUser, messages}});

    // 100 KB of files that do not shrink: as much again in the spool and in the ZIP.
    for (const int freeKiB : {48, 148, 248}) {
        SCOPED_TRACE(freeKiB);
        const TinyFileSystem disk(512 * 1024);
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot();
        QFile filler(disk.filePath(QStringLiteral(".filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        ASSERT_EQ(filler.write(QByteArray((512 - freeKiB) * 1024, 'f')), (512 - freeKiB) * 1024);
        filler.close();

        QByteArray log;
        const int code =
            run(QStringLiteral(ARVELO_EXPORT_EXE),
                {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"),
                 disk.path(), QStringLiteral("--types"), QStringLiteral("mail,fax"), QStringLiteral("--zip")},
                &log);
        EXPECT_EQ(code, 74) << log.toStdString();
        const QString full = QStringLiteral("Die ZIP-Datei %1 konnte nicht geschrieben werden: %2")
                                 .arg(QDir::toNativeSeparators(disk.filePath(QStringLiteral("EML-Export.zip"))),
                                      platform::systemErrorText(ENOSPC));
        EXPECT_TRUE(QString::fromUtf8(log).contains(full)) << log.toStdString();
        EXPECT_FALSE(QFileInfo::exists(disk.filePath(QStringLiteral("EML-Export.zip"))));
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList {QStringLiteral(".filler")});
    }
}

// Export.dat on a full disk: the save fails and says why; the file keeps the last folder, whole.
TEST(FullDisk, ExportDatKeepsTheLastFolder)
{
    const TinyFileSystem disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    const QString file = disk.filePath(QStringLiteral("Export.dat"));
    ASSERT_TRUE(writeExportFolder(file, QStringLiteral("/srv/Export/")));
    const QByteArray before = readBytes(file);
    disk.fill();
    QString reason;
    EXPECT_FALSE(writeExportFolder(file, QStringLiteral("/srv/") + QString(3000, QLatin1Char('x')) + QLatin1Char('/'),
                                   &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{QStringLiteral(".filler"), QStringLiteral(".filler.tail"), QStringLiteral("Export.dat")}));
}

// A message file whose reading fails with EIO (a failing disk or share under the server folder): that message
// is counted as not written, and the run goes on with the others.
TEST(FailingRead, MessageFileWithIoErrorIsCountedAndTheRunGoesOn)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows cannot preload a library that makes reads fail";
#else
    QTemporaryDir temp;
    const QString server = temp.filePath(QStringLiteral("server"));
    writeServer(server, {Arch{QStringLiteral("U"), kUser, kUser,
                              {mail(QStringLiteral("Eins"), prose(3000, 1)), mail(QStringLiteral("Zwei"), prose(3000, 2)),
                               fax(QStringLiteral("Fax"), noise(3000, 3)), mail(QStringLiteral("Drei"), prose(3000, 4))}}});
    const QString out = temp.filePath(QStringLiteral("out"));
    QByteArray log;
    // The fixture names the message files m1.eml, m2.eml, m3.tif, m4.eml in this order.
    const QStringList env{QStringLiteral("LD_PRELOAD=") + QStringLiteral(ARVELO_FAULT_SHIM),
                          QStringLiteral("ARVELO_FAULT_EIO=/messages/m2.eml"),
                          QStringLiteral("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0")};
    const int code = run(QStringLiteral(ARVELO_EXPORT_EXE),
                         {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"),
                          out, QStringLiteral("--types"), QStringLiteral("mail,fax")},
                         &log, {}, env);
    EXPECT_EQ(code, 1) << log.toStdString();
    EXPECT_TRUE(log.contains("3 geschrieben, 0 schon vorhanden, 1 fehlgeschlagen")) << log.toStdString();
    EXPECT_TRUE(log.contains("Zwei1.eml")) << log.toStdString();
    EXPECT_EQ(readBytes(out + QStringLiteral("/Eins0.eml")), prose(3000, 1));
    EXPECT_EQ(readBytes(out + QStringLiteral("/Drei3.eml")), prose(3000, 4));
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/Zwei1.eml")));
#endif
}
