#include "reports/top_ten_archives.h"

#include "history/history_database.h"
#include "reports/band_writer.h"
#include "reports/line_chart.h"
#include "reports/report_numbers.h"
#include "reports/report_preview.h"

#include <QHash>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace reports {

namespace {

constexpr std::size_t kTen = 10;
const QColor kTitleFill(0x30, 0xCB, 0xD8);
const Qt::Alignment kLeftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
const Qt::Alignment kRightMiddle = Qt::AlignRight | Qt::AlignVCenter;

QString dayText(const QDateTime& when)
{
    return when.toLocalTime().date().toString(QStringLiteral("dd.MM.yyyy"));
}

// The user archives' sizes of a run, by path.
QHash<QString, double> sizesOf(history::HistoryDatabase& db, qint64 run)
{
    QHash<QString, double> sizes;
    if (const auto archives = db.runArchives(run)) {
        for (const history::ArchiveFigures& a : *archives)
            if (a.level == 0)
                sizes.insert(a.path, a.Size);
    }
    return sizes;
}

std::optional<double> grownSince(const QHash<QString, double>& before, const CurrentArchive& a)
{
    const auto it = before.constFind(a.path);
    if (it == before.constEnd())
        return std::nullopt;
    return a.Size - *it;
}

}  // namespace

TopTenArchivesData buildTopTenArchives(std::vector<CurrentArchive> current, history::HistoryDatabase* db,
                                       const QString& server, qint64 currentRun, const QDateTime& now)
{
    TopTenArchivesData data;
    std::vector<history::RunInfo> runs;
    if (db && db->isOpen()) {
        if (auto all = db->runs(server)) {
            for (const history::RunInfo& r : *all)
                if (r.figures)
                    runs.push_back(r);  // newest first
        }
    }

    if (current.empty() && !runs.empty()) {
        // The table holds no figures yet: the latest recorded run speaks for the server.
        currentRun = runs.front().id;
        if (const auto archives = db->runArchives(currentRun)) {
            for (const history::ArchiveFigures& a : *archives)
                if (a.level == 0)
                    current.push_back({a.name, a.userId, a.path, a.Size, a.AnzahlNachrichtenG});
        }
        data.figuresFrom = QStringLiteral("Größen aus dem Lauf vom %1").arg(dayText(runs.front().started));
    } else {
        data.figuresFrom = QStringLiteral("Größen aus der Tabelle");
    }

    // Runs older than the current figures: the previous, the one 30 days back, the oldest.
    std::vector<history::RunInfo> earlier;
    for (const history::RunInfo& r : runs)
        if (r.id != currentRun)
            earlier.push_back(r);
    const QDateTime monthAgo = now.addDays(-30);
    QHash<QString, double> previous, month, oldest;
    bool haveMonth = false;
    if (!earlier.empty()) {
        previous = sizesOf(*db, earlier.front().id);
        const auto monthRun = std::find_if(earlier.begin(), earlier.end(),
                                           [&](const history::RunInfo& r) { return r.started <= monthAgo; });
        haveMonth = monthRun != earlier.end();
        if (haveMonth)
            month = sizesOf(*db, monthRun->id);
        else
            oldest = earlier.size() == 1 ? previous : sizesOf(*db, earlier.back().id);
        data.growthSpan = haveMonth ? QStringLiteral("in 30 Tagen")
                                    : QStringLiteral("seit %1").arg(dayText(earlier.back().started));
    } else if (!db || !db->isOpen()) {
        data.note = QStringLiteral("Keine Historie verfügbar: Zuwachs und Verlauf fehlen.");
    } else {
        data.note = QStringLiteral("Die Historie enthält noch keinen früheren Lauf: Zuwachs und Verlauf fehlen.");
    }

    std::vector<TopTenLine> lines;
    lines.reserve(current.size());
    for (const CurrentArchive& a : current) {
        TopTenLine line {a.name, a.userId, a.Size, a.AnzahlNachrichtenG, {}, {}};
        if (!earlier.empty()) {
            line.sincePrevious = grownSince(previous, a);
            line.growth = grownSince(haveMonth ? month : oldest, a);
        }
        lines.push_back(line);
    }

    // Largest first; equal sizes keep the table's order.
    data.largest = lines;
    std::stable_sort(data.largest.begin(), data.largest.end(),
                     [](const TopTenLine& a, const TopTenLine& b) { return a.Size > b.Size; });
    if (data.largest.size() > kTen)
        data.largest.resize(kTen);

    for (const TopTenLine& line : lines)
        if (line.growth)
            data.growing.push_back(line);
    std::stable_sort(data.growing.begin(), data.growing.end(),
                     [](const TopTenLine& a, const TopTenLine& b) { return *a.growth > *b.growth; });
    if (data.growing.size() > kTen)
        data.growing.resize(kTen);

    if (db && db->isOpen()) {
        if (auto sizes = db->serverSizes(server, now.addMonths(-12)))
            data.sizes = std::move(*sizes);
    }
    return data;
}

