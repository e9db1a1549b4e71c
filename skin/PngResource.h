#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CWnd;

// Loads the "PNG" resource `id` of the running module into a new GDI+ image and
// stores it in *slot. Returns FALSE, leaving the slot untouched and holding
// nothing, when the resource is missing or any step fails. The image owns the
// memory it was decoded from: release it with DeletePngImage (or delete, which
// leaves that memory to the process).
BOOL LoadPngResource(Gdiplus::Image** slot, UINT id);

// Deletes an image made by LoadPngResource with its memory, and nulls the slot.
void DeletePngImage(Gdiplus::Image** slot);

// Decodes the pictures a window is about to ask for on a thread of its own, so that
// their decoding overlaps the start-up work of the window thread. While an object
// lives, LoadPngResource hands out a picture of `ids` from it (waiting for it if it
// is still being decoded) instead of decoding the resource again; each listed id is
// handed out once per listing. The destructor waits for the thread and deletes what
// was never asked for: end it before GDI+ shuts down. One at a time per process.
class CPngPrefetch {
public:
    explicit CPngPrefetch(std::vector<UINT> ids);
    ~CPngPrefetch();
    CPngPrefetch(const CPngPrefetch&) = delete;
    CPngPrefetch& operator=(const CPngPrefetch&) = delete;

    // How many of the listed pictures have not been asked for yet.
    size_t Untaken() const;

    // LoadPngResource's way in: hands out `id` from the living object, if it lists it.
    static bool TakeFromActive(UINT id, Gdiplus::Image** slot);

private:
    struct State;
    static DWORD CALLBACK ThreadProc(LPVOID param);

    static std::mutex s_activeLock;
    static State* s_active;
    std::unique_ptr<State> m_pState;
};

// How many images LoadPngResource has decoded in this process (for tests that
// check that painting never decodes again).
long PngDecodeCount();

// How many images made by LoadPngResource have not been deleted with DeletePngImage.
long PngImagesAlive();

// Width in pixels of `text` in the font of `fontSource` measured on `dc`; -1 when
// either is null. A window without a font measures in the stock GUI font.
int MeasureTextWidth(CWnd* fontSource, HDC dc, const std::wstring& text);
int MeasureTextWidth(HWND fontSource, HDC dc, const std::wstring& text);
