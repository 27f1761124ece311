#pragma once

#include "platform/companion.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

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
    bool record = false;       // keep the measured run in the history
    QString history;           // the history file; empty: ARVELO_HISTORY or the user's data folder
    bool growth = false;       // compare recorded runs instead of measuring
    std::optional<QDateTime> since;         // --growth's reference: the latest run at or before this
    bool runs = false;         // list the recorded runs instead of measuring
    std::optional<QDateTime> forgetBefore;  // forget the runs started before this instead of measuring
    QString writeServerFolder;              // write a server folder of the server here instead of measuring
    bool withMessages = false;              // with writeServerFolder: the messages and their files too
    bool replace = false;                   // with writeServerFolder: the folder may hold a server folder already
    bool verbose = false;                   // say on standard error which server the program logged on to
    bool help = false;
    bool version = false;
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
constexpr int kNoRun = 3;    // --growth: the history holds no run of the server
constexpr int kHistory = 4;  // the history could not be opened, read or written
}  // namespace statexit
