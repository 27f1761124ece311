#include "cli/stat_options.h"

#include "cli/stat_history.h"
#include "platform/command_line.h"
#include "platform/excerpt.h"

using platform::excerpt;

StatOptionsResult parseStatOptions(const QStringList& arguments)
{
    StatOptionsResult result;
    StatOptions& o = result.options;
    platform::CommandLine line({QStringLiteral("Unerwartetes Argument: %1"), QStringLiteral("Unbekannte Option: %1"),
                                QStringLiteral("%1 braucht einen Wert"), QStringLiteral("%1 nimmt keinen Wert")});
    line.alone({QStringLiteral("--help"), QStringLiteral("-h")}, o.help)
        .alone({QStringLiteral("--version")}, o.version)
        .flag(QStringLiteral("--sub"), o.sub)
        .flag(QStringLiteral("--verbose"), o.verbose)
        .optionalValue(
            QStringLiteral("--types"),
            [&o](const std::optional<QString>& value) {
                if (!value)
                    o.types = StatTypesScope::Tree;
                else if (*value == QLatin1String("top"))
                    o.types = StatTypesScope::Top;
                else
                    return QStringLiteral("--types nimmt keinen Wert oder =top, nicht \"%1\"").arg(excerpt(*value));
                return QString();
            })
        .value(QStringLiteral("--server"),
               [&o](const QString& value) {
                   if (value.isEmpty())
                       return QStringLiteral("--server braucht einen Ordner");
                   o.server = value;
                   return QString();
               })
        .value(QStringLiteral("--threads"),
               [&o](const QString& value) {
                   bool ok = false;
                   const int n = value.toInt(&ok);
                   if (!ok || n < 1 || n > kMaxStatThreads || value != value.trimmed())
                       return QStringLiteral("--threads erwartet eine ganze Zahl von 1 bis %1, nicht \"%2\"")
                           .arg(kMaxStatThreads)
                           .arg(excerpt(value));
                   o.threads = n;
                   return QString();
               })
        .value(QStringLiteral("--format"), [&o](const QString& value) {
            if (value == QLatin1String("csv"))
                o.format = StatFormat::Csv;
            else if (value == QLatin1String("json"))
                o.format = StatFormat::Json;
            else
                return QStringLiteral("--format erwartet csv oder json, nicht \"%1\"").arg(excerpt(value));
            return QString();
        });
    const auto moment = [](const QString& option, DayEdge edge, std::optional<QDateTime>& target) {
        return [option, edge, &target](const QString& value) {
            target = historyMoment(value, edge);
            if (!target)
                return QStringLiteral("%1 erwartet ein Datum JJJJ-MM-TT oder eine Zahl von Tagen wie 30d, nicht \"%2\"")
                    .arg(option, excerpt(value));
            return QString();
        };
    };
    line.flag(QStringLiteral("--record"), o.record)
        .flag(QStringLiteral("--growth"), o.growth)
        .flag(QStringLiteral("--runs"), o.runs)
        .value(QStringLiteral("--history"),
               [&o](const QString& value) {
                   if (value.isEmpty())
                       return QStringLiteral("--history braucht eine Datei");
                   o.history = value;
                   return QString();
               })
        .value(QStringLiteral("--since"), moment(QStringLiteral("--since"), DayEdge::End, o.since))
        .value(QStringLiteral("--forget-before"),
               moment(QStringLiteral("--forget-before"), DayEdge::Start, o.forgetBefore))
        .value(QStringLiteral("--write-server-folder"),
               [&o](const QString& value) {
                   if (value.isEmpty())
                       return QStringLiteral("--write-server-folder braucht einen Ordner");
                   o.writeServerFolder = value;
                   return QString();
               })
        .flag(QStringLiteral("--with-messages"), o.withMessages)
        .flag(QStringLiteral("--replace"), o.replace);
    result.error = line.parse(arguments);
    if (!result.error.isEmpty() || o.help)
        return result;
    // One thing at a time: measuring (perhaps recording), or one of the history's questions.
    const int queries = int(o.growth) + int(o.runs) + int(o.forgetBefore.has_value());
    if (queries > 1 || (queries == 1 && o.record))
        result.error = QStringLiteral("--record, --growth, --runs und --forget-before schließen einander aus");
    else if (o.since && !o.growth)
        result.error = QStringLiteral("--since gilt nur mit --growth");
    else if (!o.writeServerFolder.isEmpty() && (queries > 0 || o.record || o.sub || o.types != StatTypesScope::None))
        result.error =
            QStringLiteral("--write-server-folder misst nichts: nicht mit --sub, --types, --record, --growth, "
                           "--runs oder --forget-before");
    else if (o.writeServerFolder.isEmpty() && (o.withMessages || o.replace))
        result.error = QStringLiteral("--with-messages und --replace gelten nur mit --write-server-folder");
    return result;
}

