#include "reports/table_image_print.h"

#include "reports/band_writer.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHoverEvent>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTreeView>

#include <cmath>
#include <vector>

namespace reports {

TablePageGrid tablePageGrid(QSize picture, QSizeF printerPage, double scale)
{
    if (!(scale > 0))
        scale = 1;
    TablePageGrid grid;
    grid.page = QSize(std::max(1, int(std::lround(printerPage.width() / scale))),
                      std::max(1, int(std::lround(printerPage.height() / scale))));
    const auto pages = [](int length, int page) { return std::max(1, (length + page - 1) / page); };
    grid.across = pages(picture.width(), grid.page.width());
    grid.down = pages(picture.height(), grid.page.height());
    return grid;
}

double printScale(const QFont& tableFont, const QPaintDevice* screen, const QPaintDevice* printer)
{
    QFont font = tableFont;
    if (font.pixelSize() > 0)
        font.setPointSizeF(font.pixelSize() * 72.0 / screen->logicalDpiY());
    const QString sample = QStringLiteral("Tj");
    const double onScreen = QFontMetricsF(font, screen).size(Qt::TextSingleLine, sample).height();
    const double onPrinter = QFontMetricsF(font, printer).size(Qt::TextSingleLine, sample).height();
    if (onScreen > 0 && onPrinter > 0)
        return onPrinter / onScreen;
    return double(printer->logicalDpiY()) / screen->logicalDpiY();
}

// What the view looked like before it was prepared for printing.
struct TablePicture::Saved {
    bool updatesEnabled = true;
    bool autoScroll = true;
    QRect geometry;
    std::vector<int> sectionSizes;
    int vertical = 0;
    int horizontal = 0;
    QPalette palette;
    bool ownPalette = false;
    QItemSelectionModel* selection = nullptr;
    QItemSelectionModel* blank = nullptr;
};

TablePicture::TablePicture(QTreeView* view) : m_view(view), m_saved(new Saved)
{
    Saved& s = *m_saved;
    QHeaderView* header = view->header();
    s.updatesEnabled = view->updatesEnabled();
    s.autoScroll = view->hasAutoScroll();
    s.geometry = view->geometry();
    for (int i = 0; i < header->count(); ++i)
        s.sectionSizes.push_back(header->sectionSize(i));
    s.vertical = view->verticalScrollBar()->value();
    s.horizontal = view->horizontalScrollBar()->value();
    s.palette = view->palette();
    s.ownPalette = view->testAttribute(Qt::WA_SetPalette);
    s.selection = view->selectionModel();

    // The screen keeps its last picture while the view is stretched to the whole table.
    view->setUpdatesEnabled(false);

    // No selection, no focus frame, no hover: an empty selection model of its own for the duration.
    view->setAutoScroll(false);
    s.blank = new QItemSelectionModel(view->model());
    view->setSelectionModel(s.blank);
    QHoverEvent leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(-1, -1), QPointF(-1, -1));
    QCoreApplication::sendEvent(view->viewport(), &leave);

    QPalette white = s.palette;
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::AlternateBase, Qt::white);
    view->setPalette(white);

    m_headerHeight = header->isHidden() ? 0 : header->height();
    const QSize client(view->viewport()->width(), view->viewport()->height() + m_headerHeight);
    view->verticalScrollBar()->setValue(0);
    view->horizontalScrollBar()->setValue(0);

    // The rows the view shows: below every shown top-level row, its expanded children.
    QModelIndex first;
    QAbstractItemModel* model = view->model();
    for (int r = 0; r < model->rowCount(view->rootIndex()) && !first.isValid(); ++r)
        if (!view->isRowHidden(r, view->rootIndex()))
            first = model->index(r, 0, view->rootIndex());
    int rows = 0;
    if (first.isValid()) {
        QModelIndex last = first;
        for (QModelIndex i = view->indexBelow(first); i.isValid(); i = view->indexBelow(i))
            last = i;
        rows = view->visualRect(last).bottom() + 1 - view->visualRect(first).top();
    }
    m_size = QSize(std::max(header->length(), client.width()), std::max(m_headerHeight + rows, client.height()));

    // Stretch the view until its viewport holds the whole picture; a scroll bar that goes away only adds room.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int shortX = m_size.width() - view->viewport()->width();
        const int shortY = m_size.height() - m_headerHeight - view->viewport()->height();
        if (shortX <= 0 && shortY <= 0)
            break;
        view->resize(view->width() + std::max(0, shortX), view->height() + std::max(0, shortY));
        // The view may have its own rule for column widths on resize; the printout shows the widths as they were.
        for (int i = 0; i < header->count(); ++i)
            if (!header->isSectionHidden(i) && header->sectionSize(i) != s.sectionSizes[std::size_t(i)])
                header->resizeSection(i, s.sectionSizes[std::size_t(i)]);
    }
    view->verticalScrollBar()->setValue(0);
    view->horizontalScrollBar()->setValue(0);
}

