#include "export/export_cli.h"

#include "platform/command_line.h"
#include "platform/excerpt.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

constexpr qint64 kMaxPasswordFile = 4 * 1024;

}  // namespace

ExportCliParse parseExportOptions(const QStringList& arguments)
{
    ExportCliParse result;
    ExportCliOptions& o = result.options;
    platform::UsageTexts texts{QStringLiteral("Unbekannte Angabe: %1"), QStringLiteral("Unbekannte Angabe: %1"),
                               QStringLiteral("%1 braucht einen Wert."), QStringLiteral("%1 nimmt keinen Wert.")};
    texts.emptyIsMissing = true;
    platform::CommandLine line(texts);
    line.alone({QStringLiteral("--help"), QStringLiteral("-h")}, o.help)
        .alone({QStringLiteral("--version")}, o.version)
        .flag(QStringLiteral("--sub"), o.sub)
        .flag(QStringLiteral("--display-names"), o.displayNames)
        .flag(QStringLiteral("--zip"), o.zip)
        .flag(QStringLiteral("--verbose"), o.verbose)
        .text(QStringLiteral("--server"), o.server)
        .text(QStringLiteral("--archive"), o.archive)
        .text(QStringLiteral("--out"), o.out)
        .value(QStringLiteral("--password-env"),
               [&o](const QString& value) {
                   o.passwordEnv = value;
                   o.passwordFile.clear();
                   return QString();
               })
        .value(QStringLiteral("--password-file"),
               [&o](const QString& value) {
                   o.passwordFile = value;
                   o.passwordEnv.clear();
                   return QString();
               })
        .value(QStringLiteral("--types"),
               [&o](const QString& value) {
                   o.mail = o.link = o.fax = false;
                   for (const QString& type : value.split(QLatin1Char(','))) {
                       const QString t = type.trimmed();
                       if (t == QLatin1String("mail"))
                           o.mail = true;
                       else if (t == QLatin1String("link"))
                           o.link = true;
                       else if (t == QLatin1String("fax"))
                           o.fax = true;
                       else
                           return QStringLiteral("--types kennt %1 nicht (mail, link, fax).")
                               .arg(t.isEmpty() ? QStringLiteral("\"\"") : platform::excerpt(t));
                   }
                   return QString();
               })
        .optionalValue(QStringLiteral("--password"), [](const std::optional<QString>&) {
            return QStringLiteral("Das Passwort gehört nicht auf die Befehlszeile (jeder sieht es in der "
                                  "Prozessliste): --password-env NAME oder --password-file DATEI.");
        });
    const auto fail = [&result](const QString& text) {
        result.error = text;
        return result;
    };
    if (const QString error = line.parse(arguments); !error.isEmpty())
        return fail(error);
    if (o.help || o.version)
        return result;
    if (o.archive.isEmpty())
        return fail(QStringLiteral("--archive fehlt."));
    if (o.out.isEmpty())
        return fail(QStringLiteral("--out fehlt."));
    if (!o.zip && (!o.passwordEnv.isEmpty() || !o.passwordFile.isEmpty()))
        return fail(QStringLiteral("Ein Passwort gilt nur mit --zip."));
    return result;
}

