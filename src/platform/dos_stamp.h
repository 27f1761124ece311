#pragma once

#include <cstdint>

class QDateTime;

namespace platform {

// A packed DOS date-time in local time: bits 25-31 year - 1980, 21-24 month, 16-20 day, 11-15 hour,
// 5-10 minute, 0-4 seconds / 2. Kept unsigned so that stamps from 2044 on (bit 31 set) still compare in
// time order.
using DosStamp = std::uint32_t;

// The stamp of a last-write time given in seconds since the epoch, in local time; 0 for a time outside
// 1980..2107, which no stamp can hold.
DosStamp dosStampFromTime(std::int64_t secondsSinceEpoch);

// The stamp of the given fields, or 0 when they lie outside what a stamp can hold (seconds are halved).
DosStamp packDosStamp(int year, int month, int day, int hour, int minute, int second);

// True when the stamp's fields form a real date and time (0 is not valid: month 0).
bool isValidDosStamp(DosStamp stamp);

// The stamp as a local date-time; invalid for an invalid stamp.
QDateTime dosStampToDateTime(DosStamp stamp);

}  // namespace platform
