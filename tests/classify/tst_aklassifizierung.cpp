// The classification window: its controls, the command, the slices it draws, printing and shutdown.

#include "archive_generator.h"
#include "classify/takklassifizierung.h"
#include "classify/tmy_klassifikation_thread.h"
#include "platform/unc_path.h"
#include "server/archive_selection.h"
#include "ui/pie_chart.h"
#include "ui/status_strip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

// Answers the next message box with `button`, noting its caption and text; closes anything else so a
// failing test cannot hang.
class BoxAnswer {
public:
    explicit BoxAnswer(QMessageBox::StandardButton button) : m_button(button)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }
    QString caption, text;
    int seen = 0;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (++m_tries > 500)
                m_poll.stop();
            return;
        }
        m_poll.stop();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++seen;
            caption = box->windowTitle();
            text = box->text();
            if (QAbstractButton* b = box->button(m_button))
                b->click();
        }
        if (QApplication::activeModalWidget() == modal)
            modal->close();
    }
    QMessageBox::StandardButton m_button;
    QTimer m_poll;
    int m_tries = 0;
};

TypeScanResult listOf(int types, int first = 100)
{
    TypeScanResult r;
    for (int t = 0; t < types; ++t)
        for (int n = 0; n < first - t; ++n)
            r.AnhangListe.count(QStringLiteral(".T%1").arg(t, 2, 10, QLatin1Char('0')));
    r.AnhangListe.sort();
    return r;
}

QStringList labelsOf(const ui::PieChart* chart)
{
    QStringList labels;
    for (const ui::PieSlice& s : chart->slices())
        labels << s.label + QLatin1Char('=') + QString::number(qRound(s.value));
    return labels;
}

ArchiveSelection selectionOf(const QString& name, const QString& pfad, int anhang, int anhangG)
{
    auto data = std::make_shared<TTobData>();
    data->TobitUser = name;
    data->Pfad = pfad;
    data->Anhang = anhang;
    data->AnhangG = anhangG;
    return ArchiveSelection{data, 0, nullptr, {}};
}

void savePicture(QWidget& w, const QString& name)
{
    QDir().mkpath(QStringLiteral(ARVELO_PICTURE_DIR));
    w.grab().save(QStringLiteral(ARVELO_PICTURE_DIR "/") + name);
}

}  // namespace

class TstAKlassifizierung : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void controlsAsDesigned();
    void commandAsksAndScans_data();
    void commandAsksAndScans();
    void commandIgnoresRowsWithoutAttachments();
    void slicesAndRest_data();
    void slicesAndRest();
    void labelsAndEmptyResult();
    void failedScanIsShown();
    void calloutsFollowTheSlices();
    void printsLandscapeToPdf();
    void printWithoutPrinterSaysSo();
    void closingDuringAScanStopsIt();

private:
    QTemporaryDir m_tmp;
    fs::path m_archive;  // SRV01/DAVID/ARCHIVE/USER/00A10001 below m_tmp
};

void TstAKlassifizierung::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    platform::setUncRoot(m_tmp.path());
    m_archive = fs::path(m_tmp.path().toStdString()) / "SRV01" / "DAVID" / "ARCHIVE" / "USER" / "00A10001";
    fs::create_directories(m_archive / "SUB1");
    gen::writeAttachmentIndex(m_archive / "0001.$00",
                              {"Rechnung.pdf", "scan.PDF", "Foto.jpg", "Preis\xFC" "bersicht.Pdf", "ende."});
    gen::writeAttachmentIndex(m_archive / "SUB1" / "0002.$00", {"a.doc", "b.doc", "c.doc", "d.xls"});
}

