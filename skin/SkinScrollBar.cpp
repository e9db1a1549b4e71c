#include "skin/SkinScrollBar.h"

namespace sc = skin::scroll;

namespace {

constexpr UINT_PTR kFirstDelayTimer = 200;
constexpr UINT kFirstDelayMs = 500;
constexpr UINT_PTR kRepeatTimer = 100;
constexpr UINT kRepeatMs = 100;

constexpr int kRowNormal = 0;
constexpr int kRowHot = 1;
constexpr int kRowPressed = 2;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

SkinBlitter::SkinBlitter(HDC target, HBITMAP skin)
    : target_(target),
      memory_(target),
      select_(skin ? memory_.get() : nullptr, skin),
      ok_(target && memory_ && skin),
      previousMode_(target ? ::SetStretchBltMode(target, COLORONCOLOR) : 0) {}

SkinBlitter::~SkinBlitter() {
    if (target_ && previousMode_) ::SetStretchBltMode(target_, previousMode_);
}

void SkinBlitter::Stretch(const RECT& dst, const RECT& src) const {
    if (!ok_ || Width(dst) <= 0 || Height(dst) <= 0 || Width(src) <= 0 || Height(src) <= 0) return;
    if (Width(dst) == Width(src) && Height(dst) == Height(src)) {
        ::BitBlt(target_, dst.left, dst.top, Width(dst), Height(dst), memory_.get(), src.left, src.top, SRCCOPY);
    } else {
        ::StretchBlt(target_, dst.left, dst.top, Width(dst), Height(dst), memory_.get(), src.left, src.top,
                     Width(src), Height(src), SRCCOPY);
    }
}

void CSkinScrollBar::SetBitmap(HBITMAP skin) {
    m_hBmp = skin;
    BITMAP bm{};
    m_nCellSize = skin && ::GetObjectW(skin, sizeof(bm), &bm) ? bm.bmWidth / 9 : 0;
    if (!m_hWnd) return;
    RECT r = GetWindowRect();
    ::MapWindowPoints(nullptr, GetParent(), reinterpret_cast<POINT*>(&r), 2);
    if (IsVertical()) r.right = r.left + m_nCellSize;
    else r.bottom = r.top + m_nCellSize;
    MoveWindow(r);
}

BOOL CSkinScrollBar::IsVertical() const {
    return m_hWnd && (::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & SBS_VERT) ? TRUE : FALSE;
}

sc::Layout CSkinScrollBar::GetLayout(sc::Use use) const {
    return sc::ComputeLayout(m_nCellSize, m_fScale, m_nLength, m_si, use);
}

int CSkinScrollBar::HitTestPart(int x, int y) const {
    return sc::HitTest(GetLayout(sc::Use::HitTest), IsVertical() ? y : x);
}

RECT CSkinScrollBar::GetPartRect(int part) const {
    const sc::Use use = IsWindowEnabled() ? sc::Use::Draw : sc::Use::DrawDisabled;
    return sc::PartRect(GetLayout(use), part, IsVertical() != FALSE);
}

RECT CSkinScrollBar::GetSkinRect(int part, int row) const {
    return sc::SkinCell(part, row, IsVertical() != FALSE, m_nCellSize);
}

void CSkinScrollBar::TileBlt(const SkinBlitter& skin, const RECT& dst, const RECT& src) const {
    const int tileW = win::Scaled(static_cast<float>(Width(src)), m_fScale);
    const int tileH = win::Scaled(static_cast<float>(Height(src)), m_fScale);
    for (const RECT& tile : sc::TileRects(dst, tileW, tileH)) skin.Stretch(tile, src);
}

void CSkinScrollBar::DrawThumb(const SkinBlitter& skin, const RECT& dst, const RECT& src) const {
    const sc::ThumbPieces p = sc::LayoutThumb(dst, src, win::Scaled(static_cast<float>(m_nCellSize), m_fScale),
                                              IsVertical() != FALSE);
    if (p.empty) return;
    skin.Stretch(p.firstCap.dst, p.firstCap.src);
    skin.Stretch(p.lastCap.dst, p.lastCap.src);
    TileBlt(skin, p.middle.dst, p.middle.src);
}

void CSkinScrollBar::DrawPart(const SkinBlitter& skin, int part, int row) const {
    const RECT dst = GetPartRect(part);
    const RECT src = GetSkinRect(part, row);
    if (sc::IsArrow(part)) skin.Stretch(dst, src);
    else if (part == SB_THUMBTRACK) DrawThumb(skin, dst, src);
    else if (sc::IsTrack(part)) TileBlt(skin, dst, src);
}

void CSkinScrollBar::DrawPart(int part, int row) {
    if (!m_hBmp || part == sc::kNoPart) return;
    win::WindowDC dc(m_hWnd);
    SkinBlitter skin(dc.get(), m_hBmp);
    DrawPart(skin, part, row);
}

void CSkinScrollBar::Notify(int code, int pos) {
    ::SendMessageW(GetParent(), IsVertical() ? WM_VSCROLL : WM_HSCROLL,
                   MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(pos)), reinterpret_cast<LPARAM>(m_hWnd));
}

