// "Liste drucken (als Bild)": the table's picture as the view paints it, cut into printer pages.

#include "pdf_reader.h"
#include "reports/table_image_print.h"
#include "window_fixture.h"

#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTreeView>

using namespace reports;

namespace {

const QColor kStripe(0xFF, 0xE0, 0xA0);
const QColor kBar(0x20, 0x40, 0xC0);
const QColor kHighlight(0xFF, 0x00, 0x00);

// Paints a bar under column 1's text, like the archive table's delegate.
class BarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() == 1)
            painter->fillRect(option.rect.adjusted(3, 3, -option.rect.width() / 2, -3), kBar);
        QStyledItemDelegate::paint(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 18};
    }
};

// Stripes every even row in drawRow, as the archive table does, and keeps its size column by a rule on resize.
class StripedView : public QTreeView {
public:
    StripedView()
    {
        setItemDelegate(new BarDelegate(this));
        setUniformRowHeights(true);
        header()->setStretchLastSection(false);
        QPalette p = palette();
        p.setColor(QPalette::Highlight, kHighlight);
        p.setColor(QPalette::Inactive, QPalette::Highlight, kHighlight);
        setPalette(p);
    }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.row() % 2 == 0)
            painter->fillRect(option.rect, kStripe);
        QTreeView::drawRow(painter, option, index);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QTreeView::resizeEvent(event);
        if (header()->count() > 1)
            header()->resizeSection(1, qMax(40, width() - 300));
    }
};

// 40 rows: every third hidden; row 4 expanded with two children, row 5 collapsed with one.
QStandardItemModel* fortyRows(QObject* parent)
{
    auto* model = new QStandardItemModel(0, 4, parent);
    model->setHorizontalHeaderLabels({"Name", "Größe", "ID", "Anzahl"});
    for (int r = 0; r < 40; ++r) {
        QList<QStandardItem*> row;
        for (int c = 0; c < 4; ++c)
            row << new QStandardItem(QStringLiteral("R%1 C%2").arg(r).arg(c));
        if (r == 4 || r == 5)
            for (int k = 0; k < (r == 4 ? 2 : 1); ++k)
                row[0]->appendRow({new QStandardItem(QStringLiteral("Kind %1").arg(k)), new QStandardItem("x"),
                                   new QStandardItem, new QStandardItem});
        model->appendRow(row);
    }
    return model;
}

struct Fixture {
    StripedView view;
    QStandardItemModel* model;
    int shownRows = 0;
    Fixture() : model(fortyRows(&view))
    {
        view.setModel(model);
        view.resize(400, 200);
        for (int c = 0; c < 4; ++c)
            view.header()->resizeSection(c, 120 + 10 * c);
        for (int r = 0; r < 40; ++r) {
            view.setRowHidden(r, {}, r % 3 == 2);
            shownRows += r % 3 != 2;
        }
        view.expand(model->index(4, 0));
        shownRows += 2;
        view.show();
    }
};

int countColour(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF);
    return n;
}

}  // namespace

class TestTablePrint : public QObject {
    Q_OBJECT
    QString m_out;

