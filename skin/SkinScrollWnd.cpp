#include "skin/SkinScrollWnd.h"

namespace sc = skin::scroll;

namespace {

constexpr UINT kHorzBarId = 100;
constexpr UINT kVertBarId = 101;
constexpr UINT kLimitId = 200;
constexpr UINT_PTR kSyncTimer = 100;
constexpr UINT kSyncMs = 500;

// The host's previous window procedure. Kept on the host rather than only in the
// frame, so that the procedure can still chain when someone subclassed the host
// after it and the frame is gone.
const wchar_t kPrevProcProp[] = L"Orvane.SkinScrollPrevProc";

WNDPROC PreviousProc(HWND host) {
    return reinterpret_cast<WNDPROC>(::GetPropW(host, kPrevProcProp));
}

CSkinScrollWnd* FrameOf(HWND host) {
    return reinterpret_cast<CSkinScrollWnd*>(::GetWindowLongPtrW(host, GWLP_USERDATA));
}

RECT RectInParent(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool HostBarDisabled(HWND host, int which) {
    SCROLLBARINFO sbi{};
    sbi.cbSize = sizeof(sbi);
    const LONG object = which == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL;
    if (!::GetScrollBarInfo(host, object, &sbi)) return false;
    // The whole bar, or both its arrows (some systems mark only those).
    const DWORD off = STATE_SYSTEM_UNAVAILABLE;
    return (sbi.rgstate[0] & off) || ((sbi.rgstate[1] & off) && (sbi.rgstate[5] & off));
}

bool HasVisibleStyle(HWND hwnd) {
    return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

}  // namespace

CSkinScrollWnd* SkinWndScroll(CWnd* host, HBITMAP skin, float scale) {
    HWND h = host ? host->GetSafeHwnd() : nullptr;
    if (!h || !::IsWindow(h) || PreviousProc(h)) return nullptr;
    auto* frame = new CSkinScrollWnd;
    frame->m_fScale = scale;
    if (!frame->SkinWindow(h, skin)) {
        delete frame;
        return nullptr;
    }
    return frame;
}

int UnskinWndScroll(CWnd* host) {
    return host ? UnskinWndScroll(host->GetSafeHwnd()) : 1;
}

int UnskinWndScroll(HWND host) {
    CSkinScrollWnd* frame = host ? FrameOf(host) : nullptr;
    if (!frame) return 1;
    const WNDPROC ours = &CSkinScrollWnd::HostWndProc;
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(host, GWLP_WNDPROC)) == ours) {
        ::SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frame->m_funOldProc));
        ::RemovePropW(host, kPrevProcProp);
    }
    ::SetWindowLongPtrW(host, GWLP_USERDATA, 0);

    if (!frame->GetSafeHwnd()) {
        delete frame;
    } else if (!frame->m_destroying) {
        const RECT r = RectInParent(frame->GetSafeHwnd());
        ::SetParent(host, frame->GetParent());
        ::MoveWindow(host, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        frame->DestroyWindow();
    }
    // A frame that is already being destroyed (its parent goes) deletes itself.
    return 1;
}

