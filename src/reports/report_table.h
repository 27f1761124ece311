#pragma once

#include "engine/tob_data.h"

#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

namespace reports {

// One line of the overview report: the printed texts of one top-level row.
struct ArchivDataRow {
    QString TobitUser;
    QString ArchiveID;
    QString UserID;
    QString FullPath;
    QString AnhangSizeG;
    QString AnhangG;
    QString AnzahlNachrichtenG;
    QString SpeicherTobit;
};

// The report's in-memory table of text fields; every text is cut to its field's width on the way in.
class ReportTable {
public:
    static constexpr int kTobitUserWidth = 50;
    static constexpr int kArchiveIdWidth = 150;
    static constexpr int kUserIdWidth = 8;
    static constexpr int kFullPathWidth = 150;
    static constexpr int kNumberWidth = 20;  // AnhangSizeG, AnhangG, AnzahlNachrichtenG, SpeicherTobit

    void append(const ArchivDataRow& row);
    void clear() { m_rows.clear(); }
    const std::vector<ArchivDataRow>& rows() const { return m_rows; }
    int rowCount() const { return int(m_rows.size()); }

private:
    std::vector<ArchivDataRow> m_rows;
};

// The texts of one record as the report table holds them.
ArchivDataRow reportRow(const TTobData& record, const QLocale& locale);

// One bar of a chart.
struct ChartBar {
    QString label;
    double value = 0;
    bool operator==(const ChartBar&) const = default;
};

// Which printed text a chart reads back as its values.
enum class ChartValue { SpeicherTobit, AnzahlNachrichtenG };

// Up to five rows get a bar each in table order; more are cut down to the five largest (equal values: the
// name later in the alphabet, ignoring case, first) and "Andere" with the sum of the others.
std::vector<ChartBar> chartBars(const ReportTable& table, ChartValue value, const QLocale& locale);

}  // namespace reports
