// server.json is read directly where it can be, and through QJsonDocument where it cannot: both ways must give
// the same archives, and the direct way must never take a file the document way refuses.

#include "server_test_support.h"
#include "server/standin/server_json.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace standin;

namespace {

const QString kFile = QStringLiteral("/srv/server.json");

std::optional<QString> documentFailure(const QByteArray& json)
{
    try {
        readServerJsonDocument(json, kFile);
        return std::nullopt;
    } catch (const ServerError& e) {
        return QString::fromUtf8(e.what());
    }
}

void expectSameArchives(const ServerJson& direct, const ServerJson& document)
{
    ASSERT_EQ(direct.archives.size(), document.archives.size());
    for (std::size_t i = 0; i < direct.archives.size(); ++i)
        EXPECT_TRUE(direct.archives[i] == document.archives[i]) << "archive " << i;
    EXPECT_EQ(direct.byPath, document.byPath);
}

QByteArray root(const QByteArray& inner)
{
    return R"({"archiveRoot": {"name": "Archiv", "path": "S:D", "fullPath": "\\\\S\\D")" + inner + "}}";
}

struct Case {
    const char* name;
    QByteArray json;
};

// Files both readers take; the direct reader reads every one of them itself.
const Case kReadDirectly[] = {
    {"smallest", R"({"archiveRoot": {"name": "", "path": "", "fullPath": ""}})"},
    {"byte-order mark", "\xEF\xBB\xBF" + root("")},
    {"users with sub-archives",
     root(R"(, "subArchives": [{"name": "Anna", "path": "S:D\\U\\A", "fullPath": "\\\\S\\D\\U\\A",
            "subArchives": [{"name": "Ablage", "path": "S:D\\U\\A\\S0", "fullPath": "x"}]},
            {"name": "Bernd", "path": "S:D\\U\\B", "fullPath": "y", "subArchives": []}])")},
    {"keys in any order, unknown keys of every kind",
     R"( {"v": [1, -2.5, 0, true, false, null, {"a": {"b": []}}, "\u00fc"], "archiveRoot":
          {"subArchives": [{"fullPath": "f", "x": {}, "path": "p", "name": "n"}], "fullPath": "F",
           "extra": "\"", "path": "P", "name": "N"}, "z": -0.125} )"},
    {"escapes and UTF-8",
     root(R"(, "subArchives": [{"name": "M\u00fcller \"&\" S\u00F6hne\t\/\b\f\n\r", "path": "Jürgen € ✓",
            "fullPath": "\\\\a\\b"}])")},
    {"control characters written as they are",
     root(", \"subArchives\": [{\"name\": \"Seite\f2\t\", \"path\": \"p\", \"fullPath\": \"f\", \"messages\": "
          "[{\"kind\": 2, \"title\": \"t\", \"eml\": \"m/a.eml\r\"}]}]")},
    {"messages of every kind", root(R"(, "messages": [{"kind": 2, "title": "Mail", "eml": "m/a.eml"},
            {"title": "Fax", "kind": 3, "faxImage": "m\\f.tif", "url": "ignored"},
            {"kind": 8, "title": "Link", "url": "https://x"}, {"kind": -7, "title": "", "other": [1]},
            {"kind": 1234567890, "title": "groß"}])")},
};

TEST(ServerJson, WellFormedFilesAreReadDirectlyAsTheDocumentReadsThem)
{
    for (const Case& c : kReadDirectly) {
        SCOPED_TRACE(c.name);
        const std::optional<QString> failure = documentFailure(c.json);
        ASSERT_FALSE(failure) << failure->toStdString();
        const std::optional<ServerJson> direct = readServerJsonDirect(c.json);
        ASSERT_TRUE(direct);
        expectSameArchives(*direct, readServerJsonDocument(c.json, kFile));
    }
}

