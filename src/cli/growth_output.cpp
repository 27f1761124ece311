#include "cli/growth_output.h"

#include "cli/stat_output.h"

namespace {

// One output line as its fields, each already in its format's notation.
using Fields = QList<QByteArray>;

QByteArray csvOf(const QStringList& columns, const std::vector<Fields>& lines)
{
    QByteArray out = columns.join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (const Fields& fields : lines)
        out += fields.join(',') + "\r\n";
    return out;
}

QByteArray jsonOf(const QStringList& columns, const std::vector<Fields>& lines)
{
    if (lines.empty())
        return "[]\n";
    QByteArray out = "[\n";
    for (std::size_t r = 0; r < lines.size(); ++r) {
        out += "  {";
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i > 0)
                out += ", ";
            out += "\"" + columns.at(i).toUtf8() + "\": " + lines[r].at(i);
        }
        out += r + 1 < lines.size() ? "},\n" : "}\n";
    }
    out += "]\n";
    return out;
}

// Text fields quoted for the format; `none` stands for a missing value.
struct Notation {
    bool json;
    QByteArray text(const QString& value) const { return json ? jsonString(value) : csvField(value); }
    QByteArray none() const { return json ? "null" : ""; }
    QByteArray flag(bool value) const { return json ? (value ? "true" : "false") : (value ? "1" : "0"); }
};

std::vector<Fields> growthLines(const history::Growth& growth, const Notation& n)
{
    std::vector<Fields> lines;
    lines.reserve(growth.rows.size());
    const QByteArray recorded = n.text(runTimeText(growth.latest.started));
    const QByteArray recordedBefore = growth.reference ? n.text(runTimeText(growth.reference->started)) : n.none();
    for (const history::GrowthRow& row : growth.rows) {
        Fields f = {QByteArray::number(row.level), n.text(row.name), n.text(row.userId), n.text(row.path), recorded,
                    numberText(row.Size), numberText(row.AnzahlNachrichtenG), QByteArray::number(row.AnhangG)};
        if (row.before)
            f << recordedBefore << numberText(row.SizeBefore) << numberText(row.AnzahlNachrichtenGBefore)
              << QByteArray::number(row.AnhangGBefore) << numberText(row.sizeGrowth());
        else
            f << n.none() << n.none() << n.none() << n.none() << n.none();
        lines.push_back(f);
    }
    return lines;
}

QByteArray typesScopeText(history::TypesScope scope)
{
    switch (scope) {
    case history::TypesScope::Tree: return "tree";
    case history::TypesScope::Top: return "top";
    case history::TypesScope::None: break;
    }
    return "none";
}

std::vector<Fields> runLines(const std::vector<history::RunInfo>& runs, const Notation& n)
{
    std::vector<Fields> lines;
    for (const history::RunInfo& run : runs) {
        const QByteArray types = typesScopeText(run.types);
        lines.push_back({QByteArray::number(run.id), n.text(runTimeText(run.started)), n.text(runTimeText(run.ended)),
                         n.text(run.program), QByteArray::number(run.threads), n.flag(run.complete),
                         n.flag(run.figures), n.json ? "\"" + types + "\"" : types, QByteArray::number(run.archives)});
    }
    return lines;
}

}  // namespace

const QStringList& growthColumns()
{
    static const QStringList columns = {
        QStringLiteral("level"),          QStringLiteral("name"),
        QStringLiteral("userId"),         QStringLiteral("path"),
        QStringLiteral("recorded"),       QStringLiteral("Size"),
        QStringLiteral("AnzahlNachrichtenG"), QStringLiteral("AnhangG"),
        QStringLiteral("recordedBefore"), QStringLiteral("SizeBefore"),
        QStringLiteral("AnzahlNachrichtenGBefore"), QStringLiteral("AnhangGBefore"),
        QStringLiteral("SizeGrowth")};
    return columns;
}

const QStringList& runColumns()
{
    static const QStringList columns = {QStringLiteral("run"),     QStringLiteral("started"),
                                        QStringLiteral("ended"),   QStringLiteral("program"),
                                        QStringLiteral("threads"), QStringLiteral("complete"),
                                        QStringLiteral("figures"), QStringLiteral("types"),
                                        QStringLiteral("archives")};
    return columns;
}

QString runTimeText(const QDateTime& started)
{
    return started.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QByteArray growthCsv(const history::Growth& growth)
{
    return csvOf(growthColumns(), growthLines(growth, Notation {false}));
}

QByteArray growthJson(const history::Growth& growth)
{
    return jsonOf(growthColumns(), growthLines(growth, Notation {true}));
}

QByteArray runsCsv(const std::vector<history::RunInfo>& runs)
{
    return csvOf(runColumns(), runLines(runs, Notation {false}));
}

QByteArray runsJson(const std::vector<history::RunInfo>& runs)
{
    return jsonOf(runColumns(), runLines(runs, Notation {true}));
}
