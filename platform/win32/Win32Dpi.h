// Twips and pixels at the screen's real resolution. A twip is 1/1440 inch.
#pragma once

#include <windows.h>

#include <cmath>

#include "platform/win32/Win32Handles.h"

namespace dravik::win32ui {

constexpr double kTwipsPerInch = 1440.0;

// Logical pixels per inch of the screen (96 unless the display is scaled and
// the process is DPI-aware).
inline int ScreenDpi() {
    UniqueScreenDc screen(GetDC(nullptr));
    int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

inline int TwipsToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

inline double PixelsToTwips(int pixels, int dpi) {
    return pixels * kTwipsPerInch / dpi;
}

// Font height in logical units for a size in points (negative: character height).
inline int PointsToFontHeight(double points, int dpi) {
    return -static_cast<int>(std::lround(points * dpi / 72.0));
}

} // namespace dravik::win32ui
