#include "skin/PngResource.h"

#include <objidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "skin/Drawing.h"
#include "skin/PngDecode.h"
#include "win/Gdi.h"
#include "win/Wnd.h"

namespace {

std::atomic<long> g_decodes{0};

// The images decoded here and not yet deleted.
std::mutex g_imagesLock;
std::unordered_set<Gdiplus::Image*>& Images() {
    static std::unordered_set<Gdiplus::Image*> images;
    return images;
}

// The pixels as a GDI+ bitmap of its own; null when they cannot be copied. A picture
// without alpha gets the opaque format GDI+ would give it, which also draws faster.
Gdiplus::Image* BitmapOf(DecodedPng& png) {
    const Gdiplus::PixelFormat format = png.opaque ? PixelFormat24bppRGB : PixelFormat32bppARGB;
    auto image = std::make_unique<Gdiplus::Bitmap>(png.width, png.height, format);
    if (image->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(png.width);
    data.Height = static_cast<UINT>(png.height);
    data.Stride = png.width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = png.bgra.data();
    Gdiplus::Rect all(0, 0, png.width, png.height);
    if (image->LockBits(&all, Gdiplus::ImageLockModeWrite | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppARGB,
                        &data) != Gdiplus::Ok) {
        return nullptr;
    }
    if (image->UnlockBits(&data) != Gdiplus::Ok) return nullptr;
    return image.release();
}

// What GDI+ itself makes of the bytes. For a resource that is no valid PNG this is an
// image whose every draw fails and draws nothing, which owners rely on.
Gdiplus::Image* ImageFromStream(const void* bytes, DWORD size) {
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (!block) return nullptr;
    memcpy(block, bytes, size);
    IStream* stream = nullptr;
    // The stream owns the block; GDI+ keeps its own reference for as long as it reads.
    if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
        ::GlobalFree(block);
        return nullptr;
    }
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream, FALSE);
    stream->Release();
    return image;
}

Gdiplus::Image* DecodePngResource(UINT id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res) return nullptr;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return nullptr;

    DecodedPng png;
    Gdiplus::Image* image = DecodePng(bytes, size, &png) ? BitmapOf(png) : ImageFromStream(bytes, size);
    if (!image) return nullptr;
    ++g_decodes;
    std::lock_guard<std::mutex> lock(g_imagesLock);
    Images().insert(image);
    return image;
}

}  // namespace

BOOL LoadPngResource(Gdiplus::Image** slot, UINT id) {
    if (!slot) return FALSE;
    Gdiplus::Image* image = DecodePngResource(id);
    if (!image) return FALSE;
    *slot = image;
    return TRUE;
}

void DeletePngImage(Gdiplus::Image** slot) {
    if (!slot || !*slot) return;
    Gdiplus::Image* image = *slot;
    *slot = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_imagesLock);
        Images().erase(image);
    }
    delete image;
}

long PngDecodeCount() { return g_decodes.load(); }

long PngImagesAlive() {
    std::lock_guard<std::mutex> lock(g_imagesLock);
    return static_cast<long>(Images().size());
}

int MeasureTextWidth(HWND fontSource, HDC dc, const std::wstring& text) {
    if (!fontSource || !dc) return -1;
    win::Font copy = skin::CopyFontOf(fontSource);
    if (!copy) return -1;
    win::ScopedSelect select(dc, copy.get());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

int MeasureTextWidth(CWnd* fontSource, HDC dc, const std::wstring& text) {
    return MeasureTextWidth(fontSource ? fontSource->GetSafeHwnd() : nullptr, dc, text);
}
