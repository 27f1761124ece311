#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace platform {

// The three things the program asks of the desktop shell. Each starts its action and returns at once; no
// result is examined and no error is reported, as with the Windows shell's "open" verb.
//
// Paths are in Windows notation (UNC or drive paths); elsewhere they resolve as the scanner resolves them.
void openFolder(const QString& path);
// Starts a program with a parameter text. Outside Windows the program is started only when the path
// names an existing executable file; the parameter text is handed over as one argument.
void startProgram(const QString& program, const QString& parameters);
void openWebPage(const QUrl& url);

// What a shell action would start: the program and its arguments.
struct ShellCommand {
    QString program;
    QStringList arguments;
};
// Tests (and the headless companion) replace the launcher; the default starts the command detached.
using ShellLauncher = std::function<void(const ShellCommand&)>;
void setShellLauncher(ShellLauncher launcher);

// The client program as the installed client registered it: "<ProgramDirectory>\DVWIN32.exe", or empty
// when no folder is registered. On Windows this is the user's registry; elsewhere QSettings' native store
// for the same organisation, application and group.
QString clientProgramFromRegistry();

}  // namespace platform
