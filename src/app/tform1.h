#pragma once

#include "app/anchors.h"
#include "app/row_painting.h"
#include "engine/publication_sink.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class Account;
class ArchiveFolders;
class QAction;
class QMenu;
class QModelIndex;
class ArchiveTableModel;
class QTimer;
class TEinstellungen;
class TInfo;
class TMyThreads;
struct ScanConfig;
struct ArchiveNode;
struct TTobData;

namespace Ui {
class TForm1;
}

// The main window: binds the archive table, the buttons and the summary to the logic below it.
class TForm1 : public QWidget, public PublicationSink {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // "User auslesen": clears the table and loads the users anew.
    void StartenClick();
    // Logs on and adds one row and one waiting scanner per user; throws on a server failure.
    void LoadUsers();
    void Button1Click();
    void Button3Click();
    // "Berechnung starten": resets the totals and starts the timer that releases the scanners.
    void Button2Click();
    // One tick: a pass on its own thread, the window served meanwhile.
    void TimerThreadTimer();
    // "Auswahl berechnen": measures the focused row again, outside the limit.
    void Auswahlberechnen1Click();
    // Fetches a row's sub-archives the first time it is expanded; throws on a server failure.
    void VTTabelleExpanded(const QModelIndex& index);

    void UpdateLVCaption(double Size, TTobData* TmpData, bool Unter, bool Zwischen) override;

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
    void EMLExport1Click();
    void Label11Click();
    // A check item of "Tabelle formatieren" was toggled: the flags follow the check marks.
    void formatToggled();

    // Row colours and the time display, handed over by the settings dialog.
    void setRowColours(const QColor& farbe1, const QColor& farbe2);
    void setShowUhrzeit(bool show);
    // The settings dialog created after the window; "Einstellungen" shows it.
    void setSettingsDialog(TEinstellungen* dialog);
    void Einstellungen1Click();

    Ui::TForm1* form() const { return ui.get(); }
    ArchiveTableModel* tableModel() const { return m_model; }

    // State other parts of the program read.
    std::vector<TMyThreads*> ThreadArray;  // entry i belongs to top-level row i; null where loading failed
    std::shared_ptr<Account> oAccount;
    bool TobitDone = false;
    QColor Farbe1 = Qt::white;
    QColor Farbe2 = Qt::white;
    bool ShowUhrzeit = true;
    QString DVWIN_Pfad;
    QTimer* TimerThread = nullptr;
    double SumTobit = 0;
    double SumAttachment = 0;
    double MaxSize = 0;
    DisplayFlags Display;            // ShowGradient, ShowFrame, ShowBars
    bool SortAscending = true;       // the next header click's direction, shared by every column

    // The context menu and the entries whose state the program changes.
    QMenu* PopUp1 = nullptr;
    QAction* Verzeichnisffnen1 = nullptr;
    QAction* obitArchivffnen1 = nullptr;
    QAction* Auswahlberechnen1 = nullptr;
    QAction* An1 = nullptr;
    QAction* EMLExport1 = nullptr;
    QAction* Farbverlauf1 = nullptr;
    QAction* HintergrundRahmen1 = nullptr;
    QAction* ohneBalken1 = nullptr;
    QAction* Einstellungen1 = nullptr;
    QAction* sFilterClear = nullptr;  // the red cross inside the filter box

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    TMyThreads* createScanner(ArchiveNode* node, ScanConfig config);
    void startOutsideRun(ArchiveNode* node, bool unter, const QString& path);
    void dropScanners();
    void stopAllScanners();
    void showLoadWarning(const QString& reason);
    void takeOutOfTotals(ArchiveNode* node);
    void countFinal(ArchiveNode* node);
    void writeTotals();
    void createPopUp1();
    void applyDisplayPrefs();
    ArchiveNode* focusedNode() const;
    void fillSubArchive(ArchiveNode* node, const std::shared_ptr<ArchiveFolders>& list, int index);

    std::unique_ptr<Ui::TForm1> ui;
    ArchiveTableModel* m_model = nullptr;
    QPointer<TInfo> m_info;
    QPointer<TEinstellungen> m_einstellungen;
    Anchors m_anchors;
    std::vector<QPointer<TMyThreads>> m_liveScanners;  // every scanner that may still run
    bool m_closing = false;
    int m_loadGeneration = 0;  // changes with every load; long handlers check it after handling events
};
