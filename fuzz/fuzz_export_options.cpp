// The command line of arvelo-export: the arguments a script or a user types, separated by zero bytes here.

#include "fuzz_support.h"

#include "export/export_cli.h"
#include "options_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList arguments = fuzz::arguments(data, size);
    const ExportCliParse parsed = parseExportOptions(arguments);
    // A reason names what was wrong and quotes at most a short excerpt of it: a usage line, never a flood.
    FUZZ_CHECK(parsed.error.size() <= fuzz::kLongestUsageError, parsed.error.left(200));
    if (!parsed.ok() || parsed.options.help)
        return 0;
    const ExportCliOptions& o = parsed.options;
    FUZZ_CHECK(!o.archive.isEmpty() && !o.out.isEmpty(), arguments.join(QLatin1Char(' ')));
    FUZZ_CHECK(o.mail || o.link || o.fax || !arguments.join(QLatin1Char(' ')).contains(QLatin1String("--types")),
               arguments.join(QLatin1Char(' ')));
    FUZZ_CHECK(o.zip || (o.passwordEnv.isEmpty() && o.passwordFile.isEmpty()), arguments.join(QLatin1Char(' ')));
    return 0;
}
