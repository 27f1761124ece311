// The export window driven as a user drives it: its controls and their places, the run behind
// "Exportieren", the ZIP progress, the message boxes, the folder picker and the archive label.

#include "../platform/tiny_file_system.h"
#include "export/temlexport.h"
#include "export_fixture.h"
#include "platform/excerpt.h"
#include "platform/program_folder.h"
#include "platform/shell_actions.h"
#include "ui/status_strip.h"
#include "ui_temlexport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>

using namespace exporttest;

namespace {

const QString kUser = QStringLiteral("SRV:DAVID\\ARCHIVE\\USER\\0000E005");

// Answers every message box that comes up with `button` and keeps its text; any other modal window left open
// is closed, so a failing test cannot hang.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok) : m_button(button)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts << box->text();
            captions << box->windowTitle();
            if (QAbstractButton* b = box->button(m_button))
                b->click();
            else
                box->reject();
        });
        m_timer.start();
    }
    QStringList texts;
    QStringList captions;

private:
    QMessageBox::StandardButton m_button;
    QTimer m_timer;
};

// Clicks a check box on its indicator, where a click always lands whatever the caption's width.
void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

}  // namespace

class TstTEMLExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controlsAtTheirPlaces_data();
    void controlsAtTheirPlaces();
    void passwordEditableExactlyWithZip();
    void emptyFolderIsAskedFor();
    void runWritesFilesAndCompletesTheFolderText();
    void zipProgressOnTheStatusStrip();
    void passwordOutsideWindows1252IsRefusedBeforeWriting();
    void failuresAreWarnedAfterTheRun();
    void fullDiskIsWarnedWithItsReason();
    void statesKeptAndFolderReloadedOnShowing();
    void closeDuringARunWaitsForItsEnd();
    void folderPickerCreatesATypedFolder();
    void archiveLabelOpensTheClient();
    void picture();

private:
    void open(const QList<Msg>& messages, const QString& client = QStringLiteral("/opt/david/DVWIN32.exe"));

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<TEMLExport> window;
    Ui::TEMLExport* ui = nullptr;
    QString out;
};

void TstTEMLExport::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("tst_temlexport"));
}

void TstTEMLExport::init()
{
    temp = std::make_unique<QTemporaryDir>();
    platform::setProgramFolder(temp->filePath(QStringLiteral("bin")));
    QDir().mkpath(temp->filePath(QStringLiteral("bin")));
    out = temp->filePath(QStringLiteral("Export"));
    window = std::make_unique<TEMLExport>();
    ui = window->form();
}

void TstTEMLExport::cleanup()
{
    window.reset();
    platform::setProgramFolder(QString());
    platform::setShellLauncher({});
    temp.reset();
}

void TstTEMLExport::open(const QList<Msg>& messages, const QString& client)
{
    const QString server = temp->filePath(QStringLiteral("server"));
    writeServer(server, {Arch{QStringLiteral("Eva Ernst"), kUser, kUser, messages,
                              {Arch{QStringLiteral("Projekte"), kUser + QStringLiteral("\\P"),
                                    kUser + QStringLiteral("\\Projekte"), {mail(QStringLiteral("Plan"), "plan")}}}}});
    auto record = std::make_shared<TTobData>();
    record->Pfad = kUser;
    record->FullPath = QStringLiteral("\\\\SRV\\DAVID\\ARCHIVE\\USER\\0000E005");
    window->prepare(ArchiveSelection{record, 0, logOn(server), client});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TstTEMLExport::controlsAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");  // width or height -1: not prescribed
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("checked");  // -1: no check box
    const auto row = [](const char* name, QRect geometry, const QString& text, bool enabled = true, int checked = -1) {
        QTest::addRow("%s", name) << QString::fromLatin1(name) << geometry << text << enabled << checked;
    };
    row("panKopf", {0, 0, 442, 57}, {});
    row("Label2", {8, 69, -1, -1}, QStringLiteral("Tobit-Archiv:"));
    row("lblArchiv", {87, 69, -1, -1}, QStringLiteral("..."));
    row("Label4", {8, 90, -1, -1}, QStringLiteral("Anzahl der Nachrichten:"));
    row("lblAnzahlMessages", {146, 90, -1, -1}, QStringLiteral("..."));
    row("Label1", {8, 126, -1, -1}, QStringLiteral("Exportverzeichnis"));
    row("txtExportverzeichnis", {8, 142, 401, -1}, {});
    row("Button3", {409, 141, 26, -1}, QStringLiteral("..."));
    row("chkSubArchive", {8, 177, -1, -1}, QStringLiteral("Unterarchive einbeziehen"), true, 0);
    row("GroupBox1", {8, 216, 401, 105}, QStringLiteral("Nachrichtentyp"));
    row("chkTypeMail", {8, 24, -1, -1}, QStringLiteral("E-Mail"), true, 1);
    row("chkTypeLink", {8, 47, -1, -1}, QStringLiteral("Link"), true, 1);
    row("chkTypeFax", {8, 70, -1, -1}, QStringLiteral("Fax"), true, 0);
    row("chkTermin", {98, 24, -1, -1}, QStringLiteral("Termin"), false, 0);
    row("chkAdress", {98, 47, -1, -1}, QStringLiteral("Adresse"), false, 0);
    row("chkAufgabe", {98, 70, -1, -1}, QStringLiteral("Aufgabe"), false, 0);
    row("chkAngezeigterName", {8, 337, -1, -1}, QStringLiteral("\"Angezeigter Name\" als Verzeichnisname"), true, 0);
    row("chkZIP", {8, 364, -1, -1}, QStringLiteral("Als ZIP-Archiv"), true, 0);
    row("Label3", {185, 366, -1, -1}, QStringLiteral("Passwort (variabel):"), false);
    row("txtPasswort", {284, 362, 125, -1}, {}, false);
    row("Button2", {216, 423, 107, 26}, QStringLiteral("Exportieren"));
    row("Button1", {329, 423, 107, 26}, QStringLiteral("Schließen"));
    row("Bar", {0, 458, 442, 18}, {});
    row("lblStatus", {5, 460, -1, -1}, QStringLiteral("Anzahl Nachrichten: 0"));
}

