#pragma once

#include "platform/companion.h"

#include <QString>
#include <QStringList>

// The command line of arvelo-stat.

enum class StatFormat { Csv, Json };

// Attachment types per row: none, the archive folder's whole tree (--types), the folder alone (--types=top).
enum class StatTypesScope { None, Tree, Top };

struct StatOptions {
    QString server;          // a server folder; empty: the one the window would use
    int threads = 7;         // scanners working at the same time
    bool sub = false;        // also every sub-archive, at every level
    StatFormat format = StatFormat::Csv;
    StatTypesScope types = StatTypesScope::None;
    bool help = false;
};

struct StatOptionsResult {
    StatOptions options;
    QString error;           // set for bad usage; the options are then not to be used
    bool ok() const { return error.isEmpty(); }
};

// The most scanners the companion lets run at once; each one is a thread of its own.
constexpr int kMaxStatThreads = 256;

// Reads the arguments after the program name. "--name value" and "--name=value" both work; a later
// option of the same name wins. "--help" (or "-h") anywhere asks for the help text and nothing else.
StatOptionsResult parseStatOptions(const QStringList& arguments);

// The text of --help.
QString statHelpText();

// Exit codes: success, some figures missing, a failed log-on or server error, bad usage, output that
// could not be written.
namespace statexit {
constexpr int kOk = platform::companionexit::kOk;
constexpr int kIncomplete = platform::companionexit::kPartly;  // written, but figures are missing or incomplete
constexpr int kServer = platform::companionexit::kServer;
constexpr int kUsage = platform::companionexit::kUsage;
constexpr int kOutput = platform::companionexit::kOutput;
}  // namespace statexit
