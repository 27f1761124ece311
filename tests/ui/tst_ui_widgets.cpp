#include "ui/header_band.h"
#include "ui/icons.h"
#include "ui/link_label.h"
#include "ui/logo.h"
#include "ui/pie_chart.h"
#include "ui/status_strip.h"

#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

void savePicture(const QImage& image, const QString& name)
{
    QDir().mkpath(QStringLiteral(ARVELO_PICTURE_DIR));
    QVERIFY(image.save(QStringLiteral(ARVELO_PICTURE_DIR "/") + name));
}

QColor rgbAt(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y)).toRgb();
}

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

void sendEnter(QWidget* widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

}  // namespace

class TestUiWidgets : public QObject {
    Q_OBJECT

private slots:
    void headerBandGradientRunsInStepsFromBlueToWhite();
    void headerBandShowsTitleAndLogo();
    void headerBandKeepsItsHeight();
    void linkLabelColoursFollowTheMouse();
    void linkLabelClicksOnlyOnLeftReleaseInside();
    void statusStripFillFollowsValue();
    void statusStripPaintsBorderGradientsAndText();
    void statusStripSurvivesEmptyRanges();
    void imageListHoldsPicturesUnderTheUsedIndexes();
    void iconsAreDistinctAndDrawn();
    void pieDrawsSlicesClockwiseInTheirColours();
};

void TestUiWidgets::headerBandGradientRunsInStepsFromBlueToWhite()
{
    QCOMPARE(ui::HeaderBand::stepColor(0), QColor(0, 0, 255));
    QCOMPARE(ui::HeaderBand::stepColor(119), QColor(255, 255, 255));
    QSet<QRgb> seen;
    for (int step = 0; step < 120; ++step) {
        const QColor color = ui::HeaderBand::stepColor(step);
        QCOMPARE(color.blue(), 255);
        QCOMPARE(color.red(), color.green());
        if (step > 0)
            QVERIFY(color.red() > ui::HeaderBand::stepColor(step - 1).red());
        seen.insert(color.rgb());
    }
    QCOMPARE(seen.size(), 120);

    // The steps tile the gradient without gaps or overlaps, also when the width is no multiple of 120.
    for (int width : {355, 120, 564, 50}) {
        int next = 0;
        for (int step = 0; step < 120; ++step) {
            const QRect band = ui::HeaderBand::stepRect(step, width, 57);
            QCOMPARE(band.left(), next);
            next = band.left() + band.width();
        }
        QCOMPARE(next, width);
    }

    // On screen: the first column is pure blue, the column just past the gradient white.
    ui::HeaderBand band;
    band.resize(488, 57);
    const QImage picture = band.grab().toImage();
    QCOMPARE(rgbAt(picture, 0, 2), QColor(0, 0, 255));
    QCOMPARE(rgbAt(picture, 0, 55), QColor(0, 0, 255));
    QCOMPARE(rgbAt(picture, 356, 2), QColor(Qt::white));
    // Step 60 of a 355-pixel gradient covers columns 177-179.
    QCOMPARE(rgbAt(picture, 178, 50), ui::HeaderBand::stepColor(60));
}

void TestUiWidgets::headerBandShowsTitleAndLogo()
{
    ui::HeaderBand band;
    band.resize(488, 57);
    const QImage empty = band.grab().toImage();
    band.setTitle(QStringLiteral("Arvelo Einstellungen"));
    QCOMPARE(band.title(), QStringLiteral("Arvelo Einstellungen"));
    const QImage titled = band.grab().toImage();
    savePicture(titled, QStringLiteral("header_band.png"));

    // The title turns some of the blue gradient white, starting near its position (6, 13).
    int whitened = 0;
    int leftmost = 1000;
    int topmost = 1000;
    for (int y = 0; y < 57; ++y)
        for (int x = 0; x < 120; ++x)
            if (titled.pixel(x, y) != empty.pixel(x, y) && qRed(titled.pixel(x, y)) > 200) {
                ++whitened;
                leftmost = qMin(leftmost, x);
                topmost = qMin(topmost, y);
            }
    QVERIFY2(whitened > 100, qPrintable(QString::number(whitened)));
    QVERIFY(leftmost >= 6 && leftmost < 12);
    QVERIFY(topmost >= 13 && topmost < 24);

    // The logo sits flush right and is not plain white.
    const QRect logo = band.logoRect();
    QCOMPARE(logo.right(), 487);
    QCOMPARE(logo.width(), 62);
    int coloured = 0;
    for (int y = 0; y < 57; ++y)
        for (int x = logo.left(); x <= logo.right(); ++x)
            coloured += titled.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    QVERIFY(coloured > 500);
    QCOMPARE(ui::logoImage().size(), QSize(62, 60));
    savePicture(ui::logoImage().scaled(248, 240), QStringLiteral("logo_x4.png"));

    // A title set through the property system, as a Designer form does it.
    band.setProperty("title", QStringLiteral("Nachrichten-Export"));
    QCOMPARE(band.title(), QStringLiteral("Nachrichten-Export"));
}

