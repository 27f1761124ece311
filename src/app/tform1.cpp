#include "app/tform1.h"

#include "app/archive_table_model.h"
#include "app/detail_panel.h"
#include "app/filter_matches.h"
#include "app/general_error.h"
#include "app/growth_line.h"
#include "app/run_history.h"
#include "app/run_status.h"
#include "app/scan_run.h"
#include "app/sub_archives.h"
#include "app/tinfo.h"
#include "app/type_scan_run.h"
#include "classify/takklassifizierung.h"
#include "demo_server.h"
#include "engine/archive_path.h"
#include "engine/scan_scheduler.h"
#include "export/temlexport.h"
#include "platform/shell_actions.h"
#include "reports/archive_overview.h"
#include "reports/table_image_print.h"
#include "reports/top_ten_archives.h"
#include "reports/top_ten_types.h"
#include "server/standin/standin_server.h"
#include "server/udavid_api.h"
#include "settings/display_prefs.h"
#include "settings/teinstellungen.h"
#include "ui/fonts.h"
#include "ui/icons.h"
#include "ui_tform1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

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
    m_model->setFormats(CellFormats(QLocale(), true));
    m_model->setRowIcons(ui::ImageList1::icon(ui::ImageList1::Person), ui::ImageList1::icon(ui::ImageList1::OpenFolder));
    m_run = new ScanRun(this);
    m_status = new RunStatus(this);
    m_history = new RunHistory(this);
    m_typeScan = new TypeScanRun(m_history, this);

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
    lblServer = new QLabel(ui->StatusBar1);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    lblServer->setAccessibleName(QStringLiteral("Server"));
    ui->StatusBar1->addPermanentWidget(lblServer);

    connect(ui->Starten, &QPushButton::clicked, this, [this] { guarded([this] { StartenClick(); }); });
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui->VTTabelle, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { guarded([&] { VTTabelleExpanded(index); }, this); });

    connect(ui->VTTabelle->header(), &QHeaderView::sectionClicked, this, &TForm1::VTTabelleHeaderClick);
    connect(ui->VTTabelle->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { VTTabelleChange(current); });
    // A reset moves the current row away without a signal.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { VTTabelleChange(QModelIndex()); });
    connect(ui->sFilter, &QLineEdit::textChanged, this, &TForm1::sFilterChange);
    connect(ui->lblArchivID, &ui::LinkLabel::clicked, this, &TForm1::Verzeichnisffnen1Click);
    connect(ui->lblPfad, &ui::LinkLabel::clicked, this, &TForm1::obitArchivffnen1Click);
    connect(ui->Label11, &ui::LinkLabel::clicked, this, &TForm1::Label11Click);

    sFilterClear = ui->sFilter->addAction(ui::ImageList1::icon(ui::ImageList1::RedCross), QLineEdit::TrailingPosition);
    sFilterClear->setObjectName(QStringLiteral("sFilterClear"));
    sFilterClear->setToolTip(QStringLiteral("Filter löschen"));
    sFilterClear->setVisible(false);
    connect(sFilterClear, &QAction::triggered, this, &TForm1::sFilterRightButtonClick);

    ui->Label11->setNormalColor(QColor(0x80, 0x00, 0x00));
    ui->Label11->adjustSize();
    m_anchors.add(ui->Label8, Anchors::Left | Anchors::Bottom);
    m_anchors.add(ui->sFilter, Anchors::Left | Anchors::Bottom);

    bindHistory();
    createPopUp1();
    connect(ui->VTTabelle, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopUp1Popup();
        PopUp1->popup(ui->VTTabelle->viewport()->mapToGlobal(pos));
    });
    connect(ui->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    bindRun();
    bindTypeScan();

    FormCreate();
}

TForm1::~TForm1()
{
    // While the window is still whole: the run's last signals may reach its labels. A type count is cancelled
    // first, so that its end, served meanwhile, opens no report in a window being taken apart.
    m_typeScan->cancel();
    m_run->shutdown();
}

