#include "cli/stat_listing.h"

#include "platform/excerpt.h"
#include "server/udavid_api.h"

#include <QSet>

namespace {

class Lister {
public:
    Lister(Account& account, bool withSub) : m_account(account), m_withSub(withSub) {}

    StatListing run()
    {
        const std::shared_ptr<ArchiveFolder> root = m_account.GetArchiveRoot(1);
        m_listing.root = root->Path().toString();
        const std::shared_ptr<ArchiveFolders> users = root->GetSubArchives();
        addEntries(*users, 0);
        return std::move(m_listing);
    }

private:
    void addEntries(ArchiveFolders& list, int level)
    {
        const qint32 count = list.Count();
        for (qint32 i = 0; i < count; ++i) {
            const std::shared_ptr<ArchiveFolder> entry = list.Item(i);
            auto record = std::make_shared<TTobData>();
            record->TobitUser = entry->Name();
            record->Pfad = entry->Path().toString();
            record->UserID = userIdFromPath(record->Pfad);
            record->FullPath = entry->FullPath();
            m_listing.rows.push_back(StatRow {level, record});
            if (m_withSub)
                addSubArchives(record->Pfad, level + 1);
        }
    }

    void addSubArchives(const QString& path, int level)
    {
        if (m_ancestors.contains(path)) {
            m_listing.notes.append(
                QStringLiteral("Das Archiv %1 enthält sich selbst als Unterarchiv; es wird nicht noch einmal gelesen.")
                    .arg(platform::excerpt(path)));
            return;
        }
        m_ancestors.insert(path);
        const std::shared_ptr<ArchiveFolders> subs = m_account.ArchiveFromPath(path)->GetSubArchives();
        addEntries(*subs, level);
        m_ancestors.remove(path);
    }

    Account& m_account;
    bool m_withSub;
    StatListing m_listing;
    QSet<QString> m_ancestors;  // paths of the rows above the one being listed
};

}  // namespace

StatListing listArchives(Account& account, bool withSub)
{
    return Lister(account, withSub).run();
}
