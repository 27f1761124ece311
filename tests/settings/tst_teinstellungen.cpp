#include "file_bytes.h"

#include "settings/color_square.h"
#include "settings/settings_file.h"
#include "settings/teinstellungen.h"
#include "ui_teinstellungen.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using settings::SettingsHandOver;
using settings::SettingsValues;

namespace {

// Hands the next modal window to `handle` as soon as it is open; anything the handler leaves open is closed,
// so that a failing test cannot hang. Watching ends with the object or after a few seconds.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QWidget*)> handle) : m_handle(std::move(handle))
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start(10);
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (++m_tries > 300)
                m_poll.stop();
            return;
        }
        m_poll.stop();
        m_handle(modal);
        if (QApplication::activeModalWidget() == modal)
            modal->close();
    }

    std::function<void(QWidget*)> m_handle;
    QTimer m_poll;
    int m_tries = 0;
};

struct MessageSeen {
    QString title;
    QString text;
    int count = 0;
};

std::unique_ptr<ModalWatch> expectMessageBox(MessageSeen* seen)
{
    return std::make_unique<ModalWatch>([seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        ++seen->count;
        seen->title = box->windowTitle();
        seen->text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
}

std::unique_ptr<ModalWatch> pickInColorDialog(const QColor& color, bool accept)
{
    return std::make_unique<ModalWatch>([color, accept](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        if (!dialog)
            return;
        dialog->setCurrentColor(color);
        accept ? dialog->accept() : dialog->reject();
    });
}

}  // namespace

class TestTEinstellungen : public QObject {
    Q_OBJECT

private slots:
    void init();
    void withoutFileTheInitialValuesAreShownAndHandedOver();
    void standardOnlyChangesTheDialog();
    void savingHandsOverAndWritesTheFile();
    void colourSquareOpensTheColourDialog();
    void closingKeepsUnsavedChangesInTheDialogOnly();
    void faultyFileIsReportedAndWhatWasReadIsHandedOver();
    void failedWriteIsReportedAfterTheHandOver();
    void tabsSwitchThePages();
    void picture();

private:
    QString file() const { return m_dir->filePath(QStringLiteral("Einstellungen.dat")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<SettingsHandOver> m_handed;
    TEinstellungen::HandOver recorder()
    {
        return [this](const SettingsHandOver& h) { m_handed.push_back(h); };
    }
};

void TestTEinstellungen::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_handed.clear();
}

void TestTEinstellungen::withoutFileTheInitialValuesAreShownAndHandedOver()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    QCOMPARE(dialog.size(), QSize(488, 396));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!dialog.isVisible());

    QCOMPARE(m_handed.size(), size_t(1));
    QVERIFY(m_handed[0].ShowUhrzeit);
    QCOMPARE(m_handed[0].Farbe1, QColor(0xCE, 0xE7, 0xFB));
    QCOMPARE(m_handed[0].Farbe2, QColor(0xF2, 0xF4, 0xF4));

    Ui::TEinstellungen* f = dialog.form();
    QVERIFY(f->chkUhrzeit->isChecked());
    QCOMPARE(f->panFarbe->color(), QColor(0xCE, 0xE7, 0xFB));
    QCOMPARE(f->panFarbe2->color(), QColor(0xF2, 0xF4, 0xF4));
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet1);
    QVERIFY(!QFile::exists(file()));
}

void TestTEinstellungen::standardOnlyChangesTheDialog()
{
    QVERIFY(writeBytes(file(), "0\r\nclBlack\r\nclBlack\r\n"));
    TEinstellungen dialog(recorder(), nullptr, file());
    QVERIFY(!dialog.form()->chkUhrzeit->isChecked());

    QTest::mouseClick(dialog.form()->Button3, Qt::LeftButton);
    QCOMPARE(dialog.values(), SettingsValues::standard());
    QCOMPARE(dialog.form()->panFarbe->color(), QColor(0xFF, 0xE8, 0xFD));
    QVERIFY(dialog.form()->panFarbe->color() != QColor(0xCE, 0xE7, 0xFB));
    QCOMPARE(m_handed.size(), size_t(1));
    QCOMPARE(readBytes(file()), QByteArray("0\r\nclBlack\r\nclBlack\r\n"));
}

void TestTEinstellungen::savingHandsOverAndWritesTheFile()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    dialog.show();
    dialog.form()->chkUhrzeit->click();
    QTest::mouseClick(dialog.form()->Button3, Qt::LeftButton);
    dialog.form()->chkUhrzeit->click();
    QTest::mouseClick(dialog.form()->Button2, Qt::LeftButton);

    QCOMPARE(readBytes(file()), QByteArray("0\r\n$00FDE8FF\r\n$00F4F4F2\r\n"));
    QCOMPARE(m_handed.size(), size_t(2));
    QVERIFY(!m_handed[1].ShowUhrzeit);
    QCOMPARE(m_handed[1].Farbe1, QColor(0xFF, 0xE8, 0xFD));
    QVERIFY(dialog.isVisible());

    // The next start reads what was saved, without a message.
    MessageSeen seen;
    const auto watch = expectMessageBox(&seen);
    TEinstellungen again(recorder(), nullptr, file());
    QCOMPARE(again.values(), (SettingsValues{false, 0x00FDE8FF, 0x00F4F4F2}));
    QCOMPARE(seen.count, 0);
}

