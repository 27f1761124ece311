// A server.json that cannot be used makes the log-on fail with a reason naming the file, the place in it and
// the problem.

#include "server_test_support.h"
#include "../platform/special_files.h"

#include <QDir>
#include <QFile>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace servertest;

namespace {

class BrokenServerJson : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path(); }
    QString file() const { return QDir::toNativeSeparators(dir.filePath(QStringLiteral("server.json"))); }
    QString failureFor(const QByteArray& json)
    {
        writeFile(dir.filePath(QStringLiteral("server.json")), json);
        return logOnFailure(folder());
    }
};

// An archive as JSON text, for building users lists.
QByteArray user(int i)
{
    return QStringLiteral(R"({"name": "User %1", "path": "S:D\\U\\0000000%1", "fullPath": "\\\\S\\D\\U\\0000000%1"})")
        .arg(i)
        .toUtf8();
}

QByteArray withUsers(const QList<QByteArray>& users)
{
    return R"({"archiveRoot": {"name": "Archiv", "path": "S:D", "fullPath": "\\\\S\\D", "subArchives": [)"
           + users.join(", ") + "]}}";
}

QByteArray withMessages(const QByteArray& messages)
{
    return withUsers({R"({"name": "A", "path": "S:D\\A", "fullPath": "F", "messages": [)" + messages + "]}"});
}

}  // namespace

TEST_F(BrokenServerJson, MissingOrUnreadableFileNamesTheFile)
{
    QString reason = logOnFailure(folder());
    EXPECT_TRUE(reason.startsWith(file() + QStringLiteral(": Datei: kann nicht gelesen werden"))) << reason.toStdString();

    // A folder that does not exist at all fails the same way, naming where server.json was looked for.
    const QString missing = dir.filePath(QStringLiteral("nirgends"));
    reason = logOnFailure(missing);
    EXPECT_TRUE(reason.startsWith(QDir::toNativeSeparators(missing + QStringLiteral("/server.json: Datei:"))))
        << reason.toStdString();

    // server.json that is a folder cannot be read either (a plain permission test is useless as root).
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("server.json")));
    reason = logOnFailure(folder());
    EXPECT_TRUE(reason.startsWith(file() + QStringLiteral(": Datei: kann nicht gelesen werden"))) << reason.toStdString();
}

// A FIFO would keep the log-on waiting for ever, a link to /dev/zero would fill the memory, and a file of many
// gigabytes as well: each is refused before it is read.
TEST_F(BrokenServerJson, SpecialOrHugeFilesAreRefusedAtOnce)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither FIFOs nor /dev/zero";
#else
    const QString json = dir.filePath(QStringLiteral("server.json"));
    ASSERT_TRUE(specialfiles::makeFifo(json));
    QString reason;
    EXPECT_TRUE(specialfiles::endsWithoutWaiting([&] { reason = logOnFailure(folder()); }, json));
    EXPECT_EQ(reason, file() + QStringLiteral(": Datei: kann nicht gelesen werden (keine gewöhnliche Datei, sondern "
                                              "eine benannte Pipe)"));

    ASSERT_TRUE(QFile::remove(json));
    ASSERT_TRUE(specialfiles::linkToDevZero(json));
    EXPECT_EQ(logOnFailure(folder()),
              file() + QStringLiteral(": Datei: kann nicht gelesen werden (keine gewöhnliche Datei, sondern ein Gerät)"));

    ASSERT_TRUE(QFile::remove(json));
    writeFile(json, "{");
    ASSERT_TRUE(QFile::resize(json, (qint64(1) << 30) + 1));  // sparse, so it costs no disk
    EXPECT_EQ(logOnFailure(folder()), file() + QStringLiteral(": Datei: kann nicht gelesen werden (zu groß: 1073741825 "
                                                              "Bytes, erlaubt sind höchstens 1 GiB)"));
#endif
}

TEST_F(BrokenServerJson, InvalidJsonGivesTheByteOffsetOfTheFault)
{
    // The fault (a missing comma) comes after umlauts, so a character count and a byte count differ.
    const QByteArray json = R"({"archiveRoot": {"name": "Ärztekammer Süd", "path": "S:D" "fullPath": "F"}})";
    const qsizetype fault = json.indexOf(R"("fullPath")");
    const QString reason = failureFor(json);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(.*): Byte (\\d+): kein gültiges JSON \\(.+\\)$")).match(reason);
    ASSERT_TRUE(m.hasMatch()) << reason.toStdString();
    EXPECT_EQ(m.captured(1), file());
    const qsizetype offset = m.captured(2).toLongLong();
    EXPECT_GE(offset, fault - 1) << reason.toStdString();
    EXPECT_LE(offset, fault + 1) << reason.toStdString();

    for (const QByteArray& bad : {QByteArray(), QByteArray("{\"archiveRoot\": "), QByteArray("{'archiveRoot': 1}"),
                                  QByteArray("{\"archiveRoot\": {}} trailing")}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_TRUE(failureFor(bad).contains(QStringLiteral(": kein gültiges JSON"))) << failureFor(bad).toStdString();
    }
}

