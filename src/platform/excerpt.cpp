#include "platform/excerpt.h"

#include <cstring>

namespace platform {

QString excerpt(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype cut = limit;
    // Never half of a character outside the Basic Multilingual Plane.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace platform