LRESULT CSkinScrollBar::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDBLCLK:
        // The second click of a double click counts for nothing: a single click.
        return 1;
    case SBM_SETSCROLLINFO:
        return OnSetScrollInfo(static_cast<BOOL>(wp), reinterpret_cast<const SCROLLINFO*>(lp));
    case SBM_GETSCROLLINFO:
        return OnGetScrollInfo(reinterpret_cast<SCROLLINFO*>(lp));
    case WM_ENABLE:
        // The system bar would paint its own look over the skin here.
        Invalidate(FALSE);
        return 0;
    default:
        return CScrollBar::WindowProc(msg, wp, lp);
    }
}

LRESULT CSkinScrollBar::OnSetScrollInfo(BOOL redraw, const SCROLLINFO* info) {
    if (!info) return 0;
    if (info->fMask & SIF_PAGE) m_si.nPage = static_cast<int>(info->nPage);
    if (info->fMask & SIF_POS) m_si.nPos = info->nPos;
    if (info->fMask & SIF_RANGE) {
        m_si.nMin = info->nMin;
        m_si.nMax = info->nMax;
    }
    if (redraw && m_hBmp) {
        win::WindowDC dc(m_hWnd);
        SkinBlitter skin(dc.get(), m_hBmp);
        DrawPart(skin, SB_PAGEUP, kRowNormal);
        DrawPart(skin, SB_THUMBTRACK, kRowNormal);
        DrawPart(skin, SB_PAGEDOWN, kRowNormal);
    }
    return 1;
}

LRESULT CSkinScrollBar::OnGetScrollInfo(SCROLLINFO* info) const {
    if (!info) return 0;
    if (info->fMask & SIF_PAGE) info->nPage = static_cast<UINT>(m_si.nPage);
    if (info->fMask & SIF_POS) info->nPos = m_si.nPos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = m_si.nTrackPos;
    if (info->fMask & SIF_RANGE) {
        info->nMin = m_si.nMin;
        info->nMax = m_si.nMax;
    }
    return 1;
}

void CSkinScrollBar::OnSize(UINT type, int cx, int cy) {
    Default();
    m_nLength = IsVertical() ? cy : cx;
}

void CSkinScrollBar::OnPaint() {
    win::PaintDC dc(m_hWnd);
    if (!m_hBmp) return;
    SkinBlitter skin(dc.get(), m_hBmp);
    DrawPart(skin, SB_LINEUP, kRowNormal);
    DrawPart(skin, SB_LINEDOWN, kRowNormal);
    DrawPart(skin, SB_THUMBTRACK, kRowNormal);
    DrawPart(skin, SB_PAGEUP, kRowNormal);
    DrawPart(skin, SB_PAGEDOWN, kRowNormal);
}

void CSkinScrollBar::OnLButtonDown(UINT flags, POINT pt) {
    ::SetCapture(m_hWnd);
    const int part = HitTestPart(pt.x, pt.y);
    if (part == sc::kNoPart) return;
    if (part == SB_THUMBTRACK) {
        m_bDrag = 1;
        m_ptDrag = pt;
        m_si.nTrackPos = m_si.nPos;
        m_nDragPos = m_si.nPos;
        return;
    }
    m_nClickPart = part;
    Notify(part, 0);
    SetTimer(kFirstDelayTimer, kFirstDelayMs);
    m_bPointerOutside = 0;
    if (sc::IsArrow(part)) DrawPart(part, kRowPressed);
}

void CSkinScrollBar::OnMouseMove(UINT flags, POINT pt) {
    TrackMouse(pt, true);
}

