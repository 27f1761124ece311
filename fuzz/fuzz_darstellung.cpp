// "Darstellung.dat" as the main window reads it when it is created: one whole number, three flag bits.

#include "fuzz_support.h"

#include "settings/display_prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeScratch(QStringLiteral("Darstellung.dat"), data, size);
    const settings::DisplayPrefs prefs = settings::readDisplayPrefs(path);
    const int n = prefs.number();
    FUZZ_CHECK(n >= 0 && n <= 7, QString::number(n));
    FUZZ_CHECK(settings::DisplayPrefs::fromNumber(n) == prefs, QString::number(n));

    FUZZ_CHECK(settings::writeDisplayPrefs(path, prefs), path);
    FUZZ_CHECK(settings::readDisplayPrefs(path) == prefs, QString::number(n));
    return 0;
}
