#include <windows.h>

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>
#include <vector>

#include "GdiplusEnvironment.h"
#include "SkinTestIds.h"
#include "res/resource.h"
#include "skin/PngDecode.h"
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

// The bitmap's pixels as straight-alpha BGRA rows, top row first.
bool PixelsOf(Gdiplus::Bitmap* bitmap, int* width, int* height, std::vector<BYTE>* bgra) {
    *width = static_cast<int>(bitmap->GetWidth());
    *height = static_cast<int>(bitmap->GetHeight());
    bgra->assign(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 4, 0);
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(*width);
    data.Height = static_cast<UINT>(*height);
    data.Stride = *width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = bgra->data();
    Gdiplus::Rect all(0, 0, *width, *height);
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppARGB,
                         &data) != Gdiplus::Ok) {
        return false;
    }
    return bitmap->UnlockBits(&data) == Gdiplus::Ok;
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
    const long alive = PngImagesAlive();
    Gdiplus::Image* image = nullptr;
    ASSERT_TRUE(LoadPngResource(&image, IDT_BROKEN));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(PngImagesAlive(), alive + 1);
    Gdiplus::Status status = Gdiplus::Ok;
    const Gdiplus::Color c = PixelDrawn(image, 5, 5, &status);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(c.GetValue(), Gdiplus::Color(255, 255, 255, 255).GetValue());
    DeletePngImage(&image);
    EXPECT_EQ(PngImagesAlive(), alive);
}

namespace {

BOOL CALLBACK CollectPngId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<UINT>*>(param)->push_back(LOWORD(name));
    return TRUE;
}

std::vector<UINT> AllPngIds() {
    std::vector<UINT> ids;
    ::EnumResourceNamesW(nullptr, L"PNG", &CollectPngId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

std::string ResourceBytes(UINT id) {
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    HGLOBAL loaded = res ? ::LoadResource(nullptr, res) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, ::SizeofResource(nullptr, res)) : std::string();
}

// GDI+'s own decoding of the same bytes, as straight-alpha BGRA rows.
bool DecodedByGdiplus(const std::string& png, int* width, int* height, std::vector<BYTE>* bgra, bool* alpha) {
    IStream* stream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(png.data()), static_cast<UINT>(png.size()));
    if (!stream) return false;
    Gdiplus::Bitmap bitmap(stream, FALSE);
    stream->Release();
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
    *alpha = Gdiplus::IsAlphaPixelFormat(bitmap.GetPixelFormat()) != FALSE;
    return PixelsOf(&bitmap, width, height, bgra);
}

}  // namespace

// Every picture of the program and of these tests comes out exactly as GDI+'s own
// decoder makes it: same size, same colour and alpha in every pixel, and an opaque
// format for a picture without alpha.
TEST(LoadPngResource, EveryPictureMatchesTheSystemDecoderPixelForPixel) {
    const std::vector<UINT> ids = AllPngIds();
    ASSERT_GT(ids.size(), 60u);
    const long alive = PngImagesAlive();
    int compared = 0;
    for (UINT id : ids) {
        int w = 0, h = 0;
        std::vector<BYTE> expected;
        bool alpha = false;
        if (!DecodedByGdiplus(ResourceBytes(id), &w, &h, &expected, &alpha)) continue;
        Gdiplus::Image* image = nullptr;
        ASSERT_TRUE(LoadPngResource(&image, id)) << id;
        EXPECT_EQ(PngImagesAlive(), alive + 1) << id;
        int gotW = 0, gotH = 0;
        std::vector<BYTE> got;
        ASSERT_TRUE(PixelsOf(static_cast<Gdiplus::Bitmap*>(image), &gotW, &gotH, &got)) << id;
        EXPECT_EQ(gotW, w) << id;
        EXPECT_EQ(gotH, h) << id;
        EXPECT_TRUE(got == expected) << "picture " << id << " differs from the system decoder's";
        EXPECT_EQ(Gdiplus::IsAlphaPixelFormat(image->GetPixelFormat()) != FALSE, alpha) << id;
        DeletePngImage(&image);
        ++compared;
    }
    // All but the deliberately broken one.
    EXPECT_EQ(compared, static_cast<int>(ids.size()) - 1);
    EXPECT_EQ(PngImagesAlive(), alive);
}

TEST(DecodePng, TruncatedOrForeignBytesAreRefused) {
    const std::string png = ResourceBytes(IDP_CHECKBOX);
    ASSERT_GT(png.size(), 100u);
    DecodedPng out;
    ASSERT_TRUE(DecodePng(png.data(), png.size(), &out));
    EXPECT_EQ(out.width, 48);
    EXPECT_EQ(out.height, 16);
    EXPECT_EQ(out.bgra.size(), 48u * 16u * 4u);

    for (size_t cut : {size_t{8}, size_t{33}, png.size() / 2, png.size() - 13}) {
        DecodedPng part;
        EXPECT_FALSE(DecodePng(png.data(), cut, &part)) << "cut at " << cut;
    }
    const std::string bmp = "BM" + std::string(60, '\0');
    EXPECT_FALSE(DecodePng(bmp.data(), bmp.size(), &out));
    EXPECT_FALSE(DecodePng(nullptr, 10, &out));
    EXPECT_FALSE(DecodePng(png.data(), 0, &out));
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
