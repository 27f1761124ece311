// The context menu's commands reach the secondary windows with the focused row.

#include "window_fixture.h"

#include "app/archive_table_model.h"
#include "app/scan_run.h"
#include "classify/takklassifizierung.h"
#include "export/temlexport.h"
#include "settings/teinstellungen.h"

#include <QAction>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QStandardPaths>

class TestMainWindowCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    void commandsTakeTheFocusedRow()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"));
        server.addUser(QStringLiteral("Bernd"), 8);
        TForm1 form;
        TAKlassifizierung klassifizierung(&form);
        form.setKlassifizierung(&klassifizierung);
        TEMLExport eMLExport(&form);
        form.setEMLExport(&eMLExport);

        form.form()->Starten->click();
        form.form()->Button2->click();
        QVERIFY(waitFor([&] { return form.scanRun()->TobitDone(); }, 20000));
        ArchiveTableModel* model = form.tableModel();
        form.form()->VTTabelle->setCurrentIndex(model->index(1, 0));
        const std::shared_ptr<const TTobData> bernd = model->record(model->index(1, 0));

        // Export: the window opens modally for Bernd's archive.
        QString exportRoot, exportLabel;
        QTimer::singleShot(0, [&] {
            if (auto* w = qobject_cast<TEMLExport*>(QApplication::activeModalWidget())) {
                exportRoot = w->RootPfad;
                exportLabel = w->findChild<QLabel*>(QStringLiteral("lblArchiv"))->text();
            }
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        form.findChild<QAction*>(QStringLiteral("EMLExport1"))->trigger();
        QCOMPARE(exportRoot, bernd->Pfad);
        QCOMPARE(exportLabel, bernd->FullPath);

        // Overview: a preview of the report opens and its close ends the command.
        bool previewShown = false;
        QTimer::singleShot(0, [&] {
            if (auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
                previewShown = true;
                preview->reject();
            }
        });
        form.findChild<QAction*>(QStringLiteral("bersichtUserarchive1"))->trigger();
        QVERIFY(previewShown);

        // Classification: "Nein" counts the archive folder alone, and the chart shows its types.
        QTimer answer;
        connect(&answer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        answer.start(20);
        form.findChild<QAction*>(QStringLiteral("An1"))->trigger();
        QVERIFY(klassifizierung.isVisible());
        QCOMPARE(klassifizierung.Gesamt, bernd->Anhang);
        QVERIFY(waitFor([&] { return klassifizierung.statusText().startsWith(QStringLiteral("Anzahl Dateitypen: ")); },
                        10000));
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestMainWindowCommands)
#include "tst_main_window_commands.moc"
