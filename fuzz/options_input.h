#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The longest usage reason that is still one line a user reads: fixed words and an excerpt of what was typed.
inline constexpr qsizetype kLongestUsageError = 300;

// Arguments from fuzz bytes: UTF-8 text split at zero bytes, as a program's argv arrives.
inline QStringList arguments(const std::uint8_t* data, std::size_t size)
{
    QStringList list;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& part : bytes.split('\0'))
        list << QString::fromUtf8(part);
    if (!list.isEmpty() && list.last().isEmpty() && bytes.endsWith('\0'))
        list.removeLast();
    return list;
}

}  // namespace fuzz
