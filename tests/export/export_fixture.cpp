#include "export_fixture.h"

#include "server/standin/standin_server.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QRandomGenerator>

#include <stdexcept>

namespace exporttest {

namespace {

QJsonObject archiveJson(const QString& folder, const Arch& a, int& counter)
{
    QJsonObject o;
    o[QStringLiteral("name")] = a.name;
    o[QStringLiteral("path")] = a.path;
    o[QStringLiteral("fullPath")] = a.fullPath;
    QJsonArray messages;
    for (const Msg& m : a.messages) {
        QJsonObject j;
        j[QStringLiteral("kind")] = m.kind;
        j[QStringLiteral("title")] = m.title;
        if (m.kind == 2 || m.kind == 3) {
            const QString name = QStringLiteral("messages/m%1.%2").arg(++counter).arg(m.kind == 2 ? "eml" : "tif");
            j[QLatin1String(m.kind == 2 ? "eml" : "faxImage")] = name;
            if (!m.missingFile)
                writeBytes(folder + QLatin1Char('/') + name, m.body);
        }
        if (m.kind == 8)
            j[QStringLiteral("url")] = m.url;
        messages.append(j);
    }
    o[QStringLiteral("messages")] = messages;
    QJsonArray subs;
    for (const Arch& s : a.subs)
        subs.append(archiveJson(folder, s, counter));
    o[QStringLiteral("subArchives")] = subs;
    return o;
}

}  // namespace

void writeServer(const QString& folder, const QList<Arch>& users)
{
    Arch root{QStringLiteral("Archiv"), QStringLiteral("SRV:DAVID\\ARCHIVE"), QStringLiteral("\\\\SRV\\DAVID\\ARCHIVE"),
              {}, users};
    QDir(folder + QStringLiteral("/messages")).removeRecursively();
    int counter = 0;
    const QJsonObject top{{QStringLiteral("archiveRoot"), archiveJson(folder, root, counter)}};
    writeBytes(folder + QStringLiteral("/server.json"), QJsonDocument(top).toJson());
}

std::shared_ptr<Account> logOn(const QString& folder)
{
    auto api = standin::createStandinApi(folder);
    api->PrepareLogon(1);
    auto account = api->Logon({}, {}, {}, {}, {}, QStringLiteral("AUTH"));
    if (!account)
        throw std::runtime_error("no account");
    return account;
}

QStringList listTree(const QString& folder)
{
    QStringList all;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        it.next();
        QString name = base.relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            name += QLatin1Char('/');
        all << name;
    }
    all.sort();
    return all;
}

QByteArray readBytes(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeBytes(const QString& file, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + file.toStdString());
}

QByteArray noise(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

QByteArray prose(int size, quint32 seed)
{
    static const char* words[] = {"Rechnung", "Angebot", "bitte", "und", "der", "Lieferung", "vom", "Montag",
                                  "freundlichen", "Grüßen", "Termin", "Anlage"};
    QRandomGenerator rng(seed);
    QByteArray text;
    while (text.size() < size)
        text += QByteArray(words[rng.bounded(12)]) + (rng.bounded(9) ? " " : ".\r\n");
    text.truncate(size);
    return text;
}

QString missingZipReaders()
{
    QStringList missing;
    for (const char* program : {"python3", "unzip", "7z"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            missing << QString::fromLatin1(program);
    return missing.join(QStringLiteral(", "));
}

int run(const QString& program, const QStringList& arguments, QByteArray* out, const QByteArray& input,
        const QStringList& extraEnvironment)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : extraEnvironment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForStarted(10000))
        return -1;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (out)
        *out = p.readAllStandardOutput() + p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
}

}  // namespace exporttest
