// The calculation run in the main window offscreen, driven through its controls: the labels and the bar
// follow the run, measuring again, expansion, reloading and closing while scanners run.

#include "window_fixture.h"

#include "app/archive_table_model.h"
#include "app/detail_panel.h"
#include "app/run_status.h"
#include "app/scan_run.h"
#include "engine/my_threads.h"

#include <QElapsedTimer>

#include <algorithm>

#include <cmath>

namespace {

// Run scanners a pass has started, whether still walking or already done: how far a fast walk got when the
// test looks is no part of what it checks.
qsizetype startedScanners(const ScanRun& run)
{
    return std::ranges::count_if(run.scanners(), [](TMyThreads* t) { return t && (t->isRunning() || t->isFinished()); });
}

double expectedTotal(const ServerOnDisk& server)
{
    double sum = 0;
    for (const auto& user : server.state->root->subs)
        sum += ServerOnDisk::mb(server.figures.at(user->path).size);
    return sum;
}

bool near(double a, double b) { return std::fabs(a - b) < 1e-9 * std::max(1.0, std::fabs(b)); }

// Runs the first pass now instead of after the timer's second.
void firstPassNow(TForm1& form) { form.scanRun()->TimerThreadTimer(); }

}  // namespace

class TestMainWindowRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void runFillsTheLabelsAndTheBar()
    {
        ServerOnDisk server;
        for (int i = 0; i < 5; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 20);
        TForm1 form;
        ScanRun* run = form.scanRun();
        form.form()->Starten->click();
        form.form()->Button2->click();
        QVERIFY(!form.form()->Button2->isEnabled());
        QVERIFY(!form.form()->Starten->isEnabled());
        firstPassNow(form);
        QVERIFY(waitFor([&] { return run->TobitDone(); }, 30000));
        QCOMPARE(form.form()->Bar->value(), 5);
        QCOMPARE(form.form()->Bar->maximum(), 5);
        QCOMPARE(form.form()->lblStatusTob->text(), QStringLiteral("Tobit: 5/5"));
        QCOMPARE(form.form()->lblSumTobit->text(), totalsText(expectedTotal(server)));
        QCOMPARE(form.form()->lblSumNachrichten->text(), totalsText(run->SumTobit() - run->SumAttachment()));
        QVERIFY(form.form()->Starten->isEnabled());  // a new load needs no restart
        // Every row holds the generator's figures.
        for (int i = 0; i < 5; ++i) {
            const auto r = form.tableModel()->record(form.tableModel()->index(i, 0));
            const gen::ArchiveFigures& f = server.figures.at(r->Pfad);
            QVERIFY(near(double(r->Size), ServerOnDisk::mb(f.size)));
            QCOMPARE(r->AnhangG, f.anhangG);
        }
    }

    // The labels and the bar follow a run a few times a second; its end shows the final figures at once.
    void runEndShowsTheFinalFiguresAtOnce()
    {
        ServerOnDisk server;
        for (int i = 0; i < 40; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 1, std::uint64_t(i + 1));
        TForm1 form;
        // Only the first change of the run would reach the labels before its end.
        form.runStatus()->setInterval(3600 * 1000);
        ScanRun* run = form.scanRun();
        form.form()->Starten->click();
        form.form()->Button2->click();
        firstPassNow(form);
        QVERIFY(waitFor([&] { return run->TobitDone(); }, 60000));
        QCOMPARE(form.form()->Bar->value(), 40);
        QCOMPARE(form.form()->lblStatusTob->text(), QStringLiteral("Tobit: 40/40"));
        QCOMPARE(form.form()->lblSumTobit->text(), totalsText(expectedTotal(server)));
        QCOMPARE(form.form()->lblSumAttachment->text(), totalsText(run->SumAttachment()));
    }

    void aLimitThatIsNoNumberStartsNothing()
    {
        ServerOnDisk server;
        for (int i = 0; i < 4; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        TForm1 form;
        ScanRun* run = form.scanRun();
        form.form()->Starten->click();
        form.form()->txtThreadAnzahl->setText(QStringLiteral("abc"));
        form.form()->Button2->click();
        firstPassNow(form);
        firstPassNow(form);
        for (TMyThreads* t : run->scanners())
            QVERIFY(!t->FEinmal);
        form.form()->txtThreadAnzahl->setText(QStringLiteral("2"));
        firstPassNow(form);
        QVERIFY(waitFor([&] { return run->TobitDone(); }, 20000));
        QVERIFY(near(run->SumTobit(), expectedTotal(server)));
    }

    // "Auswahl berechnen" on a user whose result is in before "Berechnung starten": the run counts it too.
    void rowMeasuredBeforeTheRunStaysInTheTotals()
    {
        ServerOnDisk server;
        for (int i = 0; i < 3; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        TForm1 form;
        ScanRun* run = form.scanRun();
        form.form()->Starten->click();
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(1, 0));
        form.Auswahlberechnen1Click();
        QVERIFY(waitFor([&] { return form.form()->lblStatusTob->text() == QStringLiteral("Tobit: 1/3"); }, 20000));
        form.form()->Button2->click();
        firstPassNow(form);
        QVERIFY(waitFor([&] { return run->TobitDone(); }, 20000));
        QCOMPARE(form.form()->lblSumTobit->text(), totalsText(expectedTotal(server)));
        QCOMPARE(form.form()->Bar->value(), 3);
        // The scale of the bars includes the row measured first.
        double largest = 0;
        for (const auto& r : form.topLevelRecords())
            largest = std::max(largest, double(r->Size));
        QCOMPARE(form.tableModel()->index(1, ColSize).data(ArchiveTableModel::MaxSizeRole).toDouble(), largest);
    }

    void expansionMeasuresEverySubArchiveAtOnce()
    {
        ServerOnDisk server;
        auto user = server.addUser(QStringLiteral("Anna"));
        for (int i = 0; i < 3; ++i)
            server.addSub(user, QStringLiteral("Ordner %1").arg(i), 4 + i);
        server.addSub(user->subs[1], QStringLiteral("Tief"));
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        ArchiveTableModel* model = form.tableModel();
        const QModelIndex row = model->index(0, 0);
        form.form()->VTTabelle->expand(row);
        QCOMPARE(model->rowCount(row), 3);
        QCOMPARE(model->rowCount(model->index(1, 0, row)), 1);  // its own placeholder
        QCOMPARE(model->rowCount(model->index(0, 0, row)), 0);
        const auto measured = [&](int i) {
            const auto r = model->record(model->index(i, 0, row));
            return near(double(r->Size), ServerOnDisk::mb(server.figures.at(r->Pfad).size));
        };
        QVERIFY(waitFor([&] { return measured(0) && measured(1) && measured(2); }, 20000));
        for (int i = 0; i < 3; ++i) {
            const auto r = model->record(model->index(i, 0, row));
            QCOMPARE(model->level(model->index(i, 0, row)), 1);
            QCOMPARE(r->TobitUser, QStringLiteral("Ordner %1").arg(i));
            const gen::ArchiveFigures& f = server.figures.at(r->Pfad);
            QVERIFY(waitFor([&] { return r->Anhang == f.anhang; }, 5000));  // the final publication
            QVERIFY(near(r->AnhangSize, ServerOnDisk::mb(f.anhangSizeRoot)));  // own folder below the top
        }
        // Sub-archives are outside the run's totals.
        QCOMPARE(form.scanRun()->SumTobit(), 0.0);
        QCOMPARE(form.form()->lblSumTobit->text(), QStringLiteral("..."));
        // Collapsing and expanding again asks the server for nothing more.
        const int requests = server.state->requests;
        form.form()->VTTabelle->collapse(row);
        form.form()->VTTabelle->expand(row);
        QCOMPARE(model->rowCount(row), 3);
        QCOMPARE(server.state->requests, requests);
        QVERIFY(boxes.boxes.isEmpty());
    }

    // No sub-archives is normal: the placeholder goes with its arrow, silently. A server failure still shows.
    void expandingWithoutSubArchives()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"));
        auto bernd = server.addUser(QStringLiteral("Bernd"));
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        ArchiveTableModel* model = form.tableModel();
        QVERIFY(model->hasChildren(model->index(0, 0)));
        form.form()->VTTabelle->expand(model->index(0, 0));
        QCOMPARE(model->rowCount(model->index(0, 0)), 0);
        QVERIFY(!model->hasChildren(model->index(0, 0)));
        QVERIFY(boxes.boxes.isEmpty());

        bernd->path = QStringLiteral("SRV01:DAVID\\ARCHIVE\\GONE");  // the server no longer knows the row's path
        form.form()->VTTabelle->expand(model->index(1, 0));
        QVERIFY(waitFor([&] { return boxes.boxes.size() == 1; }, 5000));
        QVERIFY(boxes.boxes[0].text.contains(QStringLiteral("Unbekanntes Archiv")));
        QCOMPARE(model->rowCount(model->index(1, 0)), 1);
    }

    void reloadingDuringARunKeepsOldFiguresOut()
    {
        ServerOnDisk server;
        for (int i = 0; i < 6; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 120);
        server.addSub(server.state->root->subs[0], QStringLiteral("Ordner"), 120);
        TForm1 form;
        ScanRun* run = form.scanRun();
        form.form()->Starten->click();
        form.form()->VTTabelle->expand(form.tableModel()->index(0, 0));
        form.form()->Button2->click();
        firstPassNow(form);
        QVERIFY(startedScanners(*run) > 0);
        QVERIFY(waitFor([&] { return form.form()->lblSumTobit->text() != QStringLiteral("..."); }, 20000));
        // During the run the handler is called directly; the button comes back when the run is over.
        form.StartenClick();
        for (QLabel* sum : {form.form()->lblSumTobit, form.form()->lblSumAttachment, form.form()->lblSumNachrichten})
            QCOMPARE(sum->text(), QStringLiteral("..."));
        QCOMPARE(form.form()->lblStatusTob->text(), QStringLiteral("Tobit: 0/0"));
        QCOMPARE(form.form()->Bar->value(), 0);
        // Every scanner of the earlier load ends without writing into the new rows.
        QVERIFY(waitFor([&] { return run->findChildren<TMyThreads*>().size() == 6; }, 20000));
        for (const auto& r : form.topLevelRecords())
            QCOMPARE(double(r->Size), 0.0);
        QCOMPARE(run->SumTobit(), 0.0);
        form.form()->Button2->click();
        firstPassNow(form);
        QVERIFY(waitFor([&] { return run->TobitDone(); }, 30000));
        QVERIFY(near(run->SumTobit(), expectedTotal(server)));
    }

    void closingDuringARunEndsPromptly()
    {
        ServerOnDisk server;
        for (int i = 0; i < 8; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 300);
        auto* form = new TForm1;
        form->show();
        form->form()->Starten->click();
        form->form()->Button2->click();
        firstPassNow(*form);
        QVERIFY(startedScanners(*form->scanRun()) > 0);
        QElapsedTimer clock;
        clock.start();
        form->close();
        delete form;
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(TestMainWindowRun)
#include "tst_main_window_run.moc"
