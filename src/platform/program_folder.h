#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The folder of the program file, with a separator at its end.
QString programFolder();
// Replaces the folder (tests point it at a temporary one); an empty text restores the program's own.
void setProgramFolder(const QString& folder);

// Where the preference files (and the export's last folder) live. They stay beside the program where that
// folder can be written (a build folder, a portable copy); an installed program's folder (under /usr, or the
// folder it was installed into) is never written, and a folder the user may not write is left alone too.
// Then the files live in the user's configuration folder. Reading takes the file from where saving goes when
// it is there, else from the other place, so settings left beside the program are still read after the switch
// and a user's saved settings always win over them.

// True when files may be created in `folder`: it is no system folder and a test file can be made there (the
// check that holds for access rights, read-only mounts and Windows' access lists alike, for root too).
bool folderCanBeWritten(const QString& folder);
// The user's configuration folder for the program, with a separator at its end.
QString userConfigFolder();
// Replaces the configuration folder (for tests); an empty text restores the user's own.
void setUserConfigFolder(const QString& folder);
// The user's data folder, shared by all of the programs (~/.local/share/Arvelo on Linux), with a separator at
// its end.
QString userDataFolder();
// The path a preference file is saved to; creates the configuration folder when it is that one.
QString preferenceSavePath(const QString& fileName);
// The path a preference file is read from (it may not exist).
QString preferenceReadPath(const QString& fileName);

// Text in the system's ANSI code page (on Windows the active code page, elsewhere the locale's encoding).
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

}  // namespace platform
