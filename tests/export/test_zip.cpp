// The ZIP: what is in it, how each entry is packed, and that three independent readers open it.

#include "export/export_run.h"
#include "export/zip_writer.h"
#include "export_fixture.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace exporttest;

namespace {

const QString kUser = QStringLiteral("SRV:DAVID\\ARCHIVE\\USER\\0000C003");

// Python's zipfile as the first reader: name, method, encryption flag and a hash of each entry's data.
const char* kLister = R"(
import hashlib, json, sys, zipfile
pwd = bytes.fromhex(sys.argv[2])
out = []
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        data = z.read(i, pwd=pwd or None)
        out.append({"name": i.filename, "method": i.compress_type, "encrypted": bool(i.flag_bits & 1),
                    "sha": hashlib.sha256(data).hexdigest()})
print(json.dumps(out))
)";

struct Entry {
    QString name;
    int method = -1;
    bool encrypted = false;
    QString sha;
};

std::optional<QList<Entry>> pythonEntries(const QString& zip, const QByteArray& password)
{
    QByteArray out;
    if (run(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kLister), zip,
                                        QString::fromLatin1(password.toHex())}, &out) != 0) {
        ADD_FAILURE() << out.toStdString();
        return std::nullopt;
    }
    QList<Entry> entries;
    for (const QJsonValue v : QJsonDocument::fromJson(out).array()) {
        const QJsonObject o = v.toObject();
        entries.append(Entry{o[QStringLiteral("name")].toString(), o[QStringLiteral("method")].toInt(),
                             o[QStringLiteral("encrypted")].toBool(), o[QStringLiteral("sha")].toString()});
    }
    return entries;
}

QString sha(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

constexpr int kStored = 0;
constexpr int kDeflated = 8;

class ZipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString missing = missingZipReaders(); !missing.isEmpty())
            GTEST_SKIP() << "the ZIP is read back with programs this machine lacks: " << missing.toStdString();
        ASSERT_TRUE(temp.isValid());
        server = temp.filePath(QStringLiteral("server"));
        out = temp.filePath(QStringLiteral("Export")) + QLatin1Char('/');
        writeServer(server, {Arch{QStringLiteral("Bernd Öztürk"), kUser, kUser,
                                  {mail(QStringLiteral("Text"), prose(40000, 1)),       // deflates well
                                   mail(QStringLiteral("Rauschen"), noise(20000, 2)),   // beyond libzip's 8 KiB rule
                                   mail(QStringLiteral("Kurz"), noise(100, 3)),
                                   mail(QStringLiteral("Leer"), QByteArray()),
                                   fax(QStringLiteral("Фото"), noise(5000, 4)),
                                   link(QStringLiteral("Link"), QStringLiteral("https://example.org"))},
                                  {Arch{QStringLiteral("Unter"), kUser + QStringLiteral("\\U"), kUser + QStringLiteral("\\U"),
                                        {mail(QStringLiteral("Tief"), prose(3000, 5))}, {}}}}});
        account = logOn(server);
    }

    ExportOutcome exportZip(const QByteArray& password)
    {
        struct : ExportObserver {
            bool exportFax() override { return true; }
            bool includeSubArchives() override { return true; }
            void zipProgress(int percent) override { progress << percent; }
            QList<int> progress;
        } observer;
        ExportRequest request;
        request.folder = out;
        request.rootPfad = kUser;
        request.zip = true;
        request.password = password;
        ExportOutcome outcome = runExport(*account, request, observer);
        lastProgress = observer.progress;
        return outcome;
    }

    QTemporaryDir temp;
    QString server, out;
    std::shared_ptr<Account> account;
    QList<int> lastProgress;
};

}  // namespace

TEST_F(ZipTest, EveryWrittenFileIsAnEntryUnderItsFullPathPackedTheSmallerWay)
{
    const QByteArray password = QByteArray("Geheim\x80\xE4", 8);  // "Geheim€ä" in Windows-1252
    const ExportOutcome outcome = exportZip(password);
    ASSERT_EQ(outcome.end, ExportEnd::Completed) << outcome.error.toStdString();
    ASSERT_TRUE(outcome.zipWritten);

    const QString files = out + QStringLiteral("Export-Dateien/");
    const QStringList written = listTree(files);
    EXPECT_EQ(written.size(), 8);  // 6 files, the folder "0/" and its e-mail
    const auto entries = pythonEntries(out + QStringLiteral("EML-Export.zip"), password);
    ASSERT_TRUE(entries);
    const QString prefix = QDir(out).absolutePath().mid(1) + QLatin1Char('/');  // without the root "/"
    QStringList names;
    for (const Entry& e : *entries) {
        names << e.name;
        EXPECT_TRUE(e.encrypted) << e.name.toStdString();
        EXPECT_EQ(e.sha, sha(readBytes(QLatin1Char('/') + e.name))) << e.name.toStdString();
    }
    QStringList expectedNames;
    for (const QString& f : written)
        if (!f.endsWith(QLatin1Char('/')))
            expectedNames << prefix + QStringLiteral("Export-Dateien/") + f;
    names.sort();
    EXPECT_EQ(names, expectedNames);

    // Deflated only where that makes the entry smaller, decided per entry whatever its size.
    const auto method = [&](const QString& file) {
        for (const Entry& e : *entries)
            if (e.name.endsWith(QLatin1Char('/') + file))
                return e.method;
        return -1;
    };
    EXPECT_EQ(method(QStringLiteral("Text0.eml")), kDeflated);
    EXPECT_EQ(method(QStringLiteral("0/Tief0.eml")), kDeflated);
    EXPECT_EQ(method(QStringLiteral("Rauschen1.eml")), kStored);
    EXPECT_EQ(method(QStringLiteral("Kurz2.eml")), kStored);
    EXPECT_EQ(method(QStringLiteral("Leer3.eml")), kStored);
    EXPECT_EQ(lastProgress.last(), 100);
    // Nothing but the files, their folder and the ZIP is left in the export folder.
    EXPECT_EQ(listTree(out).filter(QRegularExpression(QStringLiteral("^[^/]+/?$"))),
              (QStringList{QStringLiteral("EML-Export.zip"), QStringLiteral("Export-Dateien/")}));
}