void CSkinScrollBar::TrackMouse(POINT pt, bool realMove) {
    if (realMove && !m_bTrackingLeave) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, m_hWnd, 1};
        m_bTrackingLeave = ::TrackMouseEvent(&tme) ? 1 : 0;
    }
    const bool vertical = IsVertical() != FALSE;

    if (m_bDrag) {
        const int delta = vertical ? pt.y - m_ptDrag.y : pt.x - m_ptDrag.x;
        const int pos = sc::DragPosition(GetLayout(sc::Use::HitTest), m_si, m_nDragPos, delta);
        if (pos == m_si.nTrackPos) return;
        {
            win::WindowDC dc(m_hWnd);
            SkinBlitter skin(dc.get(), m_hBmp);
            const RECT before = GetPartRect(SB_THUMBTRACK);
            m_si.nTrackPos = pos;
            const RECT after = GetPartRect(SB_THUMBTRACK);
            const int thickness = win::Scaled(static_cast<float>(m_nCellSize), m_fScale);
            TileBlt(skin, sc::UncoveredStrip(before, after, vertical, thickness), GetSkinRect(SB_PAGEUP, kRowNormal));
            DrawThumb(skin, after, GetSkinRect(SB_THUMBTRACK, kRowPressed));
        }
        Notify(SB_THUMBTRACK, pos);
        return;
    }

    if (m_nClickPart == sc::kNoPart) {
        const int part = HitTestPart(pt.x, pt.y);
        if (part == m_nHotPart) return;
        const int old = m_nHotPart;
        m_nHotPart = part;
        if (sc::IsArrow(old) || old == SB_THUMBTRACK) DrawPart(old, kRowNormal);
        if (sc::IsArrow(part) || part == SB_THUMBTRACK) DrawPart(part, kRowHot);
        return;
    }

    const RECT r = GetPartRect(m_nClickPart);
    const int outside = ::PtInRect(&r, pt) ? 0 : 1;
    if (outside == m_bPointerOutside) return;
    m_bPointerOutside = outside;
    if (sc::IsArrow(m_nClickPart)) DrawPart(m_nClickPart, outside ? kRowNormal : kRowPressed);
}

void CSkinScrollBar::OnMouseLeave() {
    m_bTrackingLeave = 0;
    // A drag follows real pointer moves only; the leave point is no position.
    if (m_bDrag) return;
    TrackMouse(POINT{-1, -1}, false);
}

void CSkinScrollBar::OnLButtonUp(UINT flags, POINT pt) {
    EndPress(pt);
    ::ReleaseCapture();
}

void CSkinScrollBar::OnCaptureChanged(HWND newCapture) {
    // Another window took the mouse: no button-up will come here, so the press or
    // the drag ends now, at the position reached.
    if (newCapture != m_hWnd) EndPress(POINT{-1, -1});
    Default();
}

void CSkinScrollBar::EndPress(POINT pt) {
    if (!m_bDrag) {
        if (m_nClickPart == sc::kNoPart) return;
        if (m_bRepeating) {
            KillTimer(kRepeatTimer);
            m_bRepeating = 0;
        } else {
            KillTimer(kFirstDelayTimer);
        }
        const int part = m_nClickPart;
        m_nClickPart = sc::kNoPart;
        m_bPointerOutside = 0;
        if (sc::IsArrow(part)) DrawPart(part, kRowNormal);
        return;
    }

    m_bDrag = 0;
    Notify(SB_THUMBPOSITION, m_si.nTrackPos);
    win::WindowDC dc(m_hWnd);
    SkinBlitter skin(dc.get(), m_hBmp);
    if (m_si.nTrackPos != m_si.nPos) TileBlt(skin, GetPartRect(SB_THUMBTRACK), GetSkinRect(SB_PAGEUP, kRowNormal));
    m_si.nTrackPos = -1;
    const RECT thumb = GetPartRect(SB_THUMBTRACK);
    DrawThumb(skin, thumb, GetSkinRect(SB_THUMBTRACK, ::PtInRect(&thumb, pt) ? kRowHot : kRowNormal));
}

void CSkinScrollBar::OnTimer(UINT_PTR id) {
    if (id == kFirstDelayTimer) {
        m_bRepeating = 1;
        KillTimer(kFirstDelayTimer);
        SetTimer(kRepeatTimer, kRepeatMs);
        id = kRepeatTimer;
    }
    if (id != kRepeatTimer) {
        Default();
        return;
    }
    if (m_bPointerOutside || m_nClickPart == sc::kNoPart) return;

    bool done = false;
    if (sc::IsArrow(m_nClickPart)) {
        done = sc::ArrowRepeatDone(m_nClickPart, m_si);
    } else {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::ScreenToClient(m_hWnd, &cursor);
        done = sc::TrackRepeatDone(m_nClickPart, GetLayout(sc::Use::Draw), IsVertical() ? cursor.y : cursor.x);
    }
    if (!done) {
        // The parent answers with the host's new state. A host that did not move is
        // at its end, whatever its range says (some hosts stop a unit short of it).
        const int before = m_si.nPos;
        Notify(m_nClickPart, 0);
        done = m_si.nPos == before;
    }
    if (done) KillTimer(kRepeatTimer);
}