void TstAKlassifizierung::controlsAsDesigned()
{
    TAKlassifizierung w;
    QVERIFY(!w.isVisible());
    QVERIFY(!w.isModal());
    QCOMPARE(w.windowTitle(), QStringLiteral("Anhang-Klassifizierung"));
    QCOMPARE(w.size(), QSize(564, 598));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!w.testAttribute(Qt::WA_QuitOnClose));

    auto* form = w.findChild<QWidget*>(QStringLiteral("panKopf"));
    QVERIFY(form);
    QCOMPARE(form->geometry(), QRect(0, 0, 564, 57));
    const struct {
        const char* name;
        QPoint pos;
        const char* text;
        bool bold;
    } labels[] = {{"Label2", {8, 69}, "Tobit-Archiv:", true},
                  {"lblArchiv", {87, 69}, "...", false},
                  {"Label4", {8, 90}, "Anzahl der Anhänge:", true},
                  {"lblAnzahlAttachments", {129, 90}, "...", false},
                  {"Label3", {8, 112}, "Dateitypen:", true}};
    for (const auto& l : labels) {
        auto* label = w.findChild<QLabel*>(QString::fromLatin1(l.name));
        QVERIFY2(label, l.name);
        QCOMPARE(label->pos(), l.pos);
        QCOMPARE(label->text(), QString::fromUtf8(l.text));
        QCOMPARE(label->font().bold(), l.bold);
        QVERIFY2(label->sizeHint().width() <= label->width() || label->text() == QLatin1String("..."), l.name);
    }
    QCOMPARE(w.chart()->geometry(), QRect(4, 128, 552, 414));
    QCOMPARE(w.chart()->title(), QStringLiteral("Archivname"));
    QVERIFY(w.chart()->titleFont().bold());
    const struct {
        const char* name;
        QRect geometry;
        const char* text;
        bool enabled;
    } buttons[] = {{"Button3", {226, 550, 107, 26}, "Drucken", true},
                   {"Button2", {339, 550, 107, 26}, "Gesamte Liste", false},
                   {"Button1", {452, 550, 107, 26}, "Schließen", true}};
    for (const auto& b : buttons) {
        auto* button = w.findChild<QPushButton*>(QString::fromLatin1(b.name));
        QVERIFY2(button, b.name);
        QCOMPARE(button->geometry(), b.geometry);
        QCOMPARE(button->text(), QString::fromUtf8(b.text));
        QCOMPARE(button->isEnabled(), b.enabled);
    }
    auto* bar = w.findChild<ui::StatusStrip*>(QStringLiteral("Bar"));
    QVERIFY(bar);
    QCOMPARE(bar->geometry(), QRect(0, 580, 564, 18));
    QCOMPARE(w.statusText(), QStringLiteral("Anzahl Dateitypen: 0"));

    // "Schließen" only hides.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    QVERIFY(!w.isVisible());
}

void TstAKlassifizierung::commandAsksAndScans_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("anhang");
    QTest::addColumn<int>("anhangG");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QStringList>("slices");
    QTest::addRow("withSubArchives") << true << 5 << 9 << "9"
                                     << QStringList{"PDF=3", "DOC=3", "JPG=1", "XLS=1", "=1"};
    QTest::addRow("archiveFolderOnly") << false << 5 << 9 << "5" << QStringList{"PDF=3", "JPG=1", "=1"};
    // A user whose own folder holds no attachments: the window still opens; "No" gives the total 0.
    QTest::addRow("noneAtTop") << false << 0 << 5 << "0" << QStringList{"PDF=3", "JPG=1", "=1"};
}

void TstAKlassifizierung::commandAsksAndScans()
{
    QFETCH(bool, yes);
    QFETCH(int, anhang);
    QFETCH(int, anhangG);
    QFETCH(QString, total);
    QFETCH(QStringList, slices);

    TAKlassifizierung w;
    const ArchiveSelection sel =
        selectionOf(QStringLiteral("Jürgen Müller"), QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\00A10001"), anhang, anhangG);
    QString statusWhileAsked;
    bool visibleWhileAsked = false;
    BoxAnswer answer(yes ? QMessageBox::Yes : QMessageBox::No);
    QTimer::singleShot(0, [&] {
        statusWhileAsked = w.statusText();
        visibleWhileAsked = w.isVisible();
    });
    QSignalSpy shown(&w, &TAKlassifizierung::resultShown);
    AnhangKlassifizierungCommand(w, sel);
    QCOMPARE(answer.seen, 1);
    QCOMPARE(answer.caption, QStringLiteral("Arvelo"));
    QCOMPARE(answer.text, QStringLiteral("Sollen die Unterarchive bei der Klassifizierung berücksichtigt werden?"));
    QCOMPARE(statusWhileAsked, QStringLiteral("Klassifizierung läuft..."));
    QVERIFY(visibleWhileAsked);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lblArchiv"))->text(), sel.record->Pfad);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lblAnzahlAttachments"))->text(), total);
    QCOMPARE(w.Gesamt, total.toInt());
    QCOMPARE(w.chart()->title(), QStringLiteral("Jürgen Müller"));

    QTRY_COMPARE(shown.count(), 1);
    QVERIFY(w.chart()->isVisible());
    QCOMPARE(w.statusText(), QStringLiteral("Anzahl Dateitypen: %1").arg(slices.size()));
    // Equal counts come in no particular order: compare as sets.
    QStringList got = labelsOf(w.chart());
    std::sort(got.begin(), got.end());
    std::sort(slices.begin(), slices.end());
    QCOMPARE(got, slices);
    if (yes)
        savePicture(w, QStringLiteral("aklassifizierung.png"));
}

