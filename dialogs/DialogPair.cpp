#include "dialogs/DialogPair.h"

#include "skin/PngResource.h"
#include "win/Gdi.h"
#include "win/Scale.h"

using win::Scaled;

RECT ChildRectInBack(const RECT& back, const PairInsets& in, float s) {
    return RECT{back.left + Scaled(in.left, s), back.top + Scaled(in.top, s), back.right - Scaled(in.right, s),
                back.bottom - Scaled(in.bottom, s)};
}

RECT BackRectAroundChild(const RECT& child, const PairInsets& in, float s) {
    return RECT{child.left - Scaled(in.left, s), child.top - Scaled(in.top, s), child.right + Scaled(in.right, s),
                child.bottom + Scaled(in.bottom, s)};
}

bool InCaptionStrip(const RECT& client, int height, int excludeRight, POINT pt) {
    RECT strip{client.left, client.top, client.right - excludeRight, client.top + height};
    return ::PtInRect(&strip, pt) != FALSE;
}

// ---- back ----

CLayeredBackDlg::CLayeredBackDlg(UINT templateId, CWnd* parent, const PairInsets& insets, int follow)
    : CDialog(templateId, parent), m_nFollow(follow), m_insets(insets) {}

CLayeredBackDlg::~CLayeredBackDlg() {
    delete m_pChild;
    DeletePngImage(&m_pBkImage);
}

int CLayeredBackDlg::Surround(const RECT& childRect) {
    m_nFollow = 0;
    const RECT r = BackRectAroundChild(childRect, m_insets, m_fScale);
    MoveWindow(r, TRUE);
    return 0;
}

BOOL CLayeredBackDlg::PreTranslateMessage(MSG* msg) {
    if (IsEscOrEnterKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

namespace {

// At its own size the picture needs no drawing: GDI+ converts its pixels straight
// into the DIB, premultiplied, many times faster than a scaled draw.
bool CopyPremultiplied(Gdiplus::Image* image, int width, int height, void* bits) {
    if (image->GetType() != Gdiplus::ImageTypeBitmap || image->GetWidth() != static_cast<UINT>(width) ||
        image->GetHeight() != static_cast<UINT>(height)) {
        return false;
    }
    auto* bitmap = static_cast<Gdiplus::Bitmap*>(image);
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(width);
    data.Height = static_cast<UINT>(height);
    data.Stride = width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = bits;
    Gdiplus::Rect all(0, 0, width, height);
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB,
                         &data) != Gdiplus::Ok) {
        return false;
    }
    bitmap->UnlockBits(&data);
    return true;
}

}  // namespace

bool CLayeredBackDlg::DrawLayeredBack(UINT pngId, int width, int height) {
    if (!m_hWnd || width <= 0 || height <= 0) return false;
    if (!m_pBkImage && !LoadPngResource(&m_pBkImage, pngId)) return false;

    const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);

    // A 32-bit premultiplied DIB, so that the image's alpha reaches the window
    // whatever the depth of the screen.
    win::WindowDC windowDc(m_hWnd);
    win::MemoryDC memDc(windowDc.get());
    void* bits = nullptr;
    win::Bitmap dib = win::CreateTopDownDib(windowDc.get(), width, height, &bits);
    if (!memDc || !dib || !bits) return false;
    win::ScopedSelect select(memDc.get(), dib.get());
    if (!CopyPremultiplied(m_pBkImage, width, height, bits)) {
        Gdiplus::Bitmap canvas(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
        Gdiplus::Graphics g(&canvas);
        g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        g.DrawImage(m_pBkImage, Gdiplus::Rect(0, 0, width, height), 0, 0,
                    static_cast<INT>(m_pBkImage->GetWidth()), static_cast<INT>(m_pBkImage->GetHeight()),
                    Gdiplus::UnitPixel);
    }
    RECT wr = GetWindowRect();
    POINT dst{wr.left, wr.top};
    SIZE size{width, height};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWnd, windowDc.get(), &dst, &size, memDc.get(), &src, 0, &blend, ULW_ALPHA);
    return true;
}

