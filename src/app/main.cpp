#include "app/app_setup.h"
#include "app/command_line.h"
#include "app/tform1.h"
#include "classify/takklassifizierung.h"
#include "export/temlexport.h"
#include "platform/process_limits.h"
#include "settings/teinstellungen.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (const std::optional<QByteArray> answer = commandLineAnswer(argc, argv)) {
        std::fwrite(answer->constData(), 1, std::size_t(answer->size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 74;
    }
    platform::raiseOpenFileLimit();
    QApplication app(argc, argv);
    setUpApplication(app);

    TForm1 form;
    // The settings dialog hands its values to the window as soon as it has read them.
    TEinstellungen einstellungen(
        [&form](const settings::SettingsHandOver& values) {
            form.setRowColours(values.Farbe1, values.Farbe2);
            form.setShowUhrzeit(values.ShowUhrzeit);
        },
        &form);
    form.setSettingsDialog(&einstellungen);
    // The secondary windows wait hidden until the context menu calls them.
    TAKlassifizierung aKlassifizierung(&form);
    form.setKlassifizierung(&aKlassifizierung);
    TEMLExport eMLExport(&form);
    form.setEMLExport(&eMLExport);
    // Centred on the screen, at its designed client size.
    form.resize(964, 745);
    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}
