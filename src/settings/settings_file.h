#pragma once

#include "settings/color_text.h"

#include <QColor>
#include <QString>
#include <QStringList>

namespace settings {

// The choices of the settings dialog as "Einstellungen.dat" keeps them.
struct SettingsValues {
    bool ShowUhrzeit = true;         // dates in the table with their time
    ColorValue Farbe1 = 0x00FBE7CE;  // background of user rows, #CEE7FB
    ColorValue Farbe2 = 0x00F4F4F2;  // background of sub-archive rows, #F2F4F4

    // What "Standard" puts into the dialog.
    static SettingsValues standard();

    friend bool operator==(const SettingsValues&, const SettingsValues&) = default;
};

// What the main window takes over: `ShowUhrzeit`, `Farbe1`, `Farbe2`, the colours ready to paint with.
struct SettingsHandOver {
    bool ShowUhrzeit = true;
    QColor Farbe1;
    QColor Farbe2;
};
SettingsHandOver handOverOf(const SettingsValues& values);

inline constexpr const char* SettingsFileName = "Einstellungen.dat";

// "Einstellungen.dat" where it is read from and where it is saved (beside the program or in the user's
// configuration folder, see platform/program_folder.h).
QString settingsReadPath();
QString settingsSavePath();

// The file's three lines: "-1" or "0", then the two colour texts.
QStringList settingsLines(const SettingsValues& values);

struct SettingsRead {
    SettingsValues values;  // the starting values with every line applied that was read before a fault
    bool ok = true;
    QString reason;         // why reading stopped, for the message's details
};

// Applies the lines of the file in order onto `start`, stopping at the first missing or malformed line or when
// the file cannot be read. A file that does not exist leaves `start` unchanged and is no fault.
SettingsRead readSettings(const QString& path, const SettingsValues& start);

// Writes the three lines, replacing the file only when the new one is complete. False with `reason` on failure.
bool writeSettings(const QString& path, const SettingsValues& values, QString* reason = nullptr);

}  // namespace settings