bool CLayeredBackDlg::CreateChild(CDialog* child, UINT childTemplate) {
    m_pChild = child;
    if (!m_pChild || !m_pChild->Create(childTemplate, this)) return false;
    PlaceChild();
    m_pChild->ShowWindow(SW_SHOW);
    return true;
}

void CLayeredBackDlg::PlaceChild() {
    if (!m_pChild || !::IsWindow(m_pChild->GetSafeHwnd())) return;
    const RECT r = ChildRectInBack(GetWindowRect(), m_insets, m_fScale);
    m_pChild->MoveWindow(r, TRUE);
}

void CLayeredBackDlg::OnMove(int x, int y) {
    CDialog::OnMove(x, y);
    if (m_nFollow == 1) PlaceChild();
}

namespace {
constexpr UINT_PTR kRaiseTimer = 0x2F0;
constexpr int kRaiseTicks = 5;
// Posted by a back that became active, to hand activation on to its child.
constexpr UINT kActivateChildMsg = WM_APP + 0x2F1;
}  // namespace

void CLayeredBackDlg::RaiseChild() {
    if (!m_pChild || !::IsWindow(m_pChild->GetSafeHwnd()) || !::IsWindowVisible(m_hWnd)) return;
    HWND above = ::GetWindow(m_hWnd, GW_HWNDPREV);
    if (above == m_pChild->GetSafeHwnd()) return;
    ::SetWindowPos(m_pChild->GetSafeHwnd(), above ? above : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CLayeredBackDlg::ActivateChild() {
    // The back only shows a picture; the child holds the controls and must be the
    // active window of the pair. A back activated by the system (a prompt that ended
    // and gave activation back to its owner, a click on the back's margin, switching
    // tasks) would otherwise leave the keyboard nowhere, and Wine also raises the
    // back's X window above the child's without changing its own stacking, so that
    // the child's controls stop receiving clicks until something restacks the pair.
    if (!m_pChild || ::GetActiveWindow() != m_hWnd) return;
    HWND child = m_pChild->GetSafeHwnd();
    if (::IsWindowVisible(child) && ::IsWindowEnabled(child)) ::SetActiveWindow(child);
}

LRESULT CLayeredBackDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == kRaiseTimer) {
        RaiseChild();
        if (--m_raiseTicks <= 0) {
            ::KillTimer(m_hWnd, kRaiseTimer);
            ::SetPropW(m_hWnd, kPairSettledProp, reinterpret_cast<HANDLE>(1));
        }
        return 0;
    }
    if (msg == kActivateChildMsg) {
        ActivateChild();
        return 0;
    }
    if (msg == WM_NCDESTROY) ::RemovePropW(m_hWnd, kPairSettledProp);
    const LRESULT r = CDialog::WindowProc(msg, wp, lp);
    // The system keeps owned popups above their owner. Wine may stack the owner
    // above its popup a moment after showing or raising it, without telling the
    // window, so the pair checks its order now and a few times over the next half
    // second, and then marks itself settled.
    bool raise = false;
    if (msg == WM_WINDOWPOSCHANGED) {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
        raise = !(pos->flags & SWP_NOZORDER) || (pos->flags & SWP_SHOWWINDOW);
        // The system hides owned popups only with a minimised owner: a back that
        // leaves the screen (its dialog ended) takes its child along.
        if ((pos->flags & SWP_HIDEWINDOW) && m_pChild && ::IsWindowVisible(m_pChild->GetSafeHwnd())) {
            ::SetWindowPos(m_pChild->GetSafeHwnd(), nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
    } else if (msg == WM_ACTIVATE) {
        raise = LOWORD(wp) != WA_INACTIVE;
        // Activation is handed on after the system has finished activating the back.
        if (raise && m_pChild) ::PostMessageW(m_hWnd, kActivateChildMsg, 0, 0);
    }
    if (raise && m_pChild && m_hWnd) {
        RaiseChild();
        m_raiseTicks = kRaiseTicks;
        ::RemovePropW(m_hWnd, kPairSettledProp);
        ::SetTimer(m_hWnd, kRaiseTimer, 100, nullptr);
    }
    return r;
}

void CLayeredBackDlg::OnDestroy() {
    CDialog::OnDestroy();
    DeletePngImage(&m_pBkImage);
    delete m_pChild;
    m_pChild = nullptr;
}

// ---- child ----

CLayeredChildDlg::CLayeredChildDlg(UINT templateId, CWnd* parent, int stripHeight, int stripExcludeRight,
                                   bool scaleStrip)
    : CDialog(templateId, parent),
      m_stripHeight(stripHeight),
      m_stripExcludeRight(stripExcludeRight),
      m_scaleStrip(scaleStrip) {}

CLayeredChildDlg::~CLayeredChildDlg() { DeletePngImage(&m_pBkImage); }

BOOL CLayeredChildDlg::PreTranslateMessage(MSG* msg) {
    if (IsEscOrEnterKeyDown(msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

BOOL CLayeredChildDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (EnsureBkImage(BackgroundPng())) {
        Layout(true);
        m_bInitialized = true;
    }
    return TRUE;
}

void CLayeredChildDlg::OnCancel() {
    if (HWND back = GetParent()) ::SendMessageW(back, WM_CLOSE, 0, 0);
}

void CLayeredChildDlg::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    if (m_bInitialized) Layout(false);
}

BOOL CLayeredChildDlg::OnEraseBkgnd(HDC dc) {
    if (!EnsureBkImage(BackgroundPng())) return TRUE;
    return PaintBkImage(dc);
}

bool CLayeredChildDlg::EnsureBkImage(UINT pngId) {
    return m_pBkImage || (pngId != 0 && LoadPngResource(&m_pBkImage, pngId));
}

BOOL CLayeredChildDlg::PaintBkImage(HDC dc, const RECT* source) {
    if (!m_pBkImage) return TRUE;
    const RECT c = GetClientRect();
    win::OffscreenBuffer buf(dc, c.right, c.bottom);
    if (!buf.ok()) return TRUE;
    {
        Gdiplus::Graphics g(buf.dc());
        g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        const INT sx = source ? source->left : 0, sy = source ? source->top : 0;
        const INT sw = source ? source->right - source->left : static_cast<INT>(m_pBkImage->GetWidth());
        const INT sh = source ? source->bottom - source->top : static_cast<INT>(m_pBkImage->GetHeight());
        g.DrawImage(m_pBkImage, Gdiplus::Rect(0, 0, c.right, c.bottom), sx, sy, sw, sh, Gdiplus::UnitPixel);
    }
    buf.Present();
    return TRUE;
}

CLayeredBackDlg* CLayeredChildDlg::Back() const {
    return dynamic_cast<CLayeredBackDlg*>(CWnd::FromHandle(::GetParent(m_hWnd)));
}

LRESULT CLayeredChildDlg::OnNcHitTest(POINT pt) {
    if (m_stripHeight <= 0) return CDialog::OnNcHitTest(pt);
    RECT c = GetClientRect();
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&c), 2);
    const int height = m_scaleStrip ? win::Scaled(m_stripHeight, m_fScale) : m_stripHeight;
    const int exclude = m_scaleStrip ? win::Scaled(m_stripExcludeRight, m_fScale) : m_stripExcludeRight;
    if (InCaptionStrip(c, height, exclude, pt)) {
        m_nDrag = 1;
        return HTCAPTION;
    }
    m_nDrag = 0;
    return CDialog::OnNcHitTest(pt);
}

void CLayeredChildDlg::OnMove(int x, int y) {
    CDialog::OnMove(x, y);
    if (m_stripHeight > 0 && m_nDrag == 1) {
        if (CLayeredBackDlg* back = Back()) back->Surround(GetWindowRect());
    }
}

void CLayeredChildDlg::OnDestroy() {
    CDialog::OnDestroy();
    DeletePngImage(&m_pBkImage);
}
