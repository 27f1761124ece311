#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <array>
#include <optional>

namespace ui {

// The small pictures of the table rows, the context menu and the filter box, all drawn by the program.
enum class IconId {
    Person,
    OpenFolder,
    FilingCabinet,
    XSubscript2,  // the letter x with a small 2 beside it: "measure again"
    FloppyDisk,
    PageWithArrow,
    Window,
    Printer,
    Brush,
    Gear,
    RedCross,
};

inline constexpr std::array<IconId, 11> allIconIds{
    IconId::Person,   IconId::OpenFolder, IconId::FilingCabinet, IconId::XSubscript2,
    IconId::FloppyDisk, IconId::PageWithArrow, IconId::Window, IconId::Printer,
    IconId::Brush,    IconId::Gear,       IconId::RedCross,
};

// A 16 x 16 picture with transparency. Works without a GUI application object.
QImage iconImage(IconId id);
// The same picture as a pixmap or icon (needs a QGuiApplication).
QPixmap iconPixmap(IconId id);
QIcon icon(IconId id);

// The window's image list: the pictures under the index numbers the table and the menu use. Indexes that hold
// no picture give a null pixmap and icon.
class ImageList1 {
public:
    static constexpr int Width = 16;
    static constexpr int Height = 16;

    static constexpr int FilingCabinet = 6;
    static constexpr int Person = 7;
    static constexpr int PageWithArrow = 9;
    static constexpr int OpenFolder = 14;
    static constexpr int Window = 15;
    static constexpr int XSubscript2 = 16;
    static constexpr int Brush = 17;
    static constexpr int Printer = 18;
    static constexpr int Gear = 20;
    static constexpr int FloppyDisk = 21;
    static constexpr int RedCross = 22;

    static constexpr int Count = 23;

    static std::optional<IconId> idAt(int index);
    static int indexOf(IconId id);

    static QImage image(int index);
    static QPixmap pixmap(int index);
    static QIcon icon(int index);
};

}  // namespace ui
