// "Übersicht Userarchive" printed to PDF and read back as text and as page pictures.

#include "pdf_reader.h"
#include "reports/archive_overview.h"
#include "ui/fonts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>
#include <QTimer>

using namespace reports;

namespace {

using Records = std::vector<std::shared_ptr<const TTobData>>;

std::shared_ptr<const TTobData> user(const QString& name, int i, long double size = 0, double messages = 0,
                                     double attachments = 0)
{
    auto r = std::make_shared<TTobData>();
    r->TobitUser = name;
    r->Pfad = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\%1").arg(0xA000 + i, 8, 16, QLatin1Char('0')).toUpper();
    r->UserID = userIdFromPath(r->Pfad);
    r->FullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + r->UserID;
    r->Size = size;
    r->AnzahlNachrichtenG = messages;
    r->AnhangSizeG = attachments;
    return r;
}

// The index of the first line containing text, from `from` on; -1 when none does.
int lineWith(const QStringList& lines, const QString& text, int from = 0)
{
    for (int i = from; i < lines.size(); ++i)
        if (lines[i].contains(text))
            return i;
    return -1;
}

}  // namespace

class TestOverviewReport : public QObject {
    Q_OBJECT

    QString m_out;
    const QLocale m_german {QLocale::German, QLocale::Germany};
    const QDate m_date {2026, 3, 5};

    // Prints the records' report into the build folder's picture folder; the PDF's path.
    QString print(const Records& records, const QString& name)
    {
        ArchiveOverviewReport report;
        report.FillReportTable(records, m_german, m_date);
        const QString file = m_out + QLatin1Char('/') + name + QStringLiteral(".pdf");
        QString error;
        if (!saveReportPdf(report, file, &error))
            qWarning() << error;
        return file;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(m_german);
        ui::installFontSubstitutes();
        m_out = QCoreApplication::applicationDirPath() + QStringLiteral("/../report-pictures");
        QVERIFY(QDir().mkpath(m_out));
    }

    void emptyTableGivesTheFrame()
    {
        PDF_TOOLS_OR_SKIP();
        const QString file = print({}, QStringLiteral("overview-0"));
        QCOMPARE(pdf::pageCount(file), 1);
        const QStringList lines = pdf::lines(pdf::pages(file).value(0));
        const QStringList expected {QStringLiteral("Übersicht aller Tobit-User"),
                                    QStringLiteral("Archivname UserID Pfad Größe Anzahl"),
                                    QStringLiteral("Gesamtanzahl: 0"),
                                    QStringLiteral("TOP-5 Userarchive (Archivgröße)"),
                                    QStringLiteral("TOP-5 Userarchive (Nachrichtenanzahl)"),
                                    QStringLiteral("05.03.26 Seite 1")};
        int at = 0;
        for (const QString& text : expected) {
            at = lineWith(lines, text, at);
            QVERIFY2(at >= 0, qPrintable(text + QStringLiteral(" missing or out of order in:\n") + lines.join('\n')));
        }
    }

    void fourUsersInTableOrder()
    {
        PDF_TOOLS_OR_SKIP();
        const Records records {user(QStringLiteral("Zoe Wagner"), 0, 1234.567L, 1234.5813953488, 12.5),
                               user(QStringLiteral("Anna Becker"), 1, 0, 0, 0),
                               user(QStringLiteral("Bernd Fischer"), 2, 20, 7, 1),
                               user(QStringLiteral("Carla Dorn"), 3, 3.5, 2, 0.25)};
        const QString file = print(records, QStringLiteral("overview-4"));
        const QStringList lines = pdf::lines(pdf::pages(file).join('\n'));
        const QStringList rows {
            QStringLiteral("Zoe Wagner 0000A000 SRV01:DAVID\\ARCHIVE\\USER\\0000A000 1234,57 (12,5) MB 1234,5813"),
            QStringLiteral("Anna Becker 0000A001 SRV01:DAVID\\ARCHIVE\\USER\\0000A001 0 (0) MB 0"),
            QStringLiteral("Bernd Fischer 0000A002 SRV01:DAVID\\ARCHIVE\\USER\\0000A002 20 (1) MB 7"),
            QStringLiteral("Carla Dorn 0000A003 SRV01:DAVID\\ARCHIVE\\USER\\0000A003 3,5 (0,25) MB 2")};
        int at = 0;
        for (const QString& row : rows) {
            at = lineWith(lines, row, at);
            QVERIFY2(at >= 0, qPrintable(row + QStringLiteral(" missing or out of order in:\n") + lines.join('\n')));
        }
        QVERIFY(lineWith(lines, QStringLiteral("Gesamtanzahl: 4"), at) > at);
        // Both charts label their bars in table order and have no "Andere".
        const int first = lineWith(lines, QStringLiteral("Zoe Wagner Anna Becker Bernd Fischer Carla Dorn"), at);
        QVERIFY2(first > at, qPrintable(lines.join('\n')));
        QVERIFY(lineWith(lines, QStringLiteral("Zoe Wagner Anna Becker Bernd Fischer Carla Dorn"), first + 1) > first);
        QCOMPARE(lineWith(lines, QStringLiteral("Andere")), -1);
    }

