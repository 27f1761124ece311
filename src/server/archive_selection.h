#pragma once

#include "engine/tob_data.h"

#include <QString>

#include <memory>
#include <vector>

class Account;

// What the secondary windows (classification, export, reports) take from the main window: the focused row's
// record, the logged-on account and the client program's folder. The main window fills it when a command is
// chosen; the windows never reach into the main window themselves.
struct ArchiveSelection {
    std::shared_ptr<const TTobData> record;  // null when no row is focused
    int level = -1;                          // 0 user row, 1.. sub-archive row
    std::shared_ptr<Account> account;        // null before the first log-on
    QString clientFolder;                    // DVWIN_Pfad, the client program's folder; may be empty
};

// Implemented by the main window.
class MainWindowAccess {
public:
    virtual ~MainWindowAccess() = default;
    virtual ArchiveSelection focusedArchive() const = 0;
    // Every top-level row's record in the table's current order, hidden rows included.
    virtual std::vector<std::shared_ptr<const TTobData>> topLevelRecords() const = 0;
};