    QString printToPdf(QTreeView* view, const QString& name, QPageLayout::Orientation orientation)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(orientation);
        const QString file = m_out + QLatin1Char('/') + name + QStringLiteral(".pdf");
        printer.setOutputFileName(file);
        QString error;
        if (!printTableImage(view, printer, &error))
            qWarning() << error;
        return file;
    }

    // The page grid the printer gives the view's picture.
    TablePageGrid gridFor(QTreeView* view, QPageLayout::Orientation orientation)
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(orientation);
        const QSize picture = TablePicture(view).size();
        return tablePageGrid(picture, printer.pageLayout().paintRectPixels(printer.resolution()).size(),
                             printScale(view->font(), view, &printer));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // The colours counted below are the palette's; Windows' own style paints header and selection from
        // its theme instead, so the pictures are taken in the style every platform has.
        QApplication::setStyle(QStringLiteral("Fusion"));
        m_out = QCoreApplication::applicationDirPath() + QStringLiteral("/../report-pictures");
        QVERIFY(QDir().mkpath(m_out));
    }

    void pictureHoldsHeaderAndShownRows()
    {
        Fixture f;
        int columns = 0;
        for (int c = 0; c < 4; ++c)
            columns += f.view.header()->sectionSize(c);
        QVERIFY(columns > f.view.viewport()->width());
        const TablePicture picture(&f.view);
        // As wide as the columns, as high as the header and the shown rows (hidden and collapsed ones left out).
        QCOMPARE(picture.size(), QSize(columns, f.view.header()->height() + f.shownRows * 18));
        const QImage whole = picture.part(QRect(QPoint(0, 0), picture.size()));
        whole.save(m_out + QStringLiteral("/table-picture.png"));
        // The header as the screen shows it, along the top.
        const QImage screenHeader = f.view.header()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(countColour(screenHeader, Qt::white) < screenHeader.width() * screenHeader.height() / 2);
        QCOMPARE(whole.copy(QRect(QPoint(0, 0), screenHeader.size())), screenHeader);
        QVERIFY(countColour(whole, kStripe) > 0);
        QVERIFY(countColour(whole, kBar) > 0);
    }

    void pagesAreCutFromTheOnePicture()
    {
        Fixture f;
        const TablePicture picture(&f.view);
        const QImage whole = picture.part(QRect(QPoint(0, 0), picture.size()));
        // Odd page sizes, reaching beyond the picture's right and bottom edges.
        const QSize page(137, 101);
        for (int y = 0; y < picture.size().height(); y += page.height())
            for (int x = 0; x < picture.size().width(); x += page.width()) {
                const QRect area(QPoint(x, y), page);
                QImage expected(page, QImage::Format_RGB32);
                expected.fill(Qt::white);
                QPainter(&expected).drawImage(0, 0, whole.copy(area & whole.rect()));
                QVERIFY2(picture.part(area) == expected, qPrintable(QStringLiteral("page at %1,%2").arg(x).arg(y)));
            }
    }

    void selectionAndFocusAreNotPrintedAndTheViewIsRestored()
    {
        Fixture f;
        f.view.setFocus();
        f.view.setCurrentIndex(f.model->index(3, 0));
        f.view.selectionModel()->select(f.model->index(3, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
        QItemSelectionModel* selection = f.view.selectionModel();
        const QRect geometry = f.view.geometry();
        const int sizeColumn = f.view.header()->sectionSize(1);
        QVERIFY(countColour(f.view.grab().toImage(), kHighlight) > 0);
        f.view.verticalScrollBar()->setValue(5);
        {
            const TablePicture picture(&f.view);
            QCOMPARE(countColour(picture.part(QRect(QPoint(0, 0), picture.size())), kHighlight), 0);
        }
        QCOMPARE(f.view.selectionModel(), selection);
        QVERIFY(selection->isRowSelected(3, {}));
        QCOMPARE(f.view.currentIndex(), f.model->index(3, 0));
        QCOMPARE(f.view.geometry(), geometry);
        QCOMPARE(f.view.header()->sectionSize(1), sizeColumn);
        QCOMPARE(f.view.verticalScrollBar()->value(), 5);
        QVERIFY(f.view.updatesEnabled());
    }

    void printerKeepsTheScreensProportions()
    {
        // The table's font is given in pixels; on a 1200 dpi printer the picture grows by about 1200 / 96.
        QTreeView view;
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(9);
        font.setBold(true);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(1200);
        const double expected = 1200.0 / view.logicalDpiY();
        const double scale = printScale(font, &view, &printer);
        QVERIFY2(scale > expected * 0.8 && scale < expected * 1.25, qPrintable(QString::number(scale)));
    }

    void emptyTablePrintsNothing()
    {
        QTreeView view;
        QStandardItemModel model(0, 3);
        view.setModel(&model);
        bool dialogShown = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                dialogShown = true;
                w->close();
            }
        });
        closer.start(50);
        printTableAsImage(&view, nullptr);
        QVERIFY(!dialogShown);
        const QString file = printToPdf(&view, QStringLiteral("table-empty"), QPageLayout::Portrait);
        QVERIFY(!QFile::exists(file));
    }

    // The main window's table of a generated server: narrow, tall, filtered and expanded.
    void mainWindowTableInPages()
    {
        PDF_TOOLS_OR_SKIP();
        ServerOnDisk server;
        for (int i = 0; i < 60; ++i)
            server.addUser(QStringLiteral("Alpha %1").arg(i, 3, 10, QLatin1Char('0')), 1);
        auto expandable = server.addUser(QStringLiteral("Beta 000"), 1);
        for (int i = 0; i < 3; ++i)
            server.addSub(expandable, QStringLiteral("Ordner %1").arg(i), 1);
        for (int i = 1; i < 90; ++i)
            server.addUser(QStringLiteral("Beta %1").arg(i, 3, 10, QLatin1Char('0')), 1);
        BoxCloser boxes;
        TForm1 form;
        form.setRowColours(kStripe, QColor(0xC0, 0xFF, 0xC0));
        form.show();
        form.form()->Starten->click();
        QTreeView* view = form.form()->VTTabelle;
        QCOMPARE(view->model()->rowCount(), 150);
        const int header = view->header()->height();
        const auto landscape = QPageLayout::Landscape;

        // Tall: every row, one column of pages on landscape paper, several pages down.
        QCOMPARE(TablePicture(view).size().height(), header + 150 * 18);
        TablePageGrid grid = gridFor(view, landscape);
        QCOMPARE(grid.across, 1);
        QVERIFY(grid.down >= 3);
        QString file = printToPdf(view, QStringLiteral("table-tall"), landscape);
        QCOMPARE(pdf::pageCount(file), grid.down);
        const QImage first = pdf::pageImage(file, 1, 48);
        QVERIFY(countColour(first, kStripe) > 1000);

        // Portrait paper is narrower than the table: two columns of pages, row by row.
        grid = gridFor(view, QPageLayout::Portrait);
        QCOMPARE(grid.across, 2);
        QCOMPARE(pdf::pageCount(printToPdf(view, QStringLiteral("table-tall-portrait"), QPageLayout::Portrait)),
                 grid.count());

        // Filtered: the 90 "Beta" rows only.
        form.form()->sFilter->setText(QStringLiteral("beta"));
        QCOMPARE(TablePicture(view).size().height(), header + 90 * 18);
        const int filteredPages = gridFor(view, landscape).count();
        QCOMPARE(pdf::pageCount(printToPdf(view, QStringLiteral("table-filtered"), landscape)), filteredPages);
        QVERIFY(filteredPages < grid.down * 2);

        // Expanded: the three sub-archives join their user.
        view->expand(view->model()->index(60, 0));
        QVERIFY(waitFor([&] { return view->model()->rowCount(view->model()->index(60, 0)) == 3; }, 5000));
        QCOMPARE(TablePicture(view).size().height(), header + 93 * 18);
        QCOMPARE(pdf::pageCount(printToPdf(view, QStringLiteral("table-expanded"), landscape)),
                 gridFor(view, landscape).count());

        // Narrow: a few rows fit one landscape page.
        form.form()->sFilter->setText(QStringLiteral("alpha 00"));
        QCOMPARE(pdf::pageCount(printToPdf(view, QStringLiteral("table-narrow"), landscape)), 1);
        QVERIFY(boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(TestTablePrint)
#include "tst_table_print.moc"
