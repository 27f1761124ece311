// arvelo-export: exports one archive's messages as the window's "Nachrichten-Export" does, without a window,
// for scripts and scheduled jobs.

#include "export/export_cli.h"
#include "export/export_options.h"
#include "export/export_run.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "arvelo-export: %s\n", text.toLocal8Bit().constData());
}

// Reports on standard error while it is a terminal: a line that rewrites itself a few times a second.
class ProgressObserver : public ExportObserver {
public:
    explicit ProgressObserver(const ExportCliOptions& options)
        : m_options(options), m_on(isatty(fileno(stderr)) != 0)
    {
        m_clock.start();
    }
    ~ProgressObserver() override { end(); }

    bool exportMail() override { return m_options.mail; }
    bool exportLink() override { return m_options.link; }
    bool exportFax() override { return m_options.fax; }
    bool includeSubArchives() override { return m_options.sub; }

    void messageExported(int, const QString& status, int exportedCount) override
    {
        show(QStringLiteral("%1 Nachrichten exportiert; %2").arg(exportedCount).arg(status));
    }
    void zipProgress(int percent) override
    {
        show(QStringLiteral("ZIP-Datei wird geschrieben: %1 %").arg(percent));
    }

    void end()
    {
        if (m_shown)
            std::fputs("\r\033[K", stderr);
        m_shown = false;
    }

private:
    void show(const QString& text)
    {
        if (!m_on || (m_shown && m_clock.elapsed() < 100))
            return;
        m_clock.restart();
        std::fprintf(stderr, "\r\033[Karvelo-export: %s", text.toLocal8Bit().constData());
        std::fflush(stderr);
        m_shown = true;
    }

    const ExportCliOptions& m_options;
    bool m_on;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.contains(QStringLiteral("--version"))) {
        std::fputs("arvelo-export " ARVELO_VERSION "\n", stdout);
        return exportexit::kOk;
    }

    const ExportCliParse parsed = parseExportOptions(arguments);
    if (!parsed.ok()) {
        say(parsed.error);
        say(QStringLiteral("--help zeigt den Aufruf."));
        return exportexit::kUsage;
    }
    const ExportCliOptions& options = parsed.options;
    if (options.help) {
        std::fputs(exportHelpText().toLocal8Bit().constData(), stdout);
        return exportexit::kOk;
    }

    ExportRequest request;
    request.folder = options.out;
    request.rootPfad = options.archive;
    request.zip = options.zip;
    request.useDisplayName = options.displayNames;
    if (options.zip && (!options.passwordEnv.isEmpty() || !options.passwordFile.isEmpty())) {
        QString error;
        const std::optional<QString> password = readPassword(options, &error);
        if (!password) {
            say(error);
            return exportexit::kUsage;
        }
        if (password->isEmpty()) {
            say(QStringLiteral("Das Passwort ist leer; ohne Passwort --password-env/--password-file weglassen."));
            return exportexit::kUsage;
        }
        const std::optional<QByteArray> bytes = zipPasswordBytes(*password);
        if (!bytes) {
            say(QStringLiteral("Das Passwort enthält Zeichen, die es in Windows-1252 nicht gibt; Windows könnte "
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
    try {
        account = LogonAccount();
    } catch (const ServerError& e) {
        say(QStringLiteral("Anmeldung am Server fehlgeschlagen: %1").arg(e.reason()));
        return exportexit::kServer;
    }
    if (!account) {
        say(QStringLiteral("Die Anmeldung am Server ergab kein Konto."));
        return exportexit::kServer;
    }

    ProgressObserver observer(options);
    const ExportOutcome outcome = runExport(*account, request, observer);
    observer.end();
    if (outcome.end != ExportEnd::Completed)
        say(outcome.error);
    std::fputs(exportSummary(outcome).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return exitCodeFor(outcome);
}