void TestUiWidgets::headerBandKeepsItsHeight()
{
    ui::HeaderBand band;
    band.resize(600, 200);
    QCOMPARE(band.height(), 57);
    QCOMPARE(band.sizeHint().height(), 57);
    // A band narrower than its gradient still paints without going past its edge.
    band.resize(100, 57);
    const QImage narrow = band.grab().toImage();
    QCOMPARE(narrow.width(), 100);
}

void TestUiWidgets::linkLabelColoursFollowTheMouse()
{
    ui::LinkLabel label(QStringLiteral("\\\\SRV01\\DAVID"));
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(label.textColor(), QColor(Qt::black));
    label.resize(120, 16);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    // Where the offscreen cursor happens to rest must not matter.
    sendLeave(&label);

    sendEnter(&label);
    QVERIFY(label.isHovered());
    QCOMPARE(label.textColor(), QColor(0, 0, 255));
    sendLeave(&label);
    QCOMPARE(label.textColor(), QColor(Qt::black));

    // The advertising label of the main window: maroon at rest, blue under the mouse.
    label.setNormalColor(QColor(0x80, 0, 0));
    QCOMPARE(label.textColor(), QColor(0x80, 0, 0));
    sendEnter(&label);
    QCOMPARE(label.textColor(), QColor(0, 0, 255));

    // Disabling while hovered returns to the normal colour.
    label.setEnabled(false);
    QCOMPARE(label.palette().color(QPalette::Active, QPalette::WindowText), QColor(0x80, 0, 0));
}

void TestUiWidgets::linkLabelClicksOnlyOnLeftReleaseInside()
{
    ui::LinkLabel label(QStringLiteral("Pfad"));
    label.resize(80, 16);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy clicks(&label, &ui::LinkLabel::clicked);

    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 8));
    QCOMPARE(clicks.count(), 1);
    QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(10, 8));
    QCOMPARE(clicks.count(), 1);

    // Pressed inside, released outside: no click.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(10, 8));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(200, 8));
    QCOMPARE(clicks.count(), 1);
    // A release without a press before it: no click either.
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(10, 8));
    QCOMPARE(clicks.count(), 1);
}

void TestUiWidgets::statusStripFillFollowsValue()
{
    ui::StatusStrip strip;
    strip.resize(202, 30);
    QCOMPARE(strip.height(), 18);
    QVERIFY(strip.filledRect().isEmpty());

    strip.setRange(0, 100);
    strip.setValue(50);
    QCOMPARE(strip.filledRect(), QRect(1, 1, 100, 16));
    strip.setValue(100);
    QCOMPARE(strip.filledRect(), QRect(1, 1, 200, 16));
    // Values outside the range are held at its ends.
    strip.setValue(250);
    QCOMPARE(strip.value(), 100);
    strip.setValue(-3);
    QCOMPARE(strip.value(), 0);

    // A range that does not start at 0.
    strip.setRange(10, 20);
    strip.setValue(15);
    QCOMPARE(strip.filledRect().width(), 100);
    // Shrinking the range pulls the value in.
    strip.setRange(0, 5);
    QCOMPARE(strip.value(), 5);
}