void TForm1::bindRun()
{
    const auto threadLimit = [this] { m_run->setThreadLimit(threadLimitFromText(ui->txtThreadAnzahl->text())); };
    threadLimit();
    connect(ui->txtThreadAnzahl, &QLineEdit::textChanged, this, threadLimit);

    // Progress and sums reach the labels and the bar through m_status, a few times a second at most.
    connect(m_run, &ScanRun::loadReset, this, [this] {
        m_status->drop();
        for (QLabel* sum : {ui->lblSumNachrichten, ui->lblSumAttachment, ui->lblSumTobit})
            sum->setText(QStringLiteral("..."));
        ui->lblStatusTob->setText(QStringLiteral("Tobit: 0/0"));
    });
    connect(m_run, &ScanRun::runStarted, this, [this] {
        m_status->drop();
        ui->lblStatusTob->setText(QStringLiteral("Tobit: 0/0"));
    });
    connect(m_run, &ScanRun::progressChanged, m_status, &RunStatus::setProgress);
    connect(m_run, &ScanRun::totalsChanged, m_status, &RunStatus::setTotals);
    connect(m_status, &RunStatus::showProgress, this, [this](int done, int total) {
        ui->Bar->setRange(0, total);
        ui->Bar->setValue(done);
    });
    connect(m_status, &RunStatus::showTotals, this, [this](int done, int total, double sumTobit, double sumAttachment) {
        ui->lblStatusTob->setText(QStringLiteral("Tobit: %1/%2").arg(done).arg(total));
        ui->lblSumTobit->setText(totalsText(sumTobit));
        ui->lblSumAttachment->setText(totalsText(sumAttachment));
        ui->lblSumNachrichten->setText(totalsText(sumTobit - sumAttachment));
    });
    // A finished run may be followed by a new load: "User auslesen" is offered again.
    connect(m_run, &ScanRun::finished, this, [this] {
        m_status->flush();  // the final figures, not those of a moment ago
        ui->Starten->setEnabled(true);
        if (!m_closing)
            m_history->recordRun(*m_model->root(), *m_run);
    });
    connect(m_run, &ScanRun::loadReset, m_history, &RunHistory::newRun);
    connect(m_run, &ScanRun::runStarted, m_history, &RunHistory::newRun);
    connect(m_run, &ScanRun::recordPublished, m_model, &ArchiveTableModel::markChanged);
    connect(m_run, &ScanRun::maxSizeChanged, m_model, &ArchiveTableModel::setMaxSize);
}

void TForm1::bindHistory()
{
    // Not modal: the window goes on meanwhile.
    connect(m_history, &RunHistory::failed, this, [this](const QString& text) {
        if (m_closing)
            return;
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Historie"), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });

    // Below "Größe gesamt:", for the row the panel shows; a new recording may change what it says.
    auto* growthLine = new GrowthLine(ui->GroupBox3, 125);
    const auto follow = [this, growthLine](const QModelIndex& index) {
        const std::shared_ptr<const TTobData> record = m_model->record(index);
        growthLine->show(record ? m_history->growth(record->Pfad) : std::nullopt);
    };
    connect(ui->VTTabelle->selectionModel(), &QItemSelectionModel::currentRowChanged, growthLine, follow);
    connect(m_model, &QAbstractItemModel::modelReset, growthLine, [follow] { follow(QModelIndex()); });
    connect(m_history, &RunHistory::recorded, growthLine, [this, follow] { follow(ui->VTTabelle->currentIndex()); });
}

void TForm1::bindTypeScan()
{
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), ui->StatusBar1);
    cancel->setObjectName(QStringLiteral("TypeScanCancel"));
    ui->StatusBar1->addPermanentWidget(cancel);
    cancel->hide();
    connect(cancel, &QPushButton::clicked, m_typeScan, &TypeScanRun::cancel);
    connect(m_typeScan, &TypeScanRun::started, cancel, &QWidget::show);
    connect(m_typeScan, &TypeScanRun::progress, this, [this](int done, int total) {
        ui->StatusBar1->showMessage(QStringLiteral("Dateitypen: %1 von %2 Archiven gezählt").arg(done).arg(total));
    });
    connect(m_typeScan, &TypeScanRun::cancelled, this, [this, cancel] {
        cancel->hide();
        ui->StatusBar1->showMessage(QStringLiteral("Zählung der Dateitypen abgebrochen."));
    });
    connect(m_typeScan, &TypeScanRun::counted, this, [this, cancel](const reports::TopTenTypesData& data) {
        cancel->hide();
        ui->StatusBar1->showMessage(QStringLiteral("Dateitypen gezählt."));
        reports::showTopTenTypes(data, this);
    });
}

