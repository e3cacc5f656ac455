// The window's fonts. Each asks for the family the window was designed with
// first and falls back on families that Linux desktops have; the last
// fallback is always a Traditional Chinese face (Debian: fonts-noto-cjk), so
// that the window's Chinese texts are drawn with Traditional glyph shapes
// whatever font draws their Latin letters.
#pragma once

#include <QFont>

namespace ortholay {

// The window's default font: "MS Sans Serif", else the system's sans.
QFont SansSerifFont(int pixelSize);

// "細明體" (MingLiU), else Noto Serif CJK TC, a Ming face like it.
QFont MingFont(int pixelSize);

// "新細明體" (PMingLiU), with the same fallbacks as MingFont.
QFont PMingFont(int pixelSize);

// "Arial", else the metric-compatible Liberation Sans, else the system's sans.
QFont ArialFont(int pixelSize);

}  // namespace ortholay
