#include "export/export_run.h"

#include "export/eml_save.h"
#include "export/export_names.h"
#include "export/file_ops.h"
#include "export/file_work.h"
#include "export/zip_writer.h"
#include "platform/windows1252.h"
#include "server/udavid_api.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

constexpr int kEmail = 2;
constexpr int kFax = 3;
constexpr int kLink = 8;

QString errorText(const std::exception& e)
{
    if (const auto* server = dynamic_cast<const ServerError*>(&e))
        return server->reason();
    if (const auto* output = dynamic_cast<const ExportOutputError*>(&e))
        return output->text();
    return QString::fromUtf8(e.what());
}

// Creates a folder with its parents; throws when that is not possible.
void makeFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throw ExportOutputError(QStringLiteral("Das Verzeichnis %1 konnte nicht angelegt werden.")
                                    .arg(QDir::toNativeSeparators(folder)));
}

}  // namespace

ExportOutputError::ExportOutputError(const QString& text) : std::runtime_error(text.toStdString()) {}

QString ExportOutputError::text() const
{
    return QString::fromStdString(what());
}

void ExportTally::fail(const QString& name, const QString& reason)
{
    ++failed;
    if (firstFailures.size() < kKeptReasons)
        firstFailures.append(ExportFailure{name, reason});
}

QByteArray urlFileContent(const QString& url)
{
    const std::optional<QByteArray> exact = platform::toWindows1252Exactly(url);
    const QByteArray address = exact ? *exact : QUrl(url).toEncoded();
    return "[DEFAULT]\r\nBASEURL=" + address + "\r\n[InternetShortcut]\r\nURL=" + address + "\r\n";
}

ExportRun::ExportRun(Account& account, const QString& rootPfad, ExportObserver& observer)
    : m_account(account), m_rootPfad(rootPfad), m_observer(observer), m_files(std::make_unique<FileWork>(m_tally))
{
}

ExportRun::~ExportRun() = default;

void ExportRun::finishFileWork()
{
    m_files->finish();
}

ExportTally& ExportRun::tally()
{
    m_files->finish();
    return m_tally;
}

void ExportRun::ExportArchive(const QString& target, const QString& archivePath)
{
    const std::shared_ptr<ArchiveFolder> archive = m_account.OpenArchive(QVariant(archivePath));
    const std::shared_ptr<MessageList> entries = archive->GetMessages(QVariant(197119));

    // Deeper archives too are named by what their full path has beyond the top archive's path.
    const QString beyond = archive->FullPath().mid(m_rootPfad.size());
    const QString displayName = beyond.isEmpty() ? archive->Name() : QStringLiteral("..") + beyond;

    const int n = entries->Count();
    if (n <= 0)
        return;  // neither entries nor sub-archives
    m_observer.archiveStarted(n);

    for (int i = 0; i < n; ++i) {
        const std::shared_ptr<MessageEntry> entry = entries->Item(QVariant(i));
        const std::shared_ptr<MailItem> message = archive->GetMailItem(entry->Key(), QVariant(34));
        const int kind = entry->Kind();
        // The server's part of each message is done here; moving and copying the files, the ZIP and the
        // counting follow on the file thread, in message order.
        if (kind == kEmail && m_observer.exportMail()) {
            const QString name = target + CleanFileName(message->Title()) + QString::number(i) + QStringLiteral(".eml");
            EmlSaveFailure failure;
            const std::optional<QString> temporary = ConvertMailItemToEml(*message, &failure);
            m_files->post([temporary, name, failure, zip = m_zip](ExportTally& tally) mutable {
                if (temporary && PlaceEmlFile(*temporary, name, &failure))
                    ++tally.written;
                else if (failure.targetExists)
                    ++tally.alreadyThere;
                else
                    tally.fail(name, failure.reason);
                if (zip)
                    zip->addFile(name);
            });
            ++ExportedCount;
            m_observer.messageExported(i + 1,
                                       QStringLiteral("Anzahl Nachrichten: %1 (%2)").arg(i + 1).arg(displayName),
                                       ExportedCount);
        } else if (kind == kFax && m_observer.exportFax()) {
            const QString source = message->QueryFaxItem()->ImagePath().toString();
            // The title is cleaned like every other name, so the copy stays in the target folder.
            const QString name = target + CleanFileName(message->Title() + source.right(12)) + QStringLiteral(".tif");
            m_files->post([source, name, zip = m_zip](ExportTally& tally) {
                QString reason;
                if (exportfiles::copyFileReplacing(source, name, &reason))
                    ++tally.written;
                else
                    tally.fail(name, reason);
                if (zip)
                    zip->addFile(name);
            });
        } else if (kind == kLink && m_observer.exportLink()) {
            const QString url = message->LinkUrl();
            const QString name = target + CleanFileName(message->Title()) + QString::number(i) + QStringLiteral(".url");
            // Written here, not on the file thread: a link that cannot be written ends the archive at once.
            QString reason;
            if (!exportfiles::writeFileReplacing(name, urlFileContent(url), &reason))
                throw ExportOutputError(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden: %2")
                                            .arg(QDir::toNativeSeparators(name), reason));
            m_files->post([name, zip = m_zip](ExportTally& tally) {
                ++tally.written;
                if (zip)
                    zip->addFile(name);
            });
            ++ExportedCount;
            m_observer.messageExported(i + 1, QStringLiteral("Anzahl Nachrichten: %1").arg(i + 1), ExportedCount);
        }
        m_observer.handlePendingEvents();
    }

    if (!m_observer.includeSubArchives())
        return;
    const int m = archive->GetSubArchives()->Count();
    SubArchiveFolderNames folderNames;
    for (int j = 0; j < m; ++j) {
        QString where = target + QString::number(j);
        try {
            const std::shared_ptr<ArchiveFolder> sub = archive->GetSubArchives()->Item(QVariant(j));
            const QString name = folderNames.take(UseDisplayName ? sub->Name() : QString(), j, UseDisplayName);
            where = target + name;
            const QString subFolder = target + name + QDir::separator();
            makeFolder(subFolder);
            ExportArchive(subFolder, sub->Path().toString());
        } catch (const std::exception& e) {
            // Ends only this sub-archive; the run goes on and counts it among the failures.
            m_files->post([where, reason = errorText(e)](ExportTally& tally) { tally.fail(where, reason); });
        }
    }
}