void TstAKlassifizierung::commandIgnoresRowsWithoutAttachments()
{
    TAKlassifizierung w;
    BoxAnswer answer(QMessageBox::Yes);
    AnhangKlassifizierungCommand(w, ArchiveSelection{});
    AnhangKlassifizierungCommand(w, selectionOf(QStringLiteral("Leer"), QStringLiteral("SRV01:X"), 0, 0));
    QTest::qWait(50);  // give a wrongly opened box the chance to appear
    QCOMPARE(answer.seen, 0);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.runningScans(), 0);
}

void TstAKlassifizierung::slicesAndRest_data()
{
    QTest::addColumn<int>("types");
    QTest::addColumn<int>("gesamt");
    QTest::addColumn<int>("slices");
    QTest::addColumn<int>("rest");  // -1: no "Rest" slice
    // Type t has 100 - t attachments; the 21 largest sum to 1890.
    QTest::addRow("21 types") << 21 << 5000 << 21 << -1;
    QTest::addRow("22 types") << 22 << 5000 << 22 << 5000 - 1890;
    QTest::addRow("40 types") << 40 << 5000 << 22 << 5000 - 1890;
    QTest::addRow("table total below the shown counts") << 40 << 1800 << 21 << -1;
    QTest::addRow("table total equal to the shown counts") << 40 << 1890 << 21 << -1;
}

void TstAKlassifizierung::slicesAndRest()
{
    QFETCH(int, types);
    QFETCH(int, gesamt);
    QFETCH(int, slices);
    QFETCH(int, rest);
    TAKlassifizierung w;
    w.Gesamt = gesamt;
    w.UpdateLVCaption(listOf(types));
    const QList<ui::PieSlice>& got = w.chart()->slices();
    QCOMPARE(got.size(), slices);
    QCOMPARE(w.statusText(), QStringLiteral("Anzahl Dateitypen: %1").arg(types));
    for (int k = 0; k < qMin(slices, 21); ++k) {
        QCOMPARE(got.at(k).label, QStringLiteral("T%1").arg(k, 2, 10, QLatin1Char('0')));
        QCOMPARE(got.at(k).value, 100.0 - k);
    }
    if (rest >= 0) {
        QCOMPARE(got.last().label, QStringLiteral("Rest"));
        QCOMPARE(got.last().value, double(rest));
        QCOMPARE(w.Rest, rest);
    }
    // Every slice its own colour, drawn from 0..254 per component.
    for (const ui::PieSlice& s : got)
        QVERIFY(s.colour.red() < 255 && s.colour.green() < 255 && s.colour.blue() < 255);
}

void TstAKlassifizierung::labelsAndEmptyResult()
{
    TAKlassifizierung w;
    TypeScanResult r;
    for (const char* key : {".PDF", ".PDF", "."})
        r.AnhangListe.count(QString::fromLatin1(key));
    r.AnhangListe.sort();
    w.UpdateLVCaption(r);
    QCOMPARE(labelsOf(w.chart()), (QStringList{"PDF=2", "=1"}));

    // A new scan hides the chart; an empty result shows it again, empty.
    w.StartProcess(QStringLiteral("SRV01:DAVID\\GIBTESNICHT"), true);
    QVERIFY(w.chart()->isHidden());
    QCOMPARE(w.statusText(), QStringLiteral("Klassifizierung läuft..."));
    QSignalSpy shown(&w, &TAKlassifizierung::resultShown);
    QTRY_COMPARE(shown.count(), 1);
    QVERIFY(!w.chart()->isHidden());
    QVERIFY(w.chart()->slices().isEmpty());
    QCOMPARE(w.statusText(), QStringLiteral("Anzahl Dateitypen: 0"));
}

void TstAKlassifizierung::failedScanIsShown()
{
    TAKlassifizierung w;
    w.UpdateLVCaption(listOf(3));
    TypeScanResult failed;
    failed.failed = true;
    failed.reason = QStringLiteral("/srv/x/0001.$00: Permission denied");
    w.UpdateLVCaption(failed);
    QCOMPARE(w.statusText(), QStringLiteral("Klassifizierung fehlgeschlagen: /srv/x/0001.$00: Permission denied"));
    QVERIFY(w.chart()->isHidden());
}

