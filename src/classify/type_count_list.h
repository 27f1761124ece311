#pragma once

#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <vector>

// One file type of an archive: the extension with its dot, letters a..z upper-cased (".PDF"), and how many
// attachment names carry it.
struct TypeCount {
    QString key;
    int count = 0;

    bool operator==(const TypeCount&) const = default;
};

// The type counts of one scan, one entry per key in the order the keys were first met. Keys are compared
// without regard to case. Kept as pairs rather than "KEY=count" text lines, so a key that itself holds a "="
// cannot be misread as a count.
class TypeCountList {
public:
    // Counts one attachment under the key made of these bytes (Windows-1252 text, a..z already upper-cased).
    void count(const QByteArray& keyBytes);
    // Counts under a key given as text (upper-cased a..z as the scan does).
    void count(const QString& key);

    const std::vector<TypeCount>& entries() const { return m_entries; }
    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    const TypeCount& at(int i) const { return m_entries[std::size_t(i)]; }
    int total() const;

    // Largest count first (CompareCounts); equal counts keep the order in which their keys were first met.
    void sort();

    // The list as KEY=count lines.
    QStringList lines() const;

private:
    int indexOfKey(const QString& key) const;
    void addNew(const QString& key, const QByteArray& bytes);

    std::vector<TypeCount> m_entries;
    QHash<QByteArray, int> m_byBytes;    // exact key bytes -> entry
    QHash<QString, int> m_byFolded;      // case-folded key -> entry
};

// The sort order of the type list: 1 when the count of entry i is smaller than that of entry j, -1 when it is
// larger, 0 when they are equal.
int CompareCounts(const TypeCountList& list, int i, int j);

// What one scan gives: the sorted counts, or the reason it failed.
struct TypeScanResult {
    TypeCountList AnhangListe;
    bool failed = false;
    bool stopped = false;     // asked to stop before it was done; the counts are incomplete
    QString reason;           // when failed: the file and the system's message
};

Q_DECLARE_METATYPE(TypeScanResult)
