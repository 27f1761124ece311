#include "classify/type_count_list.h"

#include "platform/windows1252.h"

#include <algorithm>

void TypeCountList::count(const QByteArray& keyBytes)
{
    if (const auto it = m_byBytes.constFind(keyBytes); it != m_byBytes.constEnd()) {
        ++m_entries[std::size_t(*it)].count;
        return;
    }
    addNew(platform::fromWindows1252(keyBytes), keyBytes);
}

void TypeCountList::count(const QString& key)
{
    addNew(key, platform::toWindows1252(key));
}

void TypeCountList::addNew(const QString& key, const QByteArray& bytes)
{
    // Another spelling of a known key ("ä" against "Ä": only a..z are upper-cased) counts under the known one.
    const QString folded = key.toCaseFolded();
    int index = m_byFolded.value(folded, -1);
    if (index < 0) {
        index = int(m_entries.size());
        m_entries.push_back({key, 0});
        m_byFolded.insert(folded, index);
    }
    m_byBytes.insert(bytes, index);
    ++m_entries[std::size_t(index)].count;
}

int TypeCountList::total() const
{
    int sum = 0;
    for (const TypeCount& e : m_entries)
        sum += e.count;
    return sum;
}

void TypeCountList::sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const TypeCount& a, const TypeCount& b) { return a.count > b.count; });
    // The indexes now point elsewhere; the list is only read after sorting, but keep them right.
    m_byBytes.clear();
    m_byFolded.clear();
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_byBytes.insert(platform::toWindows1252(m_entries[i].key), int(i));
        m_byFolded.insert(m_entries[i].key.toCaseFolded(), int(i));
    }
}

QStringList TypeCountList::lines() const
{
    QStringList out;
    out.reserve(qsizetype(m_entries.size()));
    for (const TypeCount& e : m_entries)
        out.append(e.key + QLatin1Char('=') + QString::number(e.count));
    return out;
}

int CompareCounts(const TypeCountList& list, int i, int j)
{
    const int c1 = list.at(i).count;
    const int c2 = list.at(j).count;
    return c1 < c2 ? 1 : c1 > c2 ? -1 : 0;
}
