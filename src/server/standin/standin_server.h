#pragma once

#include "server/udavid_api.h"

#include <memory>

// The server as a folder on disk: server.json describes the archives, shares/ holds their folders, and the
// message files lie inside the folder. Used wherever the server's own component is not installed.
namespace standin {

// ARVELO_SERVER; else "demo-server" beside the program when one lies there; else the demo server in the user's
// data folder, which the window builds on its first log-on (see demoServerToBuild).
QString serverFolder();

std::unique_ptr<DvISEAPI> createStandinApi(const QString& folder);

// The folder of the demo server the next log-on would read while it holds no server yet: the stand-in server
// is in use (no other API set with setApiFactory), no server is named and none lies beside the program. Empty
// otherwise. An installed program builds it there once, so that a new user has something to look at.
// (Defined beside setApiFactory, whose choice it reads.)
QString demoServerToBuild();

}  // namespace standin
