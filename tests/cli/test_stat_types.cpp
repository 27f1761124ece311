// arvelo-stat --types: the option, the field in both formats, and the real program on generated archives.

#include "archive_generator.h"
#include "as_nobody.h"
#include "cli/stat_options.h"
#include "cli/stat_output.h"
#include "cli/stat_types.h"
#include "csv_reader.h"
#include "engine/date_text.h"
#include "stat_program.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<TypeCount> counts(std::initializer_list<std::pair<const char*, int>> list)
{
    std::vector<TypeCount> out;
    for (const auto& [key, n] : list)
        out.push_back({QString::fromUtf8(key), n});
    return out;
}

std::vector<StatRow> twoRows()
{
    std::vector<StatRow> rows(2);
    for (int i = 0; i < 2; ++i) {
        rows[i].data = std::make_shared<TTobData>();
        rows[i].data->TobitUser = i == 0 ? QStringLiteral("Müller, Hans") : QStringLiteral("Leer");
    }
    return rows;
}

}  // namespace

TEST(StatTypesOption, ScopeAndBadValues)
{
    EXPECT_EQ(parseStatOptions({}).options.types, StatTypesScope::None);
    EXPECT_EQ(parseStatOptions({"--types"}).options.types, StatTypesScope::Tree);
    EXPECT_EQ(parseStatOptions({"--types=top"}).options.types, StatTypesScope::Top);
    EXPECT_EQ(parseStatOptions({"--types=top", "--types"}).options.types, StatTypesScope::Tree);
    EXPECT_FALSE(parseStatOptions({"--types=tree"}).ok());
    EXPECT_FALSE(parseStatOptions({"--types", "top"}).ok());  // "top" alone is no option
    EXPECT_TRUE(statHelpText().contains(QStringLiteral("--types=top")));
}

TEST(StatTypesOutput, FieldAfterOldestInBothFormats)
{
    const std::vector<StatRow> rows = twoRows();
    StatTypes types;
    types.rows = {counts({{".PDF", 12}, {".DOC", 7}, {".", 1}, {".€,X", 1}}), std::nullopt};
    const DateTextFormat dates;

    const std::vector<QStringList> csv = clitest::readCsv(statCsv(rows, dates, &types));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[0].last(), QStringLiteral("types"));
    EXPECT_EQ(csv[0].at(csv[0].size() - 2), QStringLiteral("oldest"));
    EXPECT_EQ(csv[1].last(), QStringLiteral(".PDF=12;.DOC=7;.=1;.€,X=1"));
    EXPECT_EQ(csv[2].last(), QString());
    EXPECT_EQ(csv[1].size(), csv[0].size());

    const QByteArray json = statJson(rows, dates, &types);
    EXPECT_TRUE(json.contains(R"("oldest": null, "types": {".PDF": 12, ".DOC": 7, ".": 1, ".€,X": 1}})")) << json.constData();
    QJsonParseError error;
    const QJsonArray array = QJsonDocument::fromJson(json, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(array[0].toObject().value("types").toObject().value(".PDF").toInt(), 12);
    EXPECT_TRUE(array[1].toObject().value("types").isNull());

    // Without the option nothing changes.
    EXPECT_FALSE(statCsv(rows, dates).contains("types"));
    EXPECT_FALSE(statJson(rows, dates).contains("types"));
}

class StatTypesProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        clitest::app();
        ASSERT_TRUE(m_tmp.isValid());
        const fs::path root(m_tmp.path().toStdString());
        const fs::path user = root / "shares" / "SRV01" / "DAVID" / "ARCHIVE" / "USER";
        gen::ArchiveOptions options;
        options.messages = 10;
        options.attachments = 25;
        options.folders = 2;
        options.depth = 2;
        options.dotFolder = true;
        m_figures["00A10001"] = gen::generateArchive(user / "00A10001", options, 5);
        m_figures["00A10002"] = gen::generateArchive(user / "00A10002", options, 6);

        QJsonArray users;
        for (const auto& [id, f] : m_figures) {
            const QString path = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\") + QString::fromStdString(id);
            users.append(QJsonObject{{"name", QString::fromStdString("Benutzer " + id)},
                                     {"path", path},
                                     {"fullPath", "\\\\" + path},
                                     {"messages", QJsonArray()}});
        }
        const QJsonObject server{{"archiveRoot", QJsonObject{{"name", "Archiv"},
                                                              {"path", "SRV01:DAVID\\ARCHIVE"},
                                                              {"fullPath", "\\\\SRV01\\DAVID\\ARCHIVE"},
                                                              {"subArchives", users}}}};
        QFile file(m_tmp.filePath("server.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(server).toJson());
    }

    using Run = clitest::StatResult;
    // With `nobody`, the program runs as that user.
    Run run(const QStringList& args, const clitest::NobodyProgram* nobody = nullptr)
    {
        QProcess p;
#ifndef _WIN32
        if (nobody) {
            p.setChildProcessModifier([] {
                if (!clitest::becomeNobody())
                    ::_exit(99);
            });
        }
#endif
        p.start(nobody ? nobody->path() : QStringLiteral(ARVELO_STAT_EXE), QStringList{"--server", m_tmp.path()} + args);
        return clitest::finished(p, 60000);
    }

    // The types object of every row, by user ID, with its key order checked: largest count first.
    static std::map<std::string, std::map<std::string, int>> typesOf(const QByteArray& json)
    {
        std::map<std::string, std::map<std::string, int>> out;
        for (const QJsonValue& row : QJsonDocument::fromJson(json).array()) {
            const QJsonObject o = row.toObject();
            auto& types = out[o.value("userId").toString().toStdString()];
            const QJsonValue t = o.value("types");
            if (t.isNull()) {
                types[""] = -1;
                continue;
            }
            const QJsonObject object = t.toObject();
            for (auto it = object.begin(); it != object.end(); ++it)
                types[it.key().toLatin1().toStdString()] = it.value().toInt();
        }
        return out;
    }

    QTemporaryDir m_tmp;
    std::map<std::string, gen::ArchiveFigures> m_figures;
};

TEST_F(StatTypesProgram, TreeAndTopMatchTheGenerator)
{
    const Run tree = run({"--types", "--format", "json"});
    ASSERT_EQ(tree.exitCode, 0) << tree.err.constData();
    const auto treeTypes = typesOf(tree.out);
    const Run top = run({"--types=top", "--format", "json"});
    ASSERT_EQ(top.exitCode, 0) << top.err.constData();
    const auto topTypes = typesOf(top.out);
    for (const auto& [id, f] : m_figures) {
        EXPECT_EQ(treeTypes.at(id), f.typesTree) << id;
        EXPECT_EQ(topTypes.at(id), f.typesRoot) << id;
    }
}

TEST_F(StatTypesProgram, UnreadableIndexGivesNullAndExitCodeOne)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file mode that keeps its owner from reading";
#else
    // An index file the user may not read; root reads everything, so the program runs as nobody then.
    fs::path locked;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(m_tmp.path().toStdString()) / "shares"))
        if (entry.path().extension() == ".$00" && entry.path().string().find("00A10002") != std::string::npos
            && entry.path().parent_path().filename() != "00A10002" && entry.path().string().find(".cache") == std::string::npos)
            locked = entry.path();
    ASSERT_FALSE(locked.empty());
    ::chmod(locked.c_str(), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        for (const auto& entry : fs::recursive_directory_iterator(m_tmp.path().toStdString()))
            if (entry.is_directory())
                ::chmod(entry.path().c_str(), 0755);
        ::chmod(m_tmp.path().toLocal8Bit().constData(), 0755);
    }

    std::optional<clitest::NobodyProgram> nobody;
    if (root) {
        nobody.emplace(QStringLiteral(ARVELO_STAT_EXE));
        if (!nobody->reachable(m_tmp.path()))
            GTEST_SKIP() << nobody->problem().toStdString();
    }
    const clitest::NobodyProgram* as = nobody ? &*nobody : nullptr;

    const Run r = run({"--types", "--format", "json"}, as);
    EXPECT_EQ(r.exitCode, 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains(QByteArray::fromStdString(locked.string()))) << r.err.constData();
    const auto types = typesOf(r.out);
    EXPECT_EQ(types.at("00A10002").count(""), 1u);             // null
    EXPECT_EQ(types.at("00A10001"), m_figures["00A10001"].typesTree);

    // The locked file lies in a sub-folder: the archive folder alone still reads.
    const Run top = run({"--types=top"}, as);
    EXPECT_EQ(top.exitCode, 0) << top.err.constData();
#endif
}
