#include "settings/display_prefs.h"

#include "platform/program_folder.h"
#include "settings/preference_file.h"

namespace settings {

int DisplayPrefs::number() const
{
    return (ShowGradient ? 1 : 0) + (ShowFrame ? 2 : 0) + (ShowBars ? 4 : 0);
}

DisplayPrefs DisplayPrefs::fromNumber(qint64 n)
{
    return DisplayPrefs{(n & 1) != 0, (n & 2) != 0, (n & 4) != 0};
}

QString displayPrefsReadPath()
{
    return platform::preferenceReadPath(QString::fromLatin1(DisplayPrefsFileName));
}

QString displayPrefsSavePath()
{
    return platform::preferenceSavePath(QString::fromLatin1(DisplayPrefsFileName));
}

DisplayPrefs readDisplayPrefs(const QString& path)
{
    const std::optional<QStringList> lines = readPreferenceLines(path);
    if (!lines || lines->isEmpty())
        return DisplayPrefs{};
    const std::optional<qint64> n = parseWholeNumber(lines->first());
    return n ? DisplayPrefs::fromNumber(*n) : DisplayPrefs{};
}

bool writeDisplayPrefs(const QString& path, const DisplayPrefs& prefs)
{
    return writePreferenceLines(path, {QString::number(prefs.number())});
}

DisplayPrefs loadDisplayPrefs()
{
    return readDisplayPrefs(displayPrefsReadPath());
}

bool saveDisplayPrefs(const DisplayPrefs& prefs)
{
    return writeDisplayPrefs(displayPrefsSavePath(), prefs);
}

}  // namespace settings
