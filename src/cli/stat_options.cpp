#include "cli/stat_options.h"

#include "platform/excerpt.h"

using platform::excerpt;

namespace {

bool isHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

}  // namespace

StatOptionsResult parseStatOptions(const QStringList& arguments)
{
    StatOptionsResult result;
    for (const QString& arg : arguments) {
        if (isHelp(arg)) {
            result.options.help = true;
            return result;
        }
    }

    StatOptions& o = result.options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (!arg.startsWith(QLatin1String("--"))) {
            result.error = QStringLiteral("Unerwartetes Argument: %1").arg(excerpt(arg));
            return result;
        }
        QString name = arg.mid(2);
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size()) {
                result.error = QStringLiteral("--%1 braucht einen Wert").arg(excerpt(name));
                return false;
            }
            value = arguments.at(++i);
            return true;
        };

        if (name == QLatin1String("sub")) {
            if (hasValue) {
                result.error = QStringLiteral("--sub nimmt keinen Wert");
                return result;
            }
            o.sub = true;
        } else if (name == QLatin1String("types")) {
            if (!hasValue) {
                o.types = StatTypesScope::Tree;
            } else if (value == QLatin1String("top")) {
                o.types = StatTypesScope::Top;
            } else {
                result.error = QStringLiteral("--types nimmt keinen Wert oder =top, nicht \"%1\"").arg(value);
                return result;
            }
        } else if (name == QLatin1String("server")) {
            if (!takeValue())
                return result;
            if (value.isEmpty()) {
                result.error = QStringLiteral("--server braucht einen Ordner");
                return result;
            }
            o.server = value;
        } else if (name == QLatin1String("threads")) {
            if (!takeValue())
                return result;
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1 || n > kMaxStatThreads || value != value.trimmed()) {
                result.error = QStringLiteral("--threads erwartet eine ganze Zahl von 1 bis %1, nicht \"%2\"")
                                   .arg(kMaxStatThreads)
                                   .arg(excerpt(value));
                return result;
            }
            o.threads = n;
        } else if (name == QLatin1String("format")) {
            if (!takeValue())
                return result;
            if (value == QLatin1String("csv")) {
                o.format = StatFormat::Csv;
            } else if (value == QLatin1String("json")) {
                o.format = StatFormat::Json;
            } else {
                result.error = QStringLiteral("--format erwartet csv oder json, nicht \"%1\"").arg(excerpt(value));
                return result;
            }
        } else {
            result.error = QStringLiteral("Unbekannte Option: %1").arg(excerpt(arg));
            return result;
        }
    }
    return result;
}

QString statHelpText()
{
    return QStringLiteral(
        "Aufruf: arvelo-stat [--server ORDNER] [--threads N] [--sub] [--types[=top]] [--format csv|json]\n"
        "\n"
        "Meldet sich am Server an, liest die Benutzer und misst ihre Archivordner auf der Platte,\n"
        "so wie Arvelo es im Fenster tut, und schreibt eine Zeile je Archiv auf die Standardausgabe.\n"
        "\n"
        "Optionen:\n"
        "  --server ORDNER   Serverordner (mit server.json). Ohne die Option: ARVELO_SERVER,\n"
        "                    sonst der Ordner demo-server neben dem Programm, wie im Fenster.\n"
        "  --threads N       höchstens N Archive gleichzeitig messen, 1 bis %1 (Vorgabe 7).\n"
        "  --sub             auch alle Unterarchive auf jeder Ebene, jedes direkt nach seinem\n"
        "                    übergeordneten Archiv.\n"
        "  --types           zusätzlich die Anhangtypen jedes Archivs aus seinen Indexdateien (.$00),\n"
        "                    über den ganzen Ordnerbaum wie die Klassifizierung mit Unterarchiven.\n"
        "  --types=top       dasselbe nur für den Archivordner selbst (ohne Unterordner).\n"
        "  --format csv|json CSV nach RFC 4180 mit Kopfzeile (Vorgabe) oder ein JSON-Array von\n"
        "                    Objekten.\n"
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
        "      werden konnten, und Anhangtypen, die nicht gezählt werden konnten, stehen mit Grund auf\n"
        "      der Standardfehlerausgabe\n"
        "  2   Anmeldung fehlgeschlagen oder Fehler des Servers (Grund auf der Standardfehlerausgabe)\n"
        "  64  falscher Aufruf\n"
        "  74  die Ausgabe konnte nicht geschrieben werden\n")
        .arg(kMaxStatThreads);
}
