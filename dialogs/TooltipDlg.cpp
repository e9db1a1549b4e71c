#include "dialogs/TooltipDlg.h"

#include "dialogs/AgreementText.h"
#include "dialogs/Messages.h"
#include "dialogs/RichEdit.h"
#include "res/resource.h"
#include "skin/SkinScrollWnd.h"
#include "win/Scale.h"

using win::Scaled;

namespace {

constexpr PairInsets kInsets{1, 1, 2, 18};
constexpr int kBackWidth = 396, kBackHeight = 482;
constexpr int kEditMargin = 8;
// The child shows the skin without its bottom strip, which stays the back's.
constexpr int kChildSourceCutBottom = 18;
const wchar_t kAgreementTitle[] = L"Corvel服务工具使用许可协议";

}  // namespace

RECT ViewerRectOverPanel(const RECT& panel, float s) {
    const int x = static_cast<int>(static_cast<float>(panel.left) + 2 * s);
    const int y = static_cast<int>(static_cast<float>(panel.top) + 108 * s);
    const int w = static_cast<int>(static_cast<float>(panel.right - panel.left) - 2 * s);
    const int h = static_cast<int>(static_cast<float>(panel.bottom - panel.top) - 128 * s);
    return RECT{x, y, x + w, y + h};
}

// ---- child ----

CTooltipChildDlg::CTooltipChildDlg() : CLayeredChildDlg(IDD_VIEWER_CHILD, nullptr) {}

CTooltipChildDlg::~CTooltipChildDlg() {
    // Still a CTooltipChildDlg here, so OnDestroy takes the rich edit down before
    // the bitmap its bars draw from.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CTooltipChildDlg::DoDataExchange() {
    m_edit.SubclassDlgItem(IDC_AGREEMENT_EDIT, this);
}

BOOL CTooltipChildDlg::OnInitDialog() {
    CLayeredChildDlg::OnInitDialog();
    // What a screen reader announces when the viewer takes the focus.
    SetWindowText(kAgreementTitle);
    if (EnsureBkImage(IDP_VIEWER)) m_bInitialized = true;
    return TRUE;
}

BOOL CTooltipChildDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB) {
        if (HWND owner = ::GetWindow(GetParent(), GW_OWNER)) ::SendMessageW(owner, WM_VIEWER_LEAVE, 0, 0);
        return TRUE;
    }
    return CLayeredChildDlg::PreTranslateMessage(msg);
}

void CTooltipChildDlg::SetUp(bool first) {
    if (first && !m_bSetUp) {
        m_bSetUp = true;
        m_bmpScroll.reset(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SCROLLBAR)));
        // Skinned before it is placed: the frame sizes the host from the control's
        // outer size when it skins it, which misses the edge the dialog manager may
        // add to a bordered control; the move below lays the host out from the
        // frame's client area, as every later resize does.
        SkinWndScroll(&m_edit, m_bmpScroll.get(), m_fScale);
        m_edit.SetWindowText(BuildAgreementText());
    }
    // Control 1009 is the skin's frame once skinned: it took the control's id.
    HWND control = GetDlgItem(IDC_AGREEMENT_EDIT);
    if (!control) return;
    const int margin = Scaled(kEditMargin, m_fScale);
    const RECT c = GetClientRect();
    const int w = c.right - c.left - 2 * margin, h = c.bottom - c.top - 2 * margin;
    ::MoveWindow(control, c.left + margin, c.top + margin, w > 0 ? w : 0, h > 0 ? h : 0, TRUE);
}

void CTooltipChildDlg::OnSize(UINT type, int cx, int cy) {
    CLayeredChildDlg::OnSize(type, cx, cy);
    // The owner sizes the viewer after creating it; the text box keeps its margin.
    if (m_bSetUp && type != SIZE_MINIMIZED) SetUp(false);
}

BOOL CTooltipChildDlg::OnEraseBkgnd(HDC dc) {
    if (!EnsureBkImage(IDP_VIEWER)) return TRUE;
    const RECT source{0, 0, static_cast<LONG>(m_pBkImage->GetWidth()) - 1,
                      static_cast<LONG>(m_pBkImage->GetHeight()) - kChildSourceCutBottom};
    return PaintBkImage(dc, &source);
}

void CTooltipChildDlg::OnDestroy() {
    CLayeredChildDlg::OnDestroy();
    // The skin's frame and bars draw from the bitmap until they are gone.
    if (HWND control = GetDlgItem(IDC_AGREEMENT_EDIT)) ::DestroyWindow(control);
    m_bmpScroll.reset();
}

// ---- back ----

CTooltipDlg::CTooltipDlg(CWnd* parent) : CLayeredBackDlg(IDD_VIEWER_BACK, parent, kInsets, 1) {}

BOOL CTooltipDlg::OnInitDialog() {
    CLayeredBackDlg::OnInitDialog();
    const float s = m_fScale;
    m_drawn = SIZE{Scaled(kBackWidth, s), Scaled(kBackHeight, s)};
    if (!DrawLayeredBack(IDP_VIEWER, m_drawn.cx, m_drawn.cy)) return TRUE;

    // The child's template holds a rich edit; its class must exist first.
    InitRichEdit();
    auto* child = new CTooltipChildDlg();
    child->m_fScale = s;
    if (CreateChild(child, IDD_VIEWER_CHILD)) child->SetUp(true);
    return TRUE;
}

void CTooltipDlg::OnSize(UINT type, int cx, int cy) {
    CLayeredBackDlg::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED || cx <= 0 || cy <= 0 || !m_pBkImage) return;
    if (cx == m_drawn.cx && cy == m_drawn.cy) return;
    // A layered window shows the picture it was given at its old size: the owner
    // sizes the viewer, so the picture is drawn again to the new size.
    m_drawn = SIZE{cx, cy};
    DrawLayeredBack(IDP_VIEWER, cx, cy);
    if (m_nFollow == 1) PlaceChild();
}

void CTooltipDlg::ShowChild(int show) {
    if (!m_pChild || !::IsWindow(m_pChild->GetSafeHwnd())) return;
    m_pChild->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CTooltipDlg::TakeFocus() {
    CTooltipChildDlg* child = Child();
    if (!child || !child->IsWindowVisible()) return;
    ::SetActiveWindow(child->GetSafeHwnd());
    // The text box sits inside the skinned scroll bars' frame, where the dialog's own
    // choice of focus (its first control) would leave the keyboard on the frame. Set
    // directly: the dialog's way would also select the whole text.
    ::SetFocus(child->m_edit.GetSafeHwnd());
}

bool CTooltipDlg::IsActive() const {
    HWND active = ::GetActiveWindow();
    return active && (active == m_hWnd || (m_pChild && active == m_pChild->GetSafeHwnd()));
}
