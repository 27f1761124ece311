#pragma once

#include "engine/tob_data.h"

#include <QString>

#include <optional>
#include <vector>

class Account;
class ArchiveFolder;

// The identity of a row as the server gives it: name, path, the user ID taken from the path, full path.
// Every figure stays 0. Throws ServerError when the server fails.
TTobData recordFromFolder(ArchiveFolder& folder);

// One entry of an archive's list of sub-archives, read into plain values.
struct SubArchiveEntry {
    TTobData record;
    bool hasSubArchives = false;  // gets a placeholder row, so it can be expanded in turn
};

struct SubArchiveList {
    std::vector<SubArchiveEntry> entries;  // the entries read before a failure, in the server's order
    std::optional<QString> error;          // the reason the server gave for ending the list early
};

// Reads the sub-archives of the archive at `path` (server notation). An empty list without error is an
// archive that has none. Whether the first entry has sub-archives of its own is a question whose failure
// ends the list; for the later entries a failure means none.
SubArchiveList readSubArchives(Account& account, const QString& path);
