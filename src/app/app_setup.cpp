#include "app/app_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void setUpApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Arvelo"));
    QApplication::setApplicationVersion(QStringLiteral(ARVELO_VERSION));
    // The menu entry's name, by which a desktop finds the window's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.arvelo.Arvelo"));

    // The toolkit's own dialogs (colour choice, message box buttons) speak German like the program.
    auto* toolkitTexts = new QTranslator(&app);
    if (toolkitTexts->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(toolkitTexts);
}
