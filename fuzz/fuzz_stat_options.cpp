// The command line of arvelo-stat: the arguments a script or a user types, separated by zero bytes here.

#include "fuzz_support.h"

#include "cli/stat_options.h"
#include "options_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList arguments = fuzz::arguments(data, size);
    const StatOptionsResult parsed = parseStatOptions(arguments);
    // A reason names what was wrong and quotes at most a short excerpt of it: a usage line, never a flood.
    FUZZ_CHECK(parsed.error.size() <= fuzz::kLongestUsageError, parsed.error.left(200));
    const StatOptionsResult again = parseStatOptions(arguments);
    FUZZ_CHECK(again.error == parsed.error, parsed.error);
    if (!parsed.ok() || parsed.options.help)
        return 0;
    const StatOptions& o = parsed.options;
    FUZZ_CHECK(o.threads >= 1 && o.threads <= kMaxStatThreads, QString::number(o.threads));
    FUZZ_CHECK(!arguments.join(QLatin1Char(' ')).contains(QLatin1String("--server")) || !o.server.isEmpty(),
               arguments.join(QLatin1Char(' ')));
    return 0;
}
