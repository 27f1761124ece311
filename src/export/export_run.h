#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <stdexcept>

class Account;
class FileWork;
class ZipWriter;

// The export of one archive's messages into files, without any window: the window binds it, the headless
// companion and the tests call it directly.

// A file or folder of the export that could not be written, where that ends the run.
class ExportOutputError : public std::runtime_error {
public:
    explicit ExportOutputError(const QString& text);
    QString text() const;
};

struct ExportFailure {
    QString name;    // the file (or sub-archive folder) concerned
    QString reason;
    bool subArchive = false;
};

// What a run wrote and what it could not.
struct ExportTally {
    static constexpr int kKeptReasons = 10;

    int written = 0;       // e-mails moved into place, link files, fax copies
    int alreadyThere = 0;  // e-mails whose file existed already and was kept
    int failed = 0;        // messages that could not be written, sub-archives that could not be exported,
                           // files that could not be packed into the ZIP
    int failedSubArchives = 0;           // of `failed`, the sub-archives
    QList<ExportFailure> firstFailures;  // the first kKeptReasons of them

    void fail(const QString& name, const QString& reason, bool subArchive = false);
};

// How the run meets its surroundings. Every member has a quiet default.
class ExportObserver {
public:
    virtual ~ExportObserver() = default;
    // The option boxes, asked at the moment each one is needed.
    virtual bool exportMail() { return true; }
    virtual bool exportLink() { return true; }
    virtual bool exportFax() { return false; }
    virtual bool includeSubArchives() { return false; }
    // An archive with `entries` entries begins: the progress bar goes to 0 with that maximum.
    virtual void archiveStarted(int entries) { (void)entries; }
    // An e-mail or link was handled: bar position, status text, ExportedCount.
    virtual void messageExported(int position, const QString& status, int exportedCount)
    {
        (void)position, (void)status, (void)exportedCount;
    }
    // The ZIP is being written.
    virtual void zipProgress(int percent) { (void)percent; }
    // Called after every entry: the place to let pending window events run.
    virtual void handlePendingEvents() {}
};

class ExportRun {
public:
    // `rootPfad`: the path of the archive the run was started for; the status text measures every archive's
    // full path against it.
    ExportRun(Account& account, const QString& rootPfad, ExportObserver& observer);
    ~ExportRun();
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;

    // Name sub-archive folders by display name instead of position.
    bool UseDisplayName = false;
    // E-mails and links handled in this run, over all its archives.
    int ExportedCount = 0;

    // Every exported file is also added here, when set.
    void setZip(ZipWriter* zip) { m_zip = zip; }

    // Exports the archive at `archivePath` (server notation) into `target` (a folder ending in a separator),
    // and with the sub-archive option its sub-archives into folders inside it. Throws ServerError or
    // ExportOutputError for what ends the run; a failure inside a sub-archive ends only that sub-archive.
    void ExportArchive(const QString& target, const QString& archivePath);

    // Waits for the file work still pending.
    void finishFileWork();
    // The tally, once the file work still pending is done.
    ExportTally& tally();

private:
    Account& m_account;
    QString m_rootPfad;
    ExportObserver& m_observer;
    ZipWriter* m_zip = nullptr;
    ExportTally m_tally;
    std::unique_ptr<FileWork> m_files;  // after the tally, which its jobs write
};

// The ".url" file of a link: four lines, each ended by CR LF, in Windows-1252. An address that has
// characters outside that code page is written in its percent-encoded form instead of losing them.
QByteArray urlFileContent(const QString& url);

// A whole run as the window's "Exportieren" and the companion start it.
struct ExportRequest {
    QString folder;       // the export folder, ending in a separator
    QString rootPfad;     // the archive to export, server notation
    bool zip = false;
    QByteArray password;  // Windows-1252 bytes; empty: a ZIP without encryption
    bool useDisplayName = false;
};

enum class ExportEnd {
    Completed,      // every archive was gone through (single messages may have failed: see the tally)
    ServerFailed,   // the server refused something the run needs
    OutputFailed,   // the export folder, a file in it or the ZIP could not be written
};

struct ExportOutcome {
    ExportEnd end = ExportEnd::Completed;
    QString error;  // for the two failed ends
    ExportTally tally;
    int exportedCount = 0;
    bool zipWritten = false;
};

// The export folder is created with its parents when missing. With ZIP, the files go to "Export-Dateien"
// inside it and "EML-Export.zip" replaces an older one only once it is complete.
ExportOutcome runExport(Account& account, const ExportRequest& request, ExportObserver& observer);

inline const QString kZipFileName = QStringLiteral("EML-Export.zip");
inline const QString kZipFolderName = QStringLiteral("Export-Dateien");

// The first reasons of a tally's failures, one "name: reason" per line, with a last line saying how many
// more there were.
QString failureLines(const ExportTally& tally);

// The warning's first line: how many messages and sub-archives failed, "1 Nachricht konnte nicht geschrieben
// werden:". Empty when nothing failed.
QString failureHeading(const ExportTally& tally);