ExportOutcome runExport(Account& account, const ExportRequest& request, ExportObserver& observer)
{
    ExportOutcome outcome;
    ExportRun run(account, request.rootPfad, observer);
    run.UseDisplayName = request.useDisplayName;
    const QString folder = withTrailingSeparator(request.folder);
    try {
        makeFolder(folder);
        if (!request.zip) {
            run.ExportArchive(folder, request.rootPfad);
        } else {
            ZipWriter zip(folder + kZipFileName, request.password);
            // The file thread hands files to the ZIP: it must be done before the ZIP is closed or goes away.
            const struct FinishFirst {
                ExportRun& run;
                ~FinishFirst() { run.finishFileWork(); }
            } finishFirst{run};
            const QString files = folder + kZipFolderName + QDir::separator();
            makeFolder(files);
            run.setZip(&zip);
            run.ExportArchive(files, request.rootPfad);
            run.finishFileWork();
            QString reason;
            const bool written = zip.close([&observer](int percent) { observer.zipProgress(percent); }, &reason);
            for (const ZipWriter::Failure& f : zip.failures())
                run.tally().fail(f.file, QStringLiteral("nicht in die ZIP-Datei aufgenommen: %1").arg(f.reason));
            if (!written)
                throw ExportOutputError(QStringLiteral("Die ZIP-Datei %1 konnte nicht geschrieben werden: %2")
                                            .arg(QDir::toNativeSeparators(zip.path()), reason));
            outcome.zipWritten = true;
        }
    } catch (const ExportOutputError& e) {
        outcome.end = ExportEnd::OutputFailed;
        outcome.error = e.text();
    } catch (const ServerError& e) {
        outcome.end = ExportEnd::ServerFailed;
        outcome.error = e.reason();
    } catch (const std::exception& e) {
        outcome.end = ExportEnd::ServerFailed;
        outcome.error = QString::fromUtf8(e.what());
    }
    outcome.tally = run.tally();
    outcome.exportedCount = run.ExportedCount;
    return outcome;
}

QString failureLines(const ExportTally& tally)
{
    QStringList lines;
    for (const ExportFailure& f : tally.firstFailures)
        lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(f.name), f.reason);
    if (tally.failed > tally.firstFailures.size())
        lines << QStringLiteral("... und %1 weitere").arg(tally.failed - tally.firstFailures.size());
    return lines.join(QLatin1Char('\n'));
}
