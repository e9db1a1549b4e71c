#pragma once
#include <windows.h>

#include <vector>

namespace support {

// The colours of a rectangle read in one BitBlt, row by row: from the screen, or from
// a window's own DC (what it has drawn, before it reaches the screen).
class ScreenPixels {
public:
    static ScreenPixels OfScreen(const RECT& r);
    static ScreenPixels OfWindowDC(HWND window);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // CLR_INVALID outside the rectangle or when nothing could be read.
    COLORREF At(int x, int y) const;
    const std::vector<COLORREF>& Colours() const { return m_colours; }

private:
    ScreenPixels(HDC source, POINT origin, int width, int height);

    int m_width = 0, m_height = 0;
    std::vector<COLORREF> m_colours;
};

}  // namespace support
