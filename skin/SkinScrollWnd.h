#pragma once
#include <windows.h>

#include "skin/SkinScrollBar.h"
#include "win/Wnd.h"

class CSkinScrollWnd;

// Replaces the system scroll bars of `host` (a control that scrolls itself) with
// two skinned bars drawn from `skin` (not owned; keep it until the host is gone).
// The returned frame takes the host's place, id and size in its parent and lives
// until the host is destroyed; callers need not keep it. Null when the host is
// missing or already skinned, or a window cannot be created.
CSkinScrollWnd* SkinWndScroll(CWnd* host, HBITMAP skin, float scale);
// Gives the host back its own window procedure, parent and place, and destroys the
// frame. Called by the host's WM_DESTROY; does nothing for a host that is not skinned.
int UnskinWndScroll(CWnd* host);
int UnskinWndScroll(HWND host);

// The frame around a skinned host: the "LIMIT" child clips the host's own scroll
// bars away, and the two skinned bars sit where they were. Scroll actions of the
// bars go to the host; the host's scroll state comes back on every erase of its
// background, after every forwarded action and every 500 ms.
class CSkinScrollWnd : public CWnd {
public:
    float m_fScale = 1.0f;

    CSkinScrollBar& GetVertBar() { return m_sbVert; }
    CSkinScrollBar& GetHorzBar() { return m_sbHorz; }
    HWND GetLimitWnd() const { return m_wndLimit.GetSafeHwnd(); }
    // The host, once skinned: the limit window's only child.
    HWND GetHost() const;
    int GetCornerType() const { return m_nAngleType; }
    int GetScrollWidth() const { return m_nScrollWid; }

    static constexpr UINT WM_LAYOUT_LIMIT = WM_USER + 100;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnVScroll(UINT code, UINT pos, HWND bar) override;
    void OnHScroll(UINT code, UINT pos, HWND bar) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    // The frame is made on the heap by SkinWndScroll and goes with its window.
    void PostNcDestroy() override;

private:
    friend CSkinScrollWnd* SkinWndScroll(CWnd* host, HBITMAP skin, float scale);
    friend int UnskinWndScroll(HWND host);

    CSkinScrollWnd() = default;
    ~CSkinScrollWnd() override = default;

    BOOL SkinWindow(HWND host, HBITMAP skin);
    LRESULT OnLayoutLimit(bool vertPresent, bool left);
    void Forward(UINT msg, int bar, UINT code, UINT pos, HWND from);
    // Copies the host's scroll state into a bar when it differs; the bar is enabled
    // exactly when the host has something to scroll (nMax >= nPage, and the host
    // has not disabled its own bar).
    void SyncBar(HWND host, int which, CSkinScrollBar& bar);
    void OnHostNcCalcSize(HWND host, RECT* client);

    static LRESULT CALLBACK HostWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    int m_nScrollWid = 16;
    CSkinScrollBar m_sbHorz;
    CSkinScrollBar m_sbVert;
    CWnd m_wndLimit;
    HBITMAP m_hBmpScroll = nullptr;
    int m_bOp = 0;
    int m_nAngleType = 0;
    WNDPROC m_funOldProc = nullptr;
    bool m_destroying = false;
};
