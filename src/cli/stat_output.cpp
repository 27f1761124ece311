#include "cli/stat_output.h"

#include "cli/stat_types.h"
#include "engine/date_text.h"
#include "platform/dos_stamp.h"

#include <QStringList>

#include <charconv>
#include <cstdio>

namespace {

template <typename Real>
QByteArray shortestFixed(Real value)
{
    // Fixed notation of a megabyte figure is a few dozen digits at most; the general form is the
    // fallback should a value ever not fit.
    char buffer[512];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, int(result.ptr - buffer));
}

// A record's date as ISO 8601 bytes, empty when there is none. Where the record keeps the stamp its text was
// made of, the fields come from the stamp: the text's format keeps every field (seconds included), so that is
// what reading the text back gives, without the parse, which cost more than all the rest of a row. A walk's
// stamps are local times the system gave, so no zone shifts them on their way into the text.
QByteArray isoField(const QString& text, platform::DosStamp stamp, const DateTextFormat& format)
{
    if (text.isEmpty() || !platform::isValidDosStamp(stamp))
        return isoDateTime(text, format).toUtf8();
    char iso[20];
    const auto put = [&iso](int at, unsigned value, int digits) {
        for (int i = at + digits - 1; i >= at; --i, value /= 10)
            iso[i] = char('0' + value % 10);
    };
    put(0, 1980 + (stamp >> 25), 4);
    iso[4] = '-';
    put(5, (stamp >> 21) & 0xF, 2);
    iso[7] = '-';
    put(8, (stamp >> 16) & 0x1F, 2);
    iso[10] = 'T';
    put(11, (stamp >> 11) & 0x1F, 2);
    iso[13] = ':';
    put(14, (stamp >> 5) & 0x3F, 2);
    iso[16] = ':';
    put(17, (stamp & 0x1F) * 2, 2);
    return QByteArray(iso, sizeof iso - 1);
}

// The figures of a row as text, in column order from Size on.
struct Figures {
    QByteArray text[8];
};

Figures figuresOf(const TTobData& d)
{
    return {{numberText(d.Size), numberText(d.SizeRoot), numberText(d.AnzahlNachrichten),
             numberText(d.AnzahlNachrichtenG), QByteArray::number(d.Anhang), QByteArray::number(d.AnhangG),
             numberText(d.AnhangSize), numberText(d.AnhangSizeG)}};
}

}  // namespace

const QStringList& statColumns()
{
    static const QStringList columns = {
        QStringLiteral("level"),      QStringLiteral("name"),
        QStringLiteral("userId"),     QStringLiteral("path"),
        QStringLiteral("fullPath"),   QStringLiteral("Size"),
        QStringLiteral("SizeRoot"),   QStringLiteral("AnzahlNachrichten"),
        QStringLiteral("AnzahlNachrichtenG"), QStringLiteral("Anhang"),
        QStringLiteral("AnhangG"),    QStringLiteral("AnhangSize"),
        QStringLiteral("AnhangSizeG"), QStringLiteral("newest"),
        QStringLiteral("oldest")};
    return columns;
}

QByteArray numberText(long double value)
{
    return shortestFixed(value);
}

QByteArray numberText(double value)
{
    return shortestFixed(value);
}

