// "Export.dat" as the export window reads it when it is shown: the first line, the last export folder.

#include "fuzz_support.h"

#include "export/export_options.h"
#include "platform/program_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeScratch(QStringLiteral("Export.dat"), data, size);
    const std::optional<QString> folder = readExportFolder(path);
    if (!folder)
        return 0;
    FUZZ_CHECK(!folder->contains(QLatin1Char('\r')) && !folder->contains(QLatin1Char('\n')), *folder);

    // A folder the file can hold is read back as it was written.
    QString why;
    FUZZ_CHECK(writeExportFolder(path, *folder, &why), why);
    if (platform::fromAnsi(platform::toAnsi(*folder)) == *folder && !folder->isEmpty())
        FUZZ_CHECK(readExportFolder(path) == folder, *folder);
    return 0;
}