void TstTEMLExport::controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, checked);
    QCOMPARE(window->windowTitle(), QStringLiteral("Arvelo: Nachrichten-Export"));
    QCOMPARE(window->size(), QSize(442, 476));

    auto* w = window->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->pos(), geometry.topLeft());
    if (geometry.width() >= 0)
        QCOMPARE(w->width(), geometry.width());
    if (geometry.height() >= 0)
        QCOMPARE(w->height(), geometry.height());
    if (auto* label = qobject_cast<QLabel*>(w))
        QCOMPARE(label->text(), text);
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(button->text(), text);
    if (auto* group = qobject_cast<QGroupBox*>(w))
        QCOMPARE(group->title(), text);
    QCOMPARE(w->isEnabled(), enabled);
    if (checked >= 0)
        QCOMPARE(qobject_cast<QCheckBox*>(w)->isChecked(), checked == 1);
    // Bold where the window shows it so.
    if (name == QLatin1String("Label2") || name == QLatin1String("Label4") || name == QLatin1String("lblStatus"))
        QVERIFY(w->font().bold());
}

void TstTEMLExport::passwordEditableExactlyWithZip()
{
    tick(ui->chkZIP);
    QVERIFY(ui->Label3->isEnabled() && ui->txtPasswort->isEnabled());
    tick(ui->chkAngezeigterName);
    QVERIFY(ui->Label3->isEnabled() && ui->txtPasswort->isEnabled());
    tick(ui->chkZIP);
    QVERIFY(!ui->Label3->isEnabled() && !ui->txtPasswort->isEnabled());
    tick(ui->chkAngezeigterName);
    QVERIFY(!ui->txtPasswort->isEnabled());
}

void TstTEMLExport::emptyFolderIsAskedFor()
{
    open({mail(QStringLiteral("a"), "a")});
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Bitte ein Exportverzeichnis angeben!")});
    QCOMPARE(boxes.captions, QStringList{QStringLiteral("Arvelo")});
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));
    QVERIFY(ui->Button2->isEnabled());
    QVERIFY(!QFileInfo::exists(platform::programFolder() + QStringLiteral("Export.dat")));
    QCOMPARE(window->focusWidget(), ui->txtExportverzeichnis);
}

void TstTEMLExport::runWritesFilesAndCompletesTheFolderText()
{
    open({mail(QStringLiteral("Rechnung"), "r"), link(QStringLiteral("Web"), QStringLiteral("https://a.example")),
          fax(QStringLiteral("Fax"), "f")});
    ui->txtExportverzeichnis->setText(out);
    tick(ui->chkSubArchive);
    tick(ui->chkAngezeigterName);
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('\n')));

    QCOMPARE(ui->txtExportverzeichnis->text(), out + QDir::separator());
    QCOMPARE(readBytes(platform::programFolder() + QStringLiteral("Export.dat")),
             (out + QDir::separator() + QStringLiteral("\r\n")).toUtf8());
    QCOMPARE(listTree(out), (QStringList{QStringLiteral("Projekte/"), QStringLiteral("Projekte/Plan0.eml"),
                                         QStringLiteral("Rechnung0.eml"), QStringLiteral("Web1.url")}));
    QCOMPARE(window->ExportedCount, 3);
    QCOMPARE(ui->lblAnzahlMessages->text(), QStringLiteral("3"));
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));
    QCOMPARE(ui->Bar->value(), 1);  // the last archive's one entry
    QVERIFY(ui->Button2->isEnabled());
}

