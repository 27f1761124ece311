#pragma once

#include <QString>

#include <optional>

class MailItem;

// Why an e-mail was not saved.
struct EmlSaveFailure {
    bool targetExists = false;  // a file of the target's name was there already and was kept
    QString reason;
};

// Converts the message into a new EML file through the server's client library and moves that file to
// `target`. An existing file of that name is never replaced. True when both the conversion and the move
// succeeded; otherwise the conversion's temporary file is removed and `failure` says why.
bool SaveMailItemAsEml(MailItem& message, const QString& target, EmlSaveFailure* failure = nullptr);

// The two halves of SaveMailItemAsEml, for a caller that moves the files on another thread. The conversion
// needs the server and gives the name of the temporary file it wrote.
std::optional<QString> ConvertMailItemToEml(MailItem& message, EmlSaveFailure* failure = nullptr);
// Moves a converted e-mail's temporary file to `target`, or removes it when that fails.
bool PlaceEmlFile(const QString& temporary, const QString& target, EmlSaveFailure* failure = nullptr);
