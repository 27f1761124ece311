// An archive path from the server turned into the local folder that is measured: whatever the path, the
// folder lies inside shares/ or there is none.

#include "fuzz_support.h"

#include "engine/archive_path.h"
#include "platform/unc_path.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString root = [] {
        const QString shares = fuzz::scratchFolder() + QStringLiteral("/shares");
        platform::setUncRoot(shares);
        return shares;
    }();

    const QString path = fuzz::utf16Text(data, size);
    const QString unc = ArchivePathToUnc(path);
    FUZZ_CHECK(unc.startsWith(QLatin1String("\\\\")) && !unc.contains(QLatin1Char(':')), unc);

    const QString local = archiveLocalPath(path);
    if (local == QLatin1String(kNoFolder))
        return 0;
    FUZZ_CHECK(local.startsWith(root + QLatin1Char('/')), QStringLiteral("%1 -> %2").arg(path, local));
    FUZZ_CHECK(!local.contains(QChar(0)), path);
    const QStringList below = local.mid(root.size() + 1).split(QLatin1Char('/'));
    for (qsizetype i = 0; i < below.size(); ++i) {
        const QString& s = below.at(i);
        FUZZ_CHECK(s != QLatin1String("..") && s != QLatin1String("."), QStringLiteral("%1 -> %2").arg(path, local));
        FUZZ_CHECK(!s.isEmpty() || i == below.size() - 1, QStringLiteral("%1 -> %2").arg(path, local));
    }
    return 0;
}