    void sevenUsersGiveTheTopFiveAndAndere()
    {
        PDF_TOOLS_OR_SKIP();
        Records records;
        const double sizes[] = {10, 70, 30, 50, 20, 60, 40};
        for (int i = 0; i < 7; ++i)
            records.push_back(user(QStringLiteral("U%1").arg(i), i, sizes[i], 100 - sizes[i]));
        const QString file = print(records, QStringLiteral("overview-7"));
        const QStringList lines = pdf::lines(pdf::pages(file).join('\n'));
        // By size: 70 60 50 40 30, the rest 10 + 20; by messages: 90 80 70 60 50, the rest 40 + 30.
        QVERIFY2(lineWith(lines, QStringLiteral("U1 U5 U3 U6 U2 Andere")) >= 0, qPrintable(lines.join('\n')));
        QVERIFY2(lineWith(lines, QStringLiteral("U0 U4 U2 U6 U3 Andere")) >= 0, qPrintable(lines.join('\n')));
        QVERIFY(lineWith(lines, QStringLiteral("Gesamtanzahl: 7")) >= 0);
    }

    void textsPrintAsPlainCharacters()
    {
        PDF_TOOLS_OR_SKIP();
        const QString file = print({user(QStringLiteral("<b>Chef</b> & Co"), 0, 1)}, QStringLiteral("overview-markup"));
        const QStringList lines = pdf::lines(pdf::pages(file).join('\n'));
        QVERIFY2(lineWith(lines, QStringLiteral("<b>Chef</b> & Co 0000A000")) >= 0, qPrintable(lines.join('\n')));
    }

    void twoRunsGiveTheSameLines()
    {
        PDF_TOOLS_OR_SKIP();
        const Records records {user(QStringLiteral("Anna"), 0, 5, 3), user(QStringLiteral("Bert"), 1, 7, 2)};
        ArchiveOverviewReport report;
        QStringList texts;
        for (int run = 0; run < 2; ++run) {
            report.FillReportTable(records, m_german, m_date);
            QCOMPARE(report.tblArchivData.rowCount(), 2);
            const QString file = m_out + QStringLiteral("/overview-run%1.pdf").arg(run);
            QVERIFY(saveReportPdf(report, file));
            texts << pdf::pages(file).join('\f');
            report.ClearReportTable();
            QCOMPARE(report.tblArchivData.rowCount(), 0);
        }
        QVERIFY(!texts[0].isEmpty());
        QCOMPARE(texts[1], texts[0]);
    }

