#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The folder of the program file, with a separator at its end. Preference files lie here.
QString programFolder();
// Replaces the folder (tests point it at a temporary one); an empty text restores the program's own.
void setProgramFolder(const QString& folder);

// Text in the system's ANSI code page (on Windows the active code page, elsewhere the locale's encoding).
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

}  // namespace platform
