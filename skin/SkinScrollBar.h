#pragma once
#include <windows.h>

#include "skin/ScrollGeometry.h"
#include "win/Controls.h"
#include "win/Gdi.h"

// Copies cells of the scroll-bar skin onto a target DC: the skin is selected into
// a compatible memory DC for the lifetime of the object.
class SkinBlitter {
public:
    SkinBlitter(HDC target, HBITMAP skin);
    ~SkinBlitter();
    SkinBlitter(const SkinBlitter&) = delete;
    SkinBlitter& operator=(const SkinBlitter&) = delete;

    bool ok() const { return ok_; }
    // The source rectangle stretched into the destination rectangle.
    void Stretch(const RECT& dst, const RECT& src) const;

private:
    HDC target_;
    win::MemoryDC memory_;
    win::ScopedSelect select_;
    bool ok_;
    int previousMode_;
};

// A scroll bar drawn entirely from the 9 x 3 cell skin bitmap. It does its own hit
// testing, hot and pressed looks, auto-repeat and thumb dragging, and keeps its
// own scroll information: the system's scroll-bar code never sees mouse input or
// SBM_SETSCROLLINFO / SBM_GETSCROLLINFO. Actions go to the parent as WM_VSCROLL
// (SBS_VERT) or WM_HSCROLL with the bar's handle.
class CSkinScrollBar : public CScrollBar {
public:
    CSkinScrollBar() = default;

    // Not owned. Sets the cell size (bitmap width / 9) and makes the bar one cell thick.
    void SetBitmap(HBITMAP skin);

    BOOL IsVertical() const;
    int HitTestPart(int x, int y) const;
    RECT GetPartRect(int part) const;
    RECT GetSkinRect(int part, int row) const;

    const skin::scroll::State& GetState() const { return m_si; }
    bool IsDragging() const { return m_bDrag != 0; }
    int GetHotPart() const { return m_nHotPart; }
    int GetPressedPart() const { return m_nClickPart; }
    int GetCellSize() const { return m_nCellSize; }

    float m_fScale = 1.0f;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    void OnLButtonDown(UINT flags, POINT pt) override;
    void OnMouseMove(UINT flags, POINT pt) override;
    void OnLButtonUp(UINT flags, POINT pt) override;
    void OnTimer(UINT_PTR id) override;
    void OnMouseLeave() override;
    void OnCaptureChanged(HWND newCapture) override;

private:
    skin::scroll::Layout GetLayout(skin::scroll::Use use) const;
    void TrackMouse(POINT pt, bool realMove);
    // Ends a press (its auto-repeat) or a drag; pt is where the pointer is, for the
    // thumb's look.
    void EndPress(POINT pt);
    void Notify(int code, int pos);
    LRESULT OnSetScrollInfo(BOOL redraw, const SCROLLINFO* info);
    LRESULT OnGetScrollInfo(SCROLLINFO* info) const;

    void TileBlt(const SkinBlitter& skin, const RECT& dst, const RECT& src) const;
    void DrawThumb(const SkinBlitter& skin, const RECT& dst, const RECT& src) const;
    // Draws one part from a state row on the bar's own DC.
    void DrawPart(int part, int row);
    void DrawPart(const SkinBlitter& skin, int part, int row) const;

    HBITMAP m_hBmp = nullptr;
    int m_nCellSize = 0;
    int m_nLength = 0;
    skin::scroll::State m_si;
    int m_bDrag = 0;
    POINT m_ptDrag{};
    int m_nDragPos = 0;
    int m_nClickPart = skin::scroll::kNoPart;
    int m_bRepeating = 0;
    int m_nHotPart = skin::scroll::kNoPart;
    int m_bPointerOutside = 0;
    int m_bTrackingLeave = 0;
};
