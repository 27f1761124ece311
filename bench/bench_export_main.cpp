// For bench/export_run: builds the benchmark's server once, and drives the real export window offscreen.
//
//   arvelo-bench-export build DIR
//       a stand-in server in DIR: one user archive with 10,000 messages (e-mails of 2 to 60 KiB, links, faxes)
//       spread over three levels of sub-archives
//   arvelo-bench-export run --server DIR --out DIR [--zip PASSWORD]
//       exports that user with sub-archives through the window's "Exportieren" and prints the time and the
//       worst lateness of a 5 ms timer on the window's event loop over the whole run, ZIP writing included
//
// Prints "key: value" lines for the script.

#include "export/temlexport.h"
#include "platform/program_folder.h"
#include "server/standin/standin_server.h"
#include "ui_temlexport.h"
#include "latency_probe.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const QString kUser = QStringLiteral("BENCH:DAVID\\ARCHIVE\\USER\\00B0E001");

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// An e-mail as a mail program writes it: headers, a text part and, for the larger ones, a base64 attachment.
QByteArray email(QRandomGenerator& rng, int index, int size)
{
    static const char* words[] = {"Rechnung", "Angebot", "bitte", "und", "der", "Lieferung", "vom", "Montag",
                                  "freundlichen", "Grüßen", "Termin", "Anlage", "Bestellung", "Auftrag", "die",
                                  "wir", "Ihnen", "gern", "zum", "Preis", "Müller", "Straße", "Woche", "nächste"};
    QByteArray m = "From: Absender " + QByteArray::number(index) + " <a" + QByteArray::number(index)
                   + "@example.org>\r\nTo: info@example.org\r\nSubject: Nachricht " + QByteArray::number(index)
                   + "\r\nDate: Mon, 04 Mar 2019 10:15:00 +0100\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                     "Content-Type: text/plain; charset=UTF-8\r\n\r\n";
    const int text = size > 8000 ? size / 3 : size;
    while (m.size() < text)
        m += QByteArray(words[rng.bounded(24)]) + (rng.bounded(10) ? " " : ".\r\n");
    if (size > 8000) {
        m += "\r\n--b\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        QByteArray raw((size - m.size()) * 3 / 4, Qt::Uninitialized);
        for (char& c : raw)
            c = char(rng.bounded(rng.bounded(4) ? 64 : 256));  // partly compressible, like a PDF
        const QByteArray b64 = raw.toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 76)
            m += b64.mid(i, 76) + "\r\n";
        m += "--b--\r\n";
    }
    return m;
}

