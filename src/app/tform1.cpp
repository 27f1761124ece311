#include "app/tform1.h"

#include "app/archive_table_model.h"
#include "app/detail_panel.h"
#include "app/filter_matches.h"
#include "app/general_error.h"
#include "app/number_format.h"
#include "app/tinfo.h"
#include "engine/my_threads.h"
#include "engine/archive_path.h"
#include "engine/scan_scheduler.h"
#include "platform/shell_actions.h"
#include "server/udavid_api.h"
#include "settings/display_prefs.h"
#include "settings/teinstellungen.h"
#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui_tform1.h"

#include <QChart>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMutexLocker>
#include <QPieSeries>
#include <QStatusBar>
#include <QTimer>

namespace {

const char* const kMakerWebPage = "https://www.pellion.de";
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
    ui::installFontSubstitutes();
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

    connect(ui->VTTabelle->header(), &QHeaderView::sectionClicked, this, &TForm1::VTTabelleHeaderClick);
    connect(ui->VTTabelle->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { VTTabelleChange(current); });
    connect(ui->sFilter, &QLineEdit::textChanged, this, &TForm1::sFilterChange);
    connect(ui->lblArchivID, &ui::LinkLabel::clicked, this, &TForm1::Verzeichnisffnen1Click);
    connect(ui->lblPfad, &ui::LinkLabel::clicked, this, &TForm1::obitArchivffnen1Click);
    connect(ui->Label11, &ui::LinkLabel::clicked, this, &TForm1::Label11Click);

    sFilterClear = ui->sFilter->addAction(ui::ImageList1::icon(ui::ImageList1::RedCross), QLineEdit::TrailingPosition);
    sFilterClear->setToolTip(QStringLiteral("Filter löschen"));
    sFilterClear->setVisible(false);
    connect(sFilterClear, &QAction::triggered, this, &TForm1::sFilterRightButtonClick);

    ui->Label11->setNormalColor(QColor(0x80, 0x00, 0x00));
    ui->Label11->adjustSize();
    m_anchors.add(ui->Label8, Anchors::Left | Anchors::Bottom);
    m_anchors.add(ui->sFilter, Anchors::Left | Anchors::Bottom);

    createPopUp1();
    ui->VTTabelle->setPaintSources([this] { return std::pair {Farbe1, Farbe2}; }, [this] { return MaxSize; }, &Display);
    connect(ui->VTTabelle, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopUp1Popup();
        PopUp1->popup(ui->VTTabelle->viewport()->mapToGlobal(pos));
    });

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
    applyDisplayPrefs();
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

    DVWIN_Pfad = platform::clientProgramFromRegistry();
    TobitDone = false;
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
        ThreadArray[std::size_t(i)] = createScanner(row, {.FPfad = scanPath});
        m_model->appendChild(row);  // the placeholder that gives the row its expand button

        pump.pump();
        if (m_closing)
            return;
    }
}

TMyThreads* TForm1::createScanner(ArchiveNode* node, ScanConfig config)
{
    config.FTobData = node->data;
    config.sink = this;
    config.sinkContext = this;
    auto* scanner = new TMyThreads(std::move(config));
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
    createScanner(node, {.FPfad = path, .FUnter = unter, .priority = QThread::IdlePriority, .freeOnTerminate = true})
        ->resume();
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
    settings::saveDisplayPrefs({Display.ShowGradient, Display.ShowFrame, Display.ShowBars});
    stopAllScanners();
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_anchors.apply();
}

