#pragma once

#include "app/anchors.h"
#include "server/archive_selection.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class Account;
class QLabel;
class ArchiveTableModel;
class QAction;
class QColor;
class QMenu;
class QModelIndex;
class RunHistory;
class RunStatus;
class ScanRun;
class TAKlassifizierung;
class TEinstellungen;
class TEMLExport;
class TInfo;
class TypeScanRun;
struct ArchiveNode;

namespace Ui {
class TForm1;
}

// The main window: binds the archive table, the buttons and the summary to the logic below it. The run
// itself is a ScanRun, the history of runs a RunHistory and the count of attachment types a TypeScanRun; the
// window starts them and writes its labels, bar and status bar from their signals.
class TForm1 : public QWidget, public MainWindowAccess {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // What the secondary windows take from the main window.
    ArchiveSelection focusedArchive() const override;
    std::vector<std::shared_ptr<const TTobData>> topLevelRecords() const override;

    // Row colours and the time display, handed over by the settings dialog.
    void setRowColours(const QColor& farbe1, const QColor& farbe2);
    void setShowUhrzeit(bool show);
    // The settings dialog created after the window; "Einstellungen" shows it.
    void setSettingsDialog(TEinstellungen* dialog);
    // The classification window created after the dialog; "Anhang-Klassifizierung" hands it the focused row.
    void setKlassifizierung(TAKlassifizierung* window);
    // The export window, created after the classification window; "Nachrichten-Export" shows it modally.
    void setEMLExport(TEMLExport* window);

    // The window's parts, for tests and benchmarks that drive it.
    Ui::TForm1* form() const { return ui.get(); }
    ArchiveTableModel* tableModel() const { return m_model; }
    ScanRun* scanRun() const { return m_run; }
    RunStatus* runStatus() const { return m_status; }
    RunHistory* runHistory() const { return m_history; }
    TypeScanRun* typeScanRun() const { return m_typeScan; }

    // Handlers.
    // "User auslesen": clears the table and loads the users anew.
    void StartenClick();
    void Button1Click();
    void Button3Click();
    // "Berechnung starten".
    void Button2Click();
    // "Auswahl berechnen": measures the focused row again, outside the limit.
    void Auswahlberechnen1Click();
    // Fetches a row's sub-archives the first time it is expanded; throws on a server failure.
    void VTTabelleExpanded(const QModelIndex& index);
    // A header click: sorts by the column in the shared direction, then flips the direction.
    void VTTabelleHeaderClick(int column);
    // The selection moved to a row: the "Info" group shows its figures.
    void VTTabelleChange(const QModelIndex& index);
    // The filter text changed (also when the program empties it).
    void sFilterChange(const QString& text);
    void sFilterRightButtonClick();
    // Applies the enabling rule, then the menu may be shown.
    void PopUp1Popup();
    void Verzeichnisffnen1Click();
    void obitArchivffnen1Click();
    // The classification, export and report commands: each hands the focused row or the rows to its window.
    void An1Click();
    void EMLExport1Click();
    void bersichtUserarchive1Click();
    void Listedrucken1Click();
    // "Top-Ten Archive": the largest and the fastest-growing archives, and the server's size over the year.
    void TopTenArchive1Click();
    // "Top-Ten Dateitypen (Anhang)": counts every user archive's attachment types, then the report.
    void TopTenDateitypen1Click();
    void Einstellungen1Click();
    void Label11Click();
    // A check item of "Tabelle formatieren" was toggled: the flags follow the check marks.
    void formatToggled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    // Logs on and adds one row and one waiting scanner per user; throws on a server failure.
    void LoadUsers();
    void bindRun();
    // The history's failures in a message box, and the "Zuwachs" line following the row the panel shows.
    void bindHistory();
    // The type scan's progress in the status bar, its cancel button, and the report at its end.
    void bindTypeScan();
    void showLoadWarning(const QString& reason);
    // Builds the demo server a new user's first log-on needs, on a worker thread, with a line in the status bar.
    void buildDemoServer(const QString& folder);
    void createPopUp1();
    void applyDisplayPrefs();
    ArchiveNode* focusedNode() const;

    std::unique_ptr<Ui::TForm1> ui;
    ArchiveTableModel* m_model = nullptr;
    ScanRun* m_run = nullptr;
    RunStatus* m_status = nullptr;  // the run's figures on their way to the labels and the bar
    RunHistory* m_history = nullptr;
    TypeScanRun* m_typeScan = nullptr;
    QPointer<TInfo> m_info;
    QPointer<TEinstellungen> m_einstellungen;
    QPointer<TAKlassifizierung> m_klassifizierung;
    QPointer<TEMLExport> m_emlExport;
    Anchors m_anchors;
    std::shared_ptr<Account> oAccount;
    QLabel* lblServer = nullptr;  // which server the window is logged on to, at the status bar's right end
    QString DVWIN_Pfad;
    bool m_sortAscending = true;  // the next header click's direction, shared by every column
    bool m_closing = false;
    int m_loadGeneration = 0;  // changes with every load; long handlers check it after handling events

    // The context menu and the entries whose state the program changes.
    QMenu* PopUp1 = nullptr;
    QAction* An1 = nullptr;
    QAction* TopTenArchive1 = nullptr;
    QAction* TopTenDateitypen1 = nullptr;
    QAction* Farbverlauf1 = nullptr;
    QAction* HintergrundRahmen1 = nullptr;
    QAction* ohneBalken1 = nullptr;
    QAction* sFilterClear = nullptr;  // the red cross inside the filter box
};
