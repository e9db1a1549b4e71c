#include "skin/PngResource.h"

#include <objidl.h>

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "skin/Drawing.h"
#include "win/Gdi.h"
#include "win/Wnd.h"

namespace {

std::atomic<long> g_decodes{0};

// The memory block behind each image, freed when the image is deleted.
std::mutex g_blocksLock;
std::unordered_map<Gdiplus::Image*, HGLOBAL>& Blocks() {
    static std::unordered_map<Gdiplus::Image*, HGLOBAL> blocks;
    return blocks;
}

}  // namespace

BOOL LoadPngResource(Gdiplus::Image** slot, UINT id) {
    if (!slot) return FALSE;
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res) return FALSE;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return FALSE;

    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (!block) return FALSE;
    void* dst = ::GlobalLock(block);
    if (!dst) {
        ::GlobalFree(block);
        return FALSE;
    }
    memcpy(dst, bytes, size);
    ::GlobalUnlock(block);

    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, FALSE, &stream)) || !stream) {
        ::GlobalFree(block);
        return FALSE;
    }
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream, FALSE);
    // GDI+ keeps its own reference to the stream for as long as it needs it.
    stream->Release();
    if (!image) {
        ::GlobalFree(block);
        return FALSE;
    }
    ++g_decodes;
    {
        std::lock_guard<std::mutex> lock(g_blocksLock);
        Blocks()[image] = block;
    }
    *slot = image;
    return TRUE;
}

void DeletePngImage(Gdiplus::Image** slot) {
    if (!slot || !*slot) return;
    Gdiplus::Image* image = *slot;
    *slot = nullptr;
    HGLOBAL block = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_blocksLock);
        auto it = Blocks().find(image);
        if (it != Blocks().end()) {
            block = it->second;
            Blocks().erase(it);
        }
    }
    delete image;
    if (block) ::GlobalFree(block);
}

long PngDecodeCount() { return g_decodes.load(); }

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