void TstTEMLExport::zipProgressOnTheStatusStrip()
{
    QList<Msg> many;
    for (int i = 0; i < 300; ++i)
        many << mail(QStringLiteral("Brief"), prose(60000, quint32(i)));
    open(many);
    ui->txtExportverzeichnis->setText(out + QLatin1Char('/'));
    tick(ui->chkZIP);
    QTest::keyClicks(ui->txtPasswort, QStringLiteral("Sesam"));

    QStringList seen;
    QTimer sampler;
    sampler.setInterval(1);
    connect(&sampler, &QTimer::timeout, this, [&] {
        if (seen.isEmpty() || seen.last() != ui->lblStatus->text())
            seen << ui->lblStatus->text();
    });
    sampler.start();
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    sampler.stop();
    QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('\n')));

    const QStringList zipTexts = seen.filter(QStringLiteral("ZIP-Datei wird geschrieben: "));
    QVERIFY2(!zipTexts.isEmpty(), qPrintable(seen.join('\n')));
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));
    if (missingZipReaders().isEmpty()) {  // read back by unzip where there is one
        QCOMPARE(run(QStringLiteral("unzip"), {QStringLiteral("-tq"), QStringLiteral("-P"), QStringLiteral("Sesam"),
                                               out + QStringLiteral("/EML-Export.zip")}), 0);
    }
}

void TstTEMLExport::passwordOutsideWindows1252IsRefusedBeforeWriting()
{
    open({mail(QStringLiteral("a"), "a")});
    ui->txtExportverzeichnis->setText(out);
    tick(ui->chkZIP);
    for (const QChar c : QStringLiteral("zło"))
        QTest::sendKeyEvent(QTest::Click, ui->txtPasswort, Qt::Key_unknown, QString(c), Qt::NoModifier);
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.first().contains(QStringLiteral("Windows-1252")));
    QVERIFY(!QFileInfo::exists(out));
    QVERIFY(!QFileInfo::exists(platform::programFolder() + QStringLiteral("Export.dat")));
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));
}

void TstTEMLExport::failuresAreWarnedAfterTheRun()
{
    Msg gone = mail(QStringLiteral("weg"), "x");
    gone.missingFile = true;
    open({mail(QStringLiteral("da"), "d"), gone});
    ui->txtExportverzeichnis->setText(out);
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QCOMPARE(boxes.captions, QStringList{QStringLiteral("Warnung")});
    QVERIFY(boxes.texts.first().startsWith(QStringLiteral("1 Nachricht konnte nicht geschrieben werden:")));
    QVERIFY(boxes.texts.first().contains(QStringLiteral("weg1.eml")));
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));

    // A run-ending error is shown with its own text.
    writeBytes(platform::programFolder() + QStringLiteral("Export.dat"), "x");
    QFile::remove(platform::programFolder() + QStringLiteral("Export.dat"));
    QDir().mkpath(platform::programFolder() + QStringLiteral("Export.dat"));  // cannot be replaced by a file
    boxes.texts.clear();
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.first().contains(QStringLiteral("Export.dat")));
}

// The disk runs full during a run with ZIP: the window says so with the system's own reason, the same the
// headless exporter gives, and ends its run as after any other.
void TstTEMLExport::fullDiskIsWarnedWithItsReason()
{
    const TinyFileSystem disk(128 * 1024);
    if (!disk.mounted())
        QSKIP(disk.whyNot().c_str());
    QList<Msg> messages;
    for (int i = 0; i < 12; ++i)
        messages << mail(QStringLiteral("Rechnung %1").arg(i), noise(16000, quint32(i + 1)));
    open(messages);
    ui->txtExportverzeichnis->setText(disk.path());
    tick(ui->chkZIP);
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    const QString shown = boxes.texts.join(QStringLiteral("\n---\n"));
    QVERIFY2(shown.contains(platform::systemErrorText(ENOSPC)), qPrintable(shown));
    QCOMPARE(ui->lblStatus->text(), QStringLiteral("EML-Export abgeschlossen"));
    QVERIFY(ui->Button2->isEnabled());
    QVERIFY(!QFileInfo::exists(disk.filePath(QStringLiteral("EML-Export.zip"))));
}