BOOL CSkinScrollWnd::SkinWindow(HWND host, HBITMAP skin) {
    m_hBmpScroll = skin;
    BITMAP bm{};
    const int cell = skin && ::GetObjectW(skin, sizeof(bm), &bm) ? bm.bmWidth / 9 : 0;
    m_nScrollWid = win::Scaled(static_cast<float>(cell), m_fScale);

    HWND parent = ::GetParent(host);
    const RECT r = RectInParent(host);
    const UINT id = static_cast<UINT>(::GetDlgCtrlID(host));
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(host, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(host, GWL_EXSTYLE));
    const sc::FramePlan plan = sc::PlanFrame(style, exStyle, SIZE{r.right - r.left, r.bottom - r.top}, m_fScale,
                                             ::GetSystemMetrics(SM_CXBORDER), ::GetSystemMetrics(SM_CXEDGE));

    if (!CreateEx(plan.frameExStyle, PlainClassName(), L"SkinScrollBarFrame", plan.frameStyle, r, parent, id)) {
        return FALSE;
    }
    const RECT empty{0, 0, 0, 0};
    if (!m_wndLimit.CreateEx(0, PlainClassName(), L"LIMIT", WS_CHILD | WS_VISIBLE, empty, m_hWnd, kLimitId)) {
        return FALSE;
    }
    m_sbHorz.m_fScale = m_fScale;
    if (!m_sbHorz.CreateEx(0, L"SCROLLBAR", L"", WS_CHILD, empty, m_hWnd, kHorzBarId)) return FALSE;
    if (!m_sbVert.CreateEx(0, L"SCROLLBAR", L"", WS_CHILD | SBS_VERT, empty, m_hWnd, kVertBarId)) return FALSE;
    m_sbVert.m_fScale = m_fScale;
    m_sbHorz.SetBitmap(skin);
    m_sbVert.SetBitmap(skin);

    if (plan.hostStyle != style) ::SetWindowLongPtrW(host, GWL_STYLE, static_cast<LONG_PTR>(plan.hostStyle));
    if (plan.hostExStyle != exStyle) ::SetWindowLongPtrW(host, GWL_EXSTYLE, static_cast<LONG_PTR>(plan.hostExStyle));

    ::SetParent(host, m_wndLimit.GetSafeHwnd());
    ::SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_funOldProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(host, GWLP_WNDPROC));
    ::SetPropW(host, kPrevProcProp, reinterpret_cast<HANDLE>(m_funOldProc));
    ::SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSkinScrollWnd::HostWndProc));

    ::MoveWindow(host, 0, 0, plan.hostSize.cx, plan.hostSize.cy, TRUE);
    SetTimer(kSyncTimer, kSyncMs);
    return TRUE;
}

HWND CSkinScrollWnd::GetHost() const {
    return m_wndLimit.GetSafeHwnd() ? ::GetWindow(m_wndLimit.GetSafeHwnd(), GW_CHILD) : nullptr;
}

LRESULT CALLBACK CSkinScrollWnd::HostWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const WNDPROC prev = PreviousProc(hwnd);
    if (!prev) return ::DefWindowProcW(hwnd, msg, wp, lp);

    if (msg == WM_DESTROY) {
        UnskinWndScroll(hwnd);
        return ::CallWindowProcW(prev, hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        // Still chained only when the host was subclassed again after skinning.
        ::RemovePropW(hwnd, kPrevProcProp);
        return ::CallWindowProcW(prev, hwnd, msg, wp, lp);
    }

    const LRESULT result = ::CallWindowProcW(prev, hwnd, msg, wp, lp);
    CSkinScrollWnd* frame = FrameOf(hwnd);
    if (!frame || frame->m_bOp || !frame->GetSafeHwnd()) return result;

    if (msg == WM_ERASEBKGND) {
        const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (style & WS_VSCROLL) frame->SyncBar(hwnd, SB_VERT, frame->m_sbVert);
        if (style & WS_HSCROLL) frame->SyncBar(hwnd, SB_HORZ, frame->m_sbHorz);
    } else if (msg == WM_NCCALCSIZE && wp) {
        frame->OnHostNcCalcSize(hwnd, &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0]);
    }
    return result;
}

void CSkinScrollWnd::SyncBar(HWND host, int which, CSkinScrollBar& bar) {
    SCROLLINFO si{sizeof(si), SIF_ALL};
    if (!::GetScrollInfo(host, which, &si)) return;
    const sc::State& s = bar.GetState();
    if (si.nMax != s.nMax || si.nMin != s.nMin || si.nPos != s.nPos || static_cast<int>(si.nPage) != s.nPage) {
        bar.SetScrollInfo(&si, TRUE);
    }
    // Checked on every sync: a host may disable its own bar (ES_DISABLENOSCROLL
    // with text that fits) without changing the numbers.
    bar.EnableWindow(si.nMax >= static_cast<int>(si.nPage) && !HostBarDisabled(host, which));
}

