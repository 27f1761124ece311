#include "export/temlexport.h"

#include "engine/archive_path.h"
#include "export/export_names.h"
#include "export/export_options.h"
#include "export/export_run.h"
#include "platform/shell_actions.h"
#include "ui_temlexport.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace {

QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

// The program's general error display: the error's own text in a box captioned "Arvelo".
void showError(QWidget* parent, const QString& text)
{
    message(parent, QMessageBox::Critical, QStringLiteral("Arvelo"), text);
}

// A folder dialog that also takes a folder typed in that does not exist yet, after asking to create it.
class FolderPicker : public QFileDialog {
public:
    FolderPicker(QWidget* parent, const QString& start) : QFileDialog(parent, QString(), start)
    {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        // Only the toolkit's own dialog lets the typed name be checked here.
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptOpen);
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty()) {
            const QString& folder = chosen.first();
            if (!QFileInfo::exists(folder)) {
                const QString shown = QDir::toNativeSeparators(folder);
                if (message(this, QMessageBox::Question, QStringLiteral("Arvelo"),
                            QStringLiteral("Das Verzeichnis \"%1\" existiert nicht. Soll es angelegt werden?").arg(shown),
                            QMessageBox::Yes | QMessageBox::No)
                    != QMessageBox::Yes)
                    return;
                if (!QDir().mkpath(folder)) {
                    message(this, QMessageBox::Warning, QStringLiteral("Warnung"),
                            QStringLiteral("Das Verzeichnis \"%1\" konnte nicht angelegt werden.").arg(shown));
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

// Binds the run to the controls. The boxes are read when the run asks; the texts reach the screen at most
// every few dozen milliseconds, since repainting after each of thousands of messages would cost more than
// the export itself.
class TEMLExport::Observer : public ExportObserver {
public:
    explicit Observer(TEMLExport& window) : w(window) { m_clock.start(); }

    bool exportMail() override { return w.ui->chkTypeMail->isChecked(); }
    bool exportLink() override { return w.ui->chkTypeLink->isChecked(); }
    bool exportFax() override { return w.ui->chkTypeFax->isChecked(); }
    bool includeSubArchives() override { return w.ui->chkSubArchive->isChecked(); }

    void archiveStarted(int entries) override
    {
        flush();
        w.ui->Bar->setRange(0, entries);
        w.ui->Bar->setValue(0);
    }
    void messageExported(int position, const QString& status, int exportedCount) override
    {
        m_position = position;
        m_status = status;
        m_count = exportedCount;
        m_pending = true;
        w.ExportedCount = exportedCount;
        if (m_clock.elapsed() >= 40)
            flush();
    }
    void zipProgress(int percent) override
    {
        flush();
        w.ui->Bar->setRange(0, 100);
        w.ui->Bar->setValue(percent);
        w.ui->lblStatus->setText(QStringLiteral("ZIP-Datei wird geschrieben: %1 %").arg(percent));
    }
    // Every few milliseconds is as good as after every message for the user, and far cheaper over thousands.
    void handlePendingEvents() override
    {
        if (m_events.isValid() && m_events.elapsed() < 5)
            return;
        QCoreApplication::processEvents();
        m_events.start();
    }

    void flush()
    {
        m_clock.restart();
        if (!m_pending)
            return;
        m_pending = false;
        w.ui->Bar->setValue(m_position);
        w.ui->lblStatus->setText(m_status);
        w.ui->lblAnzahlMessages->setText(QString::number(m_count));
    }

private:
    TEMLExport& w;
    QElapsedTimer m_clock;
    QElapsedTimer m_events;
    bool m_pending = false;
    int m_position = 0;
    int m_count = 0;
    QString m_status;
};

TEMLExport::TEMLExport(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TEMLExport>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(442, 476);
    // Laid out for Tahoma 8 (11 pixels); a condensed face keeps the captions in place where Tahoma is missing.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    // The status label lies on the progress bar in bold white.
    QPalette white = ui->lblStatus->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    ui->lblStatus->setPalette(white);
    ui->lblStatus->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->lblStatus->raise();
    ui->Bar->setRange(0, 100);
    ui->Bar->setValue(0);

    connect(ui->Button2, &QPushButton::clicked, this, &TEMLExport::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TEMLExport::Button3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TEMLExport::Button1Click);
    connect(ui->lblArchiv, &ui::LinkLabel::clicked, this, &TEMLExport::lblArchivClick);
    connect(ui->chkZIP, &QCheckBox::clicked, this, &TEMLExport::chkZIPClick);
    connect(ui->chkAngezeigterName, &QCheckBox::clicked, this, &TEMLExport::chkZIPClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TEMLExport::~TEMLExport() = default;

void TEMLExport::prepare(const ArchiveSelection& selection)
{
    RootPfad = selection.record->Pfad;
    ui->lblArchiv->setText(selection.record->FullPath);
    ui->lblArchiv->setToolTip(selection.record->FullPath);
    m_account = selection.account;
    m_clientProgram = selection.clientFolder;
    LoadExportOptions();
}

void TEMLExport::ShowFor(const ArchiveSelection& selection)
{
    if (!selection.record || isVisible())
        return;
    prepare(selection);
    exec();
}

void TEMLExport::LoadExportOptions()
{
    if (const std::optional<QString> folder = readExportFolder(exportOptionsReadPath()))
        ui->txtExportverzeichnis->setText(*folder);
}

void TEMLExport::chkZIPClick()
{
    const bool zip = ui->chkZIP->isChecked();
    ui->Label3->setEnabled(zip);
    ui->txtPasswort->setEnabled(zip);
}

void TEMLExport::Button2Click()
{
    if (m_running)
        return;
    m_running = true;
    Observer observer(*this);

    ExportedCount = 0;
    ui->Button2->setEnabled(false);
    ui->Bar->setValue(0);
    ui->lblStatus->setText(QStringLiteral("Anzahl Nachrichten: 0"));
    UseDisplayName = ui->chkAngezeigterName->isChecked();

    QString error;
    std::optional<ExportOutcome> outcome;
    if (ui->txtExportverzeichnis->text().isEmpty()) {
        message(this, QMessageBox::Information, QStringLiteral("Arvelo"),
                QStringLiteral("Bitte ein Exportverzeichnis angeben!"));
        ui->txtExportverzeichnis->setFocus();
    } else {
        const QString folder = withTrailingSeparator(ui->txtExportverzeichnis->text());
        if (folder != ui->txtExportverzeichnis->text())
            ui->txtExportverzeichnis->setText(folder);

        // The ZIP choice holds for the whole run: a ZIP missing the files after a change would be worse.
        ExportRequest request;
        request.folder = folder;
        request.rootPfad = RootPfad;
        request.zip = ui->chkZIP->isChecked();
        request.useDisplayName = UseDisplayName;
        const QString password = ui->txtPasswort->text();
        const std::optional<QByteArray> passwordBytes = zipPasswordBytes(password);
        QString reason;
        if (request.zip && !passwordBytes) {
            message(this, QMessageBox::Warning, QStringLiteral("Warnung"),
                    QStringLiteral("Das Passwort enthält Zeichen, die es im Zeichensatz Windows-1252 nicht gibt. "
                                   "Windows könnte die ZIP-Datei damit nicht öffnen.\n\n"
                                   "Bitte ein Passwort aus Buchstaben, Ziffern und gängigen Sonderzeichen wählen "
                                   "(\u00e4, \u00df und \u20ac sind erlaubt)."));
            ui->txtPasswort->setFocus();
        } else if (!m_account) {
            error = QStringLiteral("Keine Verbindung zum Server: bitte zuerst die User auslesen.");
        } else if (const QString optionsPath = exportOptionsSavePath();
                   !writeExportFolder(optionsPath, folder, &reason)) {
            error = QStringLiteral("Die Datei %1 konnte nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(optionsPath), reason);
        } else {
            if (request.zip)
                request.password = *passwordBytes;
            outcome = runExport(*m_account, request, observer);
            if (outcome->end != ExportEnd::Completed)
                error = outcome->error;
        }
    }

    // Always, also after an error.
    observer.flush();
    ui->Button2->setEnabled(true);
    ui->lblStatus->setText(QStringLiteral("EML-Export abgeschlossen"));
    m_running = false;

    if (!error.isEmpty())
        showError(this, error);
    if (outcome && outcome->tally.failed > 0) {
        message(this, QMessageBox::Warning, QStringLiteral("Warnung"),
                failureHeading(outcome->tally) + QStringLiteral("\n\n") + failureLines(outcome->tally));
    }
    if (m_closeRequested) {
        m_closeRequested = false;
        QDialog::reject();
    }
}

void TEMLExport::Button3Click()
{
    const QString text = ui->txtExportverzeichnis->text();
    FolderPicker picker(this, text.isEmpty() ? QDir::rootPath() : text);
    picker.setWindowTitle(QStringLiteral("Exportverzeichnis"));
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty())
        return;
    ui->txtExportverzeichnis->setText(QDir::toNativeSeparators(picker.selectedFiles().first()));
}

void TEMLExport::lblArchivClick()
{
    // As the main window's command: a missing client program is said, not passed over.
    if (m_clientProgram.isEmpty()) {
        message(this, QMessageBox::Warning, QStringLiteral("Arvelo"),
                QStringLiteral("Die DVWIN32.exe konnte nicht gefunden werden!"));
        return;
    }
    platform::startProgram(m_clientProgram, QStringLiteral("-A") + ArchivePathToUnc(RootPfad));
}

void TEMLExport::Button1Click()
{
    reject();
}

void TEMLExport::reject()
{
    // The window closes once a running export has finished.
    if (m_running) {
        m_closeRequested = true;
        return;
    }
    QDialog::reject();
}

void TEMLExport::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
