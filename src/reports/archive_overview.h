#pragma once

#include "engine/tob_data.h"
#include "reports/report_table.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

class QPrinter;
class QWidget;

namespace reports {

// "Übersicht Userarchive": the top-level rows copied into a table of texts, laid out in bands on A4 portrait
// with the two Top-5 charts.
class ArchiveOverviewReport {
public:
    // Every top-level row in the table's order, hidden ones included; sets USERGESAMT and the run's date.
    void FillReportTable(const std::vector<std::shared_ptr<const TTobData>>& records,
                         const QLocale& locale = QLocale(), const QDate& date = QDate::currentDate());
    void ClearReportTable();

    // A4 portrait with the report's margins.
    static void setUpPrinter(QPrinter& printer);
    // Paints the whole report on the printer's pages (preview, print and PDF alike); false with the reason when
    // the printer cannot be painted on.
    bool paint(QPrinter& printer, QString* error = nullptr) const;

    ReportTable tblArchivData;
    QString USERGESAMT;

private:
    QLocale m_locale;
    QDate m_date;
};

// Paints the report into a PDF file; false with the reason when the file cannot be written.
bool saveReportPdf(const ArchiveOverviewReport& report, const QString& fileName, QString* error = nullptr);

// The menu command: fills the report table from the records, shows the report in a modal preview (zoom, pages,
// print, "Als PDF speichern", close) and empties the table when the preview closes.
void showArchiveOverview(const std::vector<std::shared_ptr<const TTobData>>& records, QWidget* parent);

}  // namespace reports
