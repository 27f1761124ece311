#include "cli/stat_types.h"

#include "classify/type_scan.h"
#include "cli/stat_output.h"

#include <atomic>
#include <thread>

StatTypes scanStatTypes(const std::vector<StatRow>& rows, bool wholeTree, int threads)
{
    std::vector<TypeScanResult> results(rows.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < rows.size(); i = next++)
            results[i] = classify::scanTypes(rows[i].data->Pfad, wholeTree);
    };
    const int workers = int(std::min<std::size_t>(std::size_t(std::max(1, threads)), rows.size()));
    std::vector<std::thread> pool;
    for (int w = 1; w < workers; ++w)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

    StatTypes types;
    types.rows.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (results[i].failed) {
            types.rows.emplace_back(std::nullopt);
            types.failures.append(QStringLiteral("Anhangtypen von %1 (%2) fehlen: %3")
                                      .arg(rows[i].data->TobitUser, rows[i].data->Pfad, results[i].reason));
        } else {
            types.rows.emplace_back(results[i].AnhangListe.entries());
        }
    }
    return types;
}

QString typesCsvText(const std::optional<std::vector<TypeCount>>& types)
{
    if (!types)
        return {};
    QStringList parts;
    for (const TypeCount& t : *types)
        parts.append(t.key + QLatin1Char('=') + QString::number(t.count));
    return parts.join(QLatin1Char(';'));
}

QByteArray typesJsonValue(const std::optional<std::vector<TypeCount>>& types)
{
    if (!types)
        return "null";
    QByteArray out = "{";
    for (std::size_t i = 0; i < types->size(); ++i) {
        if (i > 0)
            out += ", ";
        out += jsonString((*types)[i].key) + ": " + QByteArray::number((*types)[i].count);
    }
    out += '}';
    return out;
}
