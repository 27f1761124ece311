#pragma once

#include "engine/tob_data.h"

#include <QStringList>

#include <memory>
#include <vector>

class Account;

// One archive to measure and report: its level (0 for a user, 1 and more below) and its record.
struct StatRow {
    int level = 0;
    std::shared_ptr<TTobData> data;
};

struct StatListing {
    QString root;                // the archive root's path as the server gives it: the server's name in the history
    std::vector<StatRow> rows;   // server order, each sub-archive right after its parent
    QStringList notes;           // things worth telling the caller that did not stop the listing
};

// Lists the users below the archive root and, with `withSub`, every sub-archive on every level, each
// after its parent (depth first). A row's sub-archives are asked for by its path, as the window's
// expansion does. An archive whose path is one of its own ancestors' is listed but not entered again, so
// a server that reports a loop still gives a finite list. Server failures are thrown as ServerError.
StatListing listArchives(Account& account, bool withSub);
