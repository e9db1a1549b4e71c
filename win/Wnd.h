#pragma once
#include <windows.h>
#include <string>

// The window layer: a C++ object bound to an HWND. One static window procedure
// finds the object and calls its virtual WindowProc, whose default unpacks the
// messages the program uses into typed On... handlers. Unhandled messages and
// handlers that are not overridden go to the previous procedure (Default()).
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // The object bound to a window by this layer, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Binds this object to an existing window by subclassing it.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // Creates a window of a plain class registered by this layer (no background
    // brush, arrow cursor) or of a given class, bound to this object.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    static LPCWSTR PlainClassName();

    BOOL DestroyWindow();

    // Thin wrappers used by the program.
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL MoveWindow(int x, int y, int w, int h, BOOL repaint = TRUE) { return ::MoveWindow(m_hWnd, x, y, w, h, repaint); }
    BOOL MoveWindow(const RECT& r, BOOL repaint = TRUE) { return MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return m_hWnd && ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return m_hWnd && ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    void SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return ::SendMessageW(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return ::PostMessageW(m_hWnd, msg, wp, lp); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }

    // Reflected from the parent's WM_DRAWITEM for owner-drawn controls.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}

    // Called for every message of the modal and modeless loops before dispatch,
    // from the target window up through its parents and owners; TRUE eats it.
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // The current message handed to the previous window procedure.
    LRESULT Default();
    LRESULT CallPrevious(UINT msg, WPARAM wp, LPARAM lp);

    virtual void OnDestroy() { Default(); }
    virtual BOOL OnEraseBkgnd(HDC) { return static_cast<BOOL>(Default()); }
    virtual void OnPaint() { Default(); }
    virtual void OnTimer(UINT_PTR) { Default(); }
    virtual void OnSize(UINT, int, int) { Default(); }
    virtual void OnMove(int, int) { Default(); }
    virtual LRESULT OnNcHitTest(POINT) { return Default(); }
    virtual void OnLButtonDown(UINT, POINT) { Default(); }
    virtual void OnLButtonUp(UINT, POINT) { Default(); }
    virtual void OnMouseMove(UINT, POINT) { Default(); }
    virtual void OnMouseHover(UINT, POINT) { Default(); }
    virtual void OnMouseLeave() { Default(); }
    // WM_CAPTURECHANGED: newCapture is the window that takes the mouse (null when none).
    virtual void OnCaptureChanged(HWND newCapture) { Default(); }
    virtual void OnSysCommand(UINT id, LPARAM) { Default(); }
    virtual void OnVScroll(UINT code, UINT pos, HWND bar) { Default(); }
    virtual void OnHScroll(UINT code, UINT pos, HWND bar) { Default(); }
    // WM_COMMAND; returns TRUE when handled.
    virtual BOOL OnCommand(WPARAM wp, LPARAM lp) { return FALSE; }
    // After the last message of the window; the object is no longer bound.
    virtual void PostNcDestroy() {}

    HWND m_hWnd = nullptr;

private:
    friend class CDialog;
    void Bind(HWND hwnd);
    void Unbind();
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    WNDPROC m_prevProc = nullptr;
    bool m_created = false;
    const MSG* m_current = nullptr;
};

// Runs the messages of the calling thread until *done becomes true or WM_QUIT
// arrives (which is posted again); each message first goes to PreTranslateMessage.
void PumpMessagesUntil(const bool* done);

// Whether the user's last press was a key rather than a mouse button, as far as the
// message loops above have seen (false before any press).
bool LastPressWasKey();
