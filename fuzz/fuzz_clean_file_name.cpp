// Message titles and sub-archive names made into file and folder names by the export.

#include "fuzz_support.h"

#include "export/export_names.h"

#include <QSet>

namespace {

const QString kForbidden = QStringLiteral("\\/:*?\"<>|");

bool hasForbidden(const QString& name)
{
    for (const QChar c : name)
        if (kForbidden.contains(c))
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = fuzz::utf16Text(data, size);
    const QString clean = CleanFileName(text);
    FUZZ_CHECK(!hasForbidden(clean), clean);
    qsizetype dropped = 0;
    for (const QChar c : text)
        dropped += kForbidden.contains(c) ? 1 : 0;
    FUZZ_CHECK(clean.size() == text.size() - dropped, text);
    FUZZ_CHECK(CleanFileName(clean) == clean, clean);

    // The same text split at zero characters: the names of the sub-archives of one parent.
    SubArchiveFolderNames names;
    QSet<QString> taken;
    const QStringList displayNames = text.split(QChar(0));
    for (qsizetype i = 0; i < displayNames.size() && i < 64; ++i) {
        const QString folder = names.take(displayNames.at(i), int(i), (i % 3) != 2);
        FUZZ_CHECK(!folder.isEmpty() && !hasForbidden(folder), folder);
        FUZZ_CHECK(folder.count(QLatin1Char('.')) != folder.size(), QStringLiteral("only dots: ") + folder);
        FUZZ_CHECK(!taken.contains(folder.toCaseFolded()), QStringLiteral("given twice: ") + folder);
        taken.insert(folder.toCaseFolded());
    }
    return 0;
}
