#include "reports/archive_overview.h"

#include "reports/band_writer.h"
#include "reports/report_chart.h"
#include "reports/report_preview.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

namespace reports {

namespace {

const QColor kTitleFill(0x30, 0xCB, 0xD8);
const Qt::Alignment kLeftMiddle = Qt::AlignLeft | Qt::AlignVCenter;

Band titleBand()
{
    return {41, [](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(1, 11, 749, 24), QStringLiteral("Übersicht aller Tobit-User"), 14, true,
                                Qt::AlignCenter, RuleBelow, kTitleFill});
            }};
}

Band columnHeaderBand()
{
    return {42, [](QPainter& p, const QRectF&, int) {
                const struct {
                    double left, width;
                    const char* text;
                } columns[] = {{10, 146, "Archivname"}, {155, 70, "UserID"}, {226, 303, "Pfad"},
                               {544, 71, "Größe"},      {679, 60, "Anzahl"}};
                for (const auto& c : columns)
                    drawTextBox(p, {QRectF(c.left, 16, c.width, 18), QString::fromUtf8(c.text), 10, true, kLeftMiddle});
            }};
}

Band dataBand(const ArchivDataRow& row)
{
    return {27, [&row](QPainter& p, const QRectF&, int) {
                const auto text = [&p](double left, double width, const QString& t) {
                    drawTextBox(p, {QRectF(left, 4, width, 18), t, 10, false, kLeftMiddle});
                };
                text(10, 145, row.TobitUser);
                text(155, 74, row.UserID);
                text(230, 313, row.ArchiveID);
                text(544, 133, row.SpeicherTobit + QStringLiteral(" (") + row.AnhangSizeG + QStringLiteral(") MB"));
                text(677, 64, row.AnzahlNachrichtenG);
            }};
}

Band dataFooterBand(const QString& total)
{
    return {24, [total](QPainter& p, const QRectF&, int) {
                drawTextBox(p, {QRectF(8, 4, 147, 18), QStringLiteral("Gesamtanzahl: ") + total, 9, false, kLeftMiddle,
                                RuleAbove});
            }};
}

Band chartBand(QPointF at, const QString& caption, std::vector<ChartBar> bars, const QLocale& locale)
{
    return {312, [at, caption, bars = std::move(bars), locale](QPainter& p, const QRectF&, int) {
                paintBarChart3D(p, QRectF(at, QSizeF(680, 272)), bars, locale);
                drawTextBox(p, {QRectF(at.x(), at.y() + 270, 679, 17), caption, 10, true, kLeftMiddle, RuleBelow});
            }};
}


}  // namespace

void ArchiveOverviewReport::FillReportTable(const std::vector<std::shared_ptr<const TTobData>>& records,
                                            const QLocale& locale, const QDate& date)
{
    tblArchivData.clear();
    m_locale = locale;
    m_date = date;
    for (const auto& record : records) {
        if (record)
            tblArchivData.append(reportRow(*record, locale));
    }
    USERGESAMT = QString::number(records.size());
}

void ArchiveOverviewReport::ClearReportTable()
{
    tblArchivData.clear();
    USERGESAMT.clear();
}

void ArchiveOverviewReport::setUpPrinter(QPrinter& printer)
{
    setUpReportPrinter(printer);
}

bool ArchiveOverviewReport::paint(QPrinter& printer, QString* error) const
{
    QPainter painter;
    if (!beginPrinting(painter, printer, error))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double units = printer.resolution() / 96.0;
    BandWriter writer(painter, printer, page.size() / units, titleBand(), columnHeaderBand(),
                      pageFooterBand(m_locale.toString(m_date, QLocale::ShortFormat)));
    for (const ArchivDataRow& row : tblArchivData.rows())
        writer.place(dataBand(row));
    writer.place(dataFooterBand(USERGESAMT));
    writer.place(chartBand({12, 13}, QStringLiteral("TOP-5 Userarchive (Archivgröße)"),
                           chartBars(tblArchivData, ChartValue::SpeicherTobit, m_locale), m_locale));
    writer.place(chartBand({16, 14}, QStringLiteral("TOP-5 Userarchive (Nachrichtenanzahl)"),
                           chartBars(tblArchivData, ChartValue::AnzahlNachrichtenG, m_locale), m_locale));
    writer.finish();
    painter.end();
    return true;
}

bool saveReportPdf(const ArchiveOverviewReport& report, const QString& fileName, QString* error)
{
    return saveReportPdf([&report](QPrinter& printer, QString* e) { return report.paint(printer, e); }, fileName,
                         error);
}

void showArchiveOverview(const std::vector<std::shared_ptr<const TTobData>>& records, QWidget* parent)
{
    ArchiveOverviewReport report;
    report.FillReportTable(records);
    showReportPreview(QStringLiteral("Übersicht Userarchive"), QStringLiteral("Übersicht Userarchive.pdf"),
                      [&report](QPrinter& printer, QString* error) { return report.paint(printer, error); }, parent);
    report.ClearReportTable();
}

}  // namespace reports
