#pragma once

#include <QString>

// The demo server: a stand-in server folder with users, archives and messages, the same for the same seed.
// Used by arvelo-demo-server and by the window, which builds one for a new user of an installed program.
namespace demo {

struct DemoOptions {
    quint32 seed = 1;
    int users = 48;
    bool lean = false;    // tiny archives, no sub-archives
    int archives = -1;    // >= 0: this many users with large archives only (for benchmarks)
    int entries = 40000;  // with `archives`: at least this many entries per archive
};

// Writes the server into `folder` (created when missing), server.json last, so a folder holding one is
// complete. The number of users; throws std::runtime_error when the folder already holds a server or something
// cannot be written.
int buildDemoServer(const QString& folder, const DemoOptions& options = {});

}  // namespace demo
