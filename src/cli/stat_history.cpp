#include "cli/stat_history.h"

#include "cli/growth_output.h"
#include "cli/stat_options.h"
#include "history/history_database.h"

#include <QRegularExpression>

std::optional<QDateTime> historyMoment(const QString& text, DayEdge edge, const QDateTime& now)
{
    static const QRegularExpression days(QStringLiteral("^(\\d{1,5})d$"));
    const QRegularExpressionMatch m = days.match(text.trimmed());
    if (m.hasMatch())
        return now.addDays(-m.captured(1).toInt());
    const QDate date = QDate::fromString(text.trimmed(), Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return edge == DayEdge::Start ? date.startOfDay() : date.endOfDay();
}

history::Run statRun(const StatListing& listing, const QDateTime& started, const QDateTime& ended, int threads,
                     const StatTypes* types, history::TypesScope scope, const DateTextFormat& dates)
{
    history::Run run;
    run.info.server = listing.root;
    run.info.started = started.toUTC();
    run.info.ended = ended.toUTC();
    run.info.program = QStringLiteral("arvelo-stat");
    run.info.threads = threads;
    bool complete = true;
    run.archives.reserve(listing.rows.size());
    for (std::size_t i = 0; i < listing.rows.size(); ++i) {
        const StatRow& row = listing.rows[i];
        history::ArchiveFigures figures = history::figuresOf(*row.data, row.level, dates);
        if (!row.data->UnlesbareOrdner.isEmpty())
            complete = false;
        if (types) {
            run.info.types = scope;
            if (const auto& counted = types->rows.at(i)) {
                std::vector<history::TypeTally> tallies;
                for (const TypeCount& t : *counted)
                    tallies.push_back({t.key, t.count});
                figures.types = std::move(tallies);
            } else {
                complete = false;
            }
        }
        run.archives.push_back(std::move(figures));
    }
    run.info.complete = complete;
    return run;
}

int runHistoryQuery(const HistoryQuery& query, const QString& file, const QString& server,
                    const std::function<bool(const QByteArray&)>& write, const std::function<void(const QString&)>& say)
{
    history::HistoryDatabase db(file);
    if (!db.open()) {
        say(db.error());
        return statexit::kHistory;
    }
    QByteArray out;
    switch (query.kind) {
    case HistoryQuery::Kind::Growth: {
        const std::optional<history::Growth> growth = db.growth(server, query.moment);
        if (!growth) {
            if (!db.error().isEmpty()) {
                say(db.error());
                return statexit::kHistory;
            }
            say(QStringLiteral("Die Historie %1 enthält keinen Lauf des Servers %2.").arg(file, server));
            return statexit::kNoRun;
        }
        out = query.json ? growthJson(*growth) : growthCsv(*growth);
        break;
    }
    case HistoryQuery::Kind::Runs: {
        const auto runs = db.runs(server);
        if (!runs) {
            say(db.error());
            return statexit::kHistory;
        }
        out = query.json ? runsJson(*runs) : runsCsv(*runs);
        break;
    }
    case HistoryQuery::Kind::Forget: {
        const std::optional<int> forgotten = db.forgetBefore(server, query.moment.value_or(QDateTime()));
        if (!forgotten) {
            say(db.error());
            return statexit::kHistory;
        }
        say(QStringLiteral("%1 Läufe vergessen.").arg(*forgotten));
        return statexit::kOk;
    }
    }
    if (!write(out)) {
        say(QStringLiteral("Die Ausgabe konnte nicht geschrieben werden."));
        return statexit::kOutput;
    }
    return statexit::kOk;
}

int recordStatRun(const history::Run& run, const QString& file, const std::function<void(const QString&)>& say)
{
    history::HistoryDatabase db(file);
    if (!db.open() || !db.record(run)) {
        say(db.error());
        return statexit::kHistory;
    }
    return statexit::kOk;
}