void TestUiWidgets::statusStripPaintsBorderGradientsAndText()
{
    QWidget window;
    window.resize(564, 40);
    auto* strip = new ui::StatusStrip(&window);
    strip->setGeometry(0, 22, 564, 18);
    strip->setRange(0, 100);
    strip->setValue(40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QImage bare = strip->grab().toImage();
    QCOMPARE(rgbAt(bare, 0, 9), QColor(Qt::black));
    QCOMPARE(rgbAt(bare, 563, 9), QColor(Qt::black));
    QCOMPARE(rgbAt(bare, 300, 0), QColor(Qt::black));
    QCOMPARE(rgbAt(bare, 300, 17), QColor(Qt::black));

    // Unfilled part: from #0069D2 at the top to #0054A8 at the bottom.
    const QColor bgTop = rgbAt(bare, 400, 1);
    const QColor bgBottom = rgbAt(bare, 400, 16);
    QVERIFY(qAbs(bgTop.green() - 0x69) <= 2 && qAbs(bgTop.blue() - 0xD2) <= 2);
    QVERIFY(qAbs(bgBottom.green() - 0x54) <= 2 && qAbs(bgBottom.blue() - 0xA8) <= 2);
    // Filled part: from #97CBFF to #0076EC.
    const QColor fillTop = rgbAt(bare, 100, 1);
    const QColor fillBottom = rgbAt(bare, 100, 16);
    // The fill is lighter at the top than at the bottom and lighter than the unfilled background.
    QVERIFY(fillTop.red() > fillBottom.red());
    QVERIFY(fillTop.green() > bgTop.green());
    QCOMPARE(strip->filledRect().right(), 1 + 562 * 40 / 100 - 1);

    strip->setText(QStringLiteral("Anzahl Dateitypen: 0"));
    const QImage texted = strip->grab().toImage();
    savePicture(texted, QStringLiteral("status_strip.png"));
    int white = 0;
    int leftmost = 1000;
    for (int y = 1; y < 17; ++y)
        for (int x = 1; x < 563; ++x)
            if (qRed(texted.pixel(x, y)) > 230 && qBlue(texted.pixel(x, y)) > 230) {
                ++white;
                leftmost = qMin(leftmost, x);
            }
    QVERIFY(white > 30);
    QVERIFY(leftmost >= 5 && leftmost < 9);
}

void TestUiWidgets::statusStripSurvivesEmptyRanges()
{
    ui::StatusStrip strip;
    strip.resize(100, 18);
    strip.setRange(0, 0);
    strip.setValue(5);
    QCOMPARE(strip.value(), 0);
    QVERIFY(strip.filledRect().isEmpty());
    strip.setRange(7, 3);
    QCOMPARE(strip.maximum(), 7);
    QVERIFY(strip.filledRect().isEmpty());
    strip.setRange(INT_MIN, INT_MAX);
    strip.setValue(INT_MAX);
    QCOMPARE(strip.filledRect().width(), 98);
    strip.resize(1, 18);
    QVERIFY(strip.filledRect().isEmpty());
    (void)strip.grab();
}

void TestUiWidgets::imageListHoldsPicturesUnderTheUsedIndexes()
{
    // Row icons and menu entries refer to these numbers.
    const QList<QPair<int, ui::IconId>> used{
        {7, ui::IconId::Person},        {14, ui::IconId::OpenFolder}, {6, ui::IconId::FilingCabinet},
        {16, ui::IconId::XSubscript2},  {21, ui::IconId::FloppyDisk}, {9, ui::IconId::PageWithArrow},
        {15, ui::IconId::Window},       {18, ui::IconId::Printer},    {17, ui::IconId::Brush},
        {20, ui::IconId::Gear},
    };
    for (const auto& [index, id] : used) {
        QCOMPARE(ui::ImageList1::idAt(index), std::optional<ui::IconId>(id));
        QCOMPARE(ui::ImageList1::indexOf(id), index);
        const QPixmap pixmap = ui::ImageList1::pixmap(index);
        QCOMPARE(pixmap.size(), QSize(16, 16));
        QVERIFY(!ui::ImageList1::icon(index).isNull());
    }
    QCOMPARE(ui::ImageList1::idAt(ui::ImageList1::RedCross), std::optional(ui::IconId::RedCross));

    // Every id has a place in the list, and the list's places are unique.
    QSet<int> places;
    for (ui::IconId id : ui::allIconIds) {
        const int index = ui::ImageList1::indexOf(id);
        QVERIFY(index >= 0 && index < ui::ImageList1::Count);
        places.insert(index);
    }
    QCOMPARE(places.size(), int(ui::allIconIds.size()));

    // Empty places and indexes outside the list give nothing, without failing.
    for (int index : {-1, 0, 5, 8, 19, 23, 1000}) {
        QVERIFY(!ui::ImageList1::idAt(index));
        QVERIFY(ui::ImageList1::pixmap(index).isNull());
        QVERIFY(ui::ImageList1::icon(index).isNull());
    }
}

void TestUiWidgets::iconsAreDistinctAndDrawn()
{
    QSet<QByteArray> pictures;
    QImage sheet(16 * 11 * 4 + 40, 16 * 4, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int column = 0;
    for (ui::IconId id : ui::allIconIds) {
        const QImage image = ui::iconImage(id);
        QCOMPARE(image.size(), QSize(16, 16));
        QVERIFY(image.hasAlphaChannel());
        const int drawn = opaquePixels(image);
        // Something is drawn, and a transparent margin is left where the shape allows it.
        QVERIFY2(drawn > 40 && drawn < 256, qPrintable(QString::number(drawn)));
        pictures.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), int(image.sizeInBytes())));
        painter.drawImage(QRect(column * 68, 0, 64, 64), image);
        ++column;
    }
    painter.end();
    QCOMPARE(pictures.size(), int(ui::allIconIds.size()));
    savePicture(sheet, QStringLiteral("icons_x4.png"));

    // The cached icon hands out the same picture again.
    const QIcon first = ui::icon(ui::IconId::Gear);
    const QIcon second = ui::icon(ui::IconId::Gear);
    QCOMPARE(first.cacheKey(), second.cacheKey());
}

