#include "platform/shell_actions.h"

#include "platform/unc_path.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace platform {

namespace {

void startDetached(const ShellCommand& command)
{
#ifdef Q_OS_WIN
    const QString parameters = command.arguments.join(QLatin1Char(' '));
    ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(command.program.utf16()),
                  parameters.isEmpty() ? nullptr : reinterpret_cast<LPCWSTR>(parameters.utf16()), nullptr,
                  SW_SHOWNORMAL);
#else
    QProcess::startDetached(command.program, command.arguments);
#endif
}

ShellLauncher& launcher()
{
    static ShellLauncher current = startDetached;
    return current;
}

void launch(const ShellCommand& command)
{
    if (launcher())
        launcher()(command);
}

#ifndef Q_OS_WIN
// The desktop's own opener for folders and web pages.
const QString kOpener = QStringLiteral("xdg-open");
#endif

}  // namespace

void setShellLauncher(ShellLauncher l) { launcher() = l ? std::move(l) : ShellLauncher(startDetached); }

void openFolder(const QString& path)
{
    // On Windows a UNC path stays as it is unless a stand-in server's shares stand for the network.
    const QString local = resolveUncPath(path);
    if (local.isEmpty())  // a path that leaves its share names no folder
        return;
#ifdef Q_OS_WIN
    launch({QDir::toNativeSeparators(local), {}});
#else
    launch({kOpener, {local}});
#endif
}

void startProgram(const QString& program, const QString& parameters)
{
#ifdef Q_OS_WIN
    launch({program, {parameters}});
#else
    const QFileInfo file(resolveUncPath(program));
    if (!file.isFile() || !file.isExecutable())
        return;
    launch({file.absoluteFilePath(), {parameters}});
#endif
}

void openWebPage(const QUrl& url)
{
#ifdef Q_OS_WIN
    launch({url.toString(), {}});
#else
    launch({kOpener, {url.toString()}});
#endif
}

QString clientProgramFromRegistry()
{
    // HKEY_CURRENT_USER\Software\Tobit\Tobit InfoCenter\Settings on Windows.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tobit"),
                    QStringLiteral("Tobit InfoCenter"));
    if (!store.childGroups().contains(QStringLiteral("Settings")))
        return {};
    const QString folder = store.value(QStringLiteral("Settings/ProgramDirectory")).toString();
    if (folder.isEmpty())
        return {};
    return folder.endsWith(QLatin1Char('\\')) ? folder + QStringLiteral("DVWIN32.exe")
                                              : folder + QStringLiteral("\\DVWIN32.exe");
}

}  // namespace platform