void TestTEinstellungen::colourSquareOpensTheColourDialog()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* square = dialog.form()->panFarbe;
    QCOMPARE(square->cursor().shape(), Qt::PointingHandCursor);

    auto watch = pickInColorDialog(Qt::red, false);
    QTest::mouseClick(square, Qt::LeftButton);
    QCOMPARE(square->color(), QColor(0xCE, 0xE7, 0xFB));

    watch = pickInColorDialog(Qt::white, true);
    QTest::mouseClick(square, Qt::LeftButton);
    QCOMPARE(square->value(), settings::ColorValue(0x00FFFFFF));

    watch = pickInColorDialog(QColor(0x12, 0x34, 0x56), true);
    QTest::mouseClick(dialog.form()->panFarbe2, Qt::LeftButton);
    QCOMPARE(dialog.form()->panFarbe2->color(), QColor(0x12, 0x34, 0x56));

    // Picking stores and hands over nothing yet.
    QCOMPARE(m_handed.size(), size_t(1));
    QVERIFY(!QFile::exists(file()));
    QTest::mouseClick(dialog.form()->Button2, Qt::LeftButton);
    QCOMPARE(readBytes(file()), QByteArray("-1\r\nclWhite\r\n$00563412\r\n"));

    MessageSeen seen;
    watch = expectMessageBox(&seen);
    TEinstellungen again(recorder(), nullptr, file());
    QCOMPARE(again.form()->panFarbe->color(), QColor(Qt::white));
    QCOMPARE(seen.count, 0);
}

void TestTEinstellungen::closingKeepsUnsavedChangesInTheDialogOnly()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.form()->chkUhrzeit->click();
        QTest::mouseClick(dialog.form()->Button1, Qt::LeftButton);
    });
    QTimer::singleShot(3000, &dialog, &QDialog::reject);
    dialog.exec();

    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.form()->chkUhrzeit->isChecked());
    QCOMPARE(m_handed.size(), size_t(1));
    QVERIFY(m_handed[0].ShowUhrzeit);
    QVERIFY(!QFile::exists(file()));
}

void TestTEinstellungen::faultyFileIsReportedAndWhatWasReadIsHandedOver()
{
    QVERIFY(writeBytes(file(), "0\r\nRosa\r\nclRed\r\n"));
    MessageSeen seen;
    const auto watch = expectMessageBox(&seen);
    TEinstellungen dialog(recorder(), nullptr, file());

    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Arvelo"));
    QCOMPARE(seen.text, QStringLiteral("Fehler beim Laden der Einstellungen!"));
    // Line 1 was applied; the colours keep their initial values, and the main window gets the same.
    QCOMPARE(dialog.values(), (SettingsValues{false, 0x00FBE7CE, 0x00F4F4F2}));
    QCOMPARE(m_handed.size(), size_t(1));
    QVERIFY(!m_handed[0].ShowUhrzeit);
    QCOMPARE(m_handed[0].Farbe1, QColor(0xCE, 0xE7, 0xFB));
    // The faulty file stays until the user saves.
    QCOMPARE(readBytes(file()), QByteArray("0\r\nRosa\r\nclRed\r\n"));
}

void TestTEinstellungen::failedWriteIsReportedAfterTheHandOver()
{
    const QString unwritable = m_dir->filePath(QStringLiteral("fehlt/Einstellungen.dat"));
    TEinstellungen dialog(recorder(), nullptr, unwritable);
    dialog.form()->chkUhrzeit->click();

    MessageSeen seen;
    const auto watch = expectMessageBox(&seen);
    QTest::mouseClick(dialog.form()->Button2, Qt::LeftButton);

    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Arvelo"));
    QCOMPARE(seen.text, QStringLiteral("Fehler beim Speichern"));
    QCOMPARE(m_handed.size(), size_t(2));
    QVERIFY(!m_handed[1].ShowUhrzeit);
}

void TestTEinstellungen::tabsSwitchThePages()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    Ui::TEinstellungen* f = dialog.form();
    QCOMPARE(f->rkSmartTabs1->count(), 2);
    QCOMPARE(f->rkSmartTabs1->tabText(0), QStringLiteral("Allgemein"));
    QCOMPARE(f->rkSmartTabs1->tabText(1), QStringLiteral("Reports"));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(f->rkSmartTabs1, Qt::LeftButton, {}, f->rkSmartTabs1->tabRect(1).center());
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet2);
    QVERIFY(f->RadioButton1->isChecked());
    for (QWidget* w : {static_cast<QWidget*>(f->RadioButton2), static_cast<QWidget*>(f->txtReport1),
                       static_cast<QWidget*>(f->Button4), static_cast<QWidget*>(f->Edit1),
                       static_cast<QWidget*>(f->Button5)})
        QVERIFY(!w->isEnabled());
    QTest::mouseClick(f->rkSmartTabs1, Qt::LeftButton, {}, f->rkSmartTabs1->tabRect(0).center());
    QCOMPARE(f->PageControl1->currentWidget(), f->TabSheet1);
}

void TestTEinstellungen::picture()
{
    TEinstellungen dialog(recorder(), nullptr, file());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QDir().mkpath(QStringLiteral(ARVELO_PICTURE_DIR));
    const QImage general = dialog.grab().toImage();
    QVERIFY(general.save(QStringLiteral(ARVELO_PICTURE_DIR "/einstellungen_allgemein.png")));
    // The colour squares are painted in their colours.
    const QPoint centre = dialog.form()->panFarbe->mapTo(&dialog, QPoint(10, 10));
    QCOMPARE(general.pixelColor(centre), QColor(0xCE, 0xE7, 0xFB));

    dialog.form()->rkSmartTabs1->setCurrentIndex(1);
    QVERIFY(dialog.grab().save(QStringLiteral(ARVELO_PICTURE_DIR "/einstellungen_reports.png")));
}

QTEST_MAIN(TestTEinstellungen)
#include "tst_teinstellungen.moc"
