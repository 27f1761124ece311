// The main window offscreen: loading the users, and working with the table.

#include "window_fixture.h"

#include "app/app_setup.h"
#include "app/archive_table_model.h"
#include "app/scan_run.h"
#include "engine/my_threads.h"
#include "settings/teinstellungen.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
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
            const auto record = model->record(model->index(i, 0));
            QCOMPARE(record->Pfad, user->path);
            QCOMPARE(record->FullPath, user->fullPath);
            QCOMPARE(model->level(model->index(i, 0)), 0);
            QCOMPARE(model->rowCount(model->index(i, 0)), 1);  // the placeholder
            QVERIFY(form.scanRun()->scanners()[std::size_t(i)]);
            QVERIFY(!form.scanRun()->scanners()[std::size_t(i)]->isRunning());
        }
        QCOMPARE(form.topLevelRecords().size(), std::size_t(3));
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
        QVERIFY(form.scanRun()->scanners()[0] && form.scanRun()->scanners()[1]);
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
        QVERIFY(form.scanRun()->scanners().empty());
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(form.form()->Bar->maximum(), 0);
        // Starting a run on no users starts no timer and ends nothing in error; "User auslesen" stays
        // reachable, so users added to the server later can be loaded.
        form.form()->Button2->click();
        QVERIFY(!form.scanRun()->isRunning());
        QVERIFY(form.form()->Starten->isEnabled());
        server.addUser(QStringLiteral("Anna"));
        form.form()->Starten->click();
        QCOMPARE(form.tableModel()->rowCount(), 1);
        QVERIFY(form.form()->Button2->isEnabled());
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
        QCOMPARE(form.focusedArchive().clientFolder, QStringLiteral("C:\\Prog\\DVWIN32.exe"));
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
        view->header()->sectionClicked(ColUserId);
        QCOMPARE(names(), (QStringList {"Zoe", "Anna", "bernd"}));  // server order: ascending again
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
        QAction* clear = form.findChild<QAction*>(QStringLiteral("sFilterClear"));
        const auto hidden = [&] {
            QList<bool> out;
            for (int i = 0; i < 3; ++i)
                out << view->isRowHidden(i, {});
            return out;
        };
        QVERIFY(!clear->isVisible());
        filter->setText(QStringLiteral("mü"));
        QCOMPARE(hidden(), (QList<bool> {false, true, true}));
        QVERIFY(clear->isVisible());
        filter->setText(QStringLiteral("=0"));
        QCOMPARE(hidden(), (QList<bool> {false, false, false}));
        filter->setText(QStringLiteral(">1"));
        QCOMPARE(hidden(), (QList<bool> {true, true, true}));
        // An operator alone leaves the rows as they were.
        filter->setText(QStringLiteral(">"));
        QCOMPARE(hidden(), (QList<bool> {true, true, true}));
        // The clear button empties the box and shows every row.
        clear->trigger();
        QCOMPARE(filter->text(), QString());
        QCOMPARE(hidden(), (QList<bool> {false, false, false}));
        QVERIFY(!clear->isVisible());

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
        QCOMPARE(form.form()->Chart1->title(), QStringLiteral("Anna"));
        const QList<ui::PieSlice>& slices = form.form()->Chart1->slices();
        QCOMPARE(slices.size(), 2);
        QCOMPARE(slices[0].label, QStringLiteral("Rest"));
        QCOMPARE(slices[0].value, 1024.0);
        QCOMPARE(slices[0].colour, QColor(0x00, 0x00, 0xFF));
        QCOMPARE(slices[1].label, QStringLiteral("Anhänge"));
        QCOMPARE(slices[1].value, 512.0);
        QCOMPARE(slices[1].colour, QColor(0x00, 0x80, 0x00));

        // "User auslesen" (offered again once a run has ended) empties the table, and the panel with it.
        form.form()->Starten->setEnabled(true);
        form.form()->Starten->click();
        for (const QLabel* label : {static_cast<QLabel*>(form.form()->lblSizeGesamt), form.form()->lblSpTobit,
                                    form.form()->lblSpTobit2, form.form()->lblSizeUnterarchive,
                                    static_cast<QLabel*>(form.form()->lblArchivID), static_cast<QLabel*>(form.form()->lblPfad)})
            QCOMPARE(label->text(), QStringLiteral("..."));
        QCOMPARE(form.form()->Chart1->title(), QStringLiteral("Archivname"));
        QVERIFY(form.form()->Chart1->slices().isEmpty());
    }

    void contextMenuRulesAndShellActions()
    {
        ServerOnDisk server;
        server.addUser(QStringLiteral("Anna"));
        server.addUser(QStringLiteral("Bernd"));
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                        QStringLiteral("Tobit InfoCenter"));
        store.remove(QString());
        store.sync();
        BoxCloser boxes;
        TForm1 form;
        QAction* An1 = form.findChild<QAction*>(QStringLiteral("An1"));
        QMenu* PopUp1 = form.findChild<QMenu*>(QStringLiteral("PopUp1"));
        QVERIFY(An1 && PopUp1);
        // Without a focused row nothing is opened, and nothing is selected for the other windows.
        form.Verzeichnisffnen1Click();
        QVERIFY(server.launched.isEmpty());
        QVERIFY(!form.focusedArchive().record);
        QCOMPARE(form.focusedArchive().level, -1);

        form.form()->Starten->click();
        ArchiveTableModel* model = form.tableModel();
        model->nodeFromIndex(model->index(1, 0))->data->AnhangG = 4;  // all in sub-archives
        QTreeView* view = form.form()->VTTabelle;
        view->setCurrentIndex(model->index(0, 0));
        form.PopUp1Popup();
        QVERIFY(!An1->isEnabled());
        view->setCurrentIndex(model->index(1, 0));
        form.PopUp1Popup();
        QVERIFY(An1->isEnabled());
        const ArchiveSelection selection = form.focusedArchive();
        QCOMPARE(selection.record->TobitUser, QStringLiteral("Bernd"));
        QCOMPARE(selection.level, 0);
        QVERIFY(selection.account);
        const QStringList captions = [&] {
            QStringList out;
            for (QAction* a : PopUp1->actions())
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
        // The folder is the command on Windows (the shell opens it), the opener's argument elsewhere.
        const platform::ShellCommand& opened = server.launched[0];
        QVERIFY(QDir::fromNativeSeparators(opened.arguments.isEmpty() ? opened.program : opened.arguments.value(0))
                    .endsWith(QStringLiteral("shares/SRV01/DAVID/ARCHIVE/USER/") + ServerOnDisk::idOf(1)));

        // A client program that exists is started with -A and the UNC path as one parameter.
        QVERIFY(QDir(server.dir.path()).mkdir(QStringLiteral("client")));
        QFile client(server.dir.filePath(QStringLiteral("client/DVWIN32.exe")));
        QVERIFY(client.open(QIODevice::WriteOnly));
        client.close();
        client.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        store.setValue(QStringLiteral("Settings/ProgramDirectory"), server.dir.filePath(QStringLiteral("client")));
        store.sync();
        TForm1 withClient;
        store.remove(QString());
        store.sync();
        QCOMPARE(withClient.focusedArchive().clientFolder,
                 server.dir.filePath(QStringLiteral("client")) + QStringLiteral("\\DVWIN32.exe"));
        withClient.form()->Starten->click();
        withClient.form()->VTTabelle->setCurrentIndex(withClient.tableModel()->index(1, 0));
        withClient.obitArchivffnen1Click();
        QCOMPARE(server.launched.size(), 2);
        QCOMPARE(server.launched[1].arguments,
                 QStringList {QStringLiteral("-A\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + ServerOnDisk::idOf(1)});
    }

    void formatItemsSwitchTheFlagsAndAreKept()
    {
        ServerOnDisk server;
        const auto check = [](const TForm1& form, const char* name) {
            return form.findChild<QAction*>(QString::fromLatin1(name))->isChecked();
        };
        {
            TForm1 form;
            const DisplayFlags& flags = form.form()->VTTabelle->displayFlags();
            QVERIFY(flags.ShowGradient && flags.ShowFrame && flags.ShowBars);
            form.findChild<QAction*>(QStringLiteral("Farbverlauf1"))->trigger();
            QVERIFY(!form.form()->VTTabelle->displayFlags().ShowGradient);
            form.findChild<QAction*>(QStringLiteral("ohneBalken1"))->trigger();
            QVERIFY(!form.form()->VTTabelle->displayFlags().ShowBars);
            QVERIFY(form.form()->VTTabelle->displayFlags().ShowFrame);
            form.close();
        }
        QFile file(server.programDir.filePath(QStringLiteral("Darstellung.dat")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().trimmed(), QByteArray("2"));
        file.close();
        TForm1 again;
        const DisplayFlags& flags = again.form()->VTTabelle->displayFlags();
        QVERIFY(!flags.ShowGradient && flags.ShowFrame && !flags.ShowBars);
        QVERIFY(!check(again, "Farbverlauf1"));
        QVERIFY(check(again, "HintergrundRahmen1"));
    }

    // The captions as designed: nothing appended by the window system.
    void captionsCarryNoSuffix()
    {
        setUpApplication(*qApp);
        // With no display name of the program's own, the window system has nothing to append.
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(QStringLiteral("probe"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
        QCoreApplication::setApplicationName(name);
        ServerOnDisk server;
        TForm1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Arvelo - Vantero"));
        TEinstellungen dialog([](const settings::SettingsHandOver&) {}, &form);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    }

    // "Tobit: x/y" reads at every value: white on the dark strip, and no busy animation without users.
    void progressBarReadsAtEveryValue()
    {
        ServerOnDisk server;
        TForm1 form;
        form.resize(964, 745);
        QWidget* bar = form.form()->Bar;
        QLabel* text = form.form()->lblStatusTob;
        const auto darkUnder = [&](int x) {
            const QColor c = bar->grab().toImage().pixelColor(x, bar->height() / 2);
            return c.lightness() < 160;
        };
        const auto uniform = [&] {
            const QImage image = bar->grab().toImage();
            const int y = bar->height() / 2;
            const QColor right = image.pixelColor(image.width() - 3, y);
            for (int x = text->geometry().right() + 2; x < image.width() - 2; x += 7)
                if (image.pixelColor(x, y) != right)
                    return false;
            return true;
        };
        form.form()->Starten->click();  // no users: maximum 0
        QCOMPARE(form.form()->Bar->maximum(), 0);
        QVERIFY(darkUnder(text->geometry().right() + 2));
        QVERIFY(uniform());  // empty, no busy animation
        for (int i = 0; i < 4; ++i)
            server.addUser(QStringLiteral("User %1").arg(i));
        form.form()->Starten->click();
        for (int value : {0, 2, 4}) {
            form.form()->Bar->setValue(value);
            QVERIFY2(darkUnder(text->geometry().right() + 2), qPrintable(QString::number(value)));
            QVERIFY2(darkUnder(bar->width() - 3), qPrintable(QString::number(value)));
        }
        QCOMPARE(text->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    // Dotted lines join the rows beside the expand arrows.
    void treeLinesBesideTheArrows()
    {
        ServerOnDisk server;
        auto anna = server.addUser(QStringLiteral("Anna"));
        server.addSub(anna, QStringLiteral("Ordner 1"));
        server.addSub(anna, QStringLiteral("Ordner 2"));
        server.addUser(QStringLiteral("Bernd"));
        TForm1 form;
        form.resize(964, 745);
        form.show();
        form.form()->Starten->click();
        QTreeView* view = form.form()->VTTabelle;
        view->expand(form.tableModel()->index(0, 0));
        const QImage image = view->viewport()->grab().toImage();
        // The branch column of the first sub-archive row, left of its icon.
        const QRect sub = view->visualRect(form.tableModel()->index(0, 0, form.tableModel()->index(0, 0)));
        int linePixels = 0;
        for (int x = 0; x < sub.left(); ++x)
            for (int y = sub.top(); y <= sub.bottom(); ++y)
                if (image.pixelColor(x, y) == QColor(0x80, 0x80, 0x80))
                    ++linePixels;
        QVERIFY2(linePixels >= 6, qPrintable(QString::number(linePixels)));
        image.save(QCoreApplication::applicationDirPath() + QStringLiteral("/tree_lines.png"));  // to look at
    }

private:
    QTemporaryDir m_config;
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
