// The main window logged on through the server's component (the test component serving a demo server) shows
// the users and, expanded, the sub-archive rows that the same server folder shows, and says which server it
// is logged on to.

#include "registered_component.h"

#include "app/archive_table_model.h"
#include "app/tform1.h"
#include "demo_server.h"
#include "platform/program_folder.h"
#include "ui_tform1.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every row's cells, the sub-archive rows of each user expanded below it.
QStringList tableAfterLoading(QString* serverLabel)
{
    TForm1 form;
    form.show();
    form.form()->Starten->click();
    ArchiveTableModel* model = form.tableModel();
    QStringList lines;
    // What the server gave each row; the figures are left out, as sub-archive rows are measured meanwhile.
    const auto addRow = [&](const QModelIndex& index, int level) {
        const TTobData& d = *model->nodeFromIndex(index)->data;
        lines << QString(level * 2, QLatin1Char(' '))
                + QStringList {d.TobitUser, d.Pfad, d.UserID, d.FullPath}.join(QLatin1Char('|'));
    };
    for (int r = 0; r < model->rowCount(); ++r) {
        const QModelIndex user = model->index(r, 0);
        addRow(user, 0);
        form.form()->VTTabelle->expand(user);
        for (int s = 0; s < model->rowCount(user); ++s)
            addRow(model->index(s, 0, user), 1);
    }
    if (auto* label = form.findChild<QLabel*>(QStringLiteral("lblServer")))
        *serverLabel = label->text();
    return lines;
}

}  // namespace

class TstComWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(programFolder.isValid() && data.isValid());
        platform::setProgramFolder(programFolder.path());
        qputenv("ARVELO_HISTORY", data.filePath(QStringLiteral("history.sqlite")).toUtf8());
        server = data.filePath(QStringLiteral("server"));
        demo::buildDemoServer(server, demo::DemoOptions {3, 5});
        QVERIFY(registeredComponent().registered());
    }

    void showsWhatTheServerFolderShows()
    {
        qputenv("ARVELO_SERVER", QDir::toNativeSeparators(server).toLocal8Bit());
        QString folderLabel;
        const QStringList viaFolder = tableAfterLoading(&folderLabel);
        QVERIFY(folderLabel.startsWith(QStringLiteral("Serverordner ")));

        qunsetenv("ARVELO_SERVER");
        qputenv(kTestServerEnv, QDir::toNativeSeparators(server).toLocal8Bit());
        qputenv("ARVELO_UNC_ROOT", QDir::toNativeSeparators(server + QStringLiteral("/shares")).toLocal8Bit());
        QString comLabel;
        const QStringList viaCom = tableAfterLoading(&comLabel);
        QCOMPARE(comLabel, QStringLiteral("Server-Komponente DVOBJAPILib.DvISEAPI"));
        QVERIFY(viaFolder.size() > 5);
        QVERIFY(viaFolder.filter(QRegularExpression(QStringLiteral("^  "))).size() > 0);  // sub-archive rows
        QCOMPARE(viaCom, viaFolder);
        QCOMPARE(liveComponentObjects(), 0L);
    }

private:
    QTemporaryDir programFolder, data;
    QString server;
};

QTEST_MAIN(TstComWindow)
#include "tst_com_window.moc"