void TstAKlassifizierung::calloutsFollowTheSlices()
{
    TAKlassifizierung w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Gesamt = 3000;
    w.UpdateLVCaption(listOf(30, 200));
    const QList<ui::Callout> marks = w.chart()->callouts();
    QCOMPARE(marks.size(), w.chart()->slices().size());
    const QRectF chartRect = w.chart()->rect();
    const QRectF pie = w.chart()->pieRect();
    for (qsizetype i = 0; i < marks.size(); ++i) {
        QCOMPARE(marks[i].text, w.chart()->slices().at(i).label);
        QVERIFY2(chartRect.contains(marks[i].box), qPrintable(marks[i].text));
        // The arm starts on the pie's rim; the box lies on the same side of the pie as the rim.
        QVERIFY2(qAbs(QLineF(pie.center(), marks[i].rim).length() - pie.width() / 2) < 0.5, qPrintable(marks[i].text));
        QVERIFY2((marks[i].rim.x() >= pie.center().x()) == (marks[i].box.left() > pie.center().x()),
                 qPrintable(marks[i].text));
        for (qsizetype j = 0; j < i; ++j)
            QVERIFY2(!marks[i].box.intersects(marks[j].box), qPrintable(marks[i].text + " / " + marks[j].text));
    }
    // Less room moves the marks with the pie.
    const QPointF before = marks.first().rim;
    w.chart()->setMargins(QMargins(60, 60, 60, 60));
    QVERIFY(w.chart()->callouts().first().rim != before);
    savePicture(w, QStringLiteral("aklassifizierung-rest.png"));
}

void TstAKlassifizierung::printsLandscapeToPdf()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        QSKIP("pdftoppm (poppler-utils) is not installed");
    TAKlassifizierung w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Gesamt = 200;
    w.UpdateLVCaption(listOf(5, 40));
    const QString pdf = m_tmp.filePath(QStringLiteral("chart.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    w.printChart(printer);

    const QString png = m_tmp.filePath(QStringLiteral("chart"));
    QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("40"),
                                                             QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, png}),
             0);
    QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    QVERIFY2(page.width() > page.height(), "landscape");
    QDir().mkpath(QStringLiteral(ARVELO_PICTURE_DIR));
    page.save(QStringLiteral(ARVELO_PICTURE_DIR "/aklassifizierung-print.png"));

    // The chart fills the page's height (its proportions are wider than tall on screen, 552 x 414, but the
    // page is wider still), centred: ink spans most of the page height and sits in the middle horizontally.
    int left = page.width(), right = -1, top = page.height(), bottom = -1, titleRed = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.lightness() > 245)
                continue;
            left = qMin(left, x), right = qMax(right, x), top = qMin(top, y), bottom = qMax(bottom, y);
            if (c.red() > 150 && c.green() < 80 && c.blue() < 80)
                ++titleRed;
        }
    QVERIFY(titleRed > 0);
    QVERIFY2(bottom - top > page.height() * 0.6, qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
    const int middle = (left + right) / 2;
    QVERIFY2(qAbs(middle - page.width() / 2) < page.width() / 10, qPrintable(QString::number(middle)));
}

void TstAKlassifizierung::printWithoutPrinterSaysSo()
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a default printer");
    TAKlassifizierung w;
    BoxAnswer answer(QMessageBox::Ok);
    w.findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    QCOMPARE(answer.seen, 1);
    QCOMPARE(answer.caption, QStringLiteral("Arvelo"));
    QCOMPARE(answer.text, QStringLiteral("Es ist kein Drucker installiert."));
}

void TstAKlassifizierung::closingDuringAScanStopsIt()
{
    // Enough index files that the scan is still running when the window goes.
    const fs::path big = fs::path(m_tmp.path().toStdString()) / "SRV01" / "DAVID" / "GROSS";
    for (int d = 0; d < 40; ++d) {
        fs::create_directories(big / std::to_string(d));
        for (int f = 0; f < 100; ++f)
            gen::writeAttachmentIndex(big / std::to_string(d) / (std::to_string(f) + ".$00"), {"a.pdf", "b.doc"});
    }
    auto* w = new TAKlassifizierung;
    QSignalSpy shown(w, &TAKlassifizierung::resultShown);
    w->StartProcess(QStringLiteral("SRV01:DAVID\\GROSS"), true);
    QCOMPARE(w->runningScans(), 1);
    QElapsedTimer clock;
    clock.start();
    delete w;
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(20);  // a result posted before the stop must not reach the deleted window
    QCOMPARE(shown.count(), 0);
}

QTEST_MAIN(TstAKlassifizierung)
#include "tst_aklassifizierung.moc"
