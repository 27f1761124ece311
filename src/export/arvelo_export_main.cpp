// arvelo-export: exports one archive's messages as the window's "Nachrichten-Export" does, without a window,
// for scripts and scheduled jobs.

#include "export/export_cli.h"
#include "export/export_options.h"
#include "export/export_run.h"
#include "platform/companion.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QCoreApplication>

namespace {

// Reports on standard error while it is a terminal: a line that rewrites itself a few times a second.
class ProgressObserver : public ExportObserver {
public:
    ProgressObserver(const ExportCliOptions& options, platform::Companion& companion)
        : m_options(options), m_companion(companion)
    {
    }

    bool exportMail() override { return m_options.mail; }
    bool exportLink() override { return m_options.link; }
    bool exportFax() override { return m_options.fax; }
    bool includeSubArchives() override { return m_options.sub; }

    void messageExported(int, const QString& status, int exportedCount) override
    {
        m_companion.tick(QStringLiteral("%1 Nachrichten exportiert; %2").arg(exportedCount).arg(status));
    }
    void zipProgress(int percent) override
    {
        m_companion.tick(QStringLiteral("ZIP-Datei wird geschrieben: %1 %").arg(percent));
    }

private:
    const ExportCliOptions& m_options;
    platform::Companion& m_companion;
};

}  // namespace

int main(int argc, char* argv[])
{
    platform::Companion companion("arvelo-export");
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    const ExportCliParse parsed = parseExportOptions(arguments);
    if (!parsed.ok())
        return companion.usage(parsed.error);
    const ExportCliOptions& options = parsed.options;
    if (options.help)
        return companion.answer(exportHelpText());
    if (options.version)
        return companion.answer(QStringLiteral("arvelo-export " ARVELO_VERSION "\n"));

    ExportRequest request;
    request.folder = options.out;
    request.rootPfad = options.archive;
    request.zip = options.zip;
    request.useDisplayName = options.displayNames;
    if (options.zip && (!options.passwordEnv.isEmpty() || !options.passwordFile.isEmpty())) {
        QString error;
        const std::optional<QString> password = readPassword(options, &error);
        if (!password) {
            companion.say(error);
            return exportexit::kUsage;
        }
        if (password->isEmpty()) {
            companion.say(QStringLiteral("Das Passwort ist leer; ohne Passwort --password-env/--password-file weglassen."));
            return exportexit::kUsage;
        }
        const std::optional<QByteArray> bytes = zipPasswordBytes(*password);
        if (!bytes) {
            companion.say(QStringLiteral("Das Passwort enthält Zeichen, die es in Windows-1252 nicht gibt; Windows könnte "
                               "die ZIP-Datei damit nicht öffnen."));
            return exportexit::kUsage;
        }
        request.password = *bytes;
    }

    if (!options.server.isEmpty()) {
        const QString folder = options.server;
        setApiFactory([folder] { return standin::createStandinApi(folder); });
    }
    std::shared_ptr<Account> account;
    LogonReport logon;
    try {
        account = LogonAccount(&logon);
    } catch (const ServerError& e) {
        companion.say(QStringLiteral("Anmeldung am Server fehlgeschlagen: %1").arg(e.reason()));
        return exportexit::kServer;
    }
    if (!account) {
        companion.say(QStringLiteral("Die Anmeldung am Server ergab kein Konto."));
        if (!logon.failure.isEmpty())
            companion.say(logon.failure);
        return exportexit::kServer;
    }
    if (options.verbose)
        companion.say(QStringLiteral("Angemeldet: %1").arg(logon.server));

    ProgressObserver observer(options, companion);
    const ExportOutcome outcome = runExport(*account, request, observer);
    companion.endProgress();
    if (outcome.end != ExportEnd::Completed)
        companion.say(outcome.error);
    companion.write(exportSummary(outcome).toLocal8Bit());
    return exitCodeFor(outcome);
}
