#include "app/tform1.h"

#include "app/archive_table_model.h"
#include "app/general_error.h"
#include "app/number_format.h"
#include "app/tinfo.h"
#include "engine/my_threads.h"
#include "engine/scan_scheduler.h"
#include "server/udavid_api.h"
#include "ui/icons.h"
#include "ui_tform1.h"

#include <QChart>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMessageBox>
#include <QMutexLocker>
#include <QPieSeries>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

namespace {

const char* const kLoadWarning = "Es konnten keine Informationen zu den einzelnen Tobit-Usern ausgelesen werden!";

// Lets the window repaint and take input during a long loop, without paying for it on every step.
class EventPump {
public:
    EventPump() { m_clock.start(); }
    void pump()
    {
        if (m_clock.elapsed() < 15)
            return;
        QCoreApplication::processEvents();
        m_clock.restart();
    }

private:
    QElapsedTimer m_clock;
};

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    // The window was laid out for Tahoma at 11 pixels; the closest installed font takes its place.
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    m_model = new ArchiveTableModel(this);
    ui->VTTabelle->setModel(m_model);
    m_model->setFormats(CellFormats(QLocale(), ShowUhrzeit));
    m_model->setRowIcons(ui::ImageList1::icon(ui::ImageList1::Person), ui::ImageList1::icon(ui::ImageList1::OpenFolder));

    ui->UpDown1->setRange(1, 10);
    ui->UpDown1->setBuddy(ui->txtThreadAnzahl);
    ui->UpDown1->setPosition(7);

    m_anchors.add(ui->VTTabelle, Anchors::Left | Anchors::Top | Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->Button3, Anchors::Left | Anchors::Bottom);
    m_anchors.add(ui->Starten, Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->Button2, Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->Button1, Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->GroupBox1, Anchors::Left | Anchors::Bottom);
    m_anchors.add(ui->GroupBox2, Anchors::Left | Anchors::Bottom);
    m_anchors.add(ui->GroupBox3, Anchors::Left | Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->Chart1, Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->Bar, Anchors::Left | Anchors::Right | Anchors::Bottom);
    m_anchors.add(ui->StatusBar1, Anchors::Left | Anchors::Right | Anchors::Bottom);

    connect(ui->Starten, &QPushButton::clicked, this, [this] { guarded([this] { StartenClick(); }); });
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui->VTTabelle, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { guarded([&] { VTTabelleExpanded(index); }, this); });

    TimerThread = new QTimer(this);
    TimerThread->setInterval(1000);
    connect(TimerThread, &QTimer::timeout, this, &TForm1::TimerThreadTimer);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);

    FormCreate();
}

TForm1::~TForm1()
{
    stopAllScanners();
    for (TMyThreads* t : ThreadArray)
        delete t;
}

void TForm1::FormCreate()
{
    // The pie starts empty.
    auto* chart = new QChart();
    auto* series = new QPieSeries(chart);
    series->setObjectName(QStringLiteral("Series1"));
    chart->addSeries(series);
    chart->legend()->hide();
    chart->setTitle(QStringLiteral("Archivname"));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(11);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitleBrush(QColor(0xBF, 0x00, 0x00));
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    ui->Chart1->setChart(chart);
    ui->Chart1->setRenderHint(QPainter::Antialiasing);

    DVWIN_Pfad = clientProgramFromRegistry();
    TobitDone = false;
}

QString TForm1::clientProgramFromRegistry()
{
    // HKEY_CURRENT_USER\Software\Tobit\Tobit InfoCenter\Settings on Windows; QSettings' own store elsewhere.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                    QStringLiteral("Tobit InfoCenter"));
    if (!store.childGroups().contains(QStringLiteral("Settings")))
        return {};
    const QVariant value = store.value(QStringLiteral("Settings/ProgramDirectory"));
    if (!value.isValid() || value.toString().isEmpty())
        return {};
    QString folder = value.toString();
    if (!folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('\\');
    return folder + QStringLiteral("DVWIN32.exe");
}

void TForm1::StartenClick()
{
    TimerThread->stop();
    ++m_loadGeneration;
    TobitDone = false;
    dropScanners();
    m_model->clear();
    ui->Starten->setEnabled(false);
    ui->lblSumTobit->setText(QStringLiteral("..."));
    ui->lblStatusTob->setText(QStringLiteral("Tobit: 0/0"));
    SumTobit = SumAttachment = MaxSize = 0;
    try {
        LoadUsers();
    } catch (const std::exception& e) {
        if (m_closing)
            return;
        showLoadWarning(QString::fromUtf8(e.what()));
        ui->Starten->setEnabled(true);
    }
}

void TForm1::showLoadWarning(const QString& reason)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warnung"), QString::fromUtf8(kLoadWarning),
                    QMessageBox::Ok, this);
    if (!reason.isEmpty())
        box.setDetailedText(reason);
    box.exec();
}

