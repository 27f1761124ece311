#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

class QFont;
class QPaintDevice;
class QPrinter;
class QTreeView;
class QWidget;

namespace reports {

// How the table's picture is cut into printer pages: each page shows page.size() pixels of the picture,
// row by row of pages from the top, left to right within a row.
struct TablePageGrid {
    QSize page;      // picture pixels per printer page
    int across = 1;  // never a column of blank pages: a picture exactly one page wide is one column
    int down = 1;
    int count() const { return across * down; }
    QRect pageRect(int index) const
    {
        return QRect((index % across) * page.width(), (index / across) * page.height(), page.width(), page.height());
    }
};
TablePageGrid tablePageGrid(QSize picture, QSizeF printerPage, double scale);

// The printer's size of the table's font against the screen's, by the height of "Tj". A font given in pixels
// is taken at the size the screen shows it, so the printout keeps the screen's proportions.
double printScale(const QFont& tableFont, const QPaintDevice* screen, const QPaintDevice* printer);

// The table as it prints: its header and every row it shows (not those hidden or under collapsed rows), as
// the view itself paints them with its delegate, on white, without selection or focus. Everything the
// printout needs is taken while the view is prepared once; part() renders one area of the picture.
class TablePicture {
public:
    explicit TablePicture(QTreeView* view);
    ~TablePicture();
    TablePicture(const TablePicture&) = delete;
    TablePicture& operator=(const TablePicture&) = delete;

    QSize size() const { return m_size; }
    // The area of the picture, white where the picture ends.
    QImage part(const QRect& area) const;
    // The same into an image of the area's size, which page after page can reuse.
    void renderPart(const QRect& area, QImage& image) const;

private:
    struct Saved;
    QTreeView* m_view;
    Saved* m_saved;
    QSize m_size;
    int m_headerHeight = 0;
};

// Prints the table as a picture cut into pages on the printer; false with the reason when the printer cannot
// be painted on. Nothing is printed for a table without rows.
bool printTableImage(QTreeView* view, QPrinter& printer, QString* error = nullptr);

// The menu command "Liste drucken (als Bild)": nothing for an empty table, otherwise the print dialog and
// then the printout on the printer chosen there.
void printTableAsImage(QTreeView* view, QWidget* parent);

}  // namespace reports
