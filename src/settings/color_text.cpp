#include "settings/color_text.h"

#include "settings/preference_file.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace settings {

namespace {

struct NamedColor {
    const char* name;
    ColorValue value;
};

constexpr ColorValue sys(int n) { return SystemColorBase + ColorValue(n); }

constexpr std::array<NamedColor, 52> namedColors{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", sys(0)},
    {"clBackground", sys(1)},
    {"clActiveCaption", sys(2)},
    {"clInactiveCaption", sys(3)},
    {"clMenu", sys(4)},
    {"clWindow", sys(5)},
    {"clWindowFrame", sys(6)},
    {"clMenuText", sys(7)},
    {"clWindowText", sys(8)},
    {"clCaptionText", sys(9)},
    {"clActiveBorder", sys(10)},
    {"clInactiveBorder", sys(11)},
    {"clAppWorkSpace", sys(12)},
    {"clHighlight", sys(13)},
    {"clHighlightText", sys(14)},
    {"clBtnFace", sys(15)},
    {"clBtnShadow", sys(16)},
    {"clGrayText", sys(17)},
    {"clBtnText", sys(18)},
    {"clInactiveCaptionText", sys(19)},
    {"clBtnHighlight", sys(20)},
    {"cl3DDkShadow", sys(21)},
    {"cl3DLight", sys(22)},
    {"clInfoText", sys(23)},
    {"clInfoBk", sys(24)},
    {"clHotLight", sys(26)},
    {"clGradientActiveCaption", sys(27)},
    {"clGradientInactiveCaption", sys(28)},
    {"clMenuHighlight", sys(29)},
    {"clMenuBar", sys(30)},
    {"clNone", clNone},
    {"clDefault", clDefault},
}};

// The palette colour standing in for system colour n; nothing for numbers without a system colour.
std::optional<QColor> systemColor(int n)
{
    const QPalette palette = qGuiApp ? QGuiApplication::palette() : QPalette();
    using P = QPalette;
    switch (n) {
    case 0: case 10: case 11: case 15: return palette.color(P::Button);
    case 1: return palette.color(P::Dark);
    case 2: case 13: case 27: case 29: return palette.color(P::Highlight);
    case 3: case 12: case 16: case 28: return palette.color(P::Mid);
    case 4: case 30: return palette.color(P::Window);
    case 5: return palette.color(P::Base);
    case 6: case 21: return palette.color(P::Shadow);
    case 7: return palette.color(P::WindowText);
    case 8: case 19: return palette.color(P::Text);
    case 9: case 14: return palette.color(P::HighlightedText);
    case 17: return palette.color(P::Disabled, P::Text);
    case 18: return palette.color(P::ButtonText);
    case 20: return palette.color(P::Light);
    case 22: return palette.color(P::Midlight);
    case 23: return palette.color(P::ToolTipText);
    case 24: return palette.color(P::ToolTipBase);
    case 26: return palette.color(P::Link);
    default: return std::nullopt;
    }
}

}  // namespace

QString colorToText(ColorValue value)
{
    for (const NamedColor& named : namedColors)
        if (named.value == value)
            return QString::fromLatin1(named.name);
    return QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<ColorValue> colorFromText(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    for (const NamedColor& named : namedColors)
        if (trimmed.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return named.value;
    if (const std::optional<qint64> number = parseWholeNumber(trimmed))
        return ColorValue(quint64(*number) & 0xFFFFFFFFu);
    return std::nullopt;
}

ColorValue colorValue(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return ColorValue(rgb.red()) | ColorValue(rgb.green()) << 8 | ColorValue(rgb.blue()) << 16;
}

QColor paintColor(ColorValue value)
{
    const auto fromLowBytes = [](ColorValue v) { return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF)); };
    if ((value & 0xFF000000u) == 0)
        return fromLowBytes(value);
    if (value == clNone || value == clDefault)
        return (qGuiApp ? QGuiApplication::palette() : QPalette()).color(QPalette::Base);
    if ((value & 0xFF000000u) == SystemColorBase && (value & 0x00FFFFFFu) <= 0xFF) {
        if (const std::optional<QColor> system = systemColor(int(value & 0xFF)))
            return *system;
    }
    // Other high bytes carry no meaning here; the colour is taken from the low three bytes.
    return fromLowBytes(value);
}

}  // namespace settings
