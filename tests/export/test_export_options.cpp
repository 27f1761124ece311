// Export.dat, the ZIP password's code page, and the headless companion's command line and exit codes.

#include "export/export_cli.h"
#include "export/export_options.h"
#include "export_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace exporttest;

TEST(ExportDat, FirstLineInAnsiOrByItsByteOrderMark)
{
    QTemporaryDir temp;
    const QString file = temp.filePath(QStringLiteral("Export.dat"));
    EXPECT_FALSE(readExportFolder(file));

    QString reason;
    ASSERT_TRUE(writeExportFolder(file, QStringLiteral("/srv/Export/Müller/"), &reason)) << reason.toStdString();
#ifdef _WIN32
    EXPECT_EQ(readBytes(file), QByteArray("/srv/Export/M\xFCller/\r\n"));  // the ANSI code page, Windows-1252
#else
    EXPECT_EQ(readBytes(file), QByteArray("/srv/Export/M\xC3\xBCller/\r\n"));  // the locale's code page here
#endif
    EXPECT_EQ(readExportFolder(file), QStringLiteral("/srv/Export/Müller/"));

    writeBytes(file, "\xEF\xBB\xBF/a/b/\nzweite Zeile\n");
    EXPECT_EQ(readExportFolder(file), QStringLiteral("/a/b/"));
    writeBytes(file, QByteArray("\xFF\xFE/\0x\0\r\0\n\0", 10));
    EXPECT_EQ(readExportFolder(file), QStringLiteral("/x"));
    writeBytes(file, "");
    EXPECT_FALSE(readExportFolder(file));  // no line: the field keeps its text

#ifndef _WIN32
    // A FIFO of that name is not opened: reading it would block the window.
    QFile::remove(file);
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_FALSE(readExportFolder(file));
#endif

    // A folder that cannot take the file: the failure is said.
    EXPECT_FALSE(writeExportFolder(temp.filePath(QStringLiteral("fehlt/Export.dat")), QStringLiteral("/x/"), &reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST(ZipPassword, Windows1252BytesOrRefused)
{
    EXPECT_EQ(zipPasswordBytes(QStringLiteral("Geheim€ä")), QByteArray("Geheim\x80\xE4"));
    EXPECT_EQ(zipPasswordBytes(QString()), QByteArray());
    EXPECT_FALSE(zipPasswordBytes(QStringLiteral("zło")));
    EXPECT_FALSE(zipPasswordBytes(QStringLiteral("пароль")));
    EXPECT_FALSE(zipPasswordBytes(QString(QChar(0)) + QStringLiteral("x")));
}

TEST(ExportCommandLine, Options)
{
    auto parse = [](const QString& line) { return parseExportOptions(line.split(' ', Qt::SkipEmptyParts)); };
    ExportCliParse p = parse(QStringLiteral("--archive A --out /o"));
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_TRUE(p.options.mail && p.options.link && !p.options.fax && !p.options.zip && !p.options.sub);

    p = parse(QStringLiteral("--archive=A --out=/o --types fax,mail --sub --display-names --zip --password-env PW"));
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_TRUE(p.options.mail && !p.options.link && p.options.fax && p.options.sub && p.options.displayNames);
    EXPECT_EQ(p.options.passwordEnv, QStringLiteral("PW"));
    EXPECT_TRUE(parse(QStringLiteral("--archive A --help")).options.help);

    const struct {
        const char* line;
        const char* message;
    } bad[] = {
        {"--out /o", "--archive fehlt"},
        {"--archive A", "--out fehlt"},
        {"--archive A --out /o --types mail,bild", "bild"},
        {"--archive A --out /o --password geheim", "Prozessliste"},
        {"--archive A --out /o --password-env PW", "nur mit --zip"},
        {"--archive A --out /o --zip=ja", "keinen Wert"},
        {"--archive A --out", "braucht einen Wert"},
        {"--archive A --out /o extra", "Unbekannte Angabe"},
    };
    for (const auto& b : bad) {
        const ExportCliParse r = parse(QString::fromUtf8(b.line));
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(b.message))) << b.line << " -> " << r.error.toStdString();
    }
    // A reason quotes what was typed only in part: a value of megabytes once came back whole.
    const QString long_(100000, QLatin1Char('x'));
    for (const QStringList& args : {QStringList{QStringLiteral("--archive"), QStringLiteral("A"), QStringLiteral("--out"),
                                                QStringLiteral("/o"), QStringLiteral("--types"), long_},
                                    QStringList{QStringLiteral("--") + long_}, QStringList{long_}}) {
        const ExportCliParse huge = parseExportOptions(args);
        EXPECT_FALSE(huge.ok());
        EXPECT_LT(huge.error.size(), 200) << huge.error.left(300).toStdString();
    }
}

namespace {

const QString kUser = QStringLiteral("SRV:DAVID\\ARCHIVE\\USER\\0000D004");

}  // namespace

TEST(ExportProgram, ExitCodesSummaryAndPassword)
{
    QTemporaryDir temp;
    const QString server = temp.filePath(QStringLiteral("server"));
    Msg gone = mail(QStringLiteral("weg"), "x");
    gone.missingFile = true;
    writeServer(server, {Arch{QStringLiteral("U"), kUser, kUser,
                              {mail(QStringLiteral("Rechnung"), prose(5000, 1)), link(QStringLiteral("L"), QStringLiteral("u")),
                               fax(QStringLiteral("F"), noise(800, 2))},
                              {Arch{QStringLiteral("Sub"), kUser + QStringLiteral("\\S"), kUser + QStringLiteral("\\S"),
                                    {gone}, {}}}}});
    const QString exe = QStringLiteral(ARVELO_EXPORT_EXE);
    const QString out = temp.filePath(QStringLiteral("out"));
    QByteArray log;

    EXPECT_EQ(run(exe, {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"), out,
                        QStringLiteral("--types"), QStringLiteral("mail,link,fax")}, &log), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("3 geschrieben, 0 schon vorhanden, 0 fehlgeschlagen")) << log.toStdString();
    EXPECT_EQ(listTree(out).size(), 3);

    // Again with the sub-archive, whose e-mail file is missing: the kept e-mail is fine, the missing one is not.
    EXPECT_EQ(run(exe, {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"), out,
                        QStringLiteral("--sub")}, &log), 1) << log.toStdString();
    EXPECT_TRUE(log.contains("1 geschrieben, 1 schon vorhanden, 1 fehlgeschlagen")) << log.toStdString();
    EXPECT_TRUE(log.contains("weg0.eml")) << log.toStdString();

    const QStringList zipArgs{QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser,
                              QStringLiteral("--out"), temp.filePath(QStringLiteral("zip")), QStringLiteral("--zip"),
                              QStringLiteral("--password-env"), QStringLiteral("ARVELO_TEST_PW")};
    EXPECT_EQ(run(exe, zipArgs, &log, {}, {QStringLiteral("ARVELO_TEST_PW=Sesam")}), 0) << log.toStdString();
    if (missingZipReaders().isEmpty()) {  // read back by unzip where there is one
        EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-t"), QStringLiteral("-P"), QStringLiteral("Sesam"),
                                                temp.filePath(QStringLiteral("zip/EML-Export.zip"))}), 0);
    }
    EXPECT_EQ(run(exe, zipArgs, &log, {}, {QStringLiteral("ARVELO_TEST_PW=zło")}), 64);
    EXPECT_TRUE(log.contains("Windows-1252")) << log.toStdString();

    EXPECT_EQ(run(exe, {QStringLiteral("--server"), server, QStringLiteral("--archive"), QStringLiteral("SRV:NIX"),
                        QStringLiteral("--out"), out}, &log), 2);
    EXPECT_EQ(run(exe, {QStringLiteral("--server"), temp.filePath(QStringLiteral("keiner")), QStringLiteral("--archive"),
                        kUser, QStringLiteral("--out"), out}, &log), 2);
    writeBytes(temp.filePath(QStringLiteral("datei")), "x");
    EXPECT_EQ(run(exe, {QStringLiteral("--server"), server, QStringLiteral("--archive"), kUser, QStringLiteral("--out"),
                        temp.filePath(QStringLiteral("datei/out"))}, &log), 74);
    EXPECT_EQ(run(exe, {QStringLiteral("--archive"), kUser}, &log), 64);
    EXPECT_EQ(run(exe, {QStringLiteral("--help")}, &log), 0);
    EXPECT_TRUE(log.contains("Exit-Codes"));
}