void TForm1::LoadUsers()
{
    struct EnableRun {
        TForm1* form;
        ~EnableRun() { form->ui->Button2->setEnabled(true); }
    } enableRun {this};

    ui->Bar->setValue(0);
    oAccount = LogonAccount();
    if (!oAccount)
        throw ServerError(QStringLiteral("Die Anmeldung am Server ergab kein Konto."));

    const std::shared_ptr<ArchiveFolder> archiveRoot = oAccount->GetArchiveRoot(1);
    const std::shared_ptr<ArchiveFolders> users = archiveRoot->GetSubArchives();
    const qint32 n = users->Count();
    ui->Bar->setMaximum(n);
    ui->StatusBar1->showMessage(QStringLiteral("Anzahl der Tobit-User: %1").arg(n));
    ThreadArray.assign(std::size_t(qMax(0, n)), nullptr);

    EventPump pump;
    for (qint32 i = 0; i < n; ++i) {
        // A row is added once its entry has been read whole, so a failing user leaves no half row.
        auto record = std::make_shared<TTobData>();
        record->TobitUser = users->Item(i)->Name();
        record->Pfad = users->Item(i)->Path().toString();
        record->UserID = userIdFromPath(record->Pfad);
        record->FullPath = users->Item(i)->FullPath();
        const QString scanPath = users->Item(i)->Path().toString();

        ArchiveNode* row = m_model->appendTopLevel();
        *row->data = *record;
        TMyThreads* scanner = createScanner(row, false);
        scanner->FPfad = scanPath;
        ThreadArray[std::size_t(i)] = scanner;
        m_model->appendChild(row);  // the placeholder that gives the row its expand button

        pump.pump();
        if (m_closing)
            return;
    }
}

TMyThreads* TForm1::createScanner(ArchiveNode* node, bool unter)
{
    auto* scanner = new TMyThreads(this, this);
    scanner->FTobData = node->data;
    scanner->FPfad = node->data->Pfad;
    scanner->FUnter = unter;
    scanner->FSchritt = 100;
    // A newer measurement of a row supersedes the one before.
    if (node->scanner)
        node->scanner->Stop();
    node->scanner = scanner;
    // Forget scanners that are gone, so the list does not grow over a long session.
    std::erase_if(m_liveScanners, [](const QPointer<TMyThreads>& t) { return t.isNull(); });
    m_liveScanners.emplace_back(scanner);
    return scanner;
}

void TForm1::dropScanners()
{
    // Every scanner of the previous table is asked to stop; its late publications are dropped by itself.
    for (const QPointer<TMyThreads>& t : m_liveScanners)
        if (t)
            t->Stop();
    // A pass that is still under way works on these scanners: wait for it before deleting any.
    QMutexLocker lock(&ScanLock());
    for (TMyThreads* t : ThreadArray) {
        if (!t)
            continue;
        if (t->isRunning())
            connect(t, &QThread::finished, t, &QObject::deleteLater);
        else
            delete t;
    }
    ThreadArray.clear();
}