void TForm1::FormCreate()
{
    applyDisplayPrefs();
    // The pie starts empty, on a white ground inset from the group's colour.
    ui->Chart1->setTitle(QStringLiteral("Archivname"));
    ui->Chart1->setBackgroundInset(9);
    ui->Chart1->setMargins(QMargins(9, 9, 9, 9));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(11);
    titleFont.setBold(true);
    ui->Chart1->setTitleFont(titleFont);

    DVWIN_Pfad = platform::clientProgramFromRegistry();
}

void TForm1::StartenClick()
{
    ++m_loadGeneration;
    m_typeScan->cancel();
    // The scanners of the earlier load stop before their rows go.
    m_run->beginLoad(0);
    m_model->clear();
    ui->Starten->setEnabled(false);
    try {
        if (const QString folder = standin::demoServerToBuild(); !folder.isEmpty())
            buildDemoServer(folder);
        if (m_closing)
            return;
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

void TForm1::buildDemoServer(const QString& folder)
{
    ui->StatusBar1->showMessage(
        QStringLiteral("Der Demo-Server wird einmalig angelegt: %1 ...").arg(QDir::toNativeSeparators(folder)));
    QString failure;
    std::unique_ptr<QThread> worker(QThread::create([folder, &failure] {
        try {
            demo::buildDemoServer(folder);
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }));
    // The window stays usable meanwhile; "User auslesen" is disabled, so this is not entered twice.
    QEventLoop loop;
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    ui->StatusBar1->clearMessage();
    if (!failure.isEmpty())
        throw ServerError(QStringLiteral("Der Demo-Server konnte nicht angelegt werden: ") + failure);
}

void TForm1::LoadUsers()
{
    struct EnableRun {
        TForm1* form;
        ~EnableRun() { form->ui->Button2->setEnabled(true); }
    } enableRun {this};

    const int generation = m_loadGeneration;
    LogonReport logon;
    lblServer->clear();
    oAccount = LogonAccount(&logon);
    if (!oAccount) {
        QString why = QStringLiteral("Die Anmeldung am Server ergab kein Konto.");
        if (!logon.failure.isEmpty())
            why += QLatin1Char('\n') + logon.failure;
        throw ServerError(why);
    }
    lblServer->setText(logon.server);

    const std::shared_ptr<ArchiveFolder> archiveRoot = oAccount->GetArchiveRoot(1);
    // The archive root's path as the server gives it: the history's name for the server.
    m_history->open(archiveRoot->Path().toString());
    const std::shared_ptr<ArchiveFolders> users = archiveRoot->GetSubArchives();
    const qint32 n = users->Count();
    m_run->beginLoad(n);
    ui->StatusBar1->showMessage(QStringLiteral("Anzahl der Tobit-User: %1").arg(n));

    EventPump pump;
    for (qint32 i = 0; i < n; ++i) {
        // A row is added once its entry has been read whole, so a failing user leaves no half row.
        const TTobData identity = recordFromFolder(*users->Item(i));
        ArchiveNode* row = m_model->appendTopLevel();
        *row->data = identity;
        m_run->addUser(i, row->data);
        m_model->appendChild(row);  // the placeholder that gives the row its expand button

        pump.pump();
        if (m_closing || generation != m_loadGeneration)
            return;
    }
}

void TForm1::Button2Click()
{
    ui->Button2->setEnabled(false);
    m_run->start();
}

void TForm1::Auswahlberechnen1Click()
{
    if (ArchiveNode* node = focusedNode())
        m_run->measureAgain(node->data, node->level > 0);
}

void TForm1::VTTabelleExpanded(const QModelIndex& index)
{
    ArchiveNode* row = m_model->nodeFromIndex(index);
    if (!row || row->data->UnterGeladen)
        return;
    row->data->UnterGeladen = true;
    if (!oAccount)
        throw ServerError(QStringLiteral("Keine Verbindung zum Server."));

    const SubArchiveList list = readSubArchives(*oAccount, row->data->Pfad);
    // The placeholder becomes the first sub-archive row; the others follow it.
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const SubArchiveEntry& entry = list.entries[i];
        ArchiveNode* node = i == 0 && row->childCount() > 0 ? row->child(0) : m_model->appendChild(row);
        *node->data = entry.record;
        m_model->refreshNode(node);
        m_run->measureSubArchive(node->data);
        if (entry.hasSubArchives)
            m_model->appendChild(node);
    }
    if (list.error)
        throw ServerError(*list.error);
    // No sub-archives is normal: the placeholder goes, and with it the row's expand button.
    if (list.entries.empty())
        m_model->removeChildren(row);
}

void TForm1::setRowColours(const QColor& farbe1, const QColor& farbe2) { m_model->setRowColours(farbe1, farbe2); }

void TForm1::setShowUhrzeit(bool show) { m_model->setFormats(CellFormats(QLocale(), show)); }

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
    m_typeScan->cancel();
    const DisplayFlags& flags = ui->VTTabelle->displayFlags();
    settings::saveDisplayPrefs({flags.ShowGradient, flags.ShowFrame, flags.ShowBars});
    m_run->shutdown();
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
    QAction* Verzeichnisffnen1 =
        entry(PopUp1, "Verzeichnisffnen1", "Verzeichnis im Explorer öffnen", ImageList1::OpenFolder);
    QAction* obitArchivffnen1 = entry(PopUp1, "obitArchivffnen1", "Tobit-Archiv öffnen", ImageList1::FilingCabinet);
    PopUp1->addSeparator()->setObjectName(QStringLiteral("N4"));
    QAction* Auswahlberechnen1 = entry(PopUp1, "Auswahlberechnen1", "Auswahl berechnen", ImageList1::XSubscript2);
    An1 = entry(PopUp1, "An1", "Anhang-Klassifizierung", ImageList1::FloppyDisk);
    QAction* EMLExport1 = entry(PopUp1, "EMLExport1", "Nachrichten-Export", ImageList1::PageWithArrow);
    PopUp1->addSeparator()->setObjectName(QStringLiteral("N7"));

    QMenu* reports = PopUp1->addMenu(ImageList1::icon(ImageList1::Window), QStringLiteral("Reports"));
    reports->menuAction()->setObjectName(QStringLiteral("Eventfensterffnen1"));
    QAction* bersichtUserarchive1 = entry(reports, "bersichtUserarchive1", "Übersicht Userarchive", -1);
    QAction* Listedrucken1 = entry(reports, "Listedrucken1", "Liste drucken (als Bild)", ImageList1::Printer);
    reports->addSeparator();
    TopTenArchive1 = entry(reports, "TopTenArchive1", "Top-Ten Archive", -1);
    TopTenDateitypen1 = entry(reports, "TopTenDateitypen1", "Top-Ten Dateitypen (Anhang)", -1);
    TopTenArchive1->setEnabled(false);
    TopTenDateitypen1->setEnabled(false);
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
    QAction* Einstellungen1 = entry(PopUp1, "Einstellungen1", "Einstellungen", ImageList1::Gear);

    connect(Verzeichnisffnen1, &QAction::triggered, this, &TForm1::Verzeichnisffnen1Click);
    connect(obitArchivffnen1, &QAction::triggered, this, &TForm1::obitArchivffnen1Click);
    connect(Auswahlberechnen1, &QAction::triggered, this, &TForm1::Auswahlberechnen1Click);
    connect(An1, &QAction::triggered, this, &TForm1::An1Click);
    connect(EMLExport1, &QAction::triggered, this, &TForm1::EMLExport1Click);
    connect(bersichtUserarchive1, &QAction::triggered, this, &TForm1::bersichtUserarchive1Click);
    connect(Listedrucken1, &QAction::triggered, this, &TForm1::Listedrucken1Click);
    connect(TopTenArchive1, &QAction::triggered, this, &TForm1::TopTenArchive1Click);
    connect(TopTenDateitypen1, &QAction::triggered, this, &TForm1::TopTenDateitypen1Click);
    connect(Einstellungen1, &QAction::triggered, this, &TForm1::Einstellungen1Click);
}

void TForm1::applyDisplayPrefs()
{
    const settings::DisplayPrefs prefs = settings::loadDisplayPrefs();
    // The check marks carry the flags; toggling them sets the view's.
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

ArchiveSelection TForm1::focusedArchive() const
{
    const QModelIndex focused = ui->VTTabelle->currentIndex();
    ArchiveSelection selection;
    selection.record = m_model->record(focused);
    selection.level = m_model->level(focused);
    selection.account = oAccount;
    selection.clientFolder = DVWIN_Pfad;
    return selection;
}

std::vector<std::shared_ptr<const TTobData>> TForm1::topLevelRecords() const { return m_model->topLevelRecords(); }

void TForm1::PopUp1Popup()
{
    // Without a focused row the classification entry keeps the state of the last opening.
    if (const ArchiveNode* node = focusedNode())
        An1->setEnabled(node->data->AnhangG != 0 || node->data->Anhang != 0);
    const bool usersLoaded = !m_model->root()->children.empty();
    TopTenArchive1->setEnabled(usersLoaded && (m_run->done() > 0 || m_history->hasRunsWithFigures()));
    TopTenDateitypen1->setEnabled(usersLoaded && !m_typeScan->isRunning());
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

// The classification, export and report windows take their inputs through MainWindowAccess.
void TForm1::An1Click()
{
    if (m_klassifizierung)
        AnhangKlassifizierungCommand(*m_klassifizierung, focusedArchive());
}

void TForm1::EMLExport1Click()
{
    if (m_emlExport)
        m_emlExport->ShowFor(focusedArchive());
}

void TForm1::bersichtUserarchive1Click() { reports::showArchiveOverview(topLevelRecords(), this); }

void TForm1::Listedrucken1Click() { reports::printTableAsImage(ui->VTTabelle, this); }

void TForm1::TopTenArchive1Click()
{
    std::vector<reports::CurrentArchive> current;
    if (m_run->done() > 0) {
        for (const auto& row : m_model->root()->children) {
            const TTobData& r = *row->data;
            current.push_back({r.TobitUser, r.UserID, r.Pfad, double(r.Size), r.AnzahlNachrichtenG});
        }
    }
    reports::showTopTenArchives(m_history->topTenArchives(std::move(current)), this);
}

void TForm1::TopTenDateitypen1Click()
{
    if (m_typeScan->isRunning() || m_model->root()->children.empty())
        return;
    const auto answer =
        QMessageBox::question(this, QStringLiteral("Top-Ten Dateitypen (Anhang)"),
                              QStringLiteral("Sollen die Unterarchive bei der Klassifizierung berücksichtigt werden?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    m_typeScan->start(m_model->topLevelRecords(), answer == QMessageBox::Yes, m_run->threadLimit());
}

void TForm1::Label11Click() { platform::openWebPage(QUrl(QString::fromLatin1(kMakerWebPage))); }

void TForm1::formatToggled()
{
    ui->VTTabelle->setDisplayFlags(
        {Farbverlauf1->isChecked(), HintergrundRahmen1->isChecked(), ohneBalken1->isChecked()});
}

void TForm1::VTTabelleHeaderClick(int column)
{
    QTreeView* view = ui->VTTabelle;
    m_model->sortTable(column, m_sortAscending, [this, view](const ArchiveNode& node) {
        return view->isExpanded(m_model->indexOfNode(&node));
    });
    m_sortAscending = !m_sortAscending;
}

void TForm1::VTTabelleChange(const QModelIndex& index)
{
    // Without a row (the table was emptied) the panel shows no figures of a row that is gone.
    const ArchiveNode* node = m_model->nodeFromIndex(index);
    const DetailTexts t = node ? detailTexts(*node->data, cellText(*node->data, node->level, ColUser, m_model->formats()))
                               : emptyDetailTexts();
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

    ui->Chart1->setTitle(t.title);
    ui->Chart1->clearSlices();
    if (!t.slices)
        return;
    ui->Chart1->appendSlice({QStringLiteral("Rest"), t.rest, QColor(0x00, 0x00, 0xFF)});
    ui->Chart1->appendSlice({QStringLiteral("Anhänge"), t.anhaenge, QColor(0x00, 0x80, 0x00)});
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

void TForm1::setKlassifizierung(TAKlassifizierung* window) { m_klassifizierung = window; }

void TForm1::setEMLExport(TEMLExport* window) { m_emlExport = window; }