void TForm1::createPopUp1()
{
    using ui::ImageList1;
    PopUp1 = new QMenu(this);
    PopUp1->setObjectName(QStringLiteral("PopUp1"));
    const auto entry = [this](QMenu* menu, const char* name, const char* caption, int image) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        if (image >= 0)
            action->setIcon(ImageList1::icon(image));
        return action;
    };
    Verzeichnisffnen1 = entry(PopUp1, "Verzeichnisffnen1", "Verzeichnis im Explorer öffnen", ImageList1::OpenFolder);
    obitArchivffnen1 = entry(PopUp1, "obitArchivffnen1", "Tobit-Archiv öffnen", ImageList1::FilingCabinet);
    PopUp1->addSeparator()->setObjectName(QStringLiteral("N4"));
    Auswahlberechnen1 = entry(PopUp1, "Auswahlberechnen1", "Auswahl berechnen", ImageList1::XSubscript2);
    An1 = entry(PopUp1, "An1", "Anhang-Klassifizierung", ImageList1::FloppyDisk);
    EMLExport1 = entry(PopUp1, "EMLExport1", "Nachrichten-Export", ImageList1::PageWithArrow);
    PopUp1->addSeparator()->setObjectName(QStringLiteral("N7"));

    QMenu* reports = PopUp1->addMenu(ImageList1::icon(ImageList1::Window), QStringLiteral("Reports"));
    reports->menuAction()->setObjectName(QStringLiteral("Eventfensterffnen1"));
    entry(reports, "bersichtUserarchive1", "Übersicht Userarchive", -1);
    entry(reports, "Listedrucken1", "Liste drucken (als Bild)", ImageList1::Printer);
    reports->addSeparator();
    entry(reports, "TopTenArchive1", "Top-Ten Archive", -1)->setEnabled(false);
    entry(reports, "TopTenDateitypen1", "Top-Ten Dateitypen (Anhang)", -1)->setEnabled(false);
    PopUp1->addSeparator()->setObjectName(QStringLiteral("N2"));

    QMenu* format = PopUp1->addMenu(ImageList1::icon(ImageList1::Brush), QStringLiteral("Tabelle formatieren"));
    format->menuAction()->setObjectName(QStringLiteral("Format1"));
    Farbverlauf1 = entry(format, "Farbverlauf1", "Farbverlauf", -1);
    HintergrundRahmen1 = entry(format, "HintergrundRahmen1", "Hintergrund-Rahmen", -1);
    format->addSeparator();
    ohneBalken1 = entry(format, "ohneBalken1", "Balken anzeigen", -1);
    for (QAction* check : {Farbverlauf1, HintergrundRahmen1, ohneBalken1}) {
        check->setCheckable(true);
        check->setChecked(true);
        connect(check, &QAction::toggled, this, &TForm1::formatToggled);
    }
    Einstellungen1 = entry(PopUp1, "Einstellungen1", "Einstellungen", ImageList1::Gear);

    connect(Verzeichnisffnen1, &QAction::triggered, this, &TForm1::Verzeichnisffnen1Click);
    connect(obitArchivffnen1, &QAction::triggered, this, &TForm1::obitArchivffnen1Click);
    connect(Auswahlberechnen1, &QAction::triggered, this, &TForm1::Auswahlberechnen1Click);
    connect(EMLExport1, &QAction::triggered, this, &TForm1::EMLExport1Click);
    connect(Einstellungen1, &QAction::triggered, this, &TForm1::Einstellungen1Click);
}

void TForm1::applyDisplayPrefs()
{
    const settings::DisplayPrefs prefs = settings::loadDisplayPrefs();
    // The check marks carry the flags; toggling them sets Display.
    Farbverlauf1->setChecked(prefs.ShowGradient);
    HintergrundRahmen1->setChecked(prefs.ShowFrame);
    ohneBalken1->setChecked(prefs.ShowBars);
    formatToggled();
}

void TForm1::Einstellungen1Click()
{
    if (m_einstellungen)
        m_einstellungen->exec();
}

ArchiveNode* TForm1::focusedNode() const { return m_model->nodeFromIndex(ui->VTTabelle->currentIndex()); }

void TForm1::PopUp1Popup()
{
    // Without a focused row the classification entry keeps the state of the last opening.
    if (const ArchiveNode* node = focusedNode())
        An1->setEnabled(node->data->AnhangG != 0 || node->data->Anhang != 0);
}