void TForm1::stopAllScanners()
{
    for (const QPointer<TMyThreads>& t : m_liveScanners)
        if (t)
            t->Stop();
    // A scanner may sit in a blocking publication: keep serving the main thread while waiting.
    for (const QPointer<TMyThreads>& t : m_liveScanners) {
        while (t && t->isRunning() && !t->wait(10))
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    m_liveScanners.clear();
}

void TForm1::Button2Click()
{
    SumTobit = SumAttachment = MaxSize = 0;
    for (const auto& row : m_model->root()->children)
        row->counted = false;
    ui->lblStatusTob->setText(QStringLiteral("Tobit: 0/0"));
    ui->Button2->setEnabled(false);
    if (m_model->topLevelCount() > 0)
        TimerThread->start();
}

void TForm1::TimerThreadTimer()
{
    TimerThread->stop();
    const int generation = m_loadGeneration;
    runPassAndWait(ThreadArray, threadLimitFromText(ui->txtThreadAnzahl->text()));
    // A reload or a close while the pass ran ends this run's ticks.
    if (!TobitDone && !m_closing && generation == m_loadGeneration)
        TimerThread->start();
}

void TForm1::Auswahlberechnen1Click()
{
    ArchiveNode* node = m_model->nodeFromIndex(ui->VTTabelle->currentIndex());
    if (!node)
        return;
    const bool unter = node->level > 0;
    if (!unter)
        takeOutOfTotals(node);
    startOutsideRun(node, unter, node->data->Pfad);
}

void TForm1::startOutsideRun(ArchiveNode* node, bool unter, const QString& path)
{
    // Measurements outside the run: idle priority, not counted against the limit, gone when done.
    TMyThreads* scanner = createScanner(node, unter);
    scanner->FPfad = path;
    scanner->setPriorityToUse(QThread::IdlePriority);
    scanner->setFreeOnTerminate(true);
    scanner->resume();
}

void TForm1::takeOutOfTotals(ArchiveNode* node)
{
    if (!node->counted)
        return;
    SumTobit -= node->countedSize;
    SumAttachment -= node->countedAttachments;
    node->counted = false;
    if (ui->Bar->value() > 0) {
        ui->Bar->setValue(ui->Bar->value() - 1);
        ui->Bar->update();
    }
    TobitDone = false;
}

void TForm1::countFinal(ArchiveNode* node)
{
    // A row that is already counted (measured again) replaces its share instead of adding a second one.
    const bool first = !node->counted;
    if (node->counted) {
        SumTobit -= node->countedSize;
        SumAttachment -= node->countedAttachments;
    }
    node->counted = true;
    node->countedSize = double(node->data->Size);
    node->countedAttachments = node->data->AnhangSizeG;
    SumTobit += node->countedSize;
    SumAttachment += node->countedAttachments;

    if (first && !TobitDone) {
        ui->Bar->setValue(ui->Bar->value() + 1);
        ui->Bar->update();
    }
    if (ui->Bar->value() == ui->Bar->maximum()) {
        TobitDone = true;
        TimerThread->stop();
        // A finished run may be followed by a new one: "User auslesen" is offered again.
        ui->Starten->setEnabled(true);
    }
}

void TForm1::writeTotals()
{
    const auto both = [](double mb) {
        return formatTotal(mb) + QStringLiteral(" MByte (") + formatTotal(mb / 1024) + QStringLiteral(" GByte)");
    };
    ui->lblStatusTob->setText(QStringLiteral("Tobit: %1/%2").arg(ui->Bar->value()).arg(ui->Bar->maximum()));
    ui->lblSumTobit->setText(both(SumTobit));
    ui->lblSumAttachment->setText(both(SumAttachment));
    ui->lblSumNachrichten->setText(both(SumTobit - SumAttachment));
}

void TForm1::UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen)
{
    if (Size > MaxSize)
        MaxSize = Size;
    m_model->markChanged(TmpData);
    if (Unter || Zwischen)
        return;
    ArchiveNode* node = m_model->nodeOfRecord(TmpData);
    if (!node || node->level != 0)
        return;
    countFinal(node);
    writeTotals();
}

void TForm1::VTTabelleExpanded(const QModelIndex& index)
{
    ArchiveNode* row = m_model->nodeFromIndex(index);
    if (!row || row->data->UnterGeladen)
        return;
    row->data->UnterGeladen = true;
    if (!oAccount)
        throw ServerError(QStringLiteral("Keine Verbindung zum Server."));
    const int generation = m_loadGeneration;
    const auto stillThere = [&] { return generation == m_loadGeneration && !m_closing; };

    const std::shared_ptr<ArchiveFolders> list = oAccount->ArchiveFromPath(row->data->Pfad)->GetSubArchives();
    // The placeholder becomes the first sub-archive; its entry is asked for without the count first.
    if (row->childCount() == 0)
        m_model->appendChild(row);
    ArchiveNode* first = row->child(0);
    fillSubArchive(first, list, 0);
    QCoreApplication::processEvents();
    if (!stillThere())
        return;
    startOutsideRun(first, true, list->Item(0)->Path().toString());
    if (list->Item(0)->GetSubArchives()->Count() > 0)
        m_model->appendChild(first);
    QCoreApplication::processEvents();
    if (!stillThere())
        return;

    const qint32 count = list->Count();
    for (qint32 i = 1; i < count; ++i) {
        ArchiveNode* node = m_model->appendChild(row);
        fillSubArchive(node, list, i);
        startOutsideRun(node, true, list->Item(i)->Path().toString());
        try {
            if (list->Item(i)->GetSubArchives()->Item(0))
                m_model->appendChild(node);
        } catch (const ServerError&) {
            // No sub-archives below this one.
        }
        QCoreApplication::processEvents();
        if (!stillThere())
            return;
    }
}

void TForm1::fillSubArchive(ArchiveNode* node, const std::shared_ptr<ArchiveFolders>& list, int index)
{
    TTobData& d = *node->data;
    d.TobitUser = list->Item(index)->Name();
    d.Pfad = list->Item(index)->Path().toString();
    d.UserID = userIdFromPath(d.Pfad);
    d.FullPath = list->Item(index)->FullPath();
    m_model->refreshNode(node);
}

void TForm1::setRowColours(const QColor& farbe1, const QColor& farbe2)
{
    Farbe1 = farbe1;
    Farbe2 = farbe2;
    ui->VTTabelle->viewport()->update();
}

void TForm1::setShowUhrzeit(bool show)
{
    ShowUhrzeit = show;
    m_model->setFormats(CellFormats(QLocale(), ShowUhrzeit));
    ui->VTTabelle->viewport()->update();
}

void TForm1::Button1Click() { close(); }

void TForm1::Button3Click()
{
    if (!m_info)
        m_info = new TInfo(this);
    m_info->exec();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    TimerThread->stop();
    stopAllScanners();
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_anchors.apply();
}
