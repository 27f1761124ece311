// arvelo-stat: measures every user archive of the server as the main window does, without a window, and
// writes the figures as CSV or JSON to standard output.

#include "cli/server_folder_writer.h"
#include "cli/stat_history.h"
#include "cli/stat_listing.h"
#include "cli/stat_options.h"
#include "cli/stat_output.h"
#include "cli/stat_run.h"
#include "cli/stat_types.h"
#include "engine/date_text.h"
#include "history/history_database.h"
#include "platform/companion.h"
#include "platform/process_limits.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <exception>
#include <optional>

namespace {

// --write-server-folder: the server as a server folder; what the folder could not hold is named on standard
// error.
int writeFolder(platform::Companion& companion, Account& account, const StatOptions& options)
{
    companion.progress(QStringLiteral("Serverordner wird geschrieben ..."));
    const ServerFolderResult result = writeServerFolder(
        account, {options.writeServerFolder, options.withMessages, options.replace},
        [&companion](int archives) { companion.tick(QStringLiteral("%1 Archive geschrieben").arg(archives)); });
    companion.endProgress();
    for (const QString& note : result.notes)
        companion.say(note);
    switch (result.outcome) {
    case ServerFolderResult::Outcome::Written:
        return result.notes.isEmpty() ? statexit::kOk : statexit::kIncomplete;
    case ServerFolderResult::Outcome::Refused:
        // A folder in use may be written over on request; no option makes a pipe or a file a server folder.
        companion.say(result.error
                      + (!options.replace && QFileInfo(options.writeServerFolder).isDir()
                             ? QStringLiteral(" Nichts geschrieben (--replace schreibt dennoch hinein).")
                             : QStringLiteral(" Nichts geschrieben.")));
        return statexit::kOutput;
    case ServerFolderResult::Outcome::ServerFailed:
        companion.say(result.error);
        return statexit::kServer;
    case ServerFolderResult::Outcome::WriteFailed:
        break;
    }
    companion.say(result.error);
    return statexit::kOutput;
}

}  // namespace

int main(int argc, char* argv[])
{
    // A reader that went away (arvelo-stat | head) is output that could not be written: the write then fails
    // with EPIPE and the program ends with 74, as for a full disk.
    platform::Companion companion("arvelo-stat");
    platform::raiseOpenFileLimit();
    platform::mapLargeBlocks();
    QCoreApplication app(argc, argv);
    // The window's name, so both find the same history in the user's data folder.
    QCoreApplication::setApplicationName(QStringLiteral("Arvelo"));
    // Date texts go through the record as text and are read back for ISO 8601; a fixed locale whose long
    // time keeps the seconds makes that round trip exact whatever the user's settings.
    QLocale::setDefault(QLocale::c());

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const StatOptionsResult parsed = parseStatOptions(arguments);
    if (!parsed.ok())
        return companion.usage(parsed.error);
    const StatOptions& options = parsed.options;
    if (options.help)
        return companion.answer(statHelpText());
    if (options.version)
        return companion.answer(QStringLiteral("arvelo-stat " ARVELO_VERSION "\n"));

    if (!options.server.isEmpty()) {
        const QString folder = options.server;
        setApiFactory([folder] { return standin::createStandinApi(folder); });
    }

    const QString historyFile = options.history.isEmpty() ? history::HistoryDatabase::defaultPath() : options.history;
    const bool query = options.growth || options.runs || options.forgetBefore;
    const auto say = [&companion](const QString& text) { companion.say(text); };

    StatListing listing;
    try {
        companion.progress(QStringLiteral("Anmeldung am Server ..."));
        LogonReport logon;
        const std::shared_ptr<Account> account = LogonAccount(&logon);
        if (!account) {
            companion.say(QStringLiteral("Die Anmeldung am Server ergab kein Konto."));
            if (!logon.failure.isEmpty())
                companion.say(logon.failure);
            return statexit::kServer;
        }
        if (options.verbose)
            companion.say(QStringLiteral("Angemeldet: %1").arg(logon.server));
        if (!options.writeServerFolder.isEmpty())
            return writeFolder(companion, *account, options);
        if (query) {
            // The history names the server by its archive root's path; nothing is listed or measured.
            const QString server = account->GetArchiveRoot(1)->Path().toString();
            companion.endProgress();
            HistoryQuery q;
            q.kind = options.growth ? HistoryQuery::Kind::Growth
                     : options.runs ? HistoryQuery::Kind::Runs
                                    : HistoryQuery::Kind::Forget;
            q.moment = options.growth ? options.since : options.forgetBefore;
            q.json = options.format == StatFormat::Json;
            return runHistoryQuery(q, historyFile, server, [&companion](const QByteArray& out) { return companion.write(out); },
                                   say);
        }
        companion.progress(QStringLiteral("Archive werden gelesen ..."));
        listing = listArchives(*account, options.sub);
    } catch (const std::exception& e) {
        companion.say(QString::fromUtf8(e.what()));
        return statexit::kServer;
    }
    companion.endProgress();
    for (const QString& note : listing.notes)
        companion.say(note);

    const QDateTime started = QDateTime::currentDateTimeUtc();
    StatRun run;
    run.measure(listing.rows, options.threads, [&companion](int done, int total) {
        // Once per archive: the text is made only when it is shown.
        if (companion.tickDue())
            companion.tick(QStringLiteral("%1 von %2 Archiven gemessen").arg(done).arg(total));
    });
    companion.endProgress();

    // A folder that could not be listed leaves its tree out of the figures; say which, as du does.
    bool incomplete = false;
    for (const StatRow& row : listing.rows) {
        for (const QString& folder : row.data->UnlesbareOrdner) {
            companion.say(QStringLiteral("Ordner konnte nicht gelesen werden: ") + folder);
            incomplete = true;
        }
    }

    std::optional<StatTypes> types;
    if (options.types != StatTypesScope::None) {
        companion.progress(QStringLiteral("Anhangtypen werden gezählt ..."));
        types = scanStatTypes(listing.rows, options.types == StatTypesScope::Tree, options.threads);
        companion.endProgress();
        for (const QString& failure : types->failures)
            companion.say(failure);
    }

    const DateTextFormat dates;
    const StatTypes* typesField = types ? &*types : nullptr;
    const StatSink sink = [&companion](const QByteArray& piece) { return companion.write(piece); };
    const bool written = options.format == StatFormat::Json ? writeStatJson(listing.rows, dates, typesField, sink)
                                                            : writeStatCsv(listing.rows, dates, typesField, sink);
    if (!written) {
        companion.say(QStringLiteral("Die Ausgabe konnte nicht geschrieben werden."));
        return statexit::kOutput;
    }
    if (options.record) {
        const history::Run recorded =
            statRun(listing, started, QDateTime::currentDateTimeUtc(), options.threads, typesField,
                    options.types == StatTypesScope::Top ? history::TypesScope::Top : history::TypesScope::Tree, dates);
        if (recordStatRun(recorded, historyFile, say) != statexit::kOk)
            return statexit::kHistory;
    }
    if (incomplete)
        companion.say(QStringLiteral("Einige Zahlen sind unvollständig."));
    return incomplete || (types && !types->failures.isEmpty()) ? statexit::kIncomplete : statexit::kOk;
}
