#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "GdiplusEnvironment.h"
#include "SkinTestIds.h"
#include "res/resource.h"
#include "skin/PngResource.h"
#include "win/Gdi.h"

namespace {

// Draws an image onto white and reads one pixel of the result.
Gdiplus::Color PixelDrawn(Gdiplus::Image* image, int x, int y, Gdiplus::Status* status = nullptr) {
    Gdiplus::Bitmap target(64, 64, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&target);
    graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
    const Gdiplus::Status s = graphics.DrawImage(image, Gdiplus::Rect(0, 0, 48, 16), 0, 0, 48, 16, Gdiplus::UnitPixel);
    if (status) *status = s;
    Gdiplus::Color c;
    target.GetPixel(x, y, &c);
    return c;
}

}  // namespace

TEST(LoadPngResource, AnIdThatIsNoPngResourceReturnsFalseAndLeavesTheSlot) {
    const long before = PngDecodeCount();
    for (UINT id : {static_cast<UINT>(IDB_SCROLLBAR), 9999u, 0u}) {
        Gdiplus::Image* slot = nullptr;
        EXPECT_FALSE(LoadPngResource(&slot, id)) << id;
        EXPECT_EQ(slot, nullptr);
    }
    // An owner's slot that already holds something is not touched either.
    auto* const sentinel = reinterpret_cast<Gdiplus::Image*>(static_cast<uintptr_t>(0x1000));
    Gdiplus::Image* slot = sentinel;
    EXPECT_FALSE(LoadPngResource(&slot, IDB_SCROLLBAR));
    EXPECT_EQ(slot, sentinel);
    EXPECT_FALSE(LoadPngResource(nullptr, IDP_CHECKBOX));
    EXPECT_EQ(PngDecodeCount(), before);
}

TEST(LoadPngResource, TwoOwnersOfOneIdGetIndependentImages) {
    const long before = PngDecodeCount();
    Gdiplus::Image* first = nullptr;
    Gdiplus::Image* second = nullptr;
    ASSERT_TRUE(LoadPngResource(&first, IDP_CHECKBOX));
    ASSERT_TRUE(LoadPngResource(&second, IDP_CHECKBOX));
    EXPECT_EQ(PngDecodeCount(), before + 2);
    ASSERT_NE(first, second);
    EXPECT_EQ(first->GetWidth(), 48u);
    EXPECT_EQ(first->GetHeight(), 16u);

    // The checked cell's blue ring, drawn from either copy.
    const Gdiplus::Color ring = PixelDrawn(first, 20, 4);
    EXPECT_EQ(ring.GetBlue(), 226);
    EXPECT_EQ(ring.GetRed(), 37);

    DeletePngImage(&first);
    EXPECT_EQ(first, nullptr);
    Gdiplus::Status status = Gdiplus::GenericError;
    const Gdiplus::Color still = PixelDrawn(second, 20, 4, &status);
    EXPECT_EQ(status, Gdiplus::Ok);
    EXPECT_EQ(still.GetValue(), ring.GetValue());
    EXPECT_EQ(second->GetWidth(), 48u);
    DeletePngImage(&second);
    DeletePngImage(&second);
    EXPECT_EQ(second, nullptr);
}

TEST(LoadPngResource, APresentResourceThatDoesNotDecodeGivesAnImageThatDrawsNothing) {
    Gdiplus::Image* image = nullptr;
    ASSERT_TRUE(LoadPngResource(&image, IDT_BROKEN));
    ASSERT_NE(image, nullptr);
    Gdiplus::Status status = Gdiplus::Ok;
    const Gdiplus::Color c = PixelDrawn(image, 5, 5, &status);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(c.GetValue(), Gdiplus::Color(255, 255, 255, 255).GetValue());
    DeletePngImage(&image);
}

