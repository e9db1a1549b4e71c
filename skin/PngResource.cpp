#include "skin/PngResource.h"

#include <objidl.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "skin/Drawing.h"
#include "win/Gdi.h"
#include "win/Handle.h"
#include "win/Wnd.h"

namespace {

std::atomic<long> g_decodes{0};

// The memory block behind each image, freed when the image is deleted.
std::mutex g_blocksLock;
std::unordered_map<Gdiplus::Image*, HGLOBAL>& Blocks() {
    static std::unordered_map<Gdiplus::Image*, HGLOBAL> blocks;
    return blocks;
}

Gdiplus::Image* DecodePngResource(UINT id) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res) return nullptr;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return nullptr;

    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
    if (!block) return nullptr;
    void* dst = ::GlobalLock(block);
    if (!dst) {
        ::GlobalFree(block);
        return nullptr;
    }
    memcpy(dst, bytes, size);
    ::GlobalUnlock(block);

    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, FALSE, &stream)) || !stream) {
        ::GlobalFree(block);
        return nullptr;
    }
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream, FALSE);
    // GDI+ keeps its own reference to the stream for as long as it needs it.
    stream->Release();
    if (!image) {
        ::GlobalFree(block);
        return nullptr;
    }
    ++g_decodes;
    std::lock_guard<std::mutex> lock(g_blocksLock);
    Blocks()[image] = block;
    return image;
}

}  // namespace

struct CPngPrefetch::State {
    struct Entry {
        UINT id;
        Gdiplus::Image* image = nullptr;
        bool done = false;
        bool taken = false;
    };
    mutable std::mutex lock;
    std::condition_variable decoded;
    std::vector<Entry> entries;
    win::UniqueHandle thread;

    // Hands out the listed picture `id` if there is one; false when `id` is not
    // listed (any more) or its decoding failed, so that the caller decodes itself.
    bool Take(UINT id, Gdiplus::Image** slot) {
        std::unique_lock<std::mutex> held(lock);
        for (Entry& e : entries) {
            if (e.id != id || e.taken) continue;
            decoded.wait(held, [&e] { return e.done; });
            e.taken = true;
            if (!e.image) return false;
            *slot = e.image;
            e.image = nullptr;
            return true;
        }
        return false;
    }
};

std::mutex CPngPrefetch::s_activeLock;
CPngPrefetch::State* CPngPrefetch::s_active = nullptr;

CPngPrefetch::CPngPrefetch(std::vector<UINT> ids) : m_pState(std::make_unique<State>()) {
    for (UINT id : ids) m_pState->entries.push_back(State::Entry{id});
    m_pState->thread.reset(::CreateThread(nullptr, 0, &CPngPrefetch::ThreadProc, m_pState.get(), 0, nullptr));
    if (!m_pState->thread) {
        // Nothing is on its way: the window thread decodes as it always does.
        m_pState->entries.clear();
        return;
    }
    std::lock_guard<std::mutex> lock(s_activeLock);
    if (!s_active) s_active = m_pState.get();
}

CPngPrefetch::~CPngPrefetch() {
    {
        std::lock_guard<std::mutex> lock(s_activeLock);
        if (s_active == m_pState.get()) s_active = nullptr;
    }
    if (m_pState->thread) ::WaitForSingleObject(m_pState->thread.get(), INFINITE);
    for (State::Entry& e : m_pState->entries) DeletePngImage(&e.image);
}

size_t CPngPrefetch::Untaken() const {
    std::lock_guard<std::mutex> lock(m_pState->lock);
    size_t n = 0;
    for (const State::Entry& e : m_pState->entries) n += e.taken ? 0 : 1;
    return n;
}

DWORD CALLBACK CPngPrefetch::ThreadProc(LPVOID param) {
    auto* state = static_cast<State*>(param);
    // The list cannot change while the thread runs; only the entries' fields do.
    for (size_t i = 0; i < state->entries.size(); ++i) {
        Gdiplus::Image* image = nullptr;
        try {
            image = DecodePngResource(state->entries[i].id);
        } catch (...) {
            image = nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(state->lock);
            state->entries[i].image = image;
            state->entries[i].done = true;
        }
        state->decoded.notify_all();
    }
    return 0;
}

bool CPngPrefetch::TakeFromActive(UINT id, Gdiplus::Image** slot) {
    std::lock_guard<std::mutex> lock(s_activeLock);
    return s_active && s_active->Take(id, slot);
}

BOOL LoadPngResource(Gdiplus::Image** slot, UINT id) {
    if (!slot) return FALSE;
    if (CPngPrefetch::TakeFromActive(id, slot)) return TRUE;
    Gdiplus::Image* image = DecodePngResource(id);
    if (!image) return FALSE;
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

long PngImagesAlive() {
    std::lock_guard<std::mutex> lock(g_blocksLock);
    return static_cast<long>(Blocks().size());
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
