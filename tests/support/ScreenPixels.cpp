#include "tests/support/ScreenPixels.h"

#include "win/Gdi.h"

namespace support {

ScreenPixels ScreenPixels::OfScreen(const RECT& r)
{
    win::WindowDC screen(nullptr);
    return ScreenPixels(screen.get(), POINT{r.left, r.top}, r.right - r.left, r.bottom - r.top);
}

ScreenPixels ScreenPixels::OfWindowDC(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    win::WindowDC own(window);
    return ScreenPixels(own.get(), POINT{0, 0}, r.right - r.left, r.bottom - r.top);
}

ScreenPixels::ScreenPixels(HDC source, POINT origin, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    win::MemoryDC mem(source);
    void* bits = nullptr;
    win::Bitmap dib = win::CreateTopDownDib(source, width, height, &bits);
    if (!dib || !bits)
        return;
    win::ScopedSelect select(mem.get(), dib.get());
    ::BitBlt(mem.get(), 0, 0, width, height, source, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    m_colours.reserve(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
        m_colours.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
    m_width = width;
    m_height = height;
}

COLORREF ScreenPixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return CLR_INVALID;
    return m_colours[static_cast<size_t>(y) * m_width + x];
}

}  // namespace support