TEST_F(ZipTest, UnzipAnd7zOpenItWithThePasswordAndRefuseAWrongOne)
{
    ASSERT_EQ(exportZip("Kennwort-42").end, ExportEnd::Completed);
    const QString zip = out + QStringLiteral("EML-Export.zip");
    QByteArray log;
    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-t"), QStringLiteral("-P"), QStringLiteral("Kennwort-42"), zip},
                  &log), 0) << log.toStdString();
    EXPECT_NE(run(QStringLiteral("unzip"), {QStringLiteral("-t"), QStringLiteral("-P"), QStringLiteral("falsch"), zip}), 0);
    EXPECT_EQ(run(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("-pKennwort-42"), zip}, &log), 0)
        << log.toStdString();
    EXPECT_NE(run(QStringLiteral("7z"), {QStringLiteral("t"), QStringLiteral("-pfalsch"), zip}), 0);

    // Extracted by unzip, every file is the one on disk.
    const QString unpacked = temp.filePath(QStringLiteral("unpacked"));
    ASSERT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("Kennwort-42"), zip,
                                            QStringLiteral("-d"), unpacked}), 0);
    const QString files = out + QStringLiteral("Export-Dateien/");
    const QString inside = unpacked + QDir(files).absolutePath();
    EXPECT_EQ(listTree(inside), listTree(files));
    for (const QString& f : listTree(files)) {
        if (!f.endsWith(QLatin1Char('/'))) {
            EXPECT_EQ(readBytes(inside + QLatin1Char('/') + f), readBytes(files + f)) << f.toStdString();
        }
    }
}

TEST_F(ZipTest, WithoutPasswordNothingIsEncrypted)
{
    ASSERT_EQ(exportZip("erst mit").end, ExportEnd::Completed);
    ASSERT_EQ(exportZip(QByteArray()).end, ExportEnd::Completed);
    const auto entries = pythonEntries(out + QStringLiteral("EML-Export.zip"), QByteArray());
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 7);
    for (const Entry& e : *entries)
        EXPECT_FALSE(e.encrypted) << e.name.toStdString();
}

TEST_F(ZipTest, AFailedRunLeavesTheOldZipAndNoTemporaryFiles)
{
    const QString zip = out + QStringLiteral("EML-Export.zip");
    writeBytes(zip, "the previous export");
    // A fax without its image ends the run before the ZIP is written.
    Msg broken = fax(QStringLiteral("kaputt"), "x");
    broken.missingFile = true;
    writeServer(server, {Arch{QStringLiteral("U"), kUser, kUser, {mail(QStringLiteral("a"), prose(50000, 9)), broken}}});
    account = logOn(server);
    EXPECT_EQ(exportZip(QByteArray()).end, ExportEnd::ServerFailed);
    EXPECT_EQ(readBytes(zip), QByteArray("the previous export"));
    EXPECT_EQ(listTree(out), (QStringList{QStringLiteral("EML-Export.zip"), QStringLiteral("Export-Dateien/"),
                                          QStringLiteral("Export-Dateien/a0.eml")}));
}

TEST_F(ZipTest, AnArchiveWithoutEntriesGivesAnEmptyZip)
{
    writeServer(server, {Arch{QStringLiteral("U"), kUser, kUser, {}, {}}});
    account = logOn(server);
    writeBytes(out + QStringLiteral("EML-Export.zip"), "old");
    ASSERT_EQ(exportZip("pw").end, ExportEnd::Completed);
    const auto entries = pythonEntries(out + QStringLiteral("EML-Export.zip"), QByteArray());
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->isEmpty());
}

TEST(ZipWriter, MissingFilesAddNothingAndTheSameNameTwiceKeepsTheLastFile)
{
    if (const QString missing = missingZipReaders(); !missing.isEmpty())
        GTEST_SKIP() << "the ZIP is read back with programs this machine lacks: " << missing.toStdString();
    QTemporaryDir temp;
    const QString a = temp.filePath(QStringLiteral("a.txt"));
    writeBytes(a, prose(30000, 1));
    const QString zipPath = temp.filePath(QStringLiteral("x.zip"));
    {
        ZipWriter zip(zipPath, QByteArray());
        zip.addFile(temp.filePath(QStringLiteral("gibt-es-nicht.eml")));
        zip.addFile(a);
        zip.addFile(a);
        QString reason;
        ASSERT_TRUE(zip.close({}, &reason)) << reason.toStdString();
        EXPECT_EQ(zip.entryCount(), 1);
        EXPECT_TRUE(zip.failures().isEmpty());
    }
    const auto entries = pythonEntries(zipPath, QByteArray());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1);
    EXPECT_EQ(entries->at(0).name, QDir(a).absolutePath().mid(1));
    EXPECT_EQ(entries->at(0).sha, sha(prose(30000, 1)));
}
