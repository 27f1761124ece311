// Builds a demo server folder: server.json, the users' archive folders under shares/, and the message
// files (e-mails, fax images) the archives list. Deterministic for a seed.

#include "demo_server.h"

#include "archive_generator.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cstdio>
#include <stdexcept>

namespace {

const char* const kFirst[] = {"Anna", "Bernd", "Claudia", "Dieter", "Elke", "Frank", "Gabriele", "Hans",
                              "Ingrid", "Jürgen", "Karin", "Lars", "Monika", "Norbert", "Oliver", "Petra",
                              "Ralf", "Sabine", "Thomas", "Ursula", "Volker", "Wiebke", "Jörg", "Zoe",
                              "Günter", "Heike", "Stefan", "Martina", "Uwe", "Birgit"};
const char* const kLast[] = {"Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner", "Becker",
                             "Schulz", "Hoffmann", "Schäfer", "Koch", "Bauer", "Richter", "Klein", "Wolf",
                             "Schröder", "Neumann", "Schwarz", "Zimmermann", "Braun", "Krüger", "Hofmann",
                             "Hartmann", "Lange", "Schmitt", "Werner", "Krause", "Meier", "Lehmann"};
const char* const kSubjects[] = {"Angebot für das zweite Quartal", "Rückfrage zur Rechnung", "Besprechung am Montag",
                                 "Urlaubsvertretung", "Lieferung verzögert sich", "Protokoll der Sitzung",
                                 "Änderungen im Vertrag", "Grüße aus München", "Bestellung Nr. 4711",
                                 "Termin für die Wartung"};
const char* const kFolders[] = {"Eingang", "Gesendet", "Projekte", "Kunden", "Ablage", "Rechnungen", "Privat",
                                "Archiv 2019", "Lieferanten", "Verträge"};

// Attachment names as a Windows server writes them into the ".$00" index files: Windows-1252 bytes, so
// umlauts are single bytes and "€" is 0x80. Upper- and lower-case extensions, names ending in a dot and
// names without a dot are all among them, so the classification window has something to show.
const char* const kManyTypes[] = {
    "Rechnung 2023.pdf", "Preis\xFC" "bersicht.PDF", "Angebot.Pdf", "Brief an M\xFC" "ller.doc", "Vertrag.DOCX",
    "Kalkulation 5\x80.xlsx", "Umsatz.XLS", "Foto.jpg", "Urlaub.JPG", "Logo.png", "Scan.tif", "Plan.dwg",
    "Notiz.txt", "Stra\xDF" "enkarte.gif", "Archiv.zip", "sicherung.tar.gz", "Pr\xE4" "sentation.pptx",
    "Termin.ics", "Kontakt.vcf", "Mail.eml", "Nachricht.msg", "Seite.html", "Daten.xml", "Export.csv",
    "Skizze.bmp", "Ansage.wav", "Film.mp4", "Buch.epub", "Formular.odt", "Tabelle.ods", "Setup.exe",
    "ohne Endung", "Kosten \x80 gesamt", "endet mit Punkt.", "\xC4nderungen.\xE4nd", "\xC4nderungen.\xC4ND",
};
const char* const kFewTypes[] = {
    "Rechnung.pdf", "Mahnung.PDF", "Gr\xFC\xDF" "e.eml", "Foto.jpg", "Lieferschein", "Preisliste \x80.xls",
};

struct Builder {
    QDir out;
    QRandomGenerator rng;
    bool lean = false;
    int messageCounter = 0;
    int entriesTarget = 0;  // >0: every user archive gets at least this many entries
    bool noIndex = false;   // the next archive's generated attachments get no index records

    QString pick(const char* const* list, int n) { return QString::fromUtf8(list[rng.bounded(n)]); }

    // A MIME encoded-word, so the German subject survives any mail reader.
    static QByteArray encodedWord(const QString& text)
    {
        return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
    }

    QString writeEml(const QString& subject, const QString& from)
    {
        const QString name = QStringLiteral("messages/mail%1.eml").arg(++messageCounter, 5, 10, QLatin1Char('0'));
        QByteArray eml;
        eml += "From: " + encodedWord(from) + " <" + QByteArray::number(messageCounter) + "@example.org>\r\n";
        eml += "To: info@example.org\r\n";
        eml += "Subject: " + encodedWord(subject) + "\r\n";
        eml += "Date: Mon, 04 Mar 2019 10:15:00 +0100\r\n";
        eml += "Message-ID: <demo" + QByteArray::number(messageCounter) + "@example.org>\r\n";
        eml += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
        eml += QStringLiteral("Guten Tag,\r\n\r\nanbei die Unterlagen zu \"%1\".\r\n\r\nMit freundlichen Grüßen\r\n%2\r\n")
                   .arg(subject, from)
                   .toUtf8();
        writeBytes(name, eml);
        return name;
    }

