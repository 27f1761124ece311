#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

#include <optional>

namespace settings {

// A colour as the program stores it: 0x00BBGGRR (red in the low byte), or a system colour 0xFF000000 + n, or one
// of the special values clNone and clDefault.
using ColorValue = quint32;

inline constexpr ColorValue clNone = 0x1FFFFFFF;
inline constexpr ColorValue clDefault = 0x20000000;
inline constexpr ColorValue SystemColorBase = 0xFF000000;

// The colour text of a preference file: the colour's name where it has one (clWhite, clWindow, ...), otherwise
// "$" and exactly eight upper-case hexadecimal digits.
QString colorToText(ColorValue value);
// Reads every form colorToText writes: a name (any letter case) or a number ("$" and hexadecimal digits, or
// decimal). Nothing for anything else.
std::optional<ColorValue> colorFromText(QStringView text);

// The stored value of an RGB colour (alpha is dropped).
ColorValue colorValue(const QColor& color);
// The colour to paint with: an RGB value as it is, a system colour as the current palette shows its
// counterpart, clNone and clDefault as the palette's base colour.
QColor paintColor(ColorValue value);

}  // namespace settings
