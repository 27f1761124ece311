// "Einstellungen.dat" as the settings dialog reads it at start-up: three lines, a flag and two colours.

#include "fuzz_support.h"

#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeScratch(QStringLiteral("Einstellungen.dat"), data, size);
    const settings::SettingsValues start;
    const settings::SettingsRead read = settings::readSettings(path, start);
    FUZZ_CHECK(read.ok == read.reason.isEmpty(), read.reason);
    if (!read.ok)
        return 0;

    // What was read is written as it was read, and read back the same.
    QString why;
    FUZZ_CHECK(settings::writeSettings(path, read.values, &why), why);
    const settings::SettingsRead again = settings::readSettings(path, settings::SettingsValues::standard());
    FUZZ_CHECK(again.ok, again.reason);
    FUZZ_CHECK(again.values == read.values, settings::settingsLines(read.values).join(QLatin1Char('|')));
    return 0;
}
