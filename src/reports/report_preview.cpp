#include "reports/report_preview.h"

#include "ui/fonts.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>

namespace reports {

Band pageFooterBand(const QString& date)
{
    return {27, [date](QPainter& p, const QRectF&, int page) {
                drawTextBox(p, {QRectF(16, 5, 735, 17), QStringLiteral("Seite ") + QString::number(page), 10, false,
                                Qt::AlignRight | Qt::AlignVCenter, RuleAbove});
                drawTextBox(p, {QRectF(16, 5, 98, 18), date, 10, false, Qt::AlignLeft | Qt::AlignTop});
            }};
}

void setUpReportPrinter(QPrinter& printer)
{
    // 5 mm at the sides leave the 751 units of the widest band on the paper; 10 mm above and below.
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 10, 5, 10),
                                      QPageLayout::Millimeter));
}

bool saveReportPdf(const ReportPainter& paint, const QString& fileName, QString* error)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(fileName);
    setUpReportPrinter(pdf);
    return paint(pdf, error);
}

void showReportPreview(const QString& title, const QString& pdfName, const ReportPainter& paint, QWidget* parent)
{
    ui::installFontSubstitutes();
    // Without an installed printer QPrinter falls back to PDF output, so the preview's print still works.
    QPrinter printer(QPrinter::HighResolution);
    setUpReportPrinter(printer);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(title);
    // Room for a whole page at a readable zoom.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        preview.resize(QSize(900, 1000).boundedTo(screen->availableSize()));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&paint, &preview](QPrinter* p) {
        QString error;
        if (!paint(*p, &error))
            QMessageBox::warning(&preview, QStringLiteral("Warnung"), error);
    });
    if (auto* toolbar = preview.findChild<QToolBar*>()) {
        toolbar->addSeparator();
        QAction* save = toolbar->addAction(QStringLiteral("Als PDF speichern"));
        save->setObjectName(QStringLiteral("AlsPdfSpeichern"));
        QObject::connect(save, &QAction::triggered, &preview, [&paint, &preview, pdfName] {
            QString fileName = QFileDialog::getSaveFileName(&preview, QStringLiteral("Als PDF speichern"), pdfName,
                                                            QStringLiteral("PDF-Dateien (*.pdf)"));
            if (fileName.isEmpty())
                return;
            if (!fileName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
                fileName += QStringLiteral(".pdf");
            QString error;
            if (!saveReportPdf(paint, fileName, &error))
                QMessageBox::warning(&preview, QStringLiteral("Warnung"), error);
        });
    }
    preview.exec();
}

}  // namespace reports
