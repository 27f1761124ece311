#pragma once

namespace ui {

// The windows were laid out for Tahoma and MS Sans Serif. Where those are missing, faces of nearly the same
// width take their place (Liberation Sans, then a condensed DejaVu), so captions stay inside their controls.
// Process-wide and safe to call more than once.
void installFontSubstitutes();

}  // namespace ui