QString isoDateTime(const QString& recordText, const DateTextFormat& format)
{
    const QDateTime when = format.parse(recordText);
    if (!when.isValid())
        return {};
    // The fields as they were written, without going through a time zone.
    return when.date().toString(Qt::ISODate) + QLatin1Char('T') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

QByteArray csvField(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') && !utf8.contains('\n'))
        return utf8;
    QByteArray quoted;
    quoted.reserve(utf8.size() + 2);
    quoted += '"';
    for (const char c : utf8) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

QByteArray jsonString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                char escaped[7];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

namespace {

// Collects the output and hands it on in pieces of some tens of kilobytes: at 100,000 rows the whole text
// held at once was the largest thing the program kept.
class PieceWriter {
public:
    explicit PieceWriter(const StatSink& sink) : m_sink(sink) {}
    QByteArray& out() { return m_out; }
    // After each row: passes the piece on once it is large enough. False once the sink has failed.
    bool rowDone() { return m_out.size() < kPiece || flush(); }
    bool flush()
    {
        if (m_failed)
            return false;
        m_failed = !m_out.isEmpty() && !m_sink(m_out);
        m_out.resize(0);
        return !m_failed;
    }

private:
    static constexpr qsizetype kPiece = 64 * 1024;
    const StatSink& m_sink;
    QByteArray m_out;
    bool m_failed = false;
};

QByteArray collected(const std::function<bool(const StatSink&)>& write)
{
    QByteArray all;
    write([&all](const QByteArray& piece) {
        all += piece;
        return true;
    });
    return all;
}

}  // namespace

bool writeStatCsv(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types,
                  const StatSink& sink)
{
    PieceWriter writer(sink);
    QByteArray& out = writer.out();
    out = statColumns().join(QLatin1Char(',')).toUtf8() + (types ? ",types\r\n" : "\r\n");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const StatRow& row = rows[r];
        const TTobData& d = *row.data;
        // Each piece appended on its own: "',' + piece" made a text more per field.
        out += QByteArray::number(row.level);
        for (const QString* text : {&d.TobitUser, &d.UserID, &d.Pfad, &d.FullPath}) {
            out += ',';
            out += csvField(*text);
        }
        for (const QByteArray& figure : figuresOf(d).text) {
            out += ',';
            out += figure;
        }
        // ISO dates hold nothing a CSV field quotes.
        out += ',';
        out += isoField(d.Neueste, d.NeuesteStamp, format);
        out += ',';
        out += isoField(d.Aelteste, d.AeltesteStamp, format);
        if (types) {
            out += ',';
            out += csvField(typesCsvText(types->rows.at(r)));
        }
        out += "\r\n";
        if (!writer.rowDone())
            return false;
    }
    return writer.flush();
}

bool writeStatJson(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types,
                   const StatSink& sink)
{
    PieceWriter writer(sink);
    QByteArray& out = writer.out();
    if (rows.empty()) {
        out = "[]\n";
        return writer.flush();
    }
    const QStringList& columns = statColumns();
    QList<QByteArray> keys;
    for (const QString& c : columns)
        keys.append("\"" + c.toUtf8() + "\": ");
    keys.append("\"types\": ");

    out = "[\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TTobData& d = *rows[r].data;
        const auto date = [&](const QString& text, platform::DosStamp stamp) {
            const QByteArray iso = isoField(text, stamp, format);
            return iso.isEmpty() ? QByteArray("null") : '"' + iso + '"';  // nothing in it to escape
        };
        QList<QByteArray> values = {QByteArray::number(rows[r].level), jsonString(d.TobitUser),
                                    jsonString(d.UserID), jsonString(d.Pfad), jsonString(d.FullPath)};
        for (const QByteArray& figure : figuresOf(d).text)
            values.append(figure);
        values.append(date(d.Neueste, d.NeuesteStamp));
        values.append(date(d.Aelteste, d.AeltesteStamp));
        if (types)
            values.append(typesJsonValue(types->rows.at(r)));

        out += "  {";
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i > 0)
                out += ", ";
            out += keys[i] + values[i];
        }
        out += r + 1 < rows.size() ? "},\n" : "}\n";
        if (!writer.rowDone())
            return false;
    }
    out += "]\n";
    return writer.flush();
}

QByteArray statCsv(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types)
{
    return collected([&](const StatSink& sink) { return writeStatCsv(rows, format, types, sink); });
}

QByteArray statJson(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types)
{
    return collected([&](const StatSink& sink) { return writeStatJson(rows, format, types, sink); });
}
