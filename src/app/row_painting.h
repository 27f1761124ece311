#pragma once

#include <QColor>
#include <QRect>

#include <optional>

class QPainter;

// The three switches of "Tabelle formatieren"; all on when no preference says otherwise.
struct DisplayFlags {
    bool ShowGradient = true;
    bool ShowFrame = true;
    bool ShowBars = true;
};

// The background of a row: even places among the siblings take the colour of their level
// (Farbe1 for user rows, Farbe2 below), odd places the table's own background (no value).
std::optional<QColor> rowBackground(int level, int position, const QColor& farbe1, const QColor& farbe2);

// Length in pixels of the size bar in a cell of the given width: Size against MaxSize, 0 when that cannot
// be computed. Halves round to even.
int barLength(long double size, double maxSize, int cellWidth);

// Edges of a drawn rectangle in the cell's coordinates: left/top inclusive, right/bottom exclusive.
struct Edges {
    int left, top, right, bottom;
    bool operator==(const Edges&) const = default;
};

// What a size cell shows under its text, in cell edges (L, T, R, B) with R and B exclusive.
struct SizeBarLayout {
    std::optional<Edges> frame;  // outline #0B5E64, fill #F4F7FB
    std::optional<Edges> bar;    // gradient or plain #8E99FB
    bool gradient = false;
};
SizeBarLayout sizeBarLayout(const Edges& cell, long double size, double maxSize, const DisplayFlags& flags);

// Paints frame and bar of a size cell whose rectangle is cell (a QRect, as the view gives it).
void paintSizeBar(QPainter& painter, const QRect& cell, long double size, double maxSize, const DisplayFlags& flags);

// Fills (L, T, R, B) line by line from start at line T to end at line B inclusive; R is exclusive.
// The painter's pen is left as it was.
void FillGradient(QPainter& painter, const QColor& start, const QColor& end, const Edges& edges);

inline const QColor kFrameOutline {0x0B, 0x5E, 0x64};
inline const QColor kFrameFill {0xF4, 0xF7, 0xFB};
inline const QColor kPlainBar {0x8E, 0x99, 0xFB};
inline const QColor kGradientTop {0xFF, 0xFF, 0xFF};
inline const QColor kGradientBottom {0x46, 0x58, 0xF9};
