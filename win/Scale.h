#pragma once
#include <windows.h>

namespace win {

// Design pixels times the scale, truncated toward zero, in single precision as
// every layout of the program computes them.
inline int Scaled(float designPx, float scale) { return static_cast<int>(designPx * scale); }

// The scale of a screen: its vertical logical DPI over 100 when above 100, else 1.
inline float ScaleForDpi(int logPixelsY) {
    return logPixelsY > 100 ? static_cast<float>(logPixelsY / 100.0) : 1.0f;
}

float ScreenScale();

}  // namespace win
