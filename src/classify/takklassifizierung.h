#pragma once

#include "classify/type_count_list.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QPrinter;
class TMyKlassifikationThread;
struct ArchiveSelection;

namespace Ui {
class TAKlassifizierung;
}

namespace ui {
class PieChart;
}

// The classification window: which file types fill one archive, as a pie chart. Not modal; created hidden
// at program start and kept until the program ends. Each command shows it and starts a scan; the result
// arrives through UpdateLVCaption on the main thread.
class TAKlassifizierung : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxTypeSlices = 21;

    explicit TAKlassifizierung(QWidget* parent = nullptr);
    // Asks running scans to stop and waits for them, so none outlives the window.
    ~TAKlassifizierung() override;

    // The total number of attachments of the row as the table knows it; the "Rest" slice is measured against it.
    int Gesamt = 0;
    // While a result is shown: the sum of the type slices so far; for the "Rest" slice its value.
    int Rest = 0;

    // Fills in the header data of a row, asks about sub-archives and starts the scan (the context-menu command).
    void Klassifizieren(const ArchiveSelection& selection);

    // Hides the chart and starts a scan of `path` (server notation) on a thread of its own.
    void StartProcess(const QString& path, bool withSubFolders);
    // Shows a scan's result; a failed scan's reason goes into the status strip.
    void UpdateLVCaption(const TypeScanResult& result);

    // Prints the chart on `printer`: landscape, as large as the page allows with its proportions kept.
    void printChart(QPrinter& printer);

    // Asks every running scan to stop and waits (briefly) for them to end; their results go nowhere.
    // Called by the destructor; the program's shutdown may call it earlier.
    void stopScans();
    int runningScans() const;

    QString statusText() const;
    // The pie: one slice per type, each with its callout mark.
    ui::PieChart* chart() const;

    // Slice colour: red, green and blue each drawn uniformly from 0..254, from a generator seeded from the clock
    // once per program start.
    static QColor randomSliceColour();

signals:
    // After a result (or a failure) has been put into the window.
    void resultShown();

private:
    void Button3Click();   // Drucken
    void Button1Click();   // Schließen
    void lblArchivClick();
    void setStatus(const QString& text);

    std::unique_ptr<Ui::TAKlassifizierung> ui;
    std::vector<QPointer<TMyKlassifikationThread>> m_scans;
    int m_showing = 0;  // bumped by every result, so a result that arrives while slices are being added wins
};

// The context-menu command "Anhang-Klassifizierung": nothing without a focused row or without attachments;
// otherwise the window shows, asks whether sub-archives count, and scans.
void AnhangKlassifizierungCommand(TAKlassifizierung& window, const ArchiveSelection& selection);
