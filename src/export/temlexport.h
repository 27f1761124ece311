#pragma once

#include "server/archive_selection.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TEMLExport;
}
class Account;

// The export window: copies the messages of the focused archive (and on request its sub-archives) into a
// folder, optionally packed into one ZIP file. Created once at program start, hidden; every showing is modal
// and keeps the check boxes and the password of the last one.
class TEMLExport : public QDialog {
    Q_OBJECT

public:
    explicit TEMLExport(QWidget* parent = nullptr);
    ~TEMLExport() override;

    // What the main window's "Nachrichten-Export" calls: takes the row, reloads the export folder from
    // "Export.dat" and shows the window modally. Without a focused row nothing happens.
    void ShowFor(const ArchiveSelection& selection);
    // The same without showing (for callers that show the window themselves).
    void prepare(const ArchiveSelection& selection);

    // The path of the archive the window was opened for (server notation).
    QString RootPfad;
    // State of "Angezeigter Name" taken when a run starts.
    bool UseDisplayName = false;
    // E-mails and links handled in the current run.
    int ExportedCount = 0;

    bool isRunning() const { return m_running; }
    Ui::TEMLExport* form() const { return ui.get(); }

    // Reads "Export.dat" into the folder field.
    void LoadExportOptions();
    // "Exportieren": the export run.
    void Button2Click();
    // "...": the folder picker.
    void Button3Click();
    // The archive label: opens the archive in the messaging client.
    void lblArchivClick();
    // "Schließen".
    void Button1Click();
    // The ZIP box and the display-name box: the password is editable exactly with ZIP.
    void chkZIPClick();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Observer;
    friend class Observer;

    std::unique_ptr<Ui::TEMLExport> ui;
    std::shared_ptr<Account> m_account;
    QString m_clientProgram;
    bool m_running = false;
    bool m_closeRequested = false;
};
