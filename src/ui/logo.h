#pragma once

#include <QImage>
#include <QSize>

namespace ui {

// The Arvelo logo shown at the right end of every header band, drawn in code (62 x 60 pixels).
QSize logoSize();
QImage logoImage();

}  // namespace ui
