#pragma once

#include "server/udavid_api.h"

#include <memory>

// The server as a folder on disk: server.json describes the archives, shares/ holds their folders, and the
// message files lie inside the folder. Used wherever the server's own component is not installed.
namespace standin {

// ARVELO_SERVER, else "demo-server" beside the program.
QString serverFolder();

std::unique_ptr<DvISEAPI> createStandinApi(const QString& folder);

}  // namespace standin
