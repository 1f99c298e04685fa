// Twips, pixels and font sizes at the screen's real resolution, which the
// process sees once it says it is DPI-aware. A twip is 1/1440 inch.
#pragma once

#include <windows.h>

#include <cmath>

#include "platform/WindowServices.h"
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

// Looked up at run time: the call is missing from some SDKs' import libraries
// and from very old systems.
inline void EnableDpiAwareness() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    using SetAwareFn = BOOL(WINAPI *)();
    auto setAware = reinterpret_cast<SetAwareFn>(
        reinterpret_cast<void *>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (setAware != nullptr) {
        setAware();
    }
}

inline UniqueFont MakeFont(const FontSpec &wanted, int dpi) {
    LOGFONTW font{};
    font.lfHeight = PointsToFontHeight(wanted.points, dpi);
    font.lfWeight = wanted.weight;
    font.lfCharSet = static_cast<BYTE>(wanted.charset);
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(font.lfFaceName, wanted.face.c_str(), LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

} // namespace dravik::win32ui
