#include "app/tform1.h"
#include "platform/process_limits.h"
#include "settings/teinstellungen.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QScreen>

int main(int argc, char* argv[])
{
    platform::raiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Arvelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Arvelo"));
    QApplication::setApplicationVersion(QStringLiteral(ARVELO_VERSION));

    // The toolkit's own dialogs (colour choice, message box buttons) speak German like the program.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);

    TForm1 form;
    // The settings dialog hands its values to the window as soon as it has read them.
    TEinstellungen einstellungen(
        [&form](const settings::SettingsHandOver& values) {
            form.setRowColours(values.Farbe1, values.Farbe2);
            form.setShowUhrzeit(values.ShowUhrzeit);
        },
        &form);
    form.setSettingsDialog(&einstellungen);
    // Centred on the screen, at its designed client size.
    form.resize(964, 745);
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}
