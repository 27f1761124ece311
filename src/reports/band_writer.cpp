#include "reports/band_writer.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace reports {

bool beginPrinting(QPainter& painter, QPrinter& printer, QString* error)
{
    if (!painter.begin(&printer)) {
        if (error)
            *error = printer.outputFileName().isEmpty()
                         ? QStringLiteral("Der Drucker konnte nicht angesprochen werden.")
                         : QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden.")
                               .arg(printer.outputFileName());
        return false;
    }
    return true;
}

QFont reportFont(double points, bool bold, const QPaintDevice* device)
{
    // A report of thousands of lines asks for the same few fonts over and over.
    static QHash<QString, QFont> fonts;
    const int dpi = device ? device->logicalDpiY() : 96;
    const QString key = QStringLiteral("%1/%2/%3").arg(points).arg(bold).arg(dpi);
    auto it = fonts.constFind(key);
    if (it != fonts.constEnd())
        return *it;
    QFont font(QStringLiteral("Tahoma"));
    // The painter is scaled to 1/96 inch, so the font is sized for 96 dpi, not for the device's resolution.
    font.setPointSizeF(points * 96.0 / dpi);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    fonts.insert(key, font);
    return font;
}

namespace {

// Wrapped at words, or anywhere when one word is too long; when the lines overflow the box, they start at its
// top and only those that fit whole are shown.
void drawWrapped(QPainter& painter, const TextBox& box, double lineHeight)
{
    int flags = int(box.align) | Qt::TextWordWrap;
    QRectF needed = painter.boundingRect(box.rect, flags, box.text);
    if (needed.width() > box.rect.width() + 0.01) {
        flags = int(box.align) | Qt::TextWrapAnywhere;
        needed = painter.boundingRect(box.rect, flags, box.text);
    }
    QRectF clip = box.rect;
    if (needed.height() > box.rect.height() + 0.01) {
        flags = (flags & ~int(Qt::AlignVertical_Mask)) | Qt::AlignTop;
        clip.setHeight(std::max(1.0, std::floor(box.rect.height() / lineHeight)) * lineHeight);
    }
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.drawText(box.rect, flags, box.text);
    painter.restore();
}

}  // namespace

void drawTextBox(QPainter& painter, const TextBox& box)
{
    painter.save();
    if (box.fill.alpha() > 0)
        painter.fillRect(box.rect, box.fill);
    painter.setFont(reportFont(box.points, box.bold, painter.device()));
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(painter.font(), painter.device());
    if (!box.text.contains(QLatin1Char('\n')) && metrics.height() <= box.rect.height() &&
        metrics.horizontalAdvance(box.text) <= box.rect.width()) {
        // One line that fits: most texts of a report.
        painter.drawText(box.rect, int(box.align), box.text);
    } else {
        drawWrapped(painter, box, metrics.height());
    }
    QPen line(Qt::black);
    line.setWidthF(1);
    painter.setPen(line);
    if (box.rules & RuleAbove)
        painter.drawLine(box.rect.topLeft(), box.rect.topRight());
    if (box.rules & RuleBelow)
        painter.drawLine(box.rect.bottomLeft(), box.rect.bottomRight());
    painter.restore();
}

BandWriter::BandWriter(QPainter& painter, QPagedPaintDevice& device, QSizeF pageSize, Band title, Band pageHeader,
                       Band pageFooter)
    : m_painter(painter),
      m_device(device),
      m_pageSize(pageSize),
      m_title(std::move(title)),
      m_pageHeader(std::move(pageHeader)),
      m_pageFooter(std::move(pageFooter)),
      m_scale(device.logicalDpiX() / 96.0)
{
}

void BandWriter::paintAt(const Band& band, double top)
{
    m_painter.save();
    m_painter.resetTransform();
    m_painter.scale(m_scale, m_scale);
    const QRectF rect(0, top, m_pageSize.width(), band.height);
    m_painter.translate(rect.topLeft());
    if (band.paint)
        band.paint(m_painter, QRectF(QPointF(0, 0), rect.size()), m_page);
    m_painter.restore();
}

void BandWriter::startPage()
{
    if (m_page > 0)
        m_device.newPage();
    ++m_page;
    m_pageOpen = true;
    m_bandsOnPage = false;
    m_y = 0;
    if (m_page == 1 && m_title.height > 0) {
        paintAt(m_title, m_y);
        m_y += m_title.height;
    }
    paintAt(m_pageHeader, m_y);
    m_y += m_pageHeader.height;
}

void BandWriter::endPage()
{
    paintAt(m_pageFooter, m_pageSize.height() - m_pageFooter.height);
    m_pageOpen = false;
}

void BandWriter::place(const Band& band)
{
    if (!m_pageOpen)
        startPage();
    const double bottom = m_pageSize.height() - m_pageFooter.height;
    // A band taller than a whole page is printed cut rather than moved on for ever.
    if (m_y + band.height > bottom + 0.01 && m_bandsOnPage) {
        endPage();
        startPage();
    }
    paintAt(band, m_y);
    m_y += band.height;
    m_bandsOnPage = true;
}

void BandWriter::finish()
{
    if (!m_pageOpen)
        startPage();
    endPage();
}

}  // namespace reports
