#include "export/export_names.h"

#include <QDir>

QString CleanFileName(const QString& text)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text)
        if (!forbidden.contains(c))
            clean += c;
    return clean;
}

QString withTrailingSeparator(const QString& folder)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}

QString zipEntryName(const QString& fullPath)
{
    QString name = QDir::fromNativeSeparators(fullPath);
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        name.remove(0, 2);
    qsizetype lead = 0;
    while (lead < name.size() && name.at(lead) == QLatin1Char('/'))
        ++lead;
    return name.mid(lead);
}

QString SubArchiveFolderNames::take(const QString& displayName, int position, bool useDisplayName)
{
    const QString number = QString::number(position);
    QString name = useDisplayName ? CleanFileName(displayName) : number;
    const bool onlyDots = !name.isEmpty() && name.count(QLatin1Char('.')) == name.size();
    if (name.isEmpty() || onlyDots)
        name = number;
    while (m_used.contains(name.toCaseFolded()))
        name += QStringLiteral(" (") + number + QLatin1Char(')');
    m_used.insert(name.toCaseFolded());
    return name;
}