    void sixtyUsersRunOntoSeveralPages()
    {
        PDF_TOOLS_OR_SKIP();
        Records records;
        for (int i = 0; i < 60; ++i)
            records.push_back(user(QStringLiteral("Benutzer %1").arg(i, 2, 10, QLatin1Char('0')), i, i, i));
        const QString file = print(records, QStringLiteral("overview-60"));
        const QStringList pages = pdf::pages(file);
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        QCOMPARE(pdf::pageCount(file), int(pages.size()));
        int nextUser = 0;
        for (int p = 0; p < pages.size(); ++p) {
            const QStringList lines = pdf::lines(pages[p]);
            QCOMPARE(lineWith(lines, QStringLiteral("Übersicht aller Tobit-User")) >= 0, p == 0);
            const int header = lineWith(lines, QStringLiteral("Archivname UserID Pfad Größe Anzahl"));
            QVERIFY2(header >= 0 && header <= 1, qPrintable(pages[p]));
            QCOMPARE(lines.last(), QStringLiteral("05.03.26 Seite %1").arg(p + 1));
            // Every user once, in order, across the pages.
            for (const QString& line : lines)
                if (line.startsWith(QStringLiteral("Benutzer ")) && line.contains(QStringLiteral(" MB ")))
                    QCOMPARE(line.mid(9, 2).toInt(), nextUser++);
        }
        QCOMPARE(nextUser, 60);
        // The footer and both charts follow the last row.
        const QStringList all = pdf::lines(pages.join('\n'));
        const int last = lineWith(all, QStringLiteral("Benutzer 59"));
        QVERIFY(lineWith(all, QStringLiteral("Gesamtanzahl: 60"), last) > last);
        QVERIFY(lineWith(all, QStringLiteral("TOP-5 Userarchive (Nachrichtenanzahl)"), last) > last);
    }

    void pagesLookAsLaidOut()
    {
        PDF_TOOLS_OR_SKIP();
        Records records;
        for (int i = 0; i < 4; ++i)
            records.push_back(user(QStringLiteral("Person %1").arg(i), i, 10 * (i + 1), 5 * (4 - i)));
        const QString file = print(records, QStringLiteral("overview-picture"));
        const QImage page = pdf::pageImage(file, 1, 96);
        QVERIFY(!page.isNull());
        // A4 at 96 dpi; the title's fill lies 10 mm + 11 units down, 5 mm + 1 unit in.
        QVERIFY(qAbs(page.width() - 794) <= 1 && qAbs(page.height() - 1123) <= 1);
        const auto colourAt = [&page](double x, double y) { return page.pixelColor(int(x), int(y)).rgb() & 0xFFFFFF; };
        QCOMPARE(colourAt(19 + 5, 38 + 13), 0x30CBD8u);
        QCOMPARE(colourAt(19 + 745, 38 + 13), 0x30CBD8u);
        QCOMPARE(colourAt(19 + 760, 38 + 13), 0xFFFFFFu);
        // Each chart shows its bars in their own colours, front faces in the plain colour.
        int red = 0, green = 0, yellow = 0, blue = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y) & 0xFFFFFF;
                red += c == 0xFF0000;
                green += c == 0x008000;
                yellow += c == 0xFFFF00;
                blue += c == 0x0000FF;
            }
        QVERIFY2(red > 200 && green > 200 && yellow > 200 && blue > 200,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(red).arg(green).arg(yellow).arg(blue)));
    }

    void previewShowsTheReportAndOffersPdf()
    {
        Records records;
        for (int i = 0; i < 60; ++i)
            records.push_back(user(QStringLiteral("Benutzer %1").arg(i), i, i, i));
        int pages = -1;
        bool pdfAction = false;
        QTimer::singleShot(0, this, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview)
                return;
            auto* widget = preview->findChild<QPrintPreviewWidget*>();
            QTRY_VERIFY(widget && widget->pageCount() > 0);
            pages = widget->pageCount();
            for (QAction* a : preview->findChildren<QAction*>())
                pdfAction |= a->text() == QStringLiteral("Als PDF speichern");
            preview->reject();
        });
        // A failing check must not leave the dialog open.
        QTimer fallback;
        connect(&fallback, &QTimer::timeout, this, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        fallback.start(10000);
        showArchiveOverview(records, nullptr);
        QVERIFY(pages >= 3);
        QVERIFY(pdfAction);
    }

    void unwritableFileIsReported()
    {
        ArchiveOverviewReport report;
        report.FillReportTable({user(QStringLiteral("Anna"), 0)}, m_german, m_date);
        QString error;
        QVERIFY(!saveReportPdf(report, QStringLiteral("/nonexistent-folder/x.pdf"), &error));
        QVERIFY(error.contains(QStringLiteral("/nonexistent-folder/x.pdf")));
    }
};

QTEST_MAIN(TestOverviewReport)
#include "tst_overview_report.moc"