int build(const QString& folder)
{
    QRandomGenerator rng(20261209);
    constexpr int kMessages = 10000;
    // 1 user archive, 4 sub-archives, 3 below each, 2 below those: 41 archives in three levels below the user.
    struct Node {
        QString name, path;
        int level;
        QList<int> subs;
    };
    QList<Node> nodes{{QStringLiteral("Bench User"), kUser, 0, {}}};
    for (int a = 0, end = 1; a < end; ++a) {
        const int children = nodes[a].level == 0 ? 4 : nodes[a].level == 1 ? 3 : nodes[a].level == 2 ? 2 : 0;
        for (int c = 0; c < children; ++c) {
            const QString name = QStringLiteral("Ordner %1-%2").arg(a).arg(c);
            nodes[a].subs << int(nodes.size());
            nodes << Node{name, nodes[a].path + QStringLiteral("\\S%1").arg(nodes.size()), nodes[a].level + 1, {}};
        }
        end = int(nodes.size());
    }
    QList<QJsonArray> messages(nodes.size());
    for (int i = 0; i < kMessages; ++i) {
        const int archive = i % int(nodes.size());
        const int pick = rng.bounded(100);
        QJsonObject m;
        m[QStringLiteral("title")] = QStringLiteral("Nachricht %1").arg(i);
        if (pick < 62) {
            const QString file = QStringLiteral("messages/%1/m%2.eml").arg(i / 1000).arg(i);
            if (!writeFile(folder + QLatin1Char('/') + file, email(rng, i, 2048 + int(rng.bounded(58 * 1024)))))
                return 1;
            m[QStringLiteral("kind")] = 2;
            m[QStringLiteral("eml")] = file;
        } else if (pick < 82) {
            m[QStringLiteral("kind")] = 8;
            m[QStringLiteral("url")] = QStringLiteral("https://www.example.org/seite/%1?ref=archiv").arg(i);
        } else if (pick < 95) {
            const QString file = QStringLiteral("messages/%1/f%2.tif").arg(i / 1000).arg(i);
            QByteArray tif("II*\0", 4);
            tif.resize(8 * 1024 + int(rng.bounded(40 * 1024)));
            for (qsizetype k = 4; k < tif.size(); ++k)
                tif[k] = char(rng.bounded(256));  // G4 fax data is already compressed
            if (!writeFile(folder + QLatin1Char('/') + file, tif))
                return 1;
            m[QStringLiteral("kind")] = 3;
            m[QStringLiteral("faxImage")] = file;
        } else {
            m[QStringLiteral("kind")] = 7;
        }
        messages[archive].append(m);
    }
    std::function<QJsonObject(int)> json = [&](int n) {
        QJsonObject o{{QStringLiteral("name"), nodes[n].name}, {QStringLiteral("path"), nodes[n].path},
                      {QStringLiteral("fullPath"), nodes[n].path}, {QStringLiteral("messages"), messages[n]}};
        QJsonArray subs;
        for (int s : nodes[n].subs)
            subs.append(json(s));
        o[QStringLiteral("subArchives")] = subs;
        return o;
    };
    const QJsonObject root{{QStringLiteral("name"), QStringLiteral("Archiv")},
                           {QStringLiteral("path"), QStringLiteral("BENCH:DAVID\\ARCHIVE")},
                           {QStringLiteral("fullPath"), QStringLiteral("BENCH:DAVID\\ARCHIVE")},
                           {QStringLiteral("subArchives"), QJsonArray{json(0)}}};
    if (!writeFile(folder + QStringLiteral("/server.json"),
                   QJsonDocument(QJsonObject{{QStringLiteral("archiveRoot"), root}}).toJson()))
        return 1;
    std::printf("archives: %lld\nmessages: %d\n", static_cast<long long>(nodes.size()), kMessages);
    return 0;
}

int runExport(const QString& server, const QString& out, const std::optional<QString>& zipPassword)
{
    auto api = standin::createStandinApi(server);
    api->PrepareLogon(1);
    std::shared_ptr<Account> account = api->Logon({}, {}, {}, {}, {}, QStringLiteral("AUTH"));
    if (!account) {
        std::fprintf(stderr, "arvelo-bench-export: no account\n");
        return 1;
    }
    QTemporaryDir programFolder;
    platform::setProgramFolder(programFolder.path());

    TEMLExport window;
    auto record = std::make_shared<TTobData>();
    record->Pfad = kUser;
    record->FullPath = kUser;
    window.prepare(ArchiveSelection{record, 0, account, {}});
    window.show();
    Ui::TEMLExport* ui = window.form();
    ui->txtExportverzeichnis->setText(out);
    ui->chkSubArchive->setChecked(true);
    ui->chkTypeFax->setChecked(true);
    if (zipPassword) {
        ui->chkZIP->setChecked(true);
        window.chkZIPClick();
        ui->txtPasswort->setText(*zipPassword);
    }
    // A box would mean the run did not go through: note it and close it.
    int boxes = 0;
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "arvelo-bench-export: %s\n", qPrintable(box->text()));
            ++boxes;
            box->reject();
        }
    });
    boxCloser.start(50);
    QApplication::processEvents();

    LatencyProbe probe;
    QElapsedTimer clock;
    probe.start();
    clock.start();
    ui->Button2->click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    probe.stop();
    std::printf("seconds: %.4f\nworst_input_latency_ms: %.1f\nexported: %d\n", seconds, probe.worstMs(),
                window.ExportedCount);
    return boxes ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("build"))
        return build(args[2]);
    if (args.size() >= 6 && args[1] == QLatin1String("run") && args[2] == QLatin1String("--server")
        && args[4] == QLatin1String("--out")) {
        std::optional<QString> password;
        if (args.size() == 8 && args[6] == QLatin1String("--zip"))
            password = args[7];
        return runExport(args[3], args[5], password);
    }
    std::fprintf(stderr, "usage: arvelo-bench-export build DIR | run --server DIR --out DIR [--zip PASSWORD]\n");
    return 64;
}
