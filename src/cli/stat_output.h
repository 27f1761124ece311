#pragma once

#include "cli/stat_listing.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class DateTextFormat;
struct StatTypes;

// The columns of the companion's output, in their order.
const QStringList& statColumns();

// Shortest decimal text that reads back as exactly the same value, without an exponent, "." as the
// decimal separator. The long double form keeps the 80-bit value the record holds.
QByteArray numberText(long double value);
QByteArray numberText(double value);

// A date text of the record (as the scanner writes it in `format`) as ISO 8601 local time,
// 2016-03-05T14:22:10; empty when the text is empty or does not read as a date.
QString isoDateTime(const QString& recordText, const DateTextFormat& format);

// One CSV field after RFC 4180: quoted when it holds a comma, a quote, CR or LF, quotes doubled.
QByteArray csvField(const QString& text);
// One JSON string with its quotes; control characters escaped, the rest as UTF-8.
QByteArray jsonString(const QString& text);

// The whole output: a header line and one line per row, CRLF line ends (CSV); or one array with one
// object per row, keys in column order (JSON). Dates are read with `format`. With `types`, every row
// ends in the field "types" (after "oldest").
QByteArray statCsv(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types = nullptr);
QByteArray statJson(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types = nullptr);

// The same text handed to `sink` piece by piece, in order, so that it never lies in memory whole. Stops at
// the first piece the sink refuses (returns false) and returns false then.
using StatSink = std::function<bool(const QByteArray&)>;
bool writeStatCsv(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types,
                  const StatSink& sink);
bool writeStatJson(const std::vector<StatRow>& rows, const DateTextFormat& format, const StatTypes* types,
                   const StatSink& sink);
