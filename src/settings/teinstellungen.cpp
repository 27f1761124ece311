#include "settings/teinstellungen.h"

#include "settings/color_square.h"
#include "ui_teinstellungen.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

using settings::ColorSquare;
using settings::SettingsValues;

namespace {

const QString tabAllgemein = QStringLiteral("Allgemein");
const QString tabReports = QStringLiteral("Reports");

}  // namespace

TEinstellungen::TEinstellungen(HandOver handOver, QWidget* parent, const QString& path)
    : QDialog(parent), ui(std::make_unique<Ui::TEinstellungen>()), m_handOver(std::move(handOver)),
      m_path(path)
{
    ui->setupUi(this);
    // Fixed size with only the system menu and the close box in the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(488, 396);
    // Laid out for Tahoma 8 (11 pixels). Where Tahoma is missing a condensed face keeps the captions inside
    // their places; the plain DejaVu Sans is too wide for them.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    // The check box has the page to its right; where the font or style needs more room than the designed 201
    // pixels, it grows rather than cutting its caption.
    ui->chkUhrzeit->resize(qMax(ui->chkUhrzeit->width(), ui->chkUhrzeit->sizeHint().width()),
                           ui->chkUhrzeit->height());

    ui->rkSmartTabs1->addTab(tabAllgemein);
    ui->rkSmartTabs1->addTab(tabReports);
    ui->rkSmartTabs1->setExpanding(false);
    ui->rkSmartTabs1->setDrawBase(false);

    connect(ui->panFarbe, &ColorSquare::clicked, this, &TEinstellungen::panFarbeClick);
    connect(ui->panFarbe2, &ColorSquare::clicked, this, &TEinstellungen::panFarbe2Click);
    connect(ui->rkSmartTabs1, &QTabBar::currentChanged, this, &TEinstellungen::rkSmartTabs1TabChange);
    connect(ui->Button3, &QPushButton::clicked, this, &TEinstellungen::Button3Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TEinstellungen::Button2Click);
    connect(ui->Button1, &QPushButton::clicked, this, &TEinstellungen::Button1Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    setValues(SettingsValues{});
    FormCreate();
}

TEinstellungen::~TEinstellungen() = default;

SettingsValues TEinstellungen::values() const
{
    return SettingsValues{ui->chkUhrzeit->isChecked(), ui->panFarbe->value(), ui->panFarbe2->value()};
}

void TEinstellungen::setValues(const SettingsValues& values)
{
    ui->chkUhrzeit->setChecked(values.ShowUhrzeit);
    ui->panFarbe->setValue(values.Farbe1);
    ui->panFarbe2->setValue(values.Farbe2);
}

void TEinstellungen::FormCreate()
{
    const settings::SettingsRead read = settings::readSettings(m_path.isEmpty() ? settings::settingsReadPath() : m_path, values());
    setValues(read.values);
    if (!read.ok)
        showMessage(QStringLiteral("Fehler beim Laden der Einstellungen!"), read.reason);
    // Also after a faulty file, so that the window paints with what the dialog shows.
    if (m_handOver)
        m_handOver(settings::handOverOf(values()));

    ui->rkSmartTabs1->setCurrentIndex(0);
    rkSmartTabs1TabChange();
}

void TEinstellungen::rkSmartTabs1TabChange()
{
    const QString tab = ui->rkSmartTabs1->tabText(ui->rkSmartTabs1->currentIndex());
    if (tab == tabAllgemein)
        ui->PageControl1->setCurrentWidget(ui->TabSheet1);
    else if (tab == tabReports)
        ui->PageControl1->setCurrentWidget(ui->TabSheet2);
}

void TEinstellungen::panFarbeClick() { pickColor(ui->panFarbe); }

void TEinstellungen::panFarbe2Click() { pickColor(ui->panFarbe2); }

void TEinstellungen::pickColor(ColorSquare* square)
{
    const QColor chosen = QColorDialog::getColor(square->color(), this);
    if (chosen.isValid())
        square->setValue(settings::colorValue(chosen));
}

void TEinstellungen::Button3Click()
{
    setValues(SettingsValues::standard());
}

void TEinstellungen::Button2Click()
{
    const SettingsValues current = values();
    if (m_handOver)
        m_handOver(settings::handOverOf(current));
    QString reason;
    if (!settings::writeSettings(m_path.isEmpty() ? settings::settingsSavePath() : m_path, current, &reason))
        showMessage(QStringLiteral("Fehler beim Speichern"), reason);
}

void TEinstellungen::Button1Click()
{
    reject();
}

void TEinstellungen::showMessage(const QString& text, const QString& details)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Arvelo"), text, QMessageBox::Ok, this);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}
