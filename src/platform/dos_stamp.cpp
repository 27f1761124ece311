#include "platform/dos_stamp.h"

#include <QDateTime>

#include <ctime>

namespace platform {

DosStamp packDosStamp(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1980 || year > 2107)
        return 0;
    return (DosStamp(year - 1980) << 25) | (DosStamp(month) << 21) | (DosStamp(day) << 16) |
           (DosStamp(hour) << 11) | (DosStamp(minute) << 5) | DosStamp(second / 2);
}

DosStamp dosStampFromTime(std::int64_t secondsSinceEpoch)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local {};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0)
        return 0;
#else
    if (!localtime_r(&t, &local))
        return 0;
#endif
    return packDosStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec > 59 ? 59 : local.tm_sec);
}

bool isValidDosStamp(DosStamp stamp)
{
    const int year = 1980 + int(stamp >> 25);
    const int month = int((stamp >> 21) & 0xF);
    const int day = int((stamp >> 16) & 0x1F);
    const int hour = int((stamp >> 11) & 0x1F);
    const int minute = int((stamp >> 5) & 0x3F);
    const int second = int(stamp & 0x1F) * 2;
    return QDate::isValid(year, month, day) && QTime::isValid(hour, minute, second);
}

QDateTime dosStampToDateTime(DosStamp stamp)
{
    if (!isValidDosStamp(stamp))
        return {};
    const QDate date(1980 + int(stamp >> 25), int((stamp >> 21) & 0xF), int((stamp >> 16) & 0x1F));
    const QTime time(int((stamp >> 11) & 0x1F), int((stamp >> 5) & 0x3F), int(stamp & 0x1F) * 2);
    return QDateTime(date, time);
}

}  // namespace platform
