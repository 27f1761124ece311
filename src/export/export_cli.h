#pragma once

#include "export/export_run.h"
#include "platform/companion.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of arvelo-export, the headless companion that runs the window's export.

struct ExportCliOptions {
    QString server;        // stand-in server folder; empty: the one the window would use
    QString archive;       // server notation, SRV01:DAVID\ARCHIVE\USER\00A10037
    QString out;           // the export folder
    bool sub = false;
    bool displayNames = false;
    bool mail = true;      // --types, by default mail and link as the window's boxes
    bool link = true;
    bool fax = false;
    bool zip = false;
    QString passwordEnv;   // the name of an environment variable holding the password
    QString passwordFile;  // a file whose first line is the password
    bool verbose = false;  // say on standard error which server the program logged on to
    bool help = false;
    bool version = false;
};

struct ExportCliParse {
    ExportCliOptions options;
    QString error;  // bad usage; the options are then not to be used
    bool ok() const { return error.isEmpty(); }
};

// Reads the arguments after the program name. "--name value" and "--name=value" both work; a later option of
// the same name wins; "--help" or "-h" anywhere asks for the help alone.
ExportCliParse parseExportOptions(const QStringList& arguments);

QString exportHelpText();

// The password the options name (nothing without one). `error` is set when it cannot be had.
std::optional<QString> readPassword(const ExportCliOptions& options, QString* error);

// The closing report: what was written, already there and failed, with the first reasons.
QString exportSummary(const ExportOutcome& outcome);

namespace exportexit {
constexpr int kOk = platform::companionexit::kOk;        // everything written; e-mails already there count as fine
constexpr int kSome = platform::companionexit::kPartly;  // some messages could not be written
constexpr int kServer = platform::companionexit::kServer;  // bad server or archive, or an error that ended the run
constexpr int kUsage = platform::companionexit::kUsage;
constexpr int kOutput = platform::companionexit::kOutput;  // the export folder or the ZIP could not be written
}  // namespace exportexit

int exitCodeFor(const ExportOutcome& outcome);