QString statHelpText()
{
    return QStringLiteral(
               "Aufruf: arvelo-stat [--server ORDNER] [--threads N] [--sub] [--types[=top]] [--format csv|json]\n"
               "                   [--record] [--history DATEI] [--verbose]\n"
               "        arvelo-stat --growth [--since DATUM|Nd] | --runs | --forget-before DATUM|Nd\n"
               "                   [--server ORDNER] [--history DATEI] [--format csv|json]\n"
               "        arvelo-stat --write-server-folder ZIEL [--with-messages] [--replace] [--server ORDNER]\n"
               "\n"
               "Meldet sich am Server an, liest die Benutzer und misst ihre Archivordner auf der Platte,\n"
               "so wie Arvelo es im Fenster tut, und schreibt eine Zeile je Archiv auf die Standardausgabe.\n"
               "\n"
               "Optionen:\n"
               "  --server ORDNER   Serverordner (mit server.json). Ohne die Option: ARVELO_SERVER; sonst\n"
               "                    unter Windows die Server-Komponente (DVOBJAPILib.DvISEAPI), wo sie\n"
               "                    registriert ist; sonst der Ordner demo-server neben dem Programm, wie\n"
               "                    im Fenster.\n"
               "  --verbose         auf der Standardfehlerausgabe sagen, an welchem Server angemeldet wurde.\n"
               "  --threads N       höchstens N Durchläufe gleichzeitig, 1 bis %1 (Vorgabe 7); freie\n"
               "                    Plätze helfen den Archiven, die noch gemessen werden.\n"
               "  --sub             auch alle Unterarchive auf jeder Ebene, jedes direkt nach seinem\n"
               "                    übergeordneten Archiv.\n"
               "  --types           zusätzlich die Anhangtypen jedes Archivs aus seinen Indexdateien (.$00),\n"
               "                    über den ganzen Ordnerbaum wie die Klassifizierung mit Unterarchiven.\n"
               "  --types=top       dasselbe nur für den Archivordner selbst (ohne Unterordner).\n"
               "  --format csv|json CSV nach RFC 4180 mit Kopfzeile (Vorgabe) oder ein JSON-Array von\n"
               "                    Objekten.\n"
               "  --record          den gemessenen Lauf (mit --types auch die Anhangtypen) in der Historie\n"
               "                    festhalten.\n"
               "  --history DATEI   die Historie; Vorgabe: ARVELO_HISTORY, sonst history.sqlite im\n"
               "                    Datenordner des Benutzers (wie im Fenster).\n"
               "  --growth          nichts messen: den letzten festgehaltenen Lauf des Servers mit einem\n"
               "                    früheren vergleichen (ohne --since mit dem vorletzten). Spalten: level,\n"
               "                    name, userId, path, recorded, Size, AnzahlNachrichtenG, AnhangG,\n"
               "                    recordedBefore, SizeBefore, AnzahlNachrichtenGBefore, AnhangGBefore,\n"
               "                    SizeGrowth; ohne früheren Stand leer (CSV) bzw. null (JSON).\n"
               "  --since DATUM|Nd  mit --growth: Vergleich mit dem letzten Lauf bis Ende dieses Tages\n"
               "                    (2026-12-03) bzw. vor mindestens N Tagen (30d).\n"
               "  --runs            nichts messen: die festgehaltenen Läufe des Servers, neueste zuerst.\n"
               "  --forget-before DATUM|Nd  nichts messen: Läufe des Servers vor diesem Tag bzw. vor mehr\n"
               "                    als N Tagen löschen, nur ganze Läufe.\n"
               "  --write-server-folder ZIEL  nichts messen: den Server, an dem das Programm angemeldet ist,\n"
               "                    als Serverordner nach ZIEL schreiben: server.json mit allen Archiven und\n"
               "                    Unterarchiven, dazu ein leeres shares/ für Verknüpfungen zu den Freigaben.\n"
               "                    ZIEL muss fehlen oder leer sein.\n"
               "  --with-messages   mit --write-server-folder: auch die Nachrichten jedes Archivs, E-Mails\n"
               "                    und Fax-Bilder als Dateien unter messages/.\n"
               "  --replace         mit --write-server-folder: ZIEL darf schon etwas enthalten; server.json\n"
               "                    (mit --with-messages auch messages/) wird ersetzt, shares/ bleibt.\n"
               "  -h, --help        diese Hilfe.\n"
               "  --version         die Version.\n"
               "\n"
               "Spalten (CSV) bzw. Schlüssel (JSON), in dieser Reihenfolge:\n"
               "  level               0 für ein Benutzerarchiv, 1 und mehr für Unterarchive\n"
               "  name                Name des Benutzers bzw. Unterarchivs, wie der Server ihn liefert\n"
               "  userId              die letzten 8 Zeichen von path\n"
               "  path                Archivpfad in der Schreibweise des Servers\n"
               "  fullPath            voller Pfad des Archivs, wie der Server ihn liefert\n"
               "  Size                Größe des ganzen Ordnerbaums in MB (1 MB = 1048576 Byte)\n"
               "  SizeRoot            Größe der Einträge direkt im Archivordner in MB\n"
               "  AnzahlNachrichten   Nachrichten des Archivordners (Größe von archive.dat / 430)\n"
               "  AnzahlNachrichtenG  Nachrichten des ganzen Baums\n"
               "  Anhang              Anhänge direkt im Archivordner\n"
               "  AnhangG             Anhänge im ganzen Baum\n"
               "  AnhangSize          Anhänge in MB: ganzer Baum bei level 0, sonst nur der Archivordner\n"
               "  AnhangSizeG         Anhänge des ganzen Baums in MB\n"
               "  newest              Zeit der neuesten Nachricht, ISO 8601 in Ortszeit\n"
               "  oldest              Zeit der ältesten Nachricht, ISO 8601 in Ortszeit\n"
               "  types               nur mit --types: Anhänge je Dateityp, größte Zahl zuerst; JSON ein Objekt\n"
               "                      {\".PDF\": 12, \".DOC\": 7}, CSV ein Feld .PDF=12;.DOC=7; leer bzw. null,\n"
               "                      wenn eine Indexdatei nicht gelesen werden konnte\n"
               "\n"
               "Zahlen stehen ungerundet mit \".\" als Dezimaltrenner; Nachrichtenzahlen sind keine ganzen\n"
               "Zahlen. Ohne Nachrichtendatei bleiben newest und oldest leer (CSV) bzw. null (JSON).\n"
               "Der Fortschritt erscheint auf der Standardfehlerausgabe, solange sie ein Terminal ist.\n"
               "\n"
               "Rückgabewerte:\n"
               "  0   gemessen und geschrieben\n"
               "  1   geschrieben, aber Angaben fehlen oder sind unvollständig: Ordner, die nicht gelesen\n"
               "      werden konnten, Anhangtypen, die nicht gezählt werden konnten, beim Serverordner\n"
               "      ausgelassene Archive und fehlende Nachrichtendateien stehen mit Grund auf der\n"
               "      Standardfehlerausgabe\n"
               "  2   Anmeldung fehlgeschlagen oder Fehler des Servers (Grund auf der Standardfehlerausgabe)\n"
               "  3   --growth: die Historie enthält keinen Lauf des Servers\n"
               "  4   die Historie ist nicht nutzbar (keine SQLite-Datei, fremd, neuer, beschädigt, nicht\n"
               "      beschreibbar, Platte voll); die Datei bleibt unverändert\n"
               "  64  falscher Aufruf\n"
               "  74  die Ausgabe konnte nicht geschrieben werden; beim Serverordner auch: ZIEL ist kein\n"
               "      Ordner oder (ohne --replace) nicht leer; ZIEL bleibt dann, wie es war\n")
        .arg(kMaxStatThreads);
}
