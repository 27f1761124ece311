#pragma once

#include "reports/band_writer.h"

#include <QString>

#include <functional>

class QPrinter;
class QWidget;

namespace reports {

// Paints a whole report on a printer's pages; false with the reason when the printer cannot be painted on.
using ReportPainter = std::function<bool(QPrinter& printer, QString* error)>;

// The reports' page footer: the date on the left, "Seite N" on the right, a rule above.
Band pageFooterBand(const QString& date);

// A4 portrait with the reports' margins.
void setUpReportPrinter(QPrinter& printer);

// Paints a report into a PDF file; false with the reason when the file cannot be written.
bool saveReportPdf(const ReportPainter& paint, const QString& fileName, QString* error = nullptr);

// The reports' modal preview (zoom, pages, print, "Als PDF speichern" offering `pdfName`, close).
void showReportPreview(const QString& title, const QString& pdfName, const ReportPainter& paint, QWidget* parent);

}  // namespace reports
