#pragma once

#include <QString>

namespace settings {

// The three display switches of the table's size bars, kept in "Darstellung.dat" from one run to the next.
struct DisplayPrefs {
    bool ShowGradient = true;  // bit 0
    bool ShowFrame = true;     // bit 1
    bool ShowBars = true;      // bit 2

    // The number the file holds: 1 for the gradient, plus 2 for the frame, plus 4 for the bars.
    int number() const;
    // Flags from a number; bits above the lowest three are ignored.
    static DisplayPrefs fromNumber(qint64 n);

    friend bool operator==(const DisplayPrefs&, const DisplayPrefs&) = default;
};

inline constexpr const char* DisplayPrefsFileName = "Darstellung.dat";

// "Darstellung.dat" where it is read from and where it is saved (beside the program or in the user's
// configuration folder, see platform/program_folder.h).
QString displayPrefsReadPath();
QString displayPrefsSavePath();

// The flags a file gives. A missing file, or one that cannot be read or whose first line is no whole number,
// gives all three flags on, which is also what the menu's check marks start with.
DisplayPrefs readDisplayPrefs(const QString& path);
// Writes the number as the file's only line. A failed write leaves the old file (or none) and is not reported
// to the user; false tells the caller.
bool writeDisplayPrefs(const QString& path, const DisplayPrefs& prefs);

// The same on the program's own file: read when the main window is created, written when it closes.
DisplayPrefs loadDisplayPrefs();
bool saveDisplayPrefs(const DisplayPrefs& prefs);

}  // namespace settings
