#include "win/Dialog.h"

#include "win/App.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParent(parent) {}

CDialog::~CDialog() = default;

bool IsEscOrEnterKeyDown(const MSG* msg) {
    return msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN);
}

namespace {

// Keys that move the focus between the controls of a dialog.
bool IsNavigationKeyDown(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return false;
    switch (msg->wParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return true;
    default: return false;
    }
}

// Set on a dialog that shows focus cues.
const wchar_t kFocusCuesProp[] = L"Orvane.FocusCues";

// The focus cue (the dotted rectangle on the focused control) is for people who use
// the keyboard, as the system has it: a dialog opens without it unless the last press
// was a key, and the keys that move the focus turn it on. The system's own record of
// this (the UI state) is kept in step for its controls, but Wine does not keep one,
// so the dialog carries its own.
void InitFocusCues(HWND dialog) {
    const bool show = LastPressWasKey();
    if (show) ::SetPropW(dialog, kFocusCuesProp, reinterpret_cast<HANDLE>(1));
    ::SendMessageW(dialog, WM_CHANGEUISTATE, MAKEWPARAM(show ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
}

void ShowFocusCues(HWND dialog) {
    if (DialogShowsFocusCues(dialog)) return;
    ::SetPropW(dialog, kFocusCuesProp, reinterpret_cast<HANDLE>(1));
    ::SendMessageW(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    // A key that leaves the focus where it is must show it there too.
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(dialog, focus)) ::InvalidateRect(focus, nullptr, FALSE);
}

}  // namespace

bool DialogShowsFocusCues(HWND dialog) {
    return dialog && ::GetPropW(dialog, kFocusCuesProp) != nullptr &&
           !(::SendMessageW(dialog, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

HWND GetSafeOwner(HWND parent, HWND* top) {
    HWND hwnd = parent;
    if (!hwnd) {
        CWnd* main = AfxGetMainWnd();
        hwnd = main ? main->GetSafeHwnd() : nullptr;
    }
    // A popup cannot be owned by a child window.
    while (hwnd && (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = ::GetParent(hwnd);

    HWND topLevel = hwnd;
    for (HWND h = hwnd; h; h = ::GetParent(h)) topLevel = h;

    if (!parent && hwnd) hwnd = ::GetLastActivePopup(hwnd);

    if (top) {
        *top = nullptr;
        if (topLevel && ::IsWindowEnabled(topLevel) && topLevel != hwnd) {
            *top = topLevel;
            ::EnableWindow(topLevel, FALSE);
        }
    }
    return hwnd;
}

HWND CDialog::CreateFromTemplate(HWND owner) {
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner,
                                &CDialog::StaticDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;
    HWND top = nullptr;
    HWND owner = GetSafeOwner(m_pParent ? m_pParent->GetSafeHwnd() : nullptr, &top);
    m_modal = true;
    m_endModal = false;
    m_result = -1;
    m_hDisabledOwner = nullptr;

    HWND h = CreateFromTemplate(owner);
    if (h) {
        if (owner && owner != ::GetDesktopWindow() && ::IsWindowEnabled(owner)) {
            ::EnableWindow(owner, FALSE);
            m_hDisabledOwner = owner;
        }
        if (!m_endModal && ::IsWindow(h)) {
            if (!(::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE)) ::ShowWindow(h, SW_SHOWNORMAL);
            PumpMessagesUntil(&m_endModal);
        }
        LeaveScreen();
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
    if (top) ::EnableWindow(top, TRUE);
    m_modal = false;
    return m_result;
}

void CDialog::LeaveScreen() {
    if (m_hDisabledOwner) {
        ::EnableWindow(m_hDisabledOwner, TRUE);
        m_hDisabledOwner = nullptr;
    }
    if (!::IsWindow(m_hWnd)) return;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    HWND active = ::GetActiveWindow();
    const bool wasActive = active && (active == m_hWnd || ::GetWindow(active, GW_OWNER) == m_hWnd);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (wasActive && owner) ::SetActiveWindow(owner);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    if (m_hWnd) return FALSE;
    m_templateId = templateId;
    m_pParent = parent;
    m_modal = false;
    return CreateFromTemplate(parent ? parent->GetSafeHwnd() : nullptr) != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    if (m_modal) {
        m_endModal = true;
        if (m_hWnd) {
            // The loop only sees the flag once the message being handled returns.
            // Messages sent meanwhile, a nested prompt among them, must already find
            // the dialog gone from the screen and its owner taking input again.
            LeaveScreen();
            // Wakes the modal loop when this runs for a message sent from another thread.
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        }
    } else if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (!m_hWnd || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
    if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
    if (IsNavigationKeyDown(msg)) ShowFocusCues(m_hWnd);
    return ::IsDialogMessageW(m_hWnd, msg);
}

void CDialog::GotoDlgCtrl(HWND control) {
    if (m_hWnd && control) SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialog::CenterWindow(HWND over) {
    if (!m_hWnd) return;
    if (!over) over = ::GetWindow(m_hWnd, GW_OWNER);
    if (over && (!::IsWindowVisible(over) || ::IsIconic(over))) over = nullptr;

    MONITORINFO mi{sizeof(mi)};
    ::GetMonitorInfoW(::MonitorFromWindow(over ? over : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT area = mi.rcWork;
    RECT centre = area;
    if (over) ::GetWindowRect(over, &centre);

    RECT r = GetWindowRect();
    const int w = r.right - r.left, h = r.bottom - r.top;
    int x = (centre.left + centre.right) / 2 - w / 2;
    int y = (centre.top + centre.bottom) / 2 - h / 2;
    if (x + w > area.right) x = area.right - w;
    if (x < area.left) x = area.left;
    if (y + h > area.bottom) y = area.bottom - h;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    // IDOK and IDCANCEL come from buttons (BN_CLICKED is 0) and from the dialog
    // manager (WM_CLOSE posts IDCANCEL).
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        if (OnCommand(wp, lp)) return 0;
        if (LOWORD(wp) == IDOK) OnOK(); else OnCancel();
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(m_hWnd, kFocusCuesProp);
        if (m_modal) m_endModal = true;
    }
    return CWnd::WindowProc(msg, wp, lp);
}

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lp);
    if (!self || !self->SubclassWindow(hwnd)) return FALSE;
    self->m_created = true;  // the object owns its dialog window

    RECT before{};
    ::GetWindowRect(hwnd, &before);
    BOOL focus = TRUE;
    try {
        focus = self->OnInitDialog();
    } catch (...) {
        focus = TRUE;
    }
    if (::IsWindow(hwnd)) InitFocusCues(hwnd);
    // The dialog framework centres a popup that initialisation left where the
    // template put it and did not show.
    if (::IsWindow(hwnd) && CWnd::FromHandle(hwnd) == self) {
        RECT after{};
        ::GetWindowRect(hwnd, &after);
        const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (after.left == before.left && after.top == before.top && !(style & (WS_CHILD | WS_VISIBLE))) {
            self->CenterWindow();
        }
    }
    return focus;
}