void CSkinScrollWnd::OnHostNcCalcSize(HWND host, RECT* client) {
    const LONG_PTR style = ::GetWindowLongPtrW(host, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(host, GWL_EXSTYLE);
    const bool hasVert = (style & WS_VSCROLL) != 0;
    const bool hasHorz = (style & WS_HSCROLL) != 0;
    const bool left = (exStyle & WS_EX_LEFTSCROLLBAR) != 0;
    const sc::NonClientLayout n = sc::LayoutNonClient(*client, m_nScrollWid, ::GetSystemMetrics(SM_CXVSCROLL),
                                                      hasVert, hasHorz, left);
    *client = n.client;
    m_nAngleType = n.corner;
    if (hasVert) {
        m_sbVert.MoveWindow(n.vertBar);
        m_sbVert.ShowWindow(SW_SHOW);
    } else {
        m_sbVert.ShowWindow(SW_HIDE);
    }
    if (hasHorz) {
        m_sbHorz.MoveWindow(n.horzBar);
        m_sbHorz.ShowWindow(SW_SHOW);
    } else {
        m_sbHorz.ShowWindow(SW_HIDE);
    }
    PostMessage(WM_LAYOUT_LIMIT, static_cast<WPARAM>(style & WS_VSCROLL), static_cast<LPARAM>(exStyle & WS_EX_LEFTSCROLLBAR));
}

LRESULT CSkinScrollWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LAYOUT_LIMIT) return OnLayoutLimit(wp != 0, lp != 0);
    return CWnd::WindowProc(msg, wp, lp);
}

LRESULT CSkinScrollWnd::OnLayoutLimit(bool vertPresent, bool left) {
    HWND host = GetHost();
    if (!host) return 0;
    m_bOp = 1;
    // The style bit: the bar was just shown or hidden, whether or not the dialog shows.
    const sc::LimitLayout l = sc::LayoutLimit(GetClientRect(), m_nScrollWid, HasVisibleStyle(m_sbHorz.GetSafeHwnd()),
                                              vertPresent, left);
    m_wndLimit.MoveWindow(l.limit);
    ::SetWindowPos(host, nullptr, l.hostX, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_bOp = 0;
    return 0;
}

void CSkinScrollWnd::OnSize(UINT type, int cx, int cy) {
    Default();
    HWND host = GetHost();
    if (cx && cy && host) ::MoveWindow(host, 0, 0, cx, cy, TRUE);
}

void CSkinScrollWnd::Forward(UINT msg, int which, UINT code, UINT pos, HWND from) {
    HWND host = GetHost();
    if (!host) return;
    m_bOp = 1;
    ::SendMessageW(host, msg, MAKEWPARAM(code, pos), 0);
    m_bOp = 0;
    if (code == SB_THUMBTRACK) return;
    CSkinScrollBar* bar = from == m_sbVert.GetSafeHwnd() ? &m_sbVert : from == m_sbHorz.GetSafeHwnd() ? &m_sbHorz : nullptr;
    SCROLLINFO si{sizeof(si), SIF_ALL};
    if (bar && ::GetScrollInfo(host, which, &si)) bar->SetScrollInfo(&si, TRUE);
}

void CSkinScrollWnd::OnVScroll(UINT code, UINT pos, HWND bar) {
    Forward(WM_VSCROLL, SB_VERT, code, pos, bar);
}

void CSkinScrollWnd::OnHScroll(UINT code, UINT pos, HWND bar) {
    Forward(WM_HSCROLL, SB_HORZ, code, pos, bar);
}

void CSkinScrollWnd::OnTimer(UINT_PTR id) {
    if (id != kSyncTimer) {
        Default();
        return;
    }
    HWND host = GetHost();
    if (!host || m_bOp) return;
    if (m_sbVert.IsWindowVisible() && !m_sbVert.IsDragging()) SyncBar(host, SB_VERT, m_sbVert);
    if (m_sbHorz.IsWindowVisible() && !m_sbHorz.IsDragging()) SyncBar(host, SB_HORZ, m_sbHorz);
}

void CSkinScrollWnd::OnPaint() {
    win::PaintDC dc(m_hWnd);
    if (!m_hBmpScroll || m_nAngleType == 0) return;
    BITMAP bm{};
    if (!::GetObjectW(m_hBmpScroll, sizeof(bm), &bm)) return;
    SkinBlitter skin(dc.get(), m_hBmpScroll);
    skin.Stretch(sc::CornerRect(GetClientRect(), m_nScrollWid, m_nAngleType), sc::GripCell(m_nAngleType, bm.bmWidth / 9));
}

void CSkinScrollWnd::OnDestroy() {
    m_destroying = true;
    KillTimer(kSyncTimer);
    Default();
}

void CSkinScrollWnd::PostNcDestroy() {
    delete this;
}
