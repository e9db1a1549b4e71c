#include "win/Wnd.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "win/SessionEnd.h"

namespace {

// Every message looks its window's object up, so the binding lives in this process
// rather than in a window property: under Wine each property read is a round trip to
// the server. Never destroyed, so that objects unbound during exit still find it.
struct Bindings {
    std::shared_mutex lock;
    std::unordered_map<HWND, CWnd*> objects;
};

Bindings& TheBindings() {
    static auto* bindings = new Bindings();
    return *bindings;
}

}  // namespace

CWnd::~CWnd() {
    // The derived parts are gone by now, so the window is first handed back to its
    // own procedure; a window this object created goes with it.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        const bool created = m_created;
        HWND h = UnsubclassWindow();
        if (created) ::DestroyWindow(h);
    }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    Bindings& b = TheBindings();
    std::shared_lock<std::shared_mutex> lock(b.lock);
    const auto it = b.objects.find(hwnd);
    return it == b.objects.end() ? nullptr : it->second;
}

void CWnd::Bind(HWND hwnd) {
    m_hWnd = hwnd;
    Bindings& b = TheBindings();
    std::lock_guard<std::shared_mutex> lock(b.lock);
    b.objects[hwnd] = this;
}

void CWnd::Unbind() {
    if (m_hWnd) {
        Bindings& b = TheBindings();
        std::lock_guard<std::shared_mutex> lock(b.lock);
        const auto it = b.objects.find(m_hWnd);
        if (it != b.objects.end() && it->second == this) b.objects.erase(it);
    }
    m_hWnd = nullptr;
    m_prevProc = nullptr;
    m_created = false;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandle(hwnd)) return FALSE;
    Bind(hwnd);
    m_prevProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
    if (!m_prevProc) {
        Unbind();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent ? SubclassWindow(::GetDlgItem(parent->GetSafeHwnd(), static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    HWND h = m_hWnd;
    if (!h) return nullptr;
    if (m_prevProc) ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_prevProc));
    Unbind();
    return h;
}

LPCWSTR CWnd::PlainClassName() {
    static const wchar_t kName[] = L"OrvanePlainWnd";
    static const ATOM atom = [] {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = &::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kName;
        return ::RegisterClassExW(&wc);
    }();
    return atom ? kName : nullptr;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id) {
    if (m_hWnd) return FALSE;
    // The object is bound right after creation; nothing it handles arrives earlier.
    HWND h = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent,
                               (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h) return FALSE;
    if (!SubclassWindow(h)) {
        ::DestroyWindow(h);
        return FALSE;
    }
    m_created = true;
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

RECT CWnd::GetClientRect() const {
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    return r;
}

RECT CWnd::GetWindowRect() const {
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    return r;
}

std::wstring CWnd::GetWindowText() const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(m_hWnd, &s[0], n + 1);
    s.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return s;
}

LRESULT CWnd::CallPrevious(UINT msg, WPARAM wp, LPARAM lp) {
    if (m_prevProc) return ::CallWindowProcW(m_prevProc, m_hWnd, msg, wp, lp);
    return ::DefWindowProcW(m_hWnd, msg, wp, lp);
}

LRESULT CWnd::Default() {
    if (!m_current) return 0;
    return CallPrevious(m_current->message, m_current->wParam, m_current->lParam);
}

static POINT PointFromLParam(LPARAM lp) {
    return POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wp));
    case WM_PAINT: OnPaint(); return 0;
    case WM_TIMER: OnTimer(wp); return 0;
    case WM_SIZE: OnSize(static_cast<UINT>(wp), static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))); return 0;
    case WM_MOVE: OnMove(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))); return 0;
    case WM_NCHITTEST: return OnNcHitTest(PointFromLParam(lp));
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wp), PointFromLParam(lp)); return 0;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wp), PointFromLParam(lp)); return 0;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wp), PointFromLParam(lp)); return 0;
    case WM_MOUSEHOVER: OnMouseHover(static_cast<UINT>(wp), PointFromLParam(lp)); return 0;
    case WM_MOUSELEAVE: OnMouseLeave(); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(reinterpret_cast<HWND>(lp)); return 0;
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wp), lp); return 0;
    case WM_QUERYENDSESSION: return win::IsSessionEndHeld() ? FALSE : Default();
    case WM_VSCROLL: OnVScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    case WM_HSCROLL: OnHScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    case WM_COMMAND:
        if (OnCommand(wp, lp)) return 0;
        return Default();
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<LPDRAWITEMSTRUCT>(lp);
        if (dis && dis->CtlType != ODT_MENU) {
            if (CWnd* child = FromHandle(dis->hwndItem)) {
                child->DrawItem(dis);
                return TRUE;
            }
        }
        return Default();
    }
    default:
        return Default();
    }
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CWnd* self = FromHandle(hwnd);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);

    MSG current{hwnd, msg, wp, lp, 0, {0, 0}};
    const MSG* saved = self->m_current;
    self->m_current = &current;
    LRESULT result = 0;
    try {
        result = self->WindowProc(msg, wp, lp);
    } catch (...) {
        // Nothing may unwind through the system's window procedure.
        result = self->CallPrevious(msg, wp, lp);
    }
    self->m_current = saved;

    if (msg == WM_NCDESTROY) {
        // The last message: hand back the window and let the object know.
        WNDPROC prev = self->m_prevProc;
        if (prev) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        self->Unbind();
        self->PostNcDestroy();
    }
    return result;
}

namespace {

std::atomic<bool> g_lastPressWasKey{false};

void NoteInput(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: g_lastPressWasKey = true; break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN: g_lastPressWasKey = false; break;
    default: break;
    }
}

}  // namespace

bool LastPressWasKey() { return g_lastPressWasKey.load(); }

void PumpMessagesUntil(const bool* done) {
    MSG msg;
    while (!*done) {
        BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (r == -1) return;
        NoteInput(msg.message);
        bool eaten = false;
        for (HWND h = msg.hwnd; h && !eaten; h = ::GetParent(h)) {
            if (CWnd* w = CWnd::FromHandle(h)) eaten = w->PreTranslateMessage(&msg) != FALSE;
        }
        if (!eaten) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}
