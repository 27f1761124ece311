// An attachment index file (".$00") as the type scan reads it: records of 208 bytes, the last one possibly
// short, each naming an attachment whose extension is counted.

#include "fuzz_support.h"

#include "classify/type_scan.h"

#include <QDir>
#include <QSet>

namespace {

void checkKeys(const TypeCountList& list, std::size_t records, const QString& where)
{
    QSet<QString> folded;
    for (const TypeCount& t : list.entries()) {
        FUZZ_CHECK(t.key.startsWith(QLatin1Char('.')), where + QStringLiteral(": key ") + t.key);
        FUZZ_CHECK(!t.key.contains(QLatin1Char('\\')) && !t.key.contains(QLatin1Char(':')), t.key);
        for (const QChar c : t.key)
            FUZZ_CHECK(c < QLatin1Char('a') || c > QLatin1Char('z'), QStringLiteral("lower case in ") + t.key);
        FUZZ_CHECK(t.count > 0, t.key);
        FUZZ_CHECK(!folded.contains(t.key.toCaseFolded()), QStringLiteral("key twice: ") + t.key);
        folded.insert(t.key.toCaseFolded());
    }
    FUZZ_CHECK(std::size_t(list.total()) <= records,
               QStringLiteral("%1 counted of %2 records").arg(list.total()).arg(records));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::size_t records = classify::recordCount(size);

    // Each record alone, the short last one included.
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t offset = r * classify::kRecordSize;
        const std::size_t length = std::min(classify::kRecordSize, size - offset);
        const QByteArray key = classify::recordKey(bytes + offset, length);
        const QString name = classify::recordName(bytes + offset, length);
        if (!key.isEmpty())
            FUZZ_CHECK(name.contains(QLatin1Char('.')), QStringLiteral("a key from a name without a dot: ") + name);
        if (!name.isEmpty()) {
            FUZZ_CHECK(name.front() > QLatin1Char(' ') && name.back() > QLatin1Char(' '),
                       QStringLiteral("name not trimmed: ") + name);
        }
    }

    TypeCountList list;
    classify::countIndexContent(bytes, size, list);
    checkKeys(list, records, QStringLiteral("content"));

    // The same bytes read as a file by the scan, which must count exactly the same.
    static const QString folder = [] {
        const QString f = fuzz::scratchFolder() + QStringLiteral("/archive");
        QDir().mkpath(f);
        return f;
    }();
    fuzz::writeScratch(QStringLiteral("archive/ANHANG.$00"), data, size);
    classify::TypeScan scan;
    FUZZ_CHECK(scan.scanLocalFolder(folder.toStdString(), false), scan.reason());
    FUZZ_CHECK(scan.AnhangListe.entries() == list.entries(), QStringLiteral("the file counted otherwise"));
    scan.AnhangListe.sort();
    for (int i = 1; i < scan.AnhangListe.size(); ++i)
        FUZZ_CHECK(CompareCounts(scan.AnhangListe, i - 1, i) <= 0, QStringLiteral("not sorted"));
    return 0;
}
