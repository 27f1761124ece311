#pragma once

#include <QString>

namespace platform {

// What a reason quotes of a text it cites: the first `limit` characters, with "…" where the text was cut. A
// reason goes into a message box, and a line of many megabytes there freezes the box.
inline constexpr qsizetype kExcerptLimit = 80;
QString excerpt(const QString& text, qsizetype limit = kExcerptLimit);

// The system's own words for an errno value, for a reason's text.
QString systemErrorText(int error);

}  // namespace platform