namespace {

Band titleBand(const QString& subtitle)
{
    return {64, [subtitle](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(1, 11, 749, 24), QStringLiteral("Top-Ten Archive"), 14, true, Qt::AlignCenter,
                                RuleBelow, kTitleFill});
                drawTextBox(p, {QRectF(10, 40, 731, 18), subtitle, 9, false, kLeftMiddle});
            }};
}

Band sectionBand(const QString& caption, const QString& growthHeader)
{
    return {50, [caption, growthHeader](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(10, 8, 731, 20), caption, 12, true, kLeftMiddle, RuleBelow});
                const struct {
                    double left, width;
                    QString text;
                    Qt::Alignment align;
                } columns[] = {{10, 24, QStringLiteral("Nr."), kLeftMiddle},
                               {36, 200, QStringLiteral("Archivname"), kLeftMiddle},
                               {238, 70, QStringLiteral("UserID"), kLeftMiddle},
                               {310, 100, QStringLiteral("Größe (MB)"), kRightMiddle},
                               {412, 90, QStringLiteral("Nachrichten"), kRightMiddle},
                               {504, 115, QStringLiteral("seit letztem Lauf"), kRightMiddle},
                               {621, 120, growthHeader, kRightMiddle}};
                for (const auto& c : columns)
                    drawTextBox(p, {QRectF(c.left, 31, c.width, 18), c.text, 9, true, c.align});
            }};
}

QString growthText(const std::optional<double>& mb, const QLocale& locale)
{
    if (!mb)
        return QStringLiteral("–");
    return (*mb >= 0 ? QStringLiteral("+") : QString()) + numberText(*mb, locale);
}

Band lineBand(int number, const TopTenLine& line, const QLocale& locale)
{
    return {21, [number, line, locale](QPainter& p, const QRectF&, int) {
                const auto text = [&p](double left, double width, const QString& t, Qt::Alignment align) {
                    drawTextBox(p, {QRectF(left, 2, width, 17), t, 9, false, align});
                };
                text(10, 24, QString::number(number), kLeftMiddle);
                text(36, 200, line.name, kLeftMiddle);
                text(238, 70, line.userId, kLeftMiddle);
                text(310, 100, numberText(line.Size, locale), kRightMiddle);
                text(412, 90, numberText(line.AnzahlNachrichtenG, locale), kRightMiddle);
                text(504, 115, growthText(line.sincePrevious, locale), kRightMiddle);
                text(621, 120, growthText(line.growth, locale), kRightMiddle);
            }};
}

Band noteBand(const QString& text)
{
    return {26, [text](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(36, 4, 705, 18), text, 9, false, kLeftMiddle});
            }};
}

Band chartBand(const std::vector<history::ServerSize>& sizes, const QLocale& locale)
{
    return {330, [sizes, locale](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(10, 8, 731, 20), QStringLiteral("Größe des Servers (letzte zwölf Monate)"), 12,
                                true, kLeftMiddle, RuleBelow});
                std::vector<LinePoint> points;
                for (const history::ServerSize& s : sizes)
                    points.push_back({s.started.toLocalTime(), s.Size});
                paintLineChart(p, QRectF(10, 36, 731, 286), points, locale);
            }};
}


}  // namespace

bool paintTopTenArchives(const TopTenArchivesData& data, QPrinter& printer, QString* error, const QLocale& locale,
                         const QDate& date)
{
    QPainter painter;
    if (!beginPrinting(painter, printer, error))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double units = printer.resolution() / 96.0;
    BandWriter writer(painter, printer, page.size() / units, titleBand(data.figuresFrom), Band {0, {}},
                      pageFooterBand(locale.toString(date, QLocale::ShortFormat)));
    const QString growthHeader = data.growthSpan.isEmpty() ? QStringLiteral("Zuwachs") : data.growthSpan;

    writer.place(sectionBand(QStringLiteral("Die zehn größten Archive"), growthHeader));
    for (std::size_t i = 0; i < data.largest.size(); ++i)
        writer.place(lineBand(int(i) + 1, data.largest[i], locale));
    if (data.largest.empty())
        writer.place(noteBand(QStringLiteral("Keine Archive gemessen.")));

    writer.place(sectionBand(data.growthSpan.isEmpty()
                                 ? QStringLiteral("Die zehn Archive mit dem größten Zuwachs")
                                 : QStringLiteral("Die zehn Archive mit dem größten Zuwachs (%1)").arg(data.growthSpan),
                             growthHeader));
    for (std::size_t i = 0; i < data.growing.size(); ++i)
        writer.place(lineBand(int(i) + 1, data.growing[i], locale));
    if (data.growing.empty())
        writer.place(noteBand(data.note.isEmpty() ? QStringLiteral("Kein Archiv ist in einem früheren Lauf enthalten.")
                                                  : data.note));

    writer.place(chartBand(data.sizes, locale));
    writer.finish();
    painter.end();
    return true;
}

void showTopTenArchives(const TopTenArchivesData& data, QWidget* parent)
{
    showReportPreview(QStringLiteral("Top-Ten Archive"), QStringLiteral("Top-Ten Archive.pdf"),
                      [&data](QPrinter& printer, QString* error) { return paintTopTenArchives(data, printer, error); },
                      parent);
}

}  // namespace reports