void TForm1::Verzeichnisffnen1Click()
{
    if (const ArchiveNode* node = focusedNode())
        platform::openFolder(ArchivePathToUnc(node->data->Pfad));
}

void TForm1::obitArchivffnen1Click()
{
    if (DVWIN_Pfad.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Arvelo"),
                             QStringLiteral("Die DVWIN32.exe konnte nicht gefunden werden!"));
        return;
    }
    if (const ArchiveNode* node = focusedNode())
        platform::startProgram(DVWIN_Pfad, QStringLiteral("-A") + ArchivePathToUnc(node->data->Pfad));
}

void TForm1::EMLExport1Click()
{
    // The export window takes the row's server path and shows its full path; until it exists, nothing.
    if (!focusedNode())
        return;
}

void TForm1::Label11Click() { platform::openWebPage(QUrl(QString::fromLatin1(kMakerWebPage))); }

void TForm1::formatToggled()
{
    Display.ShowGradient = Farbverlauf1->isChecked();
    Display.ShowFrame = HintergrundRahmen1->isChecked();
    Display.ShowBars = ohneBalken1->isChecked();
    ui->VTTabelle->viewport()->update();
}

void TForm1::VTTabelleHeaderClick(int column)
{
    QTreeView* view = ui->VTTabelle;
    m_model->sortTable(column, SortAscending, [this, view](const ArchiveNode& node) {
        return view->isExpanded(m_model->indexOfNode(&node));
    });
    SortAscending = !SortAscending;
}

void TForm1::VTTabelleChange(const QModelIndex& index)
{
    const ArchiveNode* node = m_model->nodeFromIndex(index);
    if (!node)
        return;
    const DetailTexts t = detailTexts(*node->data, cellText(*node->data, node->level, ColUser, m_model->formats()));
    ui->lblSizeGesamt->setText(t.sizeGesamt);
    ui->lblSizeGesamt->adjustSize();
    ui->lblSpTobit->setText(t.spTobit);
    ui->lblSpTobit->adjustSize();
    ui->lblSpTobit2->move(ui->lblSizeGesamt->x() + ui->lblSizeGesamt->width() + 5, ui->lblSizeGesamt->y());
    ui->lblSpTobit2->setText(t.spTobit2);
    ui->lblSpTobit2->adjustSize();
    ui->lblSizeUnterarchive->setText(t.sizeUnterarchive);
    ui->lblSizeUnterarchive->adjustSize();
    ui->lblArchivID->setText(t.archivId);
    ui->lblArchivID->adjustSize();
    ui->lblPfad->setText(t.pfad);
    ui->lblPfad->adjustSize();

    QChart* chart = ui->Chart1->chart();
    chart->setTitle(t.title);
    auto* series = static_cast<QPieSeries*>(chart->series().value(0));
    series->clear();
    series->append(QStringLiteral("Rest"), t.rest)->setBrush(QColor(0x00, 0x00, 0xFF));
    series->append(QStringLiteral("Anhänge"), t.anhaenge)->setBrush(QColor(0x00, 0x80, 0x00));
}

void TForm1::sFilterChange(const QString& text)
{
    const FilterStep step = filterStep(text);
    sFilterClear->setVisible(step != FilterStep::ShowAll);
    if (step == FilterStep::Keep)
        return;
    QTreeView* view = ui->VTTabelle;
    view->setUpdatesEnabled(false);
    for (const auto& row : m_model->root()->children)
        view->setRowHidden(row->position, QModelIndex(),
                           step == FilterStep::Apply && !FilterMatches(*row->data, text));
    view->setUpdatesEnabled(true);
}

void TForm1::sFilterRightButtonClick() { ui->sFilter->clear(); }

void TForm1::setSettingsDialog(TEinstellungen* dialog) { m_einstellungen = dialog; }
