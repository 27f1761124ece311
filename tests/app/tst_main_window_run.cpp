// The calculation run in the main window offscreen: the limit, the totals, measuring again, expansion,
// reloading and closing while scanners run.

#include "window_fixture.h"

#include "app/archive_table_model.h"
#include "engine/my_threads.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {

// Scanners a pass has started, whether still running or done.
int startedScanners(const TForm1& form)
{
    int n = 0;
    for (TMyThreads* t : form.ThreadArray)
        if (t && (t->isRunning() || t->isFinished()))
            ++n;
    return n;
}

double expectedTotal(const ServerOnDisk& server)
{
    double sum = 0;
    for (const auto& user : server.state->root->subs)
        sum += ServerOnDisk::mb(server.figures.at(user->path).size);
    return sum;
}

bool near(double a, double b) { return std::fabs(a - b) < 1e-9 * std::max(1.0, std::fabs(b)); }

}  // namespace

class TestMainWindowRun : public QObject {
    Q_OBJECT
private slots:
    void twentyUsersWithALimitOfSeven()
    {
        ServerOnDisk server;
        // Archives large enough that a scanner, which no longer waits for the main thread, is still
        // running when the loop below looks.
        for (int i = 0; i < 20; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 40);
        TForm1 form;
        form.form()->Starten->click();
        form.form()->Button2->click();
        QVERIFY(!form.form()->Button2->isEnabled());
        // Scanners end long before the next pass a second later, so each pass starts up to seven; the
        // first, with every place free, exactly seven.
        int started = 0;
        std::vector<int> steps;
        QElapsedTimer clock;
        clock.start();
        while (!form.TobitDone && clock.elapsed() < 60000) {
            const int now = startedScanners(form);
            if (now != started)
                steps.push_back(now - started);
            started = now;
            QTest::qWait(2);
        }
        QVERIFY(form.TobitDone);
        QCOMPARE(startedScanners(form), 20);
        QVERIFY(!steps.empty());
        QCOMPARE(steps.front(), 7);
        QVERIFY(*std::max_element(steps.begin(), steps.end()) <= 7);
        QCOMPARE(form.form()->Bar->value(), 20);
        QCOMPARE(form.form()->lblStatusTob->text(), QStringLiteral("Tobit: 20/20"));
        QVERIFY(near(form.SumTobit, expectedTotal(server)));
        // Every row holds the generator's figures.
        for (int i = 0; i < 20; ++i) {
            const TTobData& r = *form.tableModel()->nodeFromIndex(form.tableModel()->index(i, 0))->data;
            const gen::ArchiveFigures& f = server.figures.at(r.Pfad);
            QVERIFY(near(double(r.Size), ServerOnDisk::mb(f.size)));
            QCOMPARE(r.AnhangG, f.anhangG);
        }
        QVERIFY(form.form()->Starten->isEnabled());  // a new measurement needs no restart

        // Measuring a row again replaces its share instead of adding a second one.
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(3, 0));
        form.Auswahlberechnen1Click();
        QVERIFY(waitFor([&] { return form.TobitDone; }, 20000));
        QTest::qWait(100);
        QVERIFY(near(form.SumTobit, expectedTotal(server)));
        QCOMPARE(form.form()->Bar->value(), 20);
    }

    void aLimitThatIsNoNumberStartsNothing()
    {
        ServerOnDisk server;
        for (int i = 0; i < 4; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        TForm1 form;
        form.form()->Starten->click();
        form.form()->txtThreadAnzahl->setText(QStringLiteral("abc"));
        form.form()->Button2->click();
        QTest::qWait(2300);  // two ticks
        for (TMyThreads* t : form.ThreadArray)
            QVERIFY(!t->FEinmal);
        form.form()->txtThreadAnzahl->setText(QStringLiteral("2"));
        QVERIFY(waitFor([&] { return form.TobitDone; }, 20000));
        QVERIFY(near(form.SumTobit, expectedTotal(server)));
    }

    void measuringBeforeTheRunCountsOnce()
    {
        ServerOnDisk server;
        for (int i = 0; i < 3; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        TForm1 form;
        form.form()->Starten->click();
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(1, 0));
        form.Auswahlberechnen1Click();
        form.form()->Button2->click();
        QVERIFY(waitFor([&] { return form.TobitDone; }, 20000));
        QTest::qWait(200);
        QVERIFY(near(form.SumTobit, expectedTotal(server)));
        QCOMPARE(form.form()->Bar->value(), 3);
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
        const QModelIndex row = form.tableModel()->index(0, 0);
        form.form()->VTTabelle->expand(row);
        ArchiveNode* node = form.tableModel()->nodeFromIndex(row);
        QCOMPARE(node->childCount(), 3);
        QCOMPARE(node->child(1)->childCount(), 1);  // its own placeholder
        QCOMPARE(node->child(0)->childCount(), 0);
        QVERIFY(waitFor([&] {
            for (int i = 0; i < 3; ++i)
                if (node->child(i)->data->Size == 0)
                    return false;
            return true;
        }, 20000));
        QTest::qWait(300);  // final publications
        for (int i = 0; i < 3; ++i) {
            const TTobData& r = *node->child(i)->data;
            QCOMPARE(r.TobitUser, QStringLiteral("Ordner %1").arg(i));
            const gen::ArchiveFigures& f = server.figures.at(r.Pfad);
            QVERIFY(near(double(r.Size), ServerOnDisk::mb(f.size)));
            QCOMPARE(r.Anhang, f.anhang);
            QVERIFY(near(r.AnhangSize, ServerOnDisk::mb(f.anhangSizeRoot)));  // own folder below the top
        }
        // Sub-archives are outside the run's totals.
        QCOMPARE(form.SumTobit, 0.0);
        // Collapsing and expanding again asks the server for nothing more.
        form.form()->VTTabelle->collapse(row);
        form.form()->VTTabelle->expand(row);
        QCOMPARE(node->childCount(), 3);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void reloadingDuringARunKeepsOldFiguresOut()
    {
        ServerOnDisk server;
        for (int i = 0; i < 6; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 200);
        TForm1 form;
        form.form()->Starten->click();
        form.form()->Button2->click();
        QVERIFY(waitFor([&] { return startedScanners(form) > 0; }, 5000));
        // The finished run offers "User auslesen" again; during the run the handler is still called directly.
        form.StartenClick();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(double(form.tableModel()->nodeFromIndex(form.tableModel()->index(i, 0))->data->Size), 0.0);
        QTest::qWait(500);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(double(form.tableModel()->nodeFromIndex(form.tableModel()->index(i, 0))->data->Size), 0.0);
        QCOMPARE(form.SumTobit, 0.0);
        form.form()->Button2->click();
        QVERIFY(waitFor([&] { return form.TobitDone; }, 30000));
        QTest::qWait(200);
        QVERIFY(near(form.SumTobit, expectedTotal(server)));
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
        QVERIFY(waitFor([&] { return startedScanners(*form) > 0; }, 5000));
        QElapsedTimer clock;
        clock.start();
        form->close();
        delete form;
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(TestMainWindowRun)
#include "tst_main_window_run.moc"
