#include "reports/top_ten_types.h"

#include "reports/band_writer.h"
#include "reports/report_chart.h"
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

struct Columns {
    QString number, key, count, share, archives;
};

Band rowBand(const Columns& c, bool bold, double height, int rules = NoRule)
{
    return {height, [c, bold, height, rules](QPainter& p, const QRectF&, int) {
                const double top = height - 21;
                const auto text = [&](double left, double width, const QString& t, Qt::Alignment align) {
                    drawTextBox(p, {QRectF(left, top + 2, width, 17), t, bold ? 10.0 : 9.0, bold, align, rules});
                };
                text(10, 30, c.number, kLeftMiddle);
                text(40, 250, c.key, kLeftMiddle);
                text(290, 130, c.count, kRightMiddle);
                text(420, 130, c.share, kRightMiddle);
                text(550, 130, c.archives, kRightMiddle);
            }};
}

}  // namespace

TopTenTypesData buildTopTenTypes(const std::vector<std::optional<std::vector<history::TypeTally>>>& archives,
                                 bool withSubArchives)
{
    TopTenTypesData data;
    data.withSubArchives = withSubArchives;
    data.archives = int(archives.size());
    std::vector<history::TypeTotal> totals;
    QHash<QString, std::size_t> index;
    for (const auto& archive : archives) {
        if (!archive) {
            ++data.failed;
            continue;
        }
        for (const history::TypeTally& t : *archive) {
            if (!index.contains(t.key)) {
                index.insert(t.key, totals.size());
                totals.push_back({t.key, 0, 0});
            }
            history::TypeTotal& total = totals[index.value(t.key)];
            total.count += t.count;
            total.archives += t.count > 0 ? 1 : 0;
            data.total += t.count;
        }
    }
    std::stable_sort(totals.begin(), totals.end(),
                     [](const history::TypeTotal& a, const history::TypeTotal& b) { return a.count > b.count; });
    for (std::size_t i = 0; i < totals.size(); ++i) {
        if (i < kTen) {
            data.top.push_back(totals[i]);
        } else {
            data.restCount += totals[i].count;
            ++data.restTypes;
        }
    }
    return data;
}

QString shareText(qint64 count, qint64 total, const QLocale& locale)
{
    if (total <= 0)
        return QStringLiteral("–");
    return locale.toString(100.0 * double(count) / double(total), 'f', 1) + QStringLiteral(" %");
}

bool paintTopTenTypes(const TopTenTypesData& data, QPrinter& printer, QString* error, const QLocale& locale,
                      const QDate& date)
{
    QPainter painter;
    if (!beginPrinting(painter, printer, error))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double units = printer.resolution() / 96.0;
    QString subtitle = QStringLiteral("%1 Archive %2, %3 Anhänge")
                           .arg(data.archives)
                           .arg(data.withSubArchives ? QStringLiteral("mit Unterarchiven")
                                                     : QStringLiteral("ohne Unterarchive"))
                           .arg(data.total);
    if (data.failed > 0)
        subtitle += QStringLiteral("; %1 Archive konnten nicht gelesen werden und fehlen").arg(data.failed);
    const Band title {64, [subtitle](QPainter& p, const QRectF&, int) {
                          drawTextBox(p, {QRectF(1, 11, 749, 24), QStringLiteral("Top-Ten Dateitypen (Anhang)"), 14,
                                          true, Qt::AlignCenter, RuleBelow, kTitleFill});
                          drawTextBox(p, {QRectF(10, 40, 731, 18), subtitle, 9, false, kLeftMiddle});
                      }};
    BandWriter writer(painter, printer, page.size() / units, title, Band {0, {}},
                      pageFooterBand(locale.toString(date, QLocale::ShortFormat)));

    writer.place(rowBand({QStringLiteral("Nr."), QStringLiteral("Dateityp"), QStringLiteral("Anzahl"),
                          QStringLiteral("Anteil"), QStringLiteral("Archive")},
                         true, 34, RuleBelow));
    std::vector<ChartBar> bars;
    for (std::size_t i = 0; i < data.top.size(); ++i) {
        const history::TypeTotal& t = data.top[i];
        writer.place(rowBand({QString::number(i + 1), t.key, QString::number(t.count),
                              shareText(t.count, data.total, locale), QString::number(t.archives)},
                             false, 21));
        bars.push_back({t.key, double(t.count)});
    }
    if (data.restTypes > 0) {
        writer.place(rowBand({QString(), QStringLiteral("Rest (%1 Typen)").arg(data.restTypes),
                              QString::number(data.restCount), shareText(data.restCount, data.total, locale),
                              QString()},
                             false, 21));
        bars.push_back({QStringLiteral("Rest"), double(data.restCount)});
    }
    if (data.top.empty())
        writer.place(rowBand({QString(), QStringLiteral("Keine Anhänge gefunden."), {}, {}, {}}, false, 21));
    writer.place({312, [bars, locale](QPainter& p, const QRectF&, int) {
                      paintBarChart3D(p, QRectF(12, 13, 680, 272), bars, locale);
                      drawTextBox(p, {QRectF(12, 283, 679, 17), QStringLiteral("Anhänge nach Dateityp"), 10, true,
                                      kLeftMiddle, RuleBelow});
                  }});
    writer.finish();
    painter.end();
    return true;
}

void showTopTenTypes(const TopTenTypesData& data, QWidget* parent)
{
    showReportPreview(QStringLiteral("Top-Ten Dateitypen (Anhang)"), QStringLiteral("Top-Ten Dateitypen.pdf"),
                      [&data](QPrinter& printer, QString* error) { return paintTopTenTypes(data, printer, error); },
                      parent);
}

}  // namespace reports