    // A baseline TIFF: 1 bit per pixel, uncompressed, one strip, a few stripes as the "page".
    QString writeFax()
    {
        const QString name = QStringLiteral("messages/fax%1.tif").arg(++messageCounter, 5, 10, QLatin1Char('0'));
        const quint32 width = 64, height = 32, rowBytes = width / 8;
        QByteArray pixels(int(rowBytes * height), '\0');
        for (quint32 y = 0; y < height; ++y)
            for (quint32 x = 0; x < rowBytes; ++x)
                pixels[int(y * rowBytes + x)] = char((y / 4 + x) % 3 == 0 ? 0xFF : 0x00);
        QByteArray tiff;
        auto u16 = [&tiff](quint16 v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
        auto u32 = [&tiff](quint32 v) { for (int i = 0; i < 4; ++i) tiff.append(char((v >> (8 * i)) & 0xFF)); };
        const quint16 entries = 9;
        const quint32 ifdOffset = 8;
        const quint32 dataOffset = ifdOffset + 2 + entries * 12 + 4;
        tiff.append("II*\0", 4);
        u32(ifdOffset);
        u16(entries);
        auto tag = [&](quint16 id, quint16 type, quint32 value) { u16(id); u16(type); u32(1); u32(value); };
        tag(256, 4, width);          // ImageWidth
        tag(257, 4, height);         // ImageLength
        tag(258, 3, 1);              // BitsPerSample
        tag(259, 3, 1);              // Compression: none
        tag(262, 3, 0);              // Photometric: white is zero
        tag(273, 4, dataOffset);     // StripOffsets
        tag(278, 4, height);         // RowsPerStrip
        tag(279, 4, quint32(pixels.size()));  // StripByteCounts
        tag(296, 3, 2);              // ResolutionUnit: inch (no resolution given)
        u32(0);
        tiff += pixels;
        writeBytes(name, tiff);
        return name;
    }

    void writeBytes(const QString& relative, const QByteArray& bytes)
    {
        const QString path = out.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            throw std::runtime_error(("cannot write " + path).toStdString());
    }

    // More messages in an archive folder, each with attachment files and an index naming them, drawn from
    // `names` (all of them at least once, in order, then at random).
    void addAttachmentVariety(const QString& serverPath, const char* const* names, int n, int attachments)
    {
        QString local = serverPath;
        local.replace(QLatin1Char(':'), QLatin1Char('/'));
        local.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const std::filesystem::path folder(out.filePath(QStringLiteral("shares/") + local).toStdString());
        int written = 0;
        for (int m = 0; written < attachments; ++m) {
            const std::string id = QStringLiteral("7E%1").arg(m, 6, 16, QLatin1Char('0')).toUpper().toStdString();
            const std::filesystem::path message = folder / (id + ".001");
            gen::writeFile(message, 800 + rng.bounded(4000));
            // Messages of 2015 to 2023, the same for the same seed.
            gen::setLastWrite(message, 1420070400 + std::int64_t(rng.bounded(9u * 365 * 86400)));
            std::vector<std::string> indexNames;
            const int perMessage = 1 + int(rng.bounded(4));
            for (int a = 0; a < perMessage && written < attachments; ++a, ++written) {
                indexNames.emplace_back(names[written < n ? written : int(rng.bounded(n))]);
                char ext[8];
                std::snprintf(ext, sizeof ext, ".$%02X", unsigned(a + 1));
                gen::writeFile(folder / (id + ext), 2048 + rng.bounded(512 * 1024));
            }
            gen::writeAttachmentIndex(folder / (id + ".$00"), indexNames);
        }
    }

    QJsonArray messages(const QString& owner)
    {
        QJsonArray list;
        const int n = lean ? 2 : 3 + rng.bounded(6);
        for (int i = 0; i < n; ++i) {
            const int kindPick = rng.bounded(10);
            QJsonObject m;
            const QString subject = pick(kSubjects, int(std::size(kSubjects)));
            m[QStringLiteral("title")] = subject;
            if (kindPick < 5) {
                m[QStringLiteral("kind")] = 2;
                m[QStringLiteral("eml")] = writeEml(subject, owner);
            } else if (kindPick < 7) {
                m[QStringLiteral("kind")] = 3;
                m[QStringLiteral("title")] = QStringLiteral("Fax von ") + owner;
                m[QStringLiteral("faxImage")] = writeFax();
            } else if (kindPick < 9) {
                m[QStringLiteral("kind")] = 8;
                m[QStringLiteral("title")] = QStringLiteral("Link: ") + subject;
                m[QStringLiteral("url")] = QStringLiteral("https://www.example.org/dokumente/%1").arg(rng.bounded(10000));
            } else {
                m[QStringLiteral("kind")] = rng.bounded(2) ? 1 : 5;  // voice and other kinds: not exported
            }
            list.append(m);
        }
        return list;
    }

    gen::ArchiveOptions optionsFor(bool large)
    {
        gen::ArchiveOptions o;
        o.sparse = true;
        if (entriesTarget > 0) {
            // About 40 entries per folder level: messages, their index files, attachments, other files.
            o.messages = 40;
            o.attachments = 30;
            o.folders = 5;
            o.depth = 1;
            while (true) {
                long folders = 1, level = 1;
                for (int d = 0; d < o.depth; ++d) { level *= o.folders; folders += level; }
                if (folders * 120 >= entriesTarget)
                    break;
                o.folders += 3;
                if (o.folders > 20) { o.folders = 5; ++o.depth; }
            }
            return o;
        }
        if (lean) {
            o.messages = 2; o.attachments = 1; o.otherFiles = 1; o.folders = 0; o.depth = 0; o.dotFolder = false;
            return o;
        }
        if (large) {
            // About a gigabyte each: enough to stand out, small enough that the whole demo stays a few
            // gigabytes of (sparse) apparent size.
            o.messages = 150 + rng.bounded(250);
            o.attachments = 20 + rng.bounded(30);
            o.attachmentMin = 64 * 1024;
            o.attachmentMax = 4 * 1024 * 1024;
            o.folders = 3;
            o.depth = 2;
        } else {
            o.messages = 5 + rng.bounded(40);
            o.attachments = rng.bounded(20);
            o.attachmentMax = 2 * 1024 * 1024;
            o.folders = rng.bounded(3);
            o.depth = 1;
        }
        return o;
    }

    // One archive with its folder on disk; sub-archives down to `depthLeft` more levels.
    QJsonObject archive(const QString& name, const QString& serverPath, const QString& fullPath, bool large,
                        int depthLeft, const QString& owner)
    {
        QString local = serverPath;
        local.replace(QLatin1Char(':'), QLatin1Char('/'));
        local.replace(QLatin1Char('\\'), QLatin1Char('/'));
        gen::ArchiveOptions options = optionsFor(large);
        options.attachmentIndex = options.attachmentIndex && !noIndex;
        noIndex = false;
        gen::generateArchive(std::filesystem::path(out.filePath(QStringLiteral("shares/") + local).toStdString()),
                             options, rng.generate64());
        QJsonObject a;
        a[QStringLiteral("name")] = name;
        a[QStringLiteral("path")] = serverPath;
        a[QStringLiteral("fullPath")] = fullPath;
        a[QStringLiteral("messages")] = messages(owner);
        if (depthLeft > 0 && entriesTarget == 0) {
            QJsonArray subs;
            const int n = rng.bounded(4);
            for (int i = 0; i < n; ++i) {
                const QString subName = pick(kFolders, int(std::size(kFolders)));
                const QString subPath = serverPath + QStringLiteral("\\SUB%1").arg(i + 1);
                subs.append(archive(subName, subPath, subPath + QStringLiteral("\\") + subName, false,
                                    depthLeft - 1 - int(rng.bounded(2)), owner));
            }
            if (!subs.isEmpty())
                a[QStringLiteral("subArchives")] = subs;
        }
        return a;
    }
};

}  // namespace

namespace demo {

int buildDemoServer(const QString& folder, const DemoOptions& options)
{
    Builder b;
    b.out = QDir(folder);
    if (QFile::exists(b.out.filePath(QStringLiteral("server.json"))))
        throw std::runtime_error((folder + QStringLiteral(" already holds a server")).toStdString());
    if (!QDir().mkpath(b.out.path()))
        throw std::runtime_error(("cannot create " + folder).toStdString());
    b.rng.seed(options.seed);
    b.lean = options.lean;
    int users = options.users;
    if (options.archives >= 0) {
        users = options.archives;
        b.entriesTarget = options.entries;
        b.lean = true;
    }

    QJsonArray userList;
    for (int i = 0; i < users; ++i) {
        const QString owner = b.pick(kFirst, int(std::size(kFirst))) + QLatin1Char(' ') + b.pick(kLast, int(std::size(kLast)));
        const QString id = QStringLiteral("%1").arg(0x00A10000u + quint32(i) * 0x11u + b.rng.bounded(0x10u), 8, 16, QLatin1Char('0')).toUpper();
        const QString path = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\") + id;
        const bool large = !b.lean && i % 12 == 3;
        b.noIndex = !b.lean && i == 1;  // only the few types added below
        userList.append(b.archive(owner, path, QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + id, large,
                                  b.lean ? 0 : 3, owner));
        // The first user's attachments fall into more than 21 types, the second's into a handful.
        if (!b.lean && i == 0)
            b.addAttachmentVariety(path, kManyTypes, int(std::size(kManyTypes)), 160);
        else if (!b.lean && i == 1)
            b.addAttachmentVariety(path, kFewTypes, int(std::size(kFewTypes)), 25);
    }
    QJsonObject root;
    root[QStringLiteral("name")] = QStringLiteral("Archiv");
    root[QStringLiteral("path")] = QStringLiteral("SRV01:DAVID\\ARCHIVE");
    root[QStringLiteral("fullPath")] = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE");
    root[QStringLiteral("subArchives")] = userList;
    QJsonObject top;
    top[QStringLiteral("archiveRoot")] = root;
    // Written last and whole: a folder with a server.json is a finished server.
    QSaveFile f(b.out.filePath(QStringLiteral("server.json")));
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write server.json");
    f.write(QJsonDocument(top).toJson(QJsonDocument::Indented));
    if (!f.commit())
        throw std::runtime_error("cannot write server.json");
    return users;
}

}  // namespace demo
