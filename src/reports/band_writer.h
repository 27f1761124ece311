#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <functional>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;
class QPrinter;

namespace reports {

// Starts painting on a printer or a PDF file; false with a reason a message box can show when it cannot.
bool beginPrinting(QPainter& painter, QPrinter& printer, QString* error);

// Reports are laid out in units of 1/96 inch; the painter is scaled to them. A font's point size is given as
// on paper whatever the device's resolution.
QFont reportFont(double points, bool bold, const QPaintDevice* device);

enum Rule { NoRule = 0, RuleAbove = 1, RuleBelow = 2 };

struct TextBox {
    QRectF rect;
    QString text;
    double points = 10;
    bool bold = false;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    int rules = NoRule;
    QColor fill = Qt::transparent;
};

// Draws the text as plain characters inside its box, wrapped at words (or anywhere when one word is too
// long) and cut at the box's edges; a wrapped text that is taller than its box starts at the box's top.
void drawTextBox(QPainter& painter, const TextBox& box);

struct Band {
    double height = 0;
    std::function<void(QPainter& painter, const QRectF& band, int page)> paint;
};

// Stacks bands from the top of each page: the title once on the first page, the page header at the top of
// every page, then the bands in the order given; a band that does not fit the rest of a page starts the next
// one. The page footer sits at the bottom of every page.
class BandWriter {
public:
    // pageSize in report units; the painter is active on device with its origin at the page's top left.
    BandWriter(QPainter& painter, QPagedPaintDevice& device, QSizeF pageSize, Band title, Band pageHeader,
               Band pageFooter);
    void place(const Band& band);
    void finish();
    int pageCount() const { return m_page; }

private:
    void startPage();
    void endPage();
    void paintAt(const Band& band, double top);

    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    QSizeF m_pageSize;
    Band m_title;
    Band m_pageHeader;
    Band m_pageFooter;
    double m_scale = 1;
    double m_y = 0;
    int m_page = 0;
    bool m_pageOpen = false;
    bool m_bandsOnPage = false;
};

}  // namespace reports
