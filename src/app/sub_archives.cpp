#include "app/sub_archives.h"

#include "server/udavid_api.h"

TTobData recordFromFolder(ArchiveFolder& folder)
{
    TTobData record;
    record.TobitUser = folder.Name();
    record.Pfad = folder.Path().toString();
    record.UserID = userIdFromPath(record.Pfad);
    record.FullPath = folder.FullPath();
    return record;
}

SubArchiveList readSubArchives(Account& account, const QString& path)
{
    SubArchiveList list;
    try {
        const std::shared_ptr<ArchiveFolders> folders = account.ArchiveFromPath(path)->GetSubArchives();
        const qint32 count = folders->Count();
        for (qint32 i = 0; i < count; ++i) {
            const std::shared_ptr<ArchiveFolder> folder = folders->Item(i);
            SubArchiveEntry entry;
            entry.record = recordFromFolder(*folder);
            try {
                entry.hasSubArchives = folder->GetSubArchives()->Count() > 0;
            } catch (const ServerError&) {
                if (i == 0)
                    throw;
            }
            list.entries.push_back(std::move(entry));
        }
    } catch (const std::exception& e) {
        list.error = QString::fromUtf8(e.what());
    }
    return list;
}