void TstTEMLExport::statesKeptAndFolderReloadedOnShowing()
{
    open({mail(QStringLiteral("a"), "a")});
    tick(ui->chkTypeFax);
    tick(ui->chkZIP);
    QTest::keyClicks(ui->txtPasswort, QStringLiteral("pw"));
    ui->txtExportverzeichnis->setText(QStringLiteral("/getippt"));
    window->hide();

    writeBytes(platform::programFolder() + QStringLiteral("Export.dat"), "/aus/der/Datei/\r\n");
    open({mail(QStringLiteral("b"), "b")});
    QCOMPARE(ui->txtExportverzeichnis->text(), QStringLiteral("/aus/der/Datei/"));
    QVERIFY(ui->chkTypeFax->isChecked() && ui->chkZIP->isChecked() && ui->txtPasswort->isEnabled());
    QCOMPARE(ui->txtPasswort->text(), QStringLiteral("pw"));
    QCOMPARE(window->RootPfad, kUser);
}

void TstTEMLExport::closeDuringARunWaitsForItsEnd()
{
    QList<Msg> many;
    for (int i = 0; i < 200; ++i)
        many << mail(QStringLiteral("m"), "x");
    open(many);
    ui->txtExportverzeichnis->setText(out);
    bool clickedWhileRunning = false, visibleAfterClick = false;
    QTimer::singleShot(0, this, [&] {
        clickedWhileRunning = window->isRunning();
        QTest::mouseClick(ui->Button1, Qt::LeftButton);
        visibleAfterClick = window->isVisible();
    });
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QVERIFY(clickedWhileRunning);
    QVERIFY(visibleAfterClick);
    QCOMPARE(listTree(out).size(), 200);
    QTRY_VERIFY(!window->isVisible());
}

void TstTEMLExport::folderPickerCreatesATypedFolder()
{
    open({});
    const QString wanted = temp->filePath(QStringLiteral("neu/Export"));
    BoxAnswerer yes(QMessageBox::Yes);
    QString question;
    QTimer::singleShot(0, this, [&] {
        QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(wanted);
        QMetaObject::invokeMethod(picker, "accept", Qt::DirectConnection);
        if (picker->isVisible())
            picker->reject();
    });
    QTest::mouseClick(ui->Button3, Qt::LeftButton);
    QCOMPARE(yes.texts.size(), 1);
    QVERIFY(yes.texts.first().contains(QStringLiteral("Soll es angelegt werden?")));
    QVERIFY(QFileInfo(wanted).isDir());
    QCOMPARE(ui->txtExportverzeichnis->text(), QDir::toNativeSeparators(wanted));
}

void TstTEMLExport::archiveLabelOpensTheClient()
{
    QList<platform::ShellCommand> started;
    platform::setShellLauncher([&started](const platform::ShellCommand& c) { started << c; });
    const QString client = temp->filePath(QStringLiteral("DVWIN32.exe"));
    writeBytes(client, "#!/bin/sh\n");
    QFile::setPermissions(client, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    open({}, client);
    QCOMPARE(ui->lblArchiv->text(), QStringLiteral("\\\\SRV\\DAVID\\ARCHIVE\\USER\\0000E005"));
    QTest::mouseClick(ui->lblArchiv, Qt::LeftButton);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().arguments, QStringList{QStringLiteral("-A\\\\SRV\\DAVID\\ARCHIVE\\USER\\0000E005")});

    window->hide();
    open({}, QString());
    BoxAnswerer boxes;
    QTest::mouseClick(ui->lblArchiv, Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Die DVWIN32.exe konnte nicht gefunden werden!")});
    QCOMPARE(started.size(), 1);
}

void TstTEMLExport::picture()
{
    open({mail(QStringLiteral("a"), "a"), link(QStringLiteral("b"), QStringLiteral("u"))});
    ui->txtExportverzeichnis->setText(out);
    tick(ui->chkZIP);
    BoxAnswerer boxes;
    QTest::mouseClick(ui->Button2, Qt::LeftButton);
    QDir().mkpath(QStringLiteral(ARVELO_PICTURE_DIR));
    QVERIFY(window->grab().save(QStringLiteral(ARVELO_PICTURE_DIR "/temlexport.png")));
}

QTEST_MAIN(TstTEMLExport)
#include "tst_temlexport.moc"
