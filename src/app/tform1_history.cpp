// The main window's part in the history of runs: recording a finished run, the "Zuwachs" line, and the two
// Top-Ten reports. Kept apart from tform1.cpp, which binds the rest of the window.

#include "app/archive_table_model.h"
#include "app/growth_line.h"
#include "app/history_recorder.h"
#include "app/scan_run.h"
#include "app/tform1.h"
#include "classify/server_type_scan.h"
#include "history/history_database.h"
#include "reports/top_ten_archives.h"
#include "reports/top_ten_types.h"
#include "ui_tform1.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

void TForm1::tellAboutHistory(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Historie"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TForm1::openHistory()
{
    if (m_historyTried)
        return;
    m_historyTried = true;
    auto db = std::make_unique<history::HistoryDatabase>(history::HistoryDatabase::defaultPath());
    if (!db->open()) {
        tellAboutHistory(db->error() + QStringLiteral("\n\nArvelo arbeitet ohne Historie weiter."));
        return;
    }
    m_history = std::move(db);
}

void TForm1::recordRun()
{
    // A run that ended for a re-measured row after it was recorded is the same run.
    if (m_runRecorded || !m_history || m_closing || m_model->root()->children.empty())
        return;
    m_runRecorded = true;

    // Plain copies: the rows may be measured again or reloaded while the worker writes.
    std::vector<HistoryRecorder::Row> rows;
    std::vector<const ArchiveNode*> stack;
    for (auto it = m_model->root()->children.rbegin(); it != m_model->root()->children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        const ArchiveNode* node = stack.back();
        stack.pop_back();
        if (node->level == 0 || m_run->subArchiveMeasuredInRun(node->data.get()))
            rows.push_back({node->level, *node->data});
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back(it->get());
    }

    history::RunInfo info;
    info.server = m_serverRoot;
    info.started = m_run->runStartedAt();
    info.ended = QDateTime::currentDateTimeUtc();
    info.program = QStringLiteral("arvelo");
    info.threads = m_run->threadLimit();
    info.complete = true;
    m_recorder->record(m_history->path(), info, std::move(rows));
}

void TForm1::historyRecorded(qint64 runId, bool figures, const QString& error)
{
    if (runId <= 0) {
        if (!m_closing)
            tellAboutHistory(error);
        return;
    }
    // A run of figures (not of type counts alone) holds the table's figures.
    if (figures && m_runRecorded)
        m_recordedRun = runId;
    showGrowth(focusedNode());
}

void TForm1::showGrowth(const ArchiveNode* node)
{
    if (!node || !m_history) {
        m_growthLine->show(std::nullopt);
        return;
    }
    m_growthLine->show(m_history->archiveGrowth(m_serverRoot, node->data->Pfad));
}

void TForm1::TopTenArchive1Click()
{
    std::vector<reports::CurrentArchive> current;
    if (m_run->done() > 0) {
        for (const auto& row : m_model->root()->children) {
            const TTobData& r = *row->data;
            current.push_back({r.TobitUser, r.UserID, r.Pfad, double(r.Size), r.AnzahlNachrichtenG});
        }
    }
    const reports::TopTenArchivesData data =
        reports::buildTopTenArchives(std::move(current), m_history.get(), m_serverRoot, m_recordedRun);
    reports::showTopTenArchives(data, this);
}

void TForm1::TopTenDateitypen1Click()
{
    if (m_typeScan->isRunning() || m_model->root()->children.empty())
        return;
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Top-Ten Dateitypen (Anhang)"),
        QStringLiteral("Sollen die Unterarchive bei der Klassifizierung berücksichtigt werden?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    m_typeScanWithSub = answer == QMessageBox::Yes;
    m_typeScanRecords.clear();
    std::vector<QString> paths;
    for (const auto& row : m_model->root()->children) {
        m_typeScanRecords.push_back(row->data);
        paths.push_back(row->data->Pfad);
    }
    m_typeScanStarted = QDateTime::currentDateTimeUtc();
    if (!m_typeScanCancel) {
        m_typeScanCancel = new QPushButton(QStringLiteral("Abbrechen"), ui->StatusBar1);
        m_typeScanCancel->setObjectName(QStringLiteral("TypeScanCancel"));
        connect(m_typeScanCancel, &QPushButton::clicked, m_typeScan, &ServerTypeScan::cancel);
        ui->StatusBar1->addPermanentWidget(m_typeScanCancel);
    }
    m_typeScanCancel->show();
    typeScanProgress(0, int(paths.size()));
    m_typeScan->start(std::move(paths), m_typeScanWithSub, m_run->threadLimit());
}

void TForm1::typeScanProgress(int done, int total)
{
    ui->StatusBar1->showMessage(QStringLiteral("Dateitypen: %1 von %2 Archiven gezählt").arg(done).arg(total));
}

void TForm1::typeScanFinished(bool cancelled)
{
    if (m_typeScanCancel)
        m_typeScanCancel->hide();
    if (cancelled || m_closing) {
        ui->StatusBar1->showMessage(QStringLiteral("Zählung der Dateitypen abgebrochen."));
        return;
    }
    ui->StatusBar1->showMessage(QStringLiteral("Dateitypen gezählt."));

    const std::vector<TypeScanResult>& results = m_typeScan->results();
    std::vector<std::optional<std::vector<history::TypeTally>>> tallies;
    std::vector<HistoryRecorder::Row> rows;
    for (std::size_t i = 0; i < results.size() && i < m_typeScanRecords.size(); ++i) {
        rows.push_back({0, *m_typeScanRecords[i]});
        if (results[i].failed) {
            tallies.emplace_back(std::nullopt);
            continue;
        }
        std::vector<history::TypeTally> counts;
        for (const TypeCount& t : results[i].AnhangListe.entries())
            counts.push_back({t.key, t.count});
        tallies.emplace_back(std::move(counts));
    }
    const reports::TopTenTypesData data = reports::buildTopTenTypes(tallies, m_typeScanWithSub);

    if (m_history) {
        history::RunInfo info;
        info.server = m_serverRoot;
        info.started = m_typeScanStarted;
        info.ended = QDateTime::currentDateTimeUtc();
        info.program = QStringLiteral("arvelo");
        info.threads = m_run->threadLimit();
        info.complete = data.failed == 0;
        info.figures = false;
        info.types = m_typeScanWithSub ? history::TypesScope::Tree : history::TypesScope::Top;
        m_recorder->record(m_history->path(), info, std::move(rows), std::move(tallies));
    }
    m_typeScanRecords.clear();
    reports::showTopTenTypes(data, this);
}
