#include "classify/takklassifizierung.h"

#include "classify/tmy_klassifikation_thread.h"
#include "engine/archive_path.h"
#include "platform/shell_actions.h"
#include "server/archive_selection.h"
#include "ui/pie_chart.h"
#include "ui_takklassifizierung.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <random>

namespace {

const QString kCaption = QStringLiteral("Arvelo");
const QString kRunning = QStringLiteral("Klassifizierung läuft...");

QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);  // Tahoma 8 pt
    return font;
}

}  // namespace

TAKlassifizierung::TAKlassifizierung(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TAKlassifizierung>())
{
    ui->setupUi(this);
    // A fixed border with the system menu and the minimise box; not a reason to keep the program running.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(564, 598);
    setFont(windowFont());

    ui->Chart1->setTitle(QStringLiteral("Archivname"));
    ui->Chart1->setMargins(QMargins(4, 4, 4, 4));
    ui->Chart1->setPieSize(0.68);
    ui->Chart1->setSliceBorder(QPen(Qt::black, 1));
    ui->Chart1->setShowsCallouts(true);

    connect(ui->Button3, &QPushButton::clicked, this, &TAKlassifizierung::Button3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TAKlassifizierung::Button1Click);
    connect(ui->lblArchiv, &ui::LinkLabel::clicked, this, &TAKlassifizierung::lblArchivClick);
}

TAKlassifizierung::~TAKlassifizierung()
{
    stopScans();
}

QString TAKlassifizierung::statusText() const
{
    return ui->Bar->text();
}

ui::PieChart* TAKlassifizierung::chart() const
{
    return ui->Chart1;
}

void TAKlassifizierung::setStatus(const QString& text)
{
    ui->Bar->setText(text);
}

QColor TAKlassifizierung::randomSliceColour()
{
    static std::mt19937 generator(
        static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch()));
    std::uniform_int_distribution<int> component(0, 254);
    const int red = component(generator);
    const int green = component(generator);
    const int blue = component(generator);
    return QColor(red, green, blue);
}

void TAKlassifizierung::Klassifizieren(const ArchiveSelection& selection)
{
    if (!selection.record)
        return;
    const TTobData& data = *selection.record;
    if (data.Anhang == 0 && data.AnhangG == 0)
        return;
    // Copies: the row may be measured again or removed while the question box is open.
    const QString pfad = data.Pfad;
    const QString name = data.TobitUser;
    const int anhang = data.Anhang;
    const int anhangG = data.AnhangG;

    setStatus(kRunning);
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    ui->lblArchiv->setText(pfad);

    const auto answer = QMessageBox::question(
        this, kCaption, QStringLiteral("Sollen die Unterarchive bei der Klassifizierung berücksichtigt werden?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    const bool withSub = answer == QMessageBox::Yes;
    Gesamt = withSub ? anhangG : anhang;
    ui->lblAnzahlAttachments->setText(QString::number(Gesamt));
    ui->Chart1->setTitle(name);
    StartProcess(pfad, withSub);
}

void TAKlassifizierung::StartProcess(const QString& path, bool withSubFolders)
{
    ui->Chart1->hide();
    setStatus(kRunning);
    auto* thread = new TMyKlassifikationThread;
    thread->FSubFolder = withSubFolders;
    thread->FPfad = path;
    connect(thread, &TMyKlassifikationThread::Publish, this, &TAKlassifizierung::UpdateLVCaption,
            Qt::QueuedConnection);
    // Frees itself when it ends; the window only keeps a guarded pointer to stop it at shutdown.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    std::erase_if(m_scans, [](const QPointer<TMyKlassifikationThread>& t) { return t.isNull(); });
    m_scans.emplace_back(thread);
    thread->start(QThread::NormalPriority);
}

void TAKlassifizierung::UpdateLVCaption(const TypeScanResult& result)
{
    const int showing = ++m_showing;
    if (result.failed) {
        ui->Chart1->hide();
        setStatus(QStringLiteral("Klassifizierung fehlgeschlagen: ") + result.reason);
        emit resultShown();
        return;
    }
    const TypeCountList& list = result.AnhangListe;
    Rest = 0;
    ui->Chart1->show();
    ui->Chart1->clearSlices();
    setStatus(QStringLiteral("Anzahl Dateitypen: ") + QString::number(list.size()));
    for (int k = 0; k < list.size(); ++k) {
        QString label;
        int value = 0;
        if (k < MaxTypeSlices) {
            label = list.at(k).key.mid(1);
            value = list.at(k).count;
            Rest += value;
        } else {
            Rest = Gesamt - Rest;
            // The table's total can be smaller than the counts shown; a slice cannot be empty or negative.
            if (Rest <= 0)
                break;
            label = QStringLiteral("Rest");
            value = Rest;
        }
        ui->Chart1->appendSlice({label, double(value), randomSliceColour()});
        if (k >= MaxTypeSlices)
            break;
        // The chart grows slice by slice; a newer result arriving meanwhile takes over.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (showing != m_showing)
            return;
    }
    emit resultShown();
}

void TAKlassifizierung::printChart(QPrinter& printer)
{
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&printer)) {
        QMessageBox::warning(this, QString(), QStringLiteral("Der Drucker konnte nicht angesprochen werden."));
        return;
    }
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF target(0, 0, page.width(), page.height());
    const QSizeF source = ui->Chart1->size();
    // As large as the page allows, proportions kept, centred.
    const qreal scale = std::min(target.width() / source.width(), target.height() / source.height());
    const QSizeF size = source * scale;
    painter.translate((target.width() - size.width()) / 2, (target.height() - size.height()) / 2);
    painter.scale(scale, scale);
    ui->Chart1->paintChart(painter, source);
    painter.end();
}

void TAKlassifizierung::Button3Click()
{
    const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
    if (defaultPrinter.isNull()) {
        QMessageBox::information(this, kCaption, QStringLiteral("Es ist kein Drucker installiert."));
        return;
    }
    QPrinter printer(defaultPrinter, QPrinter::HighResolution);
    printChart(printer);
}

void TAKlassifizierung::Button1Click()
{
    hide();
}

void TAKlassifizierung::lblArchivClick()
{
    platform::openFolder(ArchivePathToUnc(ui->lblArchiv->text()));
}

int TAKlassifizierung::runningScans() const
{
    int n = 0;
    for (const auto& t : m_scans)
        if (t && t->isRunning())
            ++n;
    return n;
}

void TAKlassifizierung::stopScans()
{
    for (const auto& t : m_scans) {
        if (!t)
            continue;
        disconnect(t, nullptr, this, nullptr);
        t->Stop();
    }
    // A scan stops between two directory entries; only a file system that does not answer keeps it longer.
    // Such a thread is left to the end of the process rather than hanging the close.
    const QDeadlineTimer deadline(5000);
    for (const auto& t : m_scans) {
        if (!t)
            continue;
        if (t->wait(deadline)) {
            delete t.data();
        } else {
            t->setParent(nullptr);
            disconnect(t, &QThread::finished, t, &QObject::deleteLater);  // never freed while it runs
        }
    }
    m_scans.clear();
}

void AnhangKlassifizierungCommand(TAKlassifizierung& window, const ArchiveSelection& selection)
{
    window.Klassifizieren(selection);
}
