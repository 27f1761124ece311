#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// What the stand-in server keeps of its server.json: the archives and their messages, nothing of the JSON
// itself. The format is in docs/server-folder.md.
namespace standin {

struct ServerJsonMessage {
    int kind = 0;
    QString title;
    QString eml;
    QString faxImage;
    QString url;

    bool operator==(const ServerJsonMessage&) const = default;
};

struct ServerJsonArchive {
    QString name;
    QString path;
    QString fullPath;
    std::vector<int> subs;  // indexes into ServerJson::archives
    std::vector<ServerJsonMessage> messages;

    bool operator==(const ServerJsonArchive&) const = default;
};

struct ServerJson {
    std::vector<ServerJsonArchive> archives;  // depth first; [0] is the archive root
    QHash<QString, int> byPath;
};

// Reads server.json's text; `file` names it in the reasons. A file that cannot be used throws ServerError
// naming the place in it and the problem.
ServerJson readServerJson(const QByteArray& json, const QString& file);

// The two ways readServerJson goes, for the tests. The direct one reads the text in one pass without
// building a document, and gives up (nullopt) at anything it does not take in full: every fault, but also
// a key given twice, a number with an exponent. The document one reads any file through
// QJsonDocument and names the place of a fault; it costs several times the file in memory.
std::optional<ServerJson> readServerJsonDirect(const QByteArray& json);
ServerJson readServerJsonDocument(const QByteArray& json, const QString& file);

}  // namespace standin
