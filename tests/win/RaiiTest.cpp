#include <windows.h>

#include <gtest/gtest.h>

#include "win/Gdi.h"
#include "win/Handle.h"
#include "win/Scale.h"

namespace {

DWORD GdiCount() { return ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS); }

}  // namespace

TEST(Raii, OffscreenBufferReleasesEverythingAndRestoresTheTarget) {
    win::WindowDC screen(nullptr);
    ASSERT_TRUE(screen);
    win::MemoryDC target(screen.get());
    win::Bitmap targetBits(::CreateCompatibleBitmap(screen.get(), 8, 8));
    win::ScopedSelect sel(target.get(), targetBits.get());

    const DWORD before = GdiCount();
    for (int i = 0; i < 50; ++i) {
        win::OffscreenBuffer buf(target.get(), 8, 8);
        ASSERT_TRUE(buf.ok());
        win::Brush red(::CreateSolidBrush(RGB(255, 0, 0)));
        RECT r{0, 0, 8, 8};
        ::FillRect(buf.dc(), &r, red.get());
        buf.Present();
    }
    EXPECT_LE(GdiCount(), before);
    EXPECT_EQ(::GetPixel(target.get(), 3, 3), RGB(255, 0, 0));
}

TEST(Raii, ScopedSelectPutsThePreviousObjectBack) {
    win::WindowDC screen(nullptr);
    win::MemoryDC dc(screen.get());
    HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_FONT);
    {
        win::Font f(static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT)));
        win::ScopedSelect s(dc.get(), f.release());
        EXPECT_NE(::GetCurrentObject(dc.get(), OBJ_FONT), original);
    }
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_FONT), original);
}

TEST(Raii, HandlesCloseAndMoveOwnership) {
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        win::UniqueHandle a(raw);
        win::UniqueHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), raw);
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    win::UniqueHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid);
}

TEST(Scale, TruncatesSinglePrecisionProducts) {
    struct Case { float design, scale; int expected; };
    const Case cases[] = {
        {410, 1.0f, 410}, {410, 1.2f, 492}, {611, 1.2f, 733}, {232, 1.44f, 334}, {132, 1.44f, 190},
        {86, 1.5f, 129}, {9, 1.44f, 12}, {0.5f, 1.0f, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(win::Scaled(c.design, c.scale), c.expected) << c.design << " x " << c.scale;
}

TEST(Scale, FromLogicalDpi) {
    EXPECT_FLOAT_EQ(win::ScaleForDpi(96), 1.0f);
    EXPECT_FLOAT_EQ(win::ScaleForDpi(100), 1.0f);
    EXPECT_FLOAT_EQ(win::ScaleForDpi(120), 1.2f);
    EXPECT_FLOAT_EQ(win::ScaleForDpi(144), 1.44f);
}
