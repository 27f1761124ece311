#include "reports/report_table.h"

#include "reports/report_numbers.h"

#include <algorithm>

namespace reports {

void ReportTable::append(const ArchivDataRow& row)
{
    m_rows.push_back({row.TobitUser.left(kTobitUserWidth), row.ArchiveID.left(kArchiveIdWidth),
                      row.UserID.left(kUserIdWidth), row.FullPath.left(kFullPathWidth),
                      row.AnhangSizeG.left(kNumberWidth), row.AnhangG.left(kNumberWidth),
                      row.AnzahlNachrichtenG.left(kNumberWidth), row.SpeicherTobit.left(kNumberWidth)});
}

ArchivDataRow reportRow(const TTobData& record, const QLocale& locale)
{
    return {record.TobitUser,
            record.Pfad,
            record.UserID,
            record.FullPath,
            numberText(record.AnhangSizeG, locale),
            numberText(record.AnhangG, locale),
            generalNumberText(record.AnzahlNachrichtenG, locale),
            numberText(double(record.Size), locale)};
}

std::vector<ChartBar> chartBars(const ReportTable& table, ChartValue value, const QLocale& locale)
{
    std::vector<ChartBar> bars;
    bars.reserve(table.rows().size());
    for (const ArchivDataRow& row : table.rows()) {
        const QString& text = value == ChartValue::SpeicherTobit ? row.SpeicherTobit : row.AnzahlNachrichtenG;
        bars.push_back({row.TobitUser, numberFromText(text, locale)});
    }
    if (bars.size() <= 5)
        return bars;
    std::stable_sort(bars.begin(), bars.end(), [](const ChartBar& a, const ChartBar& b) {
        if (a.value != b.value)
            return a.value > b.value;
        return QString::compare(a.label, b.label, Qt::CaseInsensitive) > 0;
    });
    double rest = 0;
    for (std::size_t i = 5; i < bars.size(); ++i)
        rest += bars[i].value;
    bars.resize(5);
    bars.push_back({QStringLiteral("Andere"), rest});
    return bars;
}

}  // namespace reports
