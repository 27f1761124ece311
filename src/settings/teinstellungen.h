#pragma once

#include "settings/settings_file.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TEinstellungen;
}
namespace settings {
class ColorSquare;
}

// The settings dialog: whether table dates show their time and the two row colours, kept in
// "Einstellungen.dat". Created once at program start, hidden, shown modally from the context menu.
class TEinstellungen : public QDialog {
    Q_OBJECT

public:
    // Receives the values for the main window: at creation (from the file or the initial values) and at every
    // "Speichern".
    using HandOver = std::function<void(const settings::SettingsHandOver&)>;

    // Reads the file at `path` (empty: the program's own "Einstellungen.dat", read and saved where the
    // preference files live) and hands its values over.
    explicit TEinstellungen(HandOver handOver, QWidget* parent = nullptr, const QString& path = {});
    ~TEinstellungen() override;

    // What the controls show now.
    settings::SettingsValues values() const;
    void setValues(const settings::SettingsValues& values);

    Ui::TEinstellungen* form() const { return ui.get(); }

    void panFarbeClick();
    void panFarbe2Click();
    void rkSmartTabs1TabChange();
    // "Standard": the default values into the dialog only.
    void Button3Click();
    // "Speichern": hand over, then write the file; the dialog stays open.
    void Button2Click();
    // "Schließen".
    void Button1Click();

private:
    void FormCreate();
    void pickColor(settings::ColorSquare* square);
    void showMessage(const QString& text, const QString& details);

    std::unique_ptr<Ui::TEinstellungen> ui;
    HandOver m_handOver;
    QString m_path;  // empty: the program's own file
};
