// arvelo-stat: measures every user archive of the server as the main window does, without a window, and
// writes the figures as CSV or JSON to standard output.

#include "cli/stat_listing.h"
#include "cli/stat_options.h"
#include "cli/stat_output.h"
#include "cli/stat_run.h"
#include "cli/stat_types.h"
#include "engine/date_text.h"
#include "platform/process_limits.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QCoreApplication>
#include <QLocale>

#include <csignal>
#include <cstdio>
#include <exception>
#include <optional>

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
    std::fprintf(stderr, "arvelo-stat: %s\n", text.toLocal8Bit().constData());
}

bool writeAll(const QByteArray& bytes)
{
    if (!bytes.isEmpty() && std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) != std::size_t(bytes.size()))
        return false;
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// A progress line that rewrites itself; only while standard error is a terminal.
class ProgressLine {
public:
    ProgressLine() : m_on(isatty(fileno(stderr)) != 0) {}
    ~ProgressLine() { end(); }

    void show(const QString& text)
    {
        if (!m_on)
            return;
        std::fprintf(stderr, "\r\033[Karvelo-stat: %s", text.toLocal8Bit().constData());
        std::fflush(stderr);
        m_shown = true;
    }
    void end()
    {
        if (m_shown)
            std::fputs("\r\033[K", stderr);
        m_shown = false;
    }

private:
    bool m_on;
    bool m_shown = false;
};

}  // namespace

int main(int argc, char* argv[])
{
#ifdef SIGPIPE
    // A reader that went away (arvelo-stat | head) is output that could not be written: the write then fails
    // with EPIPE and the program ends with 74, as for a full disk, instead of being killed by the signal.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    platform::raiseOpenFileLimit();
    QCoreApplication app(argc, argv);
    // Date texts go through the record as text and are read back for ISO 8601; a fixed locale whose long
    // time keeps the seconds makes that round trip exact whatever the user's settings.
    QLocale::setDefault(QLocale::c());

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.contains(QStringLiteral("--version")))
        return writeAll("arvelo-stat " ARVELO_VERSION "\n") ? statexit::kOk : statexit::kOutput;
    const StatOptionsResult parsed = parseStatOptions(arguments);
    if (!parsed.ok()) {
        say(parsed.error);
        say(QStringLiteral("--help zeigt den Aufruf."));
        return statexit::kUsage;
    }
    const StatOptions& options = parsed.options;
    if (options.help) {
        const QByteArray help = statHelpText().toLocal8Bit();
        return writeAll(help) ? statexit::kOk : statexit::kOutput;
    }

    if (!options.server.isEmpty()) {
        const QString folder = options.server;
        setApiFactory([folder] { return standin::createStandinApi(folder); });
    }

    ProgressLine progress;
    StatListing listing;
    try {
        progress.show(QStringLiteral("Anmeldung am Server ..."));
        const std::shared_ptr<Account> account = LogonAccount();
        if (!account) {
            progress.end();
            say(QStringLiteral("Die Anmeldung am Server ergab kein Konto."));
            return statexit::kServer;
        }
        progress.show(QStringLiteral("Archive werden gelesen ..."));
        listing = listArchives(*account, options.sub);
    } catch (const std::exception& e) {
        progress.end();
        say(QString::fromUtf8(e.what()));
        return statexit::kServer;
    }
    progress.end();
    for (const QString& note : listing.notes)
        say(note);

    StatRun run;
    run.measure(listing.rows, options.threads, [&progress](int done, int total) {
        progress.show(QStringLiteral("%1 von %2 Archiven gemessen").arg(done).arg(total));
    });
    progress.end();

    // A folder that could not be listed leaves its tree out of the figures; say which, as du does.
    bool incomplete = false;
    for (const StatRow& row : listing.rows) {
        for (const QString& folder : row.data->UnlesbareOrdner) {
            say(QStringLiteral("Ordner konnte nicht gelesen werden: ") + folder);
            incomplete = true;
        }
    }

    std::optional<StatTypes> types;
    if (options.types != StatTypesScope::None) {
        progress.show(QStringLiteral("Anhangtypen werden gezählt ..."));
        types = scanStatTypes(listing.rows, options.types == StatTypesScope::Tree, options.threads);
        progress.end();
        for (const QString& failure : types->failures)
            say(failure);
    }

    const DateTextFormat dates;
    const StatTypes* typesField = types ? &*types : nullptr;
    const QByteArray out = options.format == StatFormat::Json ? statJson(listing.rows, dates, typesField)
                                                              : statCsv(listing.rows, dates, typesField);
    if (!writeAll(out)) {
        say(QStringLiteral("Die Ausgabe konnte nicht geschrieben werden."));
        return statexit::kOutput;
    }
    if (incomplete)
        say(QStringLiteral("Einige Zahlen sind unvollständig."));
    return incomplete || (types && !types->failures.isEmpty()) ? statexit::kIncomplete : statexit::kOk;
}
