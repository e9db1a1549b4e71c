#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "GdiplusEnvironment.h"
#include "SkinTestIds.h"
#include "TargetCalls.h"
#include "skin/Drawing.h"
#include "skin/PngResource.h"

using skin::ButtonEvent;
using skin::ButtonImage;

// RECT lives in the global namespace, so its comparison must too.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& os, const RECT& r) {
    return os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

TEST(ButtonStateMachine, TransitionsForEveryStateEventAndEnabledFlag) {
    struct Case {
        int state;
        ButtonEvent event;
        bool enabled;
        bool inside;
        int expected;
    };
    const Case cases[] = {
        {1, ButtonEvent::Hover, true, true, 2},
        {3, ButtonEvent::Hover, true, true, 2},
        {2, ButtonEvent::Hover, true, true, 2},
        {1, ButtonEvent::Hover, true, false, 1},
        {1, ButtonEvent::LButtonDown, true, true, 3},
        {2, ButtonEvent::LButtonDown, true, true, 3},
        {3, ButtonEvent::LButtonDown, true, true, 3},
        {2, ButtonEvent::LButtonDown, true, false, 2},
        // Releasing over the button shows hover, not normal.
        {3, ButtonEvent::LButtonUp, true, true, 2},
        {1, ButtonEvent::LButtonUp, true, true, 2},
        // Released after the pointer left: stays normal.
        {1, ButtonEvent::LButtonUp, true, false, 1},
        {3, ButtonEvent::LButtonUp, true, false, 3},
        // Leaving returns to normal even while held.
        {3, ButtonEvent::Leave, true, false, 1},
        {2, ButtonEvent::Leave, true, false, 1},
        {1, ButtonEvent::Leave, true, true, 1},
        // A disabled button keeps whatever state it had.
        {1, ButtonEvent::Hover, false, true, 1},
        {2, ButtonEvent::LButtonDown, false, true, 2},
        {3, ButtonEvent::LButtonUp, false, true, 3},
        {2, ButtonEvent::Leave, false, false, 2},
        {3, ButtonEvent::Leave, false, false, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(skin::NextButtonState(c.state, c.event, c.enabled, c.inside), c.expected)
            << "state " << c.state << " event " << static_cast<int>(c.event) << " enabled " << c.enabled
            << " inside " << c.inside;
    }
}

TEST(ButtonStateMachine, PictureFollowsStateUnlessDisabled) {
    struct Case {
        int state;
        bool enabled;
        ButtonImage expected;
    };
    const Case cases[] = {
        {1, true, ButtonImage::Normal},   {2, true, ButtonImage::Hover},     {3, true, ButtonImage::Pressed},
        {1, false, ButtonImage::Disabled}, {2, false, ButtonImage::Disabled}, {3, false, ButtonImage::Disabled},
        {0, true, ButtonImage::Normal},   {7, true, ButtonImage::Normal},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(skin::ChooseButtonImage(c.state, c.enabled), c.expected) << c.state << " " << c.enabled;
    }
}

TEST(ButtonGeometry, HitRectMovesEachEdgeInByItsMargin) {
    struct Case {
        RECT client;
        int l, t, r, b;
        RECT expected;
    };
    const Case cases[] = {
        {{0, 0, 266, 60}, 0, 0, 0, 0, {0, 0, 266, 60}},
        {{0, 0, 266, 60}, 9, 9, 9, 9, {9, 9, 257, 51}},
        {{0, 0, 399, 90}, 13, 13, 13, 13, {13, 13, 386, 77}},
        {{0, 0, 100, 40}, 1, 2, 3, 4, {1, 2, 97, 36}},
        // Margins wider than the button leave nothing clickable.
        {{0, 0, 10, 10}, 9, 9, 9, 9, {9, 9, 1, 1}},
    };
    for (const Case& c : cases) {
        const RECT hit = skin::HitRect(c.client, c.l, c.t, c.r, c.b);
        EXPECT_EQ(hit, c.expected);
    }
    // A point 5 pixels inside the edge of a 9-pixel rim is outside; the face is inside.
    const RECT hit = skin::HitRect({0, 0, 266, 60}, 9, 9, 9, 9);
    EXPECT_FALSE(::PtInRect(&hit, POINT{5, 30}));
    EXPECT_FALSE(::PtInRect(&hit, POINT{260, 30}));
    EXPECT_TRUE(::PtInRect(&hit, POINT{9, 9}));
    EXPECT_FALSE(::PtInRect(&hit, POINT{257, 30}));
}

TEST(ButtonGeometry, FocusCueLiesInsideAndNeverTurnsInsideOut) {
    struct Case {
        RECT r;
        int inset;
        RECT expected;
    };
    const Case cases[] = {
        {{0, 0, 246, 47}, 3, {3, 3, 243, 44}},
        {{9, 9, 257, 51}, 3, {12, 12, 254, 48}},  // inside a feedback answer's clickable face
        {{0, 0, 12, 12}, 2, {2, 2, 10, 10}},
        // Too small for the inset: as far in as leaves a pixel inside.
        {{0, 0, 4, 3}, 2, {1, 1, 3, 2}},
        {{0, 0, 1, 1}, 2, {0, 0, 1, 1}},
        // Nothing to put it in (margins wider than the button).
        {{9, 9, 1, 1}, 3, {0, 0, 0, 0}},
        {{5, 5, 5, 9}, 1, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(skin::FocusCueRect(c.r, c.inset), c.expected) << c.r << " inset " << c.inset;
}

TEST(ButtonGeometry, SmallButtonSourceIsOnePixelSmallerOnlyWhenScaledUp) {
    struct Case {
        UINT w, h;
        float scale;
        RECT expected;
    };
    const Case cases[] = {
        {26, 34, 1.0f, {0, 0, 26, 34}},  {26, 34, 1.5f, {0, 0, 25, 33}}, {26, 34, 1.2f, {0, 0, 25, 33}},
        {12, 12, 1.44f, {0, 0, 11, 11}}, {12, 12, 0.9f, {0, 0, 12, 12}}, {55, 24, 1.0f, {0, 0, 55, 24}},
        {1, 1, 2.0f, {0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(skin::PngButtonSource(c.w, c.h, c.scale), c.expected) << c.w << "x" << c.h << " at " << c.scale;
    }
}

TEST(TextFormats, StatusLineFlagsPerMode) {
    const std::map<int, UINT> expected = {
        {-1, 0x24}, {0, 0x24}, {1, 0x24}, {2, 0x25}, {3, 0x26}, {4, 0x14}, {5, 0x15}, {6, 0x16}, {7, 0x24}, {100, 0x24},
    };
    for (const auto& [mode, flags] : expected) {
        EXPECT_EQ(skin::StateInfoTextFormat(mode), flags) << "mode " << mode;
    }
}

TEST(TextFormats, DrawnTextFlagsPerModeAndNoTextFromFiveOn) {
    const std::map<int, std::optional<UINT>> expected = {
        {0, 0x14u}, {1, 0x24u}, {2, 0x25u}, {3, 0x16u}, {4, 0x24u},
        {5, std::nullopt}, {6, std::nullopt}, {7, std::nullopt}, {-1, std::nullopt},
    };
    for (const auto& [mode, flags] : expected) {
        EXPECT_EQ(skin::DrawTextFormat(mode), flags) << "mode " << mode;
    }
    EXPECT_EQ(0x14u, static_cast<UINT>(DT_VCENTER | DT_WORDBREAK));
    EXPECT_EQ(0x25u, static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    EXPECT_EQ(0x16u, static_cast<UINT>(DT_RIGHT | DT_VCENTER | DT_WORDBREAK));
}

TEST(StatusDots, CycleOnceThroughOneToThreeAndBackToNone) {
    const wchar_t* const suffixes[] = {L"", L".", L"..", L"...", L"", L"."};
    int dots = 0;
    for (const wchar_t* suffix : suffixes) {
        EXPECT_EQ(skin::DotSuffix(dots), suffix);
        dots = skin::NextDotCount(dots);
    }
    EXPECT_EQ(skin::NextDotCount(7), 0);
    EXPECT_EQ(skin::DotSuffix(-1), L"");
    EXPECT_EQ(skin::DotSuffix(4), L"");
}

TEST(CheckBoxGeometry, CellAndCaptionFollowTheScale) {
    struct Case {
        RECT client;
        float scale;
        RECT cell;
        LONG textLeft;
    };
    const Case cases[] = {
        {{0, 0, 100, 20}, 1.0f, {0, 2, 16, 18}, 18},
        {{0, 0, 150, 30}, 1.5f, {0, 3, 24, 27}, 26},
        {{0, 0, 150, 31}, 1.5f, {0, 3, 24, 27}, 26},
        {{0, 0, 120, 25}, 1.25f, {0, 2, 20, 22}, 22},
        {{0, 0, 200, 40}, 1.44f, {0, 9, 23, 32}, 25},
    };
    for (const Case& c : cases) {
        const skin::CheckBoxLayout layout = skin::LayoutCheckBox(c.client, c.scale);
        EXPECT_EQ(layout.cell, c.cell) << "scale " << c.scale;
        EXPECT_EQ(layout.text.left, c.textLeft);
        EXPECT_EQ(layout.text.right, c.client.right);
        EXPECT_EQ(layout.text.top, c.client.top);
        EXPECT_EQ(layout.text.bottom, c.client.bottom);
    }
    EXPECT_EQ(skin::CheckCellSource(BST_CHECKED), (RECT{16, 0, 32, 16}));
    EXPECT_EQ(skin::CheckCellSource(BST_UNCHECKED), (RECT{0, 0, 16, 16}));
    EXPECT_EQ(skin::CheckCellSource(BST_INDETERMINATE), (RECT{0, 0, 16, 16}));
}

TEST(SkinCanvas, TouchesTheTargetOnlyWithOneCopyOfTheFinishedBuffer) {
    Gdiplus::Image* image = nullptr;
    ASSERT_TRUE(LoadPngResource(&image, IDT_SMALL_NORMAL));
    win::Brush white(::CreateSolidBrush(RGB(255, 255, 255)));
    win::Font font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    const RECT client{0, 0, 60, 30};

    std::map<DWORD, int> presented = RecordTargetCalls([&](HDC target) {
        skin::SkinCanvas canvas(target, client, white.get());
        ASSERT_TRUE(canvas.ok());
        EXPECT_TRUE(skin::DrawWholeImage(canvas.Graphics(), image, client));
        canvas.Text(font.get(), RGB(0, 0, 0), L"Mm", client, DT_VCENTER | DT_SINGLELINE);
        EXPECT_TRUE(skin::DrawImageRect(canvas.Graphics(false), image, {0, 0, 10, 10}, {0, 0, 5, 5}));
        canvas.Present();
    });
    EXPECT_EQ(presented, (std::map<DWORD, int>{{EMR_BITBLT, 1}}));

    // Without Present nothing reaches the target at all.
    std::map<DWORD, int> abandoned = RecordTargetCalls([&](HDC target) {
        skin::SkinCanvas canvas(target, client, white.get());
        skin::DrawWholeImage(canvas.Graphics(), image, client);
    });
    EXPECT_TRUE(abandoned.empty());
    DeletePngImage(&image);
}

TEST(SkinCanvas, ComposesFillImageAndTextInOrder) {
    Gdiplus::Image* image = nullptr;
    ASSERT_TRUE(LoadPngResource(&image, IDT_IMAGE_NORMAL));
    win::WindowDC screen(nullptr);
    win::Brush white(::CreateSolidBrush(RGB(255, 255, 255)));
    const RECT client{0, 0, 80, 40};
    win::MemoryDC target(screen.get());
    win::Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), 80, 40));
    win::ScopedSelect select(target.get(), bitmap.get());
    win::Font font(::CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    {
        skin::SkinCanvas canvas(target.get(), client, white.get());
        skin::DrawWholeImage(canvas.Graphics(), image, client);
        canvas.Text(font.get(), RGB(0, 0, 0), L"MM", {40, 0, 80, 40}, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        canvas.Present();
    }
    // The transparent rim shows the white fill, the face the picture's red.
    EXPECT_EQ(::GetPixel(target.get(), 2, 2), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(target.get(), 20, 20), RGB(255, 0, 0));
    // The text lies over the picture, without a box of its own around the glyphs.
    int black = 0, red = 0;
    for (int y = 12; y < 28; ++y) {
        for (int x = 42; x < 68; ++x) {
            const COLORREF c = ::GetPixel(target.get(), x, y);
            black += c == RGB(0, 0, 0);
            red += c == RGB(255, 0, 0);
        }
    }
    EXPECT_GT(black, 10);
    EXPECT_GT(red, 10);
    DeletePngImage(&image);
}

TEST(Drawing, NullImagesDrawNothing) {
    win::WindowDC screen(nullptr);
    win::MemoryDC dc(screen.get());
    Gdiplus::Graphics graphics(dc.get());
    EXPECT_FALSE(skin::DrawImageRect(graphics, nullptr, {0, 0, 10, 10}, {0, 0, 10, 10}));
    EXPECT_FALSE(skin::DrawWholeImage(graphics, nullptr, {0, 0, 10, 10}));
}