// What QJsonDocument takes beyond JSON is refused where it stands: an escape JSON does not have ("\A", which
// QJsonDocument takes as "A", so a hand-written Windows path "SRV0\ARCHIVE" would lose its backslashes without a
// word) and a number with a point that has no digit on one side ("2.", which it takes as 2).
TEST_F(BrokenServerJson, WhatJsonDoesNotHaveIsRefusedWhereItStands)
{
    const auto problem = [](QJsonParseError::ParseError error) {
        QJsonParseError e;
        e.error = error;
        return QStringLiteral("kein gültiges JSON (%1)").arg(e.errorString());
    };
    const auto escape = QJsonParseError::IllegalEscapeSequence;
    const auto number = QJsonParseError::IllegalNumber;
    const struct {
        QByteArray json;
        QByteArray at;  // what stands at the byte named; empty: a fault before it is named instead
        QJsonParseError::ParseError error;
    } cases[] = {
        {withUsers({R"({"name": "A", "path": "SRV0\ARCHIVE", "fullPath": "F"})"}), "\\A", escape},
        {withUsers({R"({"name": "Müller\'s", "path": "S:D\\A", "fullPath": "F"})"}), "\\'", escape},
        {R"({"archiveRoot": {"n\ame": "A", "path": "P", "fullPath": "F"}})", "\\a", escape},
        {withUsers({"{\"name\": \"A\\\x01\", \"path\": \"P\", \"fullPath\": \"F\"}"}), "\\\x01", escape},
        {withUsers({"{\"name\": \"A\\\xC3\xA4\", \"path\": \"P\", \"fullPath\": \"F\"}"}), "\\\xC3", escape},
        {withMessages(R"({"kind": 2., "title": "a", "eml": "m/a.eml"})"), "2.", number},
        {withMessages(R"({"kind": 8, "title": "a", "url": "u", "x": [1, -.5]})"), "-.5", number},
        {withMessages(R"({"kind": 8, "title": "a", "url": "u", "x": 1.e5})"), "1.e5", number},
        // Cut short after the escape: still the escape. The parser's own faults, before an escape or in a text
        // cut short without one, are named as the parser names them.
        {R"({"archiveRoot": {"name": "\A)", "\\A", escape},
        {R"({"archiveRoot": {"name" "A", "path": "\A"}})", "", escape},
        {R"({"archiveRoot": {"name": "ab)", "", escape},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.toStdString());
        const QString reason = failureFor(c.json);
        if (c.at.isEmpty()) {
            EXPECT_TRUE(reason.startsWith(file() + QStringLiteral(": Byte "))) << reason.toStdString();
            EXPECT_FALSE(reason.endsWith(problem(c.error))) << reason.toStdString();
        } else {
            EXPECT_EQ(reason,
                      QStringLiteral("%1: Byte %2: %3").arg(file()).arg(c.json.indexOf(c.at)).arg(problem(c.error)));
        }
    }
}

TEST_F(BrokenServerJson, ControlCharactersInTextsAreTakenAsWritten)
{
    const QByteArray json = withMessages("{\"kind\": 2, \"title\": \"Seite\f2\", \"eml\": \"m/a.eml\r\"}")
                                .replace("\"name\": \"A\"", "\"name\": \"A\tB\"");
    ASSERT_EQ(failureFor(json), QString());
    const auto account = logOn(folder());
    ASSERT_TRUE(account);
    const auto user = account->GetArchiveRoot(1)->GetSubArchives()->Item(0);
    EXPECT_EQ(user->Name(), QStringLiteral("A\tB"));
    EXPECT_EQ(user->GetMailItem(user->GetMessages()->Item(0)->Key())->Title(), QStringLiteral("Seite\f2"));
}

TEST_F(BrokenServerJson, MissingRequiredFieldsNameTheirJsonPath)
{
    const struct {
        QByteArray json;
        const char* place;
    } cases[] = {
        {"{}", "archiveRoot"},
        {R"({"archiveroot": {"name": "A", "path": "P", "fullPath": "F"}})", "archiveRoot"},
        {R"({"archiveRoot": {"path": "P", "fullPath": "F"}})", "archiveRoot.name"},
        {withUsers({user(0), user(1), user(2), R"({"name": "D", "fullPath": "F"})", user(4)}),
         "archiveRoot.subArchives[3].path"},
        {withUsers({user(0), R"({"name": "B", "path": "S:D\\B", "fullPath": "F", "subArchives": [{"name": "x", "path": "S:D\\B\\1"}]})"}),
         "archiveRoot.subArchives[1].subArchives[0].fullPath"},
        {withMessages(R"({"kind": 2, "title": "a", "eml": "m/a.eml"}, {"kind": 8, "title": "b", "url": "u"}, {"title": "c"})"),
         "archiveRoot.subArchives[0].messages[2].kind"},
        {withMessages(R"({"kind": 1})"), "archiveRoot.subArchives[0].messages[0].title"},
        {withMessages(R"({"kind": 2, "title": "Mail"})"), "archiveRoot.subArchives[0].messages[0].eml"},
        {withMessages(R"({"kind": 3, "title": "Fax", "eml": "m/a.eml"})"), "archiveRoot.subArchives[0].messages[0].faxImage"},
        {withMessages(R"({"kind": 8, "title": "Link"})"), "archiveRoot.subArchives[0].messages[0].url"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.toStdString());
        EXPECT_EQ(failureFor(c.json), QStringLiteral("%1: %2: Pflichtfeld fehlt").arg(file(), QLatin1String(c.place)));
    }
}

TEST_F(BrokenServerJson, WrongTypesNameTheirPlaceAndTheExpectedType)
{
    const struct {
        QByteArray json;
        const char* place;
        const char* problem;
    } cases[] = {
        {"[]", "oberste Ebene", "Objekt erwartet"},
        {R"([{"archiveRoot": {"name": "A", "path": "P", "fullPath": "F"}}])", "oberste Ebene", "Objekt erwartet"},
        {R"({"archiveRoot": []})", "archiveRoot", "Objekt erwartet"},
        {R"({"archiveRoot": {"name": 7, "path": "P", "fullPath": "F"}})", "archiveRoot.name", "Text erwartet"},
        {R"({"archiveRoot": {"name": "A", "path": null, "fullPath": "F"}})", "archiveRoot.path", "Text erwartet"},
        {R"({"archiveRoot": {"name": "A", "path": "P", "fullPath": ["F"]}})", "archiveRoot.fullPath", "Text erwartet"},
        {R"({"archiveRoot": {"name": "A", "path": "P", "fullPath": "F", "subArchives": {}}})", "archiveRoot.subArchives",
         "Liste erwartet"},
        {withUsers({user(0), user(1), "\"User 2\""}), "archiveRoot.subArchives[2]", "Objekt erwartet"},
        {withUsers({R"({"name": "A", "path": "S:D\\A", "fullPath": "F", "messages": "keine"})"}),
         "archiveRoot.subArchives[0].messages", "Liste erwartet"},
        {withMessages(R"({"kind": 2, "title": "a", "eml": "m/a.eml"}, 5)"), "archiveRoot.subArchives[0].messages[1]",
         "Objekt erwartet"},
        {withMessages(R"({"kind": "2", "title": "a", "eml": "m/a.eml"})"), "archiveRoot.subArchives[0].messages[0].kind",
         "ganze Zahl erwartet"},
        {withMessages(R"({"kind": 2.5, "title": "a", "eml": "m/a.eml"})"), "archiveRoot.subArchives[0].messages[0].kind",
         "ganze Zahl erwartet"},
        {withMessages(R"({"kind": 1e12, "title": "a"})"), "archiveRoot.subArchives[0].messages[0].kind",
         "ganze Zahl erwartet"},
        {withMessages(R"({"kind": 2, "title": "a", "eml": 3})"), "archiveRoot.subArchives[0].messages[0].eml",
         "Text erwartet"},
        {withMessages(R"({"kind": 5, "title": "a", "url": false})"), "archiveRoot.subArchives[0].messages[0].url",
         "Text erwartet"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json.toStdString());
        EXPECT_EQ(failureFor(c.json),
                  QStringLiteral("%1: %2: %3").arg(file(), QLatin1String(c.place), QLatin1String(c.problem)));
    }
}

TEST_F(BrokenServerJson, APathGivenTwiceIsRefused)
{
    // Found by path later, the second archive would be unreachable and the first opened in its stead.
    const QByteArray twice = user(1).replace("User 1", "Zweiter");
    EXPECT_EQ(failureFor(withUsers({user(0), user(1), user(2), twice})),
              file() + QStringLiteral(": archiveRoot.subArchives[3].path: Pfad schon vergeben in archiveRoot.subArchives[1]"));

    // Paths differing only in case or a trailing backslash are different paths.
    QByteArray upper = user(1), trailing = user(1);
    upper.replace("S:D\\\\U", "S:D\\\\u");
    trailing.replace("0000001\"", "0000001\\\\\"");
    EXPECT_EQ(failureFor(withUsers({user(1), upper, trailing})), QString());
}

TEST_F(BrokenServerJson, SmallestValidFilesLogOn)
{
    EXPECT_EQ(failureFor(R"({"archiveRoot": {"name": "", "path": "", "fullPath": ""}})"), QString());
    // Unknown keys are ignored, a byte-order mark is allowed, message files are not looked at when logging on.
    EXPECT_EQ(failureFor("\xEF\xBB\xBF" + withMessages(R"({"kind": 2, "title": "t", "eml": "fehlt.eml", "x": 1})")
                         .replace("{\"archiveRoot\"", "{\"version\": 3, \"archiveRoot\"")),
              QString());
    const auto account = logOn(folder());
    ASSERT_TRUE(account);
    EXPECT_EQ(account->GetArchiveRoot(1)->GetSubArchives()->Count(), 1);
}
