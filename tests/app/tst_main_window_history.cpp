// The window and the history: a finished run is recorded with the sub-archives measured in it, a stopped one
// is not, the "Zuwachs" line follows the row shown and the history, a history that cannot be used is said
// once and the window works on, and the type report counts the server and records its counts unless a new
// load cancels it.

#include "window_fixture.h"

#include "app/archive_table_model.h"
#include "app/run_history.h"
#include "app/scan_run.h"
#include "app/type_scan_run.h"
#include "history/history_database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPushButton>

#include <cmath>
#include <filesystem>

namespace {

void firstPassNow(TForm1& form) { form.scanRun()->TimerThreadTimer(); }

// Loads the users again, runs "Berechnung starten" to its end and waits until the history has the run.
bool runToTheEnd(TForm1& form)
{
    form.form()->Starten->click();
    form.form()->Button2->click();
    firstPassNow(form);
    return waitFor([&] { return form.scanRun()->TobitDone(); }, 30000)
        && waitFor([&] { return !form.runHistory()->isRecording(); }, 30000);
}

QString localFolder(const ServerOnDisk& server, QString serverPath)
{
    serverPath.replace(QLatin1Char(':'), QLatin1Char('/')).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return server.dir.filePath(QStringLiteral("shares/") + serverPath);
}

QLabel* zuwachs(TForm1& form) { return form.findChild<QLabel*>(QStringLiteral("lblZuwachs")); }

}  // namespace

class TestMainWindowHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void finishedRunsAreRecordedAndTheLineShowsTheGrowth()
    {
        ServerOnDisk server;
        const QString file = server.dir.filePath(QStringLiteral("history.sqlite"));
        qputenv("ARVELO_HISTORY", file.toUtf8());
        auto first = server.addUser(QStringLiteral("Anna"), 10);
        const auto sub = server.addSub(first, QStringLiteral("Privat"));
        server.addUser(QStringLiteral("Bernd"), 10);
        TForm1 form;
        form.form()->Starten->click();
        QVERIFY(form.runHistory()->database());
        // Expanded while the run goes: the sub-archive's result comes in that run.
        form.form()->Button2->click();
        form.form()->VTTabelle->expand(form.tableModel()->index(0, 0));
        const auto subRecord = form.tableModel()->record(form.tableModel()->index(0, 0, form.tableModel()->index(0, 0)));
        QVERIFY(subRecord);
        QVERIFY(waitFor([&] { return double(subRecord->Size) == ServerOnDisk::mb(server.figures.at(sub->path).size); },
                        30000));
        firstPassNow(form);
        QVERIFY(waitFor([&] { return form.scanRun()->TobitDone(); }, 30000));
        QVERIFY(waitFor([&] { return !form.runHistory()->isRecording(); }, 30000));
        const auto runs = form.runHistory()->database()->runs(QStringLiteral("SRV01:DAVID\\ARCHIVE"));
        QVERIFY(runs && runs->size() == 1);
        const auto archives = form.runHistory()->database()->runArchives(runs->front().id);
        QVERIFY(archives);
        QCOMPARE(int(archives->size()), 3);
        QCOMPARE((*archives)[1].level, 1);
        for (const history::ArchiveFigures& a : *archives)
            QCOMPARE(a.Size, ServerOnDisk::mb(server.figures.at(a.path).size));
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(1, 0));
        QVERIFY(!zuwachs(form)->isVisibleTo(&form));  // one run: nothing to compare with

        // Bernd's archive grows by 2 MB; the next run says so below "Größe gesamt:".
        const QString bernd = form.tableModel()->record(form.tableModel()->index(1, 0))->Pfad;
        gen::writeFile(std::filesystem::path(localFolder(server, bernd).toStdString()) / "neu.bin", 2 * 1048576);
        QVERIFY(runToTheEnd(form));
        QCOMPARE(form.runHistory()->database()->runs(QStringLiteral("SRV01:DAVID\\ARCHIVE"))->size(), std::size_t(2));
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(0, 0));
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(1, 0));
        QVERIFY(zuwachs(form)->isVisibleTo(&form));
        QCOMPARE(zuwachs(form)->text(),
                 QStringLiteral("+2,0 MB seit ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
    }

    // The line follows the row the panel shows: none after a reload, and for a row not measured in this load
    // what the history holds for its archive.
    void growthLineFollowsTheRowShown()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"), 10);
        server.addUser(QStringLiteral("Bernd"), 10);
        TForm1 form;
        QVERIFY(runToTheEnd(form));
        const QString bernd = form.tableModel()->record(form.tableModel()->index(1, 0))->Pfad;
        gen::writeFile(std::filesystem::path(localFolder(server, bernd).toStdString()) / "neu.bin", 2 * 1048576);
        QVERIFY(runToTheEnd(form));
        server.addUser(QStringLiteral("Carl"), 3);  // comes with the next load; the history knows nothing of it

        const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
        const QString grown = QStringLiteral("+2,0 MB seit ") + today;
        const auto select = [&](int row) {
            return [&form, row] { form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(row, 0)); };
        };
        const auto reload = [&] { form.form()->Starten->click(); };
        const auto measure = [&] {
            form.form()->Button2->click();
            firstPassNow(form);
            QVERIFY(waitFor([&] { return form.scanRun()->TobitDone(); }, 30000));
            QVERIFY(waitFor([&] { return !form.runHistory()->isRecording(); }, 30000));
        };
        struct Step {
            const char* what;
            std::function<void()> act;
            QString line;  // empty: no line
        };
        const Step steps[] = {
            {"the grown row", select(1), grown},
            {"reloaded: no row shown", reload, {}},
            {"the grown row, not measured in this load", select(1), grown},
            {"a row the history does not know", select(2), {}},
            {"the grown row again", select(1), grown},
            {"measured and recorded: nothing grew since", measure, QStringLiteral("+0,0 MB seit ") + today},
            {"reloaded again", reload, {}},
        };
        for (const Step& step : steps) {
            step.act();
            QLabel* line = zuwachs(form);
            QVERIFY2((line->isVisibleTo(&form) ? line->text() : QString()) == step.line, step.what);
        }
    }

    void stoppedRunIsNotRecorded()
    {
        ServerOnDisk server;
        const QString file = server.dir.filePath(QStringLiteral("history.sqlite"));
        qputenv("ARVELO_HISTORY", file.toUtf8());
        for (int i = 0; i < 6; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 40);
        TForm1 form;
        form.form()->Starten->click();
        form.form()->txtThreadAnzahl->setText(QStringLiteral("1"));
        form.form()->Button2->click();
        firstPassNow(form);
        // "User auslesen" before the run is through.
        QVERIFY(!form.scanRun()->TobitDone());
        form.StartenClick();
        QVERIFY(waitFor([&] { return form.scanRun()->runningScanners() == 0; }, 30000));
        QVERIFY(!form.runHistory()->isRecording());
        QCOMPARE(form.runHistory()->database()->runs(QStringLiteral("SRV01:DAVID\\ARCHIVE"))->size(), std::size_t(0));
    }

    void unusableHistoryIsSaidOnceAndTheWindowWorksOn()
    {
        ServerOnDisk server;
        const QString file = server.dir.filePath(QStringLiteral("kaputt.sqlite"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("Dies ist keine Datenbank.\n").repeated(100));
        }
        QFile original(file);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray content = original.readAll();
        original.close();
        qputenv("ARVELO_HISTORY", file.toUtf8());
        server.addUser(QStringLiteral("Anna"), 5);
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        QVERIFY(waitFor([&] { return boxes.boxes.size() == 1; }, 10000));
        QVERIFY(boxes.boxes.front().text.contains(QDir::toNativeSeparators(file)));
        QVERIFY(!form.runHistory()->database());
        form.form()->Button2->click();
        firstPassNow(form);
        QVERIFY(waitFor([&] { return form.scanRun()->TobitDone(); }, 30000));
        form.form()->Starten->click();  // loading again does not say it again
        QTest::qWait(100);
        QCOMPARE(boxes.boxes.size(), qsizetype(1));
        QFile after(file);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), content);
    }

    void typeReportCountsTheServerAndRecordsTheCounts()
    {
        ServerOnDisk server;
        const QString file = server.dir.filePath(QStringLiteral("history.sqlite"));
        qputenv("ARVELO_HISTORY", file.toUtf8());
        for (int i = 0; i < 4; ++i)
            server.addUser(QStringLiteral("User %1").arg(i), 12);
        TForm1 form;
        form.form()->Starten->click();
        // "Ja" to the question, then the preview is closed as soon as it shows.
        bool previewShown = false;
        QTimer answer;
        connect(&answer, &QTimer::timeout, &form, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->button(QMessageBox::Yes)->click();
            else if (auto* preview = qobject_cast<QPrintPreviewDialog*>(modal)) {
                previewShown = true;
                preview->reject();
            }
        });
        answer.start(20);
        form.TopTenDateitypen1Click();
        QVERIFY(waitFor([&] { return previewShown; }, 30000));
        QVERIFY(waitFor([&] { return !form.runHistory()->isRecording(); }, 30000));

        std::map<QString, qint64> expected;
        for (const auto& [path, figures] : server.figures)
            for (const auto& [key, count] : figures.typesTree)
                expected[QString::fromStdString(key)] += count;
        const auto runs = form.runHistory()->database()->runs(QStringLiteral("SRV01:DAVID\\ARCHIVE"));
        QVERIFY(runs && runs->size() == 1);
        QVERIFY(!runs->front().figures);
        const auto totals = form.runHistory()->database()->typeTotals(runs->front().id);
        QVERIFY(totals);
        QCOMPARE(totals->size(), expected.size());
        for (const history::TypeTotal& t : *totals)
            QCOMPARE(t.count, expected.at(t.key));

        // A count that a new load cancels is neither shown nor recorded, however far it got meanwhile.
        previewShown = false;
        auto* cancel = form.findChild<QPushButton*>(QStringLiteral("TypeScanCancel"));
        form.TopTenDateitypen1Click();
        QVERIFY(cancel->isVisibleTo(&form));
        form.StartenClick();
        QVERIFY(waitFor([&] { return !form.typeScanRun()->isRunning(); }, 30000));
        QVERIFY(!cancel->isVisibleTo(&form));
        QVERIFY(!previewShown);
        QVERIFY(!form.runHistory()->isRecording());
        QCOMPARE(form.runHistory()->database()->runs(QStringLiteral("SRV01:DAVID\\ARCHIVE"))->size(), std::size_t(1));
    }
};

QTEST_MAIN(TestMainWindowHistory)
#include "tst_main_window_history.moc"
