#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Account;

// Writes a server folder (docs/server-folder.md) of whatever server `account` is logged on to, so that a
// machine without the server's client can measure the real archives: server.json with every archive (names,
// paths, full paths, sub-archives in the server's order), an empty shares/ for the links to the mounted shares,
// and, when asked, every archive's messages with their files under messages/.
//
// server.json is written piece by piece into a file that takes its name only once it is complete, so even a
// server of many thousand users never lies in memory whole, and a failure leaves no half-written folder: what
// was created is removed again, and a server.json that was there stays as it was.

struct ServerFolderRequest {
    QString folder;             // created when missing; must be empty unless `replace`
    bool withMessages = false;  // also each archive's messages and their e-mail and fax files
    // The folder may hold something already: server.json is replaced and, with messages, messages/ too;
    // shares/ and everything else stay.
    bool replace = false;
};

struct ServerFolderResult {
    enum class Outcome {
        Written,       // the folder is complete (see `notes` for what it could not hold)
        Refused,       // the folder is not empty, holds a server already or is no folder; nothing written
        ServerFailed,  // the server reported an error; nothing left behind
        WriteFailed,   // the folder could not be written (a full disk, no permission); nothing left behind
    };
    Outcome outcome = Outcome::Written;
    QString error;      // why, unless Written
    QStringList notes;  // archives left out and message files that could not be had
    int archives = 0;   // archives written, the archive root included
    int messages = 0;   // messages written
    bool complete() const { return outcome == Outcome::Written && notes.isEmpty(); }
};

// Called after each archive written with the count so far.
using ServerFolderProgress = std::function<void(int archives)>;

// Everything is asked of the server on the calling thread. An archive is listed where the server names it;
// one whose path was written already (one that contains itself, or a path the server gives twice) is left
// out with a note, as a server folder holds each path once. A message whose e-mail or fax file cannot be
// had keeps its entry, naming a file that is not there: exporting it then fails as it did on the server.
ServerFolderResult writeServerFolder(Account& account, const ServerFolderRequest& request,
                                     const ServerFolderProgress& progress = {});