TEST(PngPrefetch, EachListedPictureIsHandedOutOnceAndNeverDecodedTwice) {
    const long decodes = PngDecodeCount();
    const long alive = PngImagesAlive();
    {
        CPngPrefetch prefetch({IDP_CHECKBOX, IDT_SMALL_NORMAL, IDP_CHECKBOX});
        EXPECT_EQ(prefetch.Untaken(), 3u);
        Gdiplus::Image* first = nullptr;
        Gdiplus::Image* small = nullptr;
        Gdiplus::Image* second = nullptr;
        // Asked for at once and out of order: the caller waits for what is on its way.
        ASSERT_TRUE(LoadPngResource(&small, IDT_SMALL_NORMAL));
        ASSERT_TRUE(LoadPngResource(&first, IDP_CHECKBOX));
        EXPECT_EQ(prefetch.Untaken(), 1u);
        ASSERT_TRUE(LoadPngResource(&second, IDP_CHECKBOX));
        EXPECT_EQ(prefetch.Untaken(), 0u);
        EXPECT_EQ(PngDecodeCount(), decodes + 3);
        ASSERT_NE(first, second);
        EXPECT_EQ(first->GetWidth(), 48u);
        EXPECT_EQ(first->GetHeight(), 16u);
        EXPECT_EQ(small->GetWidth(), 20u);

        // The same picture as one decoded on the spot.
        Gdiplus::Image* direct = nullptr;
        ASSERT_TRUE(LoadPngResource(&direct, IDP_CHECKBOX));
        EXPECT_EQ(PngDecodeCount(), decodes + 4);
        EXPECT_EQ(PixelDrawn(first, 20, 4).GetValue(), PixelDrawn(direct, 20, 4).GetValue());
        EXPECT_EQ(PixelDrawn(second, 20, 4).GetValue(), PixelDrawn(direct, 20, 4).GetValue());

        for (Gdiplus::Image** image : {&first, &small, &second, &direct}) DeletePngImage(image);
    }
    EXPECT_EQ(PngImagesAlive(), alive);
}

TEST(PngPrefetch, WhatNobodyAskedForIsDeletedAndAMissingPictureStillFails) {
    const long alive = PngImagesAlive();
    {
        CPngPrefetch prefetch({9999u, IDP_CHECKBOX, IDT_SMALL_NORMAL});
        auto* const sentinel = reinterpret_cast<Gdiplus::Image*>(static_cast<uintptr_t>(0x1000));
        Gdiplus::Image* slot = sentinel;
        EXPECT_FALSE(LoadPngResource(&slot, 9999u));
        EXPECT_EQ(slot, sentinel);
        EXPECT_EQ(prefetch.Untaken(), 2u);
    }
    EXPECT_EQ(PngImagesAlive(), alive);
}

TEST(PngPrefetch, EndingWhileItStillDecodesLeavesNothingBehind) {
    const long alive = PngImagesAlive();
    {
        std::vector<UINT> many(60, IDP_CHECKBOX);
        CPngPrefetch prefetch(many);
        Gdiplus::Image* one = nullptr;
        ASSERT_TRUE(LoadPngResource(&one, IDP_CHECKBOX));
        DeletePngImage(&one);
    }
    EXPECT_EQ(PngImagesAlive(), alive);
    // Afterwards pictures are decoded on the spot again.
    const long decodes = PngDecodeCount();
    Gdiplus::Image* later = nullptr;
    ASSERT_TRUE(LoadPngResource(&later, IDP_CHECKBOX));
    EXPECT_EQ(PngDecodeCount(), decodes + 1);
    DeletePngImage(&later);
    EXPECT_EQ(PngImagesAlive(), alive);
}

TEST(MeasureTextWidth, NullArgumentsEmptyTextAndTheStockFontFallback) {
    win::WindowDC screen(nullptr);
    HWND fontless = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(fontless, nullptr);

    EXPECT_EQ(MeasureTextWidth(static_cast<HWND>(nullptr), screen.get(), L"abc"), -1);
    EXPECT_EQ(MeasureTextWidth(fontless, nullptr, L"abc"), -1);
    EXPECT_EQ(MeasureTextWidth(static_cast<CWnd*>(nullptr), screen.get(), L"abc"), -1);
    EXPECT_EQ(MeasureTextWidth(fontless, screen.get(), L""), 0);

    // Without a font of its own the window measures in the stock GUI font.
    const std::wstring text = L"\x540C\x610F Agree";
    SIZE expected{};
    {
        win::ScopedSelect select(screen.get(), ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextExtentPoint32W(screen.get(), text.c_str(), static_cast<int>(text.size()), &expected);
    }
    EXPECT_GT(expected.cx, 0);
    EXPECT_EQ(MeasureTextWidth(fontless, screen.get(), text), expected.cx);

    // With a font set, that font counts, and the DC's own font is left as it was.
    win::Font big(::CreateFontW(-40, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    ::SendMessageW(fontless, WM_SETFONT, reinterpret_cast<WPARAM>(big.get()), FALSE);
    HGDIOBJ fontBefore = ::GetCurrentObject(screen.get(), OBJ_FONT);
    EXPECT_GT(MeasureTextWidth(fontless, screen.get(), text), expected.cx);
    EXPECT_EQ(::GetCurrentObject(screen.get(), OBJ_FONT), fontBefore);
    ::DestroyWindow(fontless);
}