TablePicture::~TablePicture()
{
    Saved& s = *m_saved;
    QHeaderView* header = m_view->header();
    m_view->setGeometry(s.geometry);
    for (int i = 0; i < header->count() && i < int(s.sectionSizes.size()); ++i)
        if (!header->isSectionHidden(i) && header->sectionSize(i) != s.sectionSizes[std::size_t(i)])
            header->resizeSection(i, s.sectionSizes[std::size_t(i)]);
    m_view->setSelectionModel(s.selection);
    delete s.blank;
    m_view->setAutoScroll(s.autoScroll);
    m_view->verticalScrollBar()->setValue(s.vertical);
    m_view->horizontalScrollBar()->setValue(s.horizontal);
    if (s.ownPalette)
        m_view->setPalette(s.palette);
    else
        m_view->setPalette(QPalette());
    m_view->setUpdatesEnabled(s.updatesEnabled);
    delete m_saved;
}

QImage TablePicture::part(const QRect& area) const
{
    QImage image(area.size(), QImage::Format_RGB32);
    renderPart(area, image);
    return image;
}

void TablePicture::renderPart(const QRect& area, QImage& image) const
{
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QRect inside = area & QRect(QPoint(0, 0), m_size);
    const QRect header = inside & QRect(0, 0, m_size.width(), m_headerHeight);
    // Each viewport directly: render() leaves out children of a widget whose updates are frozen.
    if (!header.isEmpty())
        m_view->header()->viewport()->render(&painter, header.topLeft() - area.topLeft(), QRegion(header),
                                 QWidget::DrawWindowBackground | QWidget::DrawChildren);
    const QRect rows = inside & QRect(0, m_headerHeight, m_size.width(), m_size.height() - m_headerHeight);
    if (!rows.isEmpty())
        m_view->viewport()->render(&painter, rows.topLeft() - area.topLeft(),
                                   QRegion(rows.translated(0, -m_headerHeight)),
                                   QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

bool printTableImage(QTreeView* view, QPrinter& printer, QString* error)
{
    if (!view || !view->model() || view->model()->rowCount(view->rootIndex()) == 0)
        return true;
    QPainter painter;
    if (!beginPrinting(painter, printer, error))
        return false;
    const TablePicture picture(view);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const TablePageGrid grid = tablePageGrid(picture.size(), page.size(), printScale(view->font(), view, &printer));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Without it the PDF engine stores the pages as JPEG, which blurs the small table text.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    // One page of the picture at a time: the whole table as one image could run to hundreds of megabytes.
    // Where a page reaches past the picture's edge, only the picture's part goes to the printer: the rest is
    // white paper either way, and the PDF need not compress it.
    const double sx = page.width() / grid.page.width();
    const double sy = page.height() / grid.page.height();
    const QRect whole(QPoint(0, 0), picture.size());
    QImage pageImage;
    for (int i = 0; i < grid.count(); ++i) {
        if (i > 0)
            printer.newPage();
        const QRect area = grid.pageRect(i);
        const QRect part = area & whole;
        if (part.isEmpty())
            continue;
        if (pageImage.size() != part.size())
            pageImage = QImage(part.size(), QImage::Format_RGB32);
        picture.renderPart(part, pageImage);
        const QPointF at = part.topLeft() - area.topLeft();
        painter.drawImage(QRectF(at.x() * sx, at.y() * sy, part.width() * sx, part.height() * sy), pageImage);
    }
    painter.end();
    return true;
}

void printTableAsImage(QTreeView* view, QWidget* parent)
{
    if (!view || !view->model() || view->model()->rowCount(view->rootIndex()) == 0)
        return;
    // Without an installed printer the dialog still offers printing into a PDF file.
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!printTableImage(view, printer, &error))
        QMessageBox::warning(parent, QStringLiteral("Warnung"), error);
}

}  // namespace reports
