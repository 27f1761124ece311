#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

struct TTobData;

// The filter box: a part of the user's name, or an operator (">", "<", "=") and a number of megabytes that
// the archive's total size is compared with.

// What a change of the filter text does to the user rows.
enum class FilterStep {
    ShowAll,  // empty text: every user row visible, the clear button hidden
    Keep,     // an operator alone: the rows keep their visibility
    Apply,    // every user row is tested with FilterMatches
};
FilterStep filterStep(const QString& text);

// Does the row with this record pass the filter text.
bool FilterMatches(const TTobData& record, const QString& text);

// Reads a 32-bit whole number leniently: leading blanks, an optional sign, decimal digits or hexadecimal
// after "$", "x", "X", "0x" or "0X". Stops at the first character that does not belong to the number and
// then keeps the digits read so far without the sign; no digits give 0. Stops before a digit that would
// leave the 32-bit range.
std::int32_t lenientInt(QStringView text);

// Upper-cases a to z only; umlauts and every other character stay as they are.
QString asciiUpper(const QString& text);