TEST(ServerJson, TheDirectReaderLeavesFaultsAndOdditiesToTheDocument)
{
    const Case cases[] = {
        // faults: the document reader names them
        {"empty", ""},
        {"not an object", "[]"},
        {"cut short", root("").chopped(1)},
        {"garbage after the end", root("") + " x"},
        {"no archive root", R"({"root": {}})"},
        {"name missing", R"({"archiveRoot": {"path": "", "fullPath": ""}})"},
        {"name not a text", R"({"archiveRoot": {"name": 1, "path": "", "fullPath": ""}})"},
        {"sub-archives not a list", root(R"(, "subArchives": {})")},
        {"sub-archive not an object", root(R"(, "subArchives": [1])")},
        {"path given twice", root(R"(, "subArchives": [{"name": "a", "path": "S:D", "fullPath": ""}])")},
        {"kind missing", root(R"(, "messages": [{"title": "t"}])")},
        {"kind not whole", root(R"(, "messages": [{"kind": 2.5, "title": "t", "eml": "e"}])")},
        {"kind a text", root(R"(, "messages": [{"kind": "2", "title": "t", "eml": "e"}])")},
        {"eml missing for a mail", root(R"(, "messages": [{"kind": 2, "title": "t"}])")},
        {"fax image missing", root(R"(, "messages": [{"kind": 3, "title": "t"}])")},
        {"url missing", root(R"(, "messages": [{"kind": 8, "title": "t"}])")},
        {"eml not a text", root(R"(, "messages": [{"kind": 1, "title": "t", "eml": 3}])")},
        {"invalid UTF-8", root(R"(, "x": ")" + QByteArray("\xC3\x28") + "\"")},
        {"bad escape", root(R"(, "x": "\q")")},
        {"bad number", root(R"(, "x": 01)")},
        {"trailing comma", root(R"(, "subArchives": [],)")},
        {"single quotes", R"({'archiveRoot': {}})"},
        // valid, but not the direct reader's: the document decides
        {"byte-order mark twice", "\xEF\xBB\xBF\xEF\xBB\xBF" + root("")},
        {"byte-order mark after a space", " \xEF\xBB\xBF" + root("")},
        {"name given twice", R"({"archiveRoot": {"name": "a", "name": "b", "path": "", "fullPath": ""}})"},
        {"archive root given twice", R"({"archiveRoot": 1, "archiveRoot": {"name": "", "path": "", "fullPath": ""}})"},
        {"escaped key", R"({"archiveRoot": {"n\u0061me": "a", "path": "", "fullPath": ""}})"},
        {"exponent", root(R"(, "x": 1e400)")},
        {"whole kind written with a fraction", root(R"(, "messages": [{"kind": 2.0, "title": "t", "eml": "e"}])")},
        {"surrogate pair", root(R"(, "name2": "\ud83d\ude00")")},
        {"NUL escaped", root(R"(, "x": "\u0000")")},
        // QJsonDocument drops U+FEFF at the start of a text without escapes, and only there
        {"U+FEFF starting a text",
         root(", \"subArchives\": [{\"name\": \"\xEF\xBB\xBFN\", \"path\": \"\xEF\xBB\xBFS:D\\\\U\", \"fullPath\": "
              "\"f\"}]")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(readServerJsonDirect(c.json));
        // Whatever the document reader says about it stands.
        const std::optional<QString> failure = documentFailure(c.json);
        try {
            const ServerJson read = readServerJson(c.json, kFile);
            EXPECT_FALSE(failure) << failure->toStdString();
            expectSameArchives(read, readServerJsonDocument(c.json, kFile));
        } catch (const ServerError& e) {
            ASSERT_TRUE(failure);
            EXPECT_EQ(QString::fromUtf8(e.what()), *failure);
        }
    }
}

TEST(ServerJson, TheHandmadeServerIsReadDirectly)
{
    QFile file(servertest::handmadeServer() + QStringLiteral("/server.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray json = file.readAll();
    const std::optional<ServerJson> direct = readServerJsonDirect(json);
    ASSERT_TRUE(direct);
    expectSameArchives(*direct, readServerJsonDocument(json, kFile));
}

}  // namespace