QString exportHelpText()
{
    return QStringLiteral(
        "Aufruf: arvelo-export --archive PFAD --out VERZEICHNIS [--server VERZEICHNIS] [--sub]\n"
        "                      [--display-names] [--types mail,link,fax] [--zip]\n"
        "                      [--password-env NAME | --password-file DATEI] [--verbose]\n"
        "\n"
        "Exportiert die Nachrichten eines Archivs wie der Nachrichten-Export des Fensters: E-Mails als\n"
        ".eml, Links als .url, Faxe als .tif, auf Wunsch mit Unterarchiven und als eine ZIP-Datei.\n"
        "\n"
        "  --archive PFAD        das Archiv, wie der Server es nennt (SRV01:DAVID\\ARCHIVE\\USER\\00A10037)\n"
        "  --out VERZEICHNIS     das Exportverzeichnis; es wird angelegt, wenn es fehlt\n"
        "  --server VERZEICHNIS  Serverordner; sonst ARVELO_SERVER; sonst unter Windows die Server-Komponente\n"
        "                        (DVOBJAPILib.DvISEAPI), wo sie registriert ist; sonst demo-server neben\n"
        "                        dem Programm\n"
        "  --sub                 Unterarchive einbeziehen (in Unterordnern, auf jeder Ebene)\n"
        "  --display-names       Unterordner nach dem angezeigten Namen statt nach der Position benennen\n"
        "  --types LISTE         Nachrichtentypen, durch Komma getrennt: mail, link, fax (Vorgabe: mail,link)\n"
        "  --zip                 zusätzlich EML-Export.zip, die Dateien liegen dann in Export-Dateien/\n"
        "  --password-env NAME   ZIP-Passwort aus der Umgebungsvariablen NAME\n"
        "  --password-file DATEI ZIP-Passwort aus der ersten Zeile der Datei (UTF-8)\n"
        "  --verbose             auf der Standardfehlerausgabe sagen, an welchem Server angemeldet wurde\n"
        "  -h, --help            dieser Text\n"
        "  --version             die Version\n"
        "\n"
        "Das Passwort steht nie auf der Befehlszeile. Es darf nur Zeichen aus Windows-1252 enthalten.\n"
        "\n"
        "Exit-Codes: 0 alles geschrieben (schon vorhandene E-Mails zählen als geschrieben), 1 einige\n"
        "Nachrichten konnten nicht geschrieben werden, 2 Server oder Archiv unbrauchbar oder ein Fehler,\n"
        "der den Export beendet hat, 64 falscher Aufruf, 74 Exportverzeichnis oder ZIP-Datei nicht\n"
        "schreibbar.\n");
}

std::optional<QString> readPassword(const ExportCliOptions& options, QString* error)
{
    const auto fail = [error](const QString& text) -> std::optional<QString> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (!options.passwordEnv.isEmpty()) {
        const QByteArray name = options.passwordEnv.toLocal8Bit();
        if (!qEnvironmentVariableIsSet(name.constData()))
            return fail(QStringLiteral("Die Umgebungsvariable %1 ist nicht gesetzt.").arg(options.passwordEnv));
        return qEnvironmentVariable(name.constData());
    }
    if (!options.passwordFile.isEmpty()) {
        const QFileInfo info(options.passwordFile);
        if (!info.isFile())
            return fail(QStringLiteral("%1 ist keine lesbare Datei.").arg(options.passwordFile));
        QFile file(options.passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: %2").arg(options.passwordFile, file.errorString()));
        QByteArray bytes = file.read(kMaxPasswordFile);
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        QStringDecoder decoder(QStringConverter::Utf8);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            return fail(QStringLiteral("%1 ist kein UTF-8-Text.").arg(options.passwordFile));
        const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
        return end < 0 ? text : text.left(end);
    }
    return QString();
}

QString exportSummary(const ExportOutcome& outcome)
{
    const ExportTally& t = outcome.tally;
    QString text = QStringLiteral("%1 geschrieben, %2 schon vorhanden, %3 fehlgeschlagen\n")
                       .arg(t.written)
                       .arg(t.alreadyThere)
                       .arg(t.failed);
    if (t.failed > 0)
        text += failureLines(t) + QLatin1Char('\n');
    return text;
}

int exitCodeFor(const ExportOutcome& outcome)
{
    switch (outcome.end) {
    case ExportEnd::ServerFailed:
        return exportexit::kServer;
    case ExportEnd::OutputFailed:
        return exportexit::kOutput;
    case ExportEnd::Completed:
        break;
    }
    return outcome.tally.failed > 0 ? exportexit::kSome : exportexit::kOk;
}
