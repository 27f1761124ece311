// The main window offscreen: loading the users, and working with the table.

#include "window_fixture.h"

#include "app/archive_table_model.h"
#include "engine/my_threads.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // No real settings of the user are touched.
        QStandardPaths::setTestModeEnabled(true);
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void loadFillsRowsInServerOrder()
    {
        ServerOnDisk server;
        for (const char* name : {"Zoe Wagner", "Anna Becker", "Bernd Fischer"})
            server.addUser(QString::fromUtf8(name));
        TForm1 form;
        QAbstractItemModelTester tester(form.tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.form()->Starten->click();

        ArchiveTableModel* model = form.tableModel();
        QCOMPARE(model->rowCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const auto& user = server.state->root->subs[i];
            QCOMPARE(model->index(i, ColUser).data().toString(), user->name);
            QCOMPARE(model->index(i, ColUserId).data().toString(), ServerOnDisk::idOf(i));
            const ArchiveNode* node = model->nodeFromIndex(model->index(i, 0));
            QCOMPARE(node->data->Pfad, user->path);
            QCOMPARE(node->data->FullPath, user->fullPath);
            QCOMPARE(node->childCount(), 1);  // the placeholder
            QVERIFY(form.ThreadArray[std::size_t(i)]);
            QVERIFY(!form.ThreadArray[std::size_t(i)]->isRunning());
            QCOMPARE(form.ThreadArray[std::size_t(i)]->config().FPfad, user->path);
        }
        QVERIFY(!form.form()->Starten->isEnabled());
        QVERIFY(form.form()->Button2->isEnabled());
        QCOMPARE(form.form()->StatusBar1->currentMessage(), QStringLiteral("Anzahl der Tobit-User: 3"));
        QCOMPARE(form.form()->Bar->maximum(), 3);
    }

    void failingThirdUserKeepsTwoRows()
    {
        ServerOnDisk server;
        for (int i = 0; i < 5; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        server.state->failOnUser = 2;
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        QCOMPARE(form.tableModel()->rowCount(), 2);
        QVERIFY(form.ThreadArray[0] && form.ThreadArray[1]);
        QCOMPARE(form.tableModel()->index(1, ColUser).data().toString(), QStringLiteral("User 1"));
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text,
                 QStringLiteral("Es konnten keine Informationen zu den einzelnen Tobit-Usern ausgelesen werden!"));
        QVERIFY(boxes.boxes[0].detailedText.contains(QStringLiteral("Benutzer 2 nicht lesbar")));
        QVERIFY(form.form()->Starten->isEnabled());
        QVERIFY(form.form()->Button2->isEnabled());
    }

    void serverWithoutUsers()
    {
        ServerOnDisk server;
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        QCOMPARE(form.tableModel()->rowCount(), 0);
        QVERIFY(form.ThreadArray.empty());
        QVERIFY(boxes.boxes.isEmpty());
        // Starting a run on no users starts no timer and ends nothing in error.
        form.form()->Button2->click();
        QVERIFY(!form.TimerThread->isActive());
    }

    void brokenServerFolderNamesTheFile()
    {
        QTemporaryDir folder;
        QTemporaryDir programDir;
        platform::setProgramFolder(programDir.path());
        QFile json(folder.filePath(QStringLiteral("server.json")));
        QVERIFY(json.open(QIODevice::WriteOnly));
        json.write("{ \"archiveRoot\": { \"name\": ");
        json.close();
        setApiFactory(nullptr);  // the stand-in server
        qputenv("ARVELO_SERVER", folder.path().toLocal8Bit());
        BoxCloser boxes;
        TForm1 form;
        form.form()->Starten->click();
        qunsetenv("ARVELO_SERVER");
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.boxes[0].detailedText.contains(QStringLiteral("server.json")));
        QCOMPARE(form.tableModel()->rowCount(), 0);
        QVERIFY(form.form()->Starten->isEnabled());
    }

    void clientProgramFromTheRegistryValue()
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                        QStringLiteral("Tobit InfoCenter"));
        store.remove(QString());
        store.sync();
        QCOMPARE(platform::clientProgramFromRegistry(), QString());
        store.setValue(QStringLiteral("Settings/ProgramDirectory"), QStringLiteral("C:\\Prog"));
        store.sync();
        QCOMPARE(platform::clientProgramFromRegistry(), QStringLiteral("C:\\Prog\\DVWIN32.exe"));
        store.setValue(QStringLiteral("Settings/ProgramDirectory"), QStringLiteral("C:\\Prog\\"));
        store.sync();
        ServerOnDisk server;
        TForm1 form;
        QCOMPARE(form.DVWIN_Pfad, QStringLiteral("C:\\Prog\\DVWIN32.exe"));
        store.remove(QString());
        store.sync();
    }

    void headerClicksShareTheDirection()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Zoe"));
        server.addUser(QStringLiteral("Anna"));
        server.addUser(QStringLiteral("bernd"));
        TForm1 form;
        QAbstractItemModelTester tester(form.tableModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        form.form()->Starten->click();
        const auto names = [&] {
            QStringList out;
            for (int i = 0; i < form.tableModel()->rowCount(); ++i)
                out << form.tableModel()->index(i, 0).data().toString();
            return out;
        };
        QTreeView* view = form.form()->VTTabelle;
        view->setCurrentIndex(form.tableModel()->index(0, 0));  // Zoe
        view->header()->sectionClicked(ColUser);
        QCOMPARE(names(), (QStringList {"Anna", "Zoe", "bernd"}));
        QCOMPARE(form.tableModel()->nodeFromIndex(view->currentIndex())->data->TobitUser, QStringLiteral("Zoe"));
        // The next click, on any column, sorts the other way.
        view->header()->sectionClicked(ColUser);
        QCOMPARE(names(), (QStringList {"bernd", "Zoe", "Anna"}));
        QVERIFY(form.SortAscending);
        // Positions follow, so the stripes do too.
        QCOMPARE(form.tableModel()->index(2, 0).data(ArchiveTableModel::PositionRole).toInt(), 2);
    }

    void filterHidesUserRowsUntilTheTextChanges()
    {
        ServerOnDisk server;
        for (const char* name : {"Müller", "Mueller", "Becker"})
            server.addUser(QString::fromUtf8(name));
        TForm1 form;
        form.form()->Starten->click();
        QTreeView* view = form.form()->VTTabelle;
        QLineEdit* filter = form.form()->sFilter;
        const auto hidden = [&] {
            QList<bool> out;
            for (int i = 0; i < 3; ++i)
                out << view->isRowHidden(i, {});
            return out;
        };
        QVERIFY(!form.sFilterClear->isVisible());
        filter->setText(QStringLiteral("mü"));
        QCOMPARE(hidden(), (QList<bool> {false, true, true}));
        QVERIFY(form.sFilterClear->isVisible());
        filter->setText(QStringLiteral("=0"));
        QCOMPARE(hidden(), (QList<bool> {false, false, false}));
        filter->setText(QStringLiteral(">1"));
        QCOMPARE(hidden(), (QList<bool> {true, true, true}));
        // An operator alone leaves the rows as they were.
        filter->setText(QStringLiteral(">"));
        QCOMPARE(hidden(), (QList<bool> {true, true, true}));
        // The clear button empties the box and shows every row.
        form.sFilterClear->trigger();
        QCOMPARE(filter->text(), QString());
        QCOMPARE(hidden(), (QList<bool> {false, false, false}));
        QVERIFY(!form.sFilterClear->isVisible());

        // New rows after "User auslesen" are visible although the text stays.
        filter->setText(QStringLiteral("xyz"));
        QCOMPARE(hidden(), (QList<bool> {true, true, true}));
        form.StartenClick();
        QCOMPARE(filter->text(), QStringLiteral("xyz"));
        QCOMPARE(hidden(), (QList<bool> {false, false, false}));
    }

    void selectionFillsTheDetailPanel()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"));
        TForm1 form;
        form.form()->Starten->click();
        ArchiveNode* node = form.tableModel()->nodeFromIndex(form.tableModel()->index(0, 0));
        node->data->Size = 1536;
        node->data->SizeRoot = 1024;
        node->data->AnhangSizeG = 512;
        QCOMPARE(form.form()->lblSizeGesamt->text(), QStringLiteral("..."));
        form.form()->VTTabelle->setCurrentIndex(form.tableModel()->index(0, 3));
        QCOMPARE(form.form()->lblSizeGesamt->text(), QStringLiteral("1536,0 MByte (1,5 GB)"));
        QCOMPARE(form.form()->lblSpTobit2->text(), QStringLiteral(" / davon 512,0 MB an Dateianhängen"));
        QCOMPARE(form.form()->lblSpTobit2->x(),
                 form.form()->lblSizeGesamt->x() + form.form()->lblSizeGesamt->width() + 5);
        QCOMPARE(form.form()->lblArchivID->text(), node->data->Pfad);
        QCOMPARE(form.form()->lblPfad->text(), node->data->FullPath);
        QCOMPARE(form.form()->Chart1->chart()->title(), QStringLiteral("Anna"));
    }

    void contextMenuRulesAndShellActions()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"));
        server.addUser(QStringLiteral("Bernd"));
        BoxCloser boxes;
        TForm1 form;
        form.DVWIN_Pfad.clear();
        // Without a focused row nothing is opened.
        form.Verzeichnisffnen1Click();
        QVERIFY(server.launched.isEmpty());

        form.form()->Starten->click();
        ArchiveTableModel* model = form.tableModel();
        model->nodeFromIndex(model->index(1, 0))->data->AnhangG = 4;  // all in sub-archives
        QTreeView* view = form.form()->VTTabelle;
        view->setCurrentIndex(model->index(0, 0));
        form.PopUp1Popup();
        QVERIFY(!form.An1->isEnabled());
        view->setCurrentIndex(model->index(1, 0));
        form.PopUp1Popup();
        QVERIFY(form.An1->isEnabled());
        const QStringList captions = [&] {
            QStringList out;
            for (QAction* a : form.PopUp1->actions())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text());
            return out;
        }();
        QCOMPARE(captions, (QStringList {"Verzeichnis im Explorer öffnen", "Tobit-Archiv öffnen", "-",
                                         "Auswahl berechnen", "Anhang-Klassifizierung", "Nachrichten-Export", "-",
                                         "Reports", "-", "Tabelle formatieren", "Einstellungen"}));

        // "Tobit-Archiv öffnen" without a client: the message, nothing started.
        form.obitArchivffnen1Click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Die DVWIN32.exe konnte nicht gefunden werden!"));
        QVERIFY(server.launched.isEmpty());

        form.Verzeichnisffnen1Click();
        QCOMPARE(server.launched.size(), 1);
        QVERIFY(server.launched[0].arguments.value(0).endsWith(
            QStringLiteral("shares/SRV01/DAVID/ARCHIVE/USER/") + ServerOnDisk::idOf(1)));

        // A client program that exists is started with -A and the UNC path as one parameter.
        QFile client(server.dir.filePath(QStringLiteral("DVWIN32.exe")));
        QVERIFY(client.open(QIODevice::WriteOnly));
        client.close();
        client.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        form.DVWIN_Pfad = client.fileName();
        form.obitArchivffnen1Click();
        QCOMPARE(server.launched.size(), 2);
        QCOMPARE(server.launched[1].arguments,
                 QStringList {QStringLiteral("-A\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + ServerOnDisk::idOf(1)});
    }

    void formatItemsSwitchTheFlagsAndAreKept()
    {
        ServerOnDisk server;
        {
            TForm1 form;
            QVERIFY(form.Display.ShowGradient && form.Display.ShowFrame && form.Display.ShowBars);
            form.Farbverlauf1->trigger();
            QVERIFY(!form.Display.ShowGradient);
            form.ohneBalken1->trigger();
            QVERIFY(!form.Display.ShowBars);
            QVERIFY(form.Display.ShowFrame);
            form.close();
        }
        QFile file(server.programDir.filePath(QStringLiteral("Darstellung.dat")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().trimmed(), QByteArray("2"));
        file.close();
        TForm1 again;
        QVERIFY(!again.Display.ShowGradient && again.Display.ShowFrame && !again.Display.ShowBars);
        QVERIFY(!again.Farbverlauf1->isChecked());
        QVERIFY(again.HintergrundRahmen1->isChecked());
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