void TestUiWidgets::pieDrawsSlicesClockwiseInTheirColours()
{
    ui::PieChart pie;
    pie.resize(136, 147);
    pie.setBackgroundInset(9);
    pie.setMargins(QMargins(9, 9, 9, 9));
    pie.setTitle(QStringLiteral("Anna"));
    // Three quarters blue from twelve o'clock clockwise round to nine, then a quarter green up to twelve.
    pie.appendSlice({QStringLiteral("Rest"), 3, QColor(0, 0, 255)});
    pie.appendSlice({QStringLiteral("Anhänge"), 1, QColor(0, 128, 0)});
    const QImage image = pie.grab().toImage();
    savePicture(image, QStringLiteral("pie-chart.png"));

    const QRectF round = pie.pieRect();
    QVERIFY(pie.plotArea().contains(round));
    const QPointF c = round.center();
    const qreal r = round.width() / 4;
    const auto at = [&](qreal dx, qreal dy) {
        const QPoint p = (c + QPointF(dx, dy)).toPoint();
        return rgbAt(image, p.x(), p.y());
    };
    QCOMPARE(at(r, -r), QColor(0, 0, 255));   // upper right
    QCOMPARE(at(r, r), QColor(0, 0, 255));    // lower right
    QCOMPARE(at(-r, r), QColor(0, 0, 255));   // lower left
    QCOMPARE(at(-r, -r), QColor(0, 128, 0));  // upper left
    // The white ground inside the inset, the window's colour outside it, the title in red above the pie.
    QCOMPARE(rgbAt(image, 10, 137), QColor(Qt::white));
    QCOMPARE(rgbAt(image, 3, 3), pie.palette().window().color().toRgb());
    int red = 0;
    for (int y = 0; y < int(round.top()); ++y)
        for (int x = 0; x < image.width(); ++x)
            red += rgbAt(image, x, y) == ui::PieChart::titleColour();
    QVERIFY(red > 0);
    QVERIFY(pie.callouts().isEmpty());  // marks only where asked for
}

QTEST_MAIN(TestUiWidgets)
#include "tst_ui_widgets.moc"
